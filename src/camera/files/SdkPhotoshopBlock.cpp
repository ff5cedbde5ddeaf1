#include "SdkPhotoshopBlock.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include <jpeglib.h>

namespace {

void Put16(std::vector<uint8_t>& v, uint32_t x) { v.insert(v.end(), {uint8_t(x >> 8), uint8_t(x)}); }
void Put32(std::vector<uint8_t>& v, uint32_t x) {
    v.insert(v.end(), {uint8_t(x >> 24), uint8_t(x >> 16), uint8_t(x >> 8), uint8_t(x)});
}

void Resource(std::vector<uint8_t>& v, uint16_t id, const std::vector<uint8_t>& data) {
    v.insert(v.end(), {'8', 'B', 'I', 'M'});
    Put16(v, id);
    Put16(v, 0);
    Put32(v, uint32_t(data.size()));
    v.insert(v.end(), data.begin(), data.end());
    if (data.size() % 2) v.push_back(0);
}

constexpr uint32_t kThumbSide = 64;
constexpr uint32_t kThumbJpegBytes = 658;

// A 64 x 64 grey baseline JFIF picture of exactly 658 bytes: the placeholder
// thumbnail of the block (padded with a comment segment before its end).
std::vector<uint8_t> PlaceholderThumbnail() {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* memory = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &memory, &size);
    cinfo.image_width = kThumbSide;
    cinfo.image_height = kThumbSide;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 50, TRUE);
    cinfo.optimize_coding = TRUE;
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<uint8_t> row(kThumbSide * 3, 128);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&cinfo, &r, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::vector<uint8_t> jpeg(memory, memory + size);
    std::free(memory);
    // A comment segment before EOI brings it to the size the resource states.
    if (jpeg.size() + 4 <= kThumbJpegBytes) {
        const size_t pad = kThumbJpegBytes - jpeg.size();
        std::vector<uint8_t> com = {0xFF, 0xFE, uint8_t((pad - 2) >> 8), uint8_t(pad - 2)};
        com.resize(pad, 0);
        jpeg.insert(jpeg.end() - 2, com.begin(), com.end());
    }
    jpeg.resize(kThumbJpegBytes, 0);
    return jpeg;
}

// The eleven resources after the IPTC record, ResolutionInfo first (its
// bytes filled in by the caller).
const std::vector<uint8_t>& Template() {
    static const std::vector<uint8_t> t = [] {
        std::vector<uint8_t> v;
        Resource(v, 0x03ED, std::vector<uint8_t>(16, 0));
        Resource(v, 0x040D, {0, 0, 0, 120});
        Resource(v, 0x03F3, std::vector<uint8_t>(8, 0));
        Resource(v, 0x040A, {0});
        Resource(v, 0x2710, {0, 1, 0, 0, 0, 0, 0, 0, 0, 2});
        Resource(v, 0x03F5, std::vector<uint8_t>(72, 0));
        Resource(v, 0x03F8, std::vector<uint8_t>(112, 0));
        Resource(v, 0x0408, {0, 0, 0, 1, 0, 0, 0x24, 0, 0, 0, 0x24, 0, 0, 0, 0, 0});
        Resource(v, 0x0414, {0, 0, 0, 1});
        std::vector<uint8_t> thumb;
        Put32(thumb, 1);                                 // format: JPEG
        Put32(thumb, kThumbSide);                        // width
        Put32(thumb, kThumbSide);                        // height
        Put32(thumb, kThumbSide * 3);                    // bytes per row
        Put32(thumb, kThumbSide * kThumbSide * 3);       // raw size
        Put32(thumb, kThumbJpegBytes);                   // compressed size
        Put16(thumb, 24);                                // bits per pixel
        Put16(thumb, 1);                                 // planes
        const std::vector<uint8_t> jpeg = PlaceholderThumbnail();
        thumb.insert(thumb.end(), jpeg.begin(), jpeg.end());
        Resource(v, 0x040C, thumb);
        Resource(v, 0x0406, {0xFF, 0xFF, 0, 0, 0, 1, 1});
        return v;
    }();
    return t;
}

} // namespace

VqStatus SdkBuildResolutionResource(uint32_t value, int32_t unit, uint8_t* out) {
    if (!out) return VQ_ERR_BAD_HANDLE;
    const uint32_t fixed = unit == 2 ? uint32_t(double(value) * 166461.44) : value * 65536u;
    std::vector<uint8_t> v;
    for (int i = 0; i < 2; ++i) {
        Put32(v, fixed);
        Put16(v, uint32_t(unit));
        Put16(v, 1);
    }
    std::memcpy(out, v.data(), kSdkResolutionResourceBytes);
    return VQ_OK;
}

VqStatus SdkBuildPhotoshopBlock(const uint8_t* iptc, uint32_t n, const uint32_t* resolution, uint32_t,
                                std::vector<uint8_t>* out) {
    if (!resolution || !out || (n && !iptc)) return VQ_ERR_BAD_HANDLE;
    const uint32_t padded = n + (n & 1);
    const uint64_t total = uint64_t(padded) + kSdkPhotoshopBlockOverhead;
    // The segment length is 16 bits.
    if (total - 2 > 0xFFFF) return VQ_ERR_BAD_ARGUMENT;
    try {
        std::vector<uint8_t> v;
        v.reserve(size_t(total));
        v.insert(v.end(), {0xFF, 0xED});
        Put16(v, uint32_t(total - 2));
        const char* tag = "Photoshop 3.0";
        v.insert(v.end(), tag, tag + 14);
        v.insert(v.end(), {'8', 'B', 'I', 'M', 0x04, 0x04, 0, 0});
        Put32(v, n);
        if (n) v.insert(v.end(), iptc, iptc + n);
        if (n & 1) v.push_back(0);
        const std::vector<uint8_t>& t = Template();
        const size_t resolutionAt = v.size() + 12;
        v.insert(v.end(), t.begin(), t.end());
        SdkBuildResolutionResource(resolution[0], int32_t(resolution[1]), v.data() + resolutionAt);
        *out = std::move(v);
    } catch (const std::bad_alloc&) {
        return VQ_ERR_PROCESS_NO_MEMORY;
    }
    return VQ_OK;
}
