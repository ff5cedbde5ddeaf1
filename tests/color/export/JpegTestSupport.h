#pragma once
// Helpers of the JPEG exporter's tests: the segments of a JPEG file walked
// marker by marker, and a stream decoded by libjpeg with its tables.
#include "SdkJpegErrorManager.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace jpegtest {

struct Segment {
    uint8_t marker = 0;
    uint64_t at = 0;     // offset of the FF byte
    uint32_t length = 0; // the length field (0 for SOI)
    std::string Name(const std::vector<uint8_t>& file) const {
        const uint64_t from = at + 4;
        std::string name;
        for (uint64_t i = from; i < file.size() && i < from + 16 && file[i] != 0; ++i) name += char(file[i]);
        return name;
    }
    std::vector<uint8_t> Content(const std::vector<uint8_t>& file) const {
        if (at + 4 > file.size() || length < 2 || at + 2 + length > file.size()) return {};
        return std::vector<uint8_t>(file.begin() + int64_t(at) + 4, file.begin() + int64_t(at) + 2 + length);
    }
};

// SOI and every segment up to and including the first SOS.
inline std::vector<Segment> WalkMarkers(const std::vector<uint8_t>& file) {
    std::vector<Segment> out;
    if (file.size() < 2 || file[0] != 0xFF || file[1] != 0xD8) return out;
    out.push_back(Segment{0xD8, 0, 0});
    uint64_t p = 2;
    while (p + 4 <= file.size() && file[p] == 0xFF) {
        Segment s{file[p + 1], p, uint32_t(file[p + 2]) << 8 | file[p + 3]};
        out.push_back(s);
        if (s.marker == 0xDA) break;
        p += 2 + uint64_t(s.length);
    }
    return out;
}

inline uint16_t Big16(const std::vector<uint8_t>& b, uint64_t at) { return uint16_t(b[at] << 8 | b[at + 1]); }
inline uint32_t Big32(const std::vector<uint8_t>& b, uint64_t at) {
    return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3];
}

struct Decoded {
    bool ok = false;
    int width = 0, height = 0, components = 0;
    long warnings = 0;
    bool jfif = false, adobe = false;
    std::array<uint16_t, 64> luma{}, chroma{}; // natural order
    bool hasChroma = false;
    std::vector<uint8_t> pixels;                // as decoded, interleaved
    uint8_t At(int x, int y, int k) const { return pixels[(size_t(y) * width + x) * components + k]; }
};

// Decodes in the components' own colour space kept as RGB or gray.
inline Decoded Decode(const std::vector<uint8_t>& bytes) {
    Decoded d;
    jpeg_decompress_struct cinfo{};
    SdkJpegError error{};
    cinfo.err = SdkInitJpegErrorManager(&error);
    if (setjmp(error.returnPoint)) {
        jpeg_destroy_decompress(&cinfo);
        return Decoded{};
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, bytes.data(), (unsigned long)bytes.size());
    jpeg_read_header(&cinfo, TRUE);
    d.jfif = cinfo.saw_JFIF_marker;
    d.adobe = cinfo.saw_Adobe_marker;
    if (cinfo.quant_tbl_ptrs[0])
        for (int i = 0; i < 64; ++i) d.luma[size_t(i)] = cinfo.quant_tbl_ptrs[0]->quantval[i];
    if (cinfo.quant_tbl_ptrs[1]) {
        d.hasChroma = true;
        for (int i = 0; i < 64; ++i) d.chroma[size_t(i)] = cinfo.quant_tbl_ptrs[1]->quantval[i];
    }
    jpeg_start_decompress(&cinfo);
    d.width = int(cinfo.output_width);
    d.height = int(cinfo.output_height);
    d.components = cinfo.output_components;
    d.pixels.resize(size_t(d.width) * d.height * d.components);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = d.pixels.data() + size_t(cinfo.output_scanline) * d.width * d.components;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    d.warnings = error.manager.num_warnings;
    jpeg_destroy_decompress(&cinfo);
    d.ok = true;
    return d;
}

} // namespace jpegtest
