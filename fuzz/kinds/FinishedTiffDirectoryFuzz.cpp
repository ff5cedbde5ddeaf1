// The finished TIFF kind's directory readers on any bytes: the file is
// written to a temporary path and opened, then rendered when it opens.
#include "ExportImageArray.h"
#include "FinishedTIFFImage.h"
#include "YlmErrp.h"

#include <cstdio>
#include <string>
#include <unistd.h>

using namespace NimbalCore;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = "/tmp/lumora-fuzz-tiff-" + std::to_string(getpid()) + ".tif";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    {
        FinishedTIFFImage image{FilePathSpec(path)};
        // The readers on the bytes alone, at every directory they name.
        image.SetFileBytes(std::vector<uint8_t>(data, data + size), size);
        if (auto at = image.FindTIFFHeader()) {
            uint32_t ifd = 0;
            image.Bytes().u32(*at + 4, image.IsBigEndian() ? lumora::ByteOrder::Big : lumora::ByteOrder::Little, ifd);
            for (int i = 0; i < 4 && ifd; ++i) {
                for (uint16_t tag : {271, 272, 305, 306, 330, 34675}) {
                    image.GetIFDString(ifd, tag);
                    image.GetIFDValueOffset(ifd, tag);
                }
                ifd = image.GetNextIFD(ifd);
            }
        }
    }
    FinishedTIFFImage image{FilePathSpec(path)};
    if (image.Open() == 0) {
        const NbRect r = image.GetNativeImageRect();
        if (r.Width() * r.Height() <= (1 << 20)) {
            ExportImageArray out;
            out.SetPixelType(PixelArray::RGB);
            out.SetBounds(r);
            out.SetRowBytes(int32_t(r.Width() * 3));
            out.Create(uint64_t(r.Width() * r.Height() * 3));
            try {
                image.RenderImage(ImageProcessParam(), out, false, nullptr, 1);
                if (image.HasThumbnail() && image.GetNativeThumbnailRect().Width() * image.GetNativeThumbnailRect().Height() <= (1 << 20)) {
                    ExportImageArray t;
                    const NbRect tr = image.GetNativeThumbnailRect();
                    t.SetPixelType(PixelArray::RGB);
                    t.SetBounds(tr);
                    t.SetRowBytes(int32_t(tr.Width() * 3));
                    t.Create(uint64_t(tr.Width() * tr.Height() * 3));
                    image.RenderThumbnail(ImageProcessParam(), t);
                }
            } catch (const YlmErrp&) {
            }
        }
        image.Close();
    }
    return 0;
}
