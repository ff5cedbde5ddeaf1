// makerblocks IN.jpg OUT.jpg [--preview WxH] [--large THUMB.jpg WxH]
//
// Copies a JPEG with the maker's blocks added after its SOI: a ZELT1 block,
// a Meta block, and with --preview the data segments of a coded WxH test
// picture, with --large an "LMBigTN" thumbnail of that JPEG.
#include "MakerBlockWriter.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace {

bool Size(const char* text, int& w, int& h) { return std::sscanf(text, "%dx%d", &w, &h) == 2 && w > 0 && h > 0; }

std::vector<uint8_t> Read(const char* path) {
    std::ifstream f(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

int Usage() {
    std::fprintf(stderr, "usage: makerblocks IN.jpg OUT.jpg [--preview WxH] [--large THUMB.jpg WxH]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) return Usage();
    MakerBlockSpec spec;
    for (int i = 3; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--preview" && i + 1 < argc) {
            if (!Size(argv[++i], spec.previewWidth, spec.previewHeight)) return Usage();
            spec.preview = MakerBlockWriter::PreviewPattern(spec.previewWidth, spec.previewHeight, 1);
        } else if (arg == "--large" && i + 2 < argc) {
            spec.largeThumbnail = Read(argv[++i]);
            int w = 0, h = 0;
            if (spec.largeThumbnail.empty() || !Size(argv[++i], w, h)) return Usage();
            spec.largeWidth = uint16_t(w), spec.largeHeight = uint16_t(h);
        } else {
            return Usage();
        }
    }
    const std::vector<uint8_t> in = Read(argv[1]);
    try {
        const std::vector<uint8_t> out = MakerBlockWriter::Insert(in, spec);
        std::ofstream f(argv[2], std::ios::binary);
        f.write(reinterpret_cast<const char*>(out.data()), std::streamsize(out.size()));
        if (!f) return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "makerblocks: %s\n", e.what());
        return 1;
    }
    return 0;
}
