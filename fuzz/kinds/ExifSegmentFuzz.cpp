// Any bytes as an export's source file: the Exif collector reads them, the
// JPEG exporter builds its Exif block and APP1 segment from what it found,
// and the finished JPEG kind walks the written file's markers and reads the
// block back.
#include "ExportImageArray.h"
#include "ExportJPEGImage.h"
#include "FakeImage.h"
#include "File.h"
#include "FinishedJPEGImage.h"
#include "ImageRendering.h"
#include "JPEGCompressor.h"
#include "YlmErrp.h"

#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

using namespace NimbalCore;

namespace {

// A small baseline stream without its SOI, to follow the headers.
std::vector<uint8_t> SmallStream() {
    JPEGCompressor c(16, 8, 1, nullptr, nullptr, 75, 72, 1, 4096, nullptr, nullptr, false, false, nullptr);
    std::vector<uint8_t> row(16, 0x80);
    if (c.Start() != 0) return {};
    for (int y = 0; y < 8; ++y) c.WriteRow(row.data());
    if (c.Finish() != 0 || !c.GetCompressedData()) return {};
    return std::vector<uint8_t>(c.GetCompressedData() + 2, c.GetCompressedData() + c.GetCompressedSize());
}

void WriteFile(const std::string& path, const uint8_t* data, size_t size) {
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string base = "/tmp/lumora-fuzz-exif-segment-" + std::to_string(getpid());
    static const std::vector<uint8_t> stream = SmallStream();
    const std::string source = base + ".src", headers = base + ".app1", jpeg = base + ".jpg";
    WriteFile(source, data, size);

    std::vector<uint8_t> file = {0xFF, 0xD8};
    {
        auto* fake = new coretest::FakeImage(source, 64, 48);
        ImageRef image(fake);
        ImageProcessParam params;
        params.colorMode = 1;
        params.crop = fake->GetImageRect();
        ImageRendering rendering(image, params);
        ExportImageArray array;
        ExportJPEGImage exporter(rendering, FilePathSpec(base + ".out.jpg"), &array);
        try {
            exporter.BuildExifBlock();
            File out{FilePathSpec(headers)};
            out.Open(File::WriteBinary);
            exporter.WriteExifSegment(out);
            out.Close();
        } catch (const YlmErrp&) {
            return 0;
        } catch (NbErrorCodes) {
            return 0;
        }
    }
    if (FILE* f = std::fopen(headers.c_str(), "rb")) {
        uint8_t buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) file.insert(file.end(), buffer, buffer + n);
        std::fclose(f);
    }
    // The segment is whole: its length is what was written.
    if (file.size() > 2) {
        if (file.size() < 6 || file[2] != 0xFF || file[3] != 0xE1 ||
            (size_t(file[4]) << 8 | file[5]) + 4 != file.size())
            __builtin_trap();
    }
    file.insert(file.end(), stream.begin(), stream.end());
    WriteFile(jpeg, file.data(), file.size());
    FinishedJPEGImage image{FilePathSpec(jpeg)};
    if (image.Open() == 0) {
        image.GetThumbnailRect();
        image.Close();
    }
    return 0;
}
