// Opening a raw image of the newest models whose attribute table comes from
// the fuzzer: the file is a small valid container around the fuzzed table,
// read through the stand-in folder plug-in, so that every attribute the image
// reads at its first opening may be missing, mistyped, short or absurd.
#include "BBPlugIn.h"
#include "ImagePool.h"
#include "ImageRef.h"
#include "ProImage.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

using namespace NimbalCore;

namespace {

YlmRefPtr<BBPlugIn>& PlugIn() {
    static YlmRefPtr<BBPlugIn> plugIn = [] {
        const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe");
        const std::string library = (self.parent_path().parent_path() / "bin" / "PlugIns" / "ZynFolder.so").string();
        YlmRefPtr<BBPlugIn> p(new BBPlugIn(LoadableModule::CreateFromPath(library.c_str())));
        if (!p->Bind() || p->InitializeContext() != 0) {
            std::fprintf(stderr, "cannot load %s\n", library.c_str());
            std::abort();
        }
        return p;
    }();
    return plugIn;
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    static const std::string path = [] {
        // The folder plug-in reads files of its own extension only.
        char name[] = "/tmp/lumora-fuzz-pro-XXXXXX.zpx";
        const int fd = ::mkstemps(name, 4);
        if (fd >= 0) ::close(fd);
        return std::string(name);
    }();
    // The first two of four leading bytes give the attribute count (kept
    // small, so that most counts fit the table); the rest is the table.
    const uint32_t count = uint32_t(data[0]) | uint32_t(data[1]) << 8;
    constexpr uint32_t w = 8, h = 6;
    std::vector<uint8_t> file = {'Z', 'P', 'R', 'O'};
    Put32(file, 1);
    Put32(file, w);
    Put32(file, h);
    Put32(file, 28);
    Put32(file, 28 + w * h * 6);
    Put32(file, count);
    file.resize(28 + w * h * 6, 0x40);
    file.insert(file.end(), data + 4, data + size);
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(file.data(), 1, file.size(), f);
        std::fclose(f);
    }
    ImageRef image(new ProImage(FilePathSpec(path), PlugIn()));
    if (image->Open() == 0) {
        ImageProcessParam p = *image->GetProcessParams();
        (void)image->ValidateProcessParams(p);
        (void)image->GetAvailableResolutions();
        image->Close();
    }
    return 0;
}
