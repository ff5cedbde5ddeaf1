#include "ZyrCameraFile.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

#include "ZyrSample.h"
#include "ZyrWriter.h"

namespace {

std::vector<uint8_t> Image(const ZyrCameraFileOptions& o) {
    const int components = o.colour ? 3 : 1;
    std::vector<uint8_t> pixels;
    pixels.reserve(size_t(o.width) * o.height * components);
    for (uint32_t y = 0; y < o.height; ++y)
        for (uint32_t x = 0; x < o.width; ++x)
            for (int c = 0; c < components; ++c) pixels.push_back(ZyrCameraFile::Pixel(x, y, o.colour ? c : 1));
    return pixels;
}

// A Photoshop APP13 block holding one IPTC resource.
std::vector<uint8_t> App13(const std::vector<uint8_t>& iptc) {
    std::vector<uint8_t> body = {'P', 'h', 'o', 't', 'o', 's', 'h', 'o', 'p', ' ', '3', '.', '0', 0,
                                 '8', 'B', 'I', 'M', 0x04, 0x04, 0, 0};
    const uint32_t n = uint32_t(iptc.size());
    body.insert(body.end(), {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)});
    body.insert(body.end(), iptc.begin(), iptc.end());
    if (n % 2) body.push_back(0);
    // ResolutionInfo: 300 pixels per inch both ways.
    body.insert(body.end(), {'8', 'B', 'I', 'M', 0x03, 0xED, 0, 0, 0, 0, 0, 16, 0x01, 0x2C, 0, 0, 0, 1, 0, 1, 0x01,
                             0x2C, 0, 0, 0, 1, 0, 1});
    const size_t length = body.size() + 2;
    std::vector<uint8_t> out = {0xFF, 0xED, uint8_t(length >> 8), uint8_t(length)};
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

// An APP8 segment with a resolution record in its second layout (unit at 13,
// values at 24 and 28).
std::vector<uint8_t> App8() {
    std::vector<uint8_t> out = {0xFF, 0xE8, 0, 32};
    out.resize(34, 0);
    out[6] = 'R';
    out[13] = 1;
    out[24] = 0x01, out[25] = 0x2C;
    out[28] = 0x01, out[29] = 0x2C;
    return out;
}

} // namespace

uint8_t ZyrCameraFile::Pixel(uint32_t x, uint32_t y, int c) {
    // Smooth ramps with a few edges, so the stream has real work in it.
    const uint32_t v = c == 0 ? x * 3 + y : c == 1 ? x + y * 2 + ((x / 8 + y / 8) % 2) * 40 : 200 - (x + y) % 180;
    return uint8_t(v & 0xFF);
}

uint8_t ZyrCameraFile::ThumbPixel(uint32_t x, uint32_t y, int c) { return uint8_t(x * 13 + y * 7 + c * 50); }

std::vector<uint8_t> ZyrCameraFile::Compress(const ZyrCameraFileOptions& options) {
    ZyrCameraFileOptions o = options;
    o.width += o.streamExtraWidth;
    if (o.greyStream) o.colour = false;
    const std::vector<uint8_t> pixels = Image(o);
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* memory = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &memory, &size);
    cinfo.image_width = o.width;
    cinfo.image_height = o.height;
    cinfo.input_components = o.colour ? 3 : 1;
    cinfo.in_color_space = o.colour ? JCS_RGB : JCS_GRAYSCALE;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, o.quality, TRUE);
    cinfo.write_JFIF_header = FALSE;
    jpeg_start_compress(&cinfo, TRUE);
    const size_t rowBytes = size_t(o.width) * size_t(cinfo.input_components);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<uint8_t*>(pixels.data()) + size_t(cinfo.next_scanline) * rowBytes;
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::vector<uint8_t> out(memory, memory + size);
    std::free(memory);
    out.resize(out.size() - std::min<size_t>(o.cutStream, out.size() - 2));
    return out;
}

std::vector<uint8_t> ZyrCameraFile::Make(const ZyrCameraFileOptions& o) {
    ZyrWriter w(o.order);
    const ZyrWriter::IfdId main = w.AddIfd();
    const ZyrWriter::IfdId priv = w.AddIfd();
    const ZyrWriter::IfdId thumb = w.AddIfd();
    const std::vector<uint8_t> stream = o.rgbTiff ? std::vector<uint8_t>{} : Compress(o);
    const std::vector<uint8_t> pixels = o.rgbTiff ? Image(o) : std::vector<uint8_t>{};
    const uint16_t spp = o.colour ? 3 : 1;

    w.Longs(main, 256, {o.width});
    w.Longs(main, 257, {o.height});
    w.Shorts(main, 258, std::vector<uint16_t>(spp, 8));
    w.Shorts(main, 259, {uint16_t(o.rgbTiff ? 1 : 7)});
    w.Shorts(main, 262, {uint16_t(o.colour ? 2 : 1)});
    w.AsciiField(main, 270, "Lumora camera file", o.descriptionField);
    w.Ascii(main, 271, "Lumora");
    w.Bytes(main, 272, 2, ZyrSample::ModelField(o.model, -1));
    if (o.rgbTiff) w.Strip(main, pixels, ZyrWriter::Placement::Sensor);
    else w.Longs(main, 273, {0}); // the stream's place, set below
    w.Shorts(main, 277, {spp});
    w.Longs(main, 278, {o.height});
    if (!o.rgbTiff) w.Longs(main, 279, {uint32_t(stream.size() - 2)});
    w.Rationals(main, 282, {{o.resolution[0], o.resolution[1]}});
    w.Rationals(main, 283, {{o.resolution[0], o.resolution[1]}});
    w.Shorts(main, 296, {o.resolutionUnit});
    w.Ascii(main, 306, "2024:05:17 10:30:00");
    if (o.rgbTiff && !o.iptc.empty()) {
        // An RGB TIFF file keeps the record's bytes in IFD0, counted as LONGs.
        std::vector<uint8_t> padded((o.iptc.size() + 3) / 4 * 4, 0);
        std::copy(o.iptc.begin(), o.iptc.end(), padded.begin());
        w.RawData(main, 33723, 4, uint32_t(padded.size() / 4), padded);
    }
    w.PrivateIfd(main, priv);
    w.NextIfd(main, thumb);

    w.Ascii(priv, 1001, "1.00 camera");
    w.Shorts(priv, 1018, {0});
    w.Shorts(priv, 1020, {0});
    if (o.storedSettings) w.Bytes(priv, 1021, 7, std::vector<uint8_t>(58, 0));
    if (o.tagWord >= 0) w.Longs(priv, 1002, {uint32_t(o.tagWord)});
    if (o.settingsData) {
        w.Bytes(priv, 1009, 7, {'S', 'E', 'T', 'T', 'I', 'N', 'G', 'S', '-', '1', '0', '9'});
        w.Bytes(priv, 1026, 7, {'X', 'Y', 'Z'});
    }
    for (uint32_t k = 0; k < 6; ++k)
        w.Rationals(priv, uint16_t(2120 + k), {{2620 - 15 * k, 1}, {2568, 1}, {2520 + 15 * k, 1}});
    w.Longs(priv, 3502, {0x02000000});

    std::vector<uint8_t> thumbBytes;
    for (uint32_t y = 0; y < o.thumbHeight; ++y)
        for (uint32_t x = 0; x < o.thumbWidth; ++x)
            for (int c = 0; c < 3; ++c) thumbBytes.push_back(ThumbPixel(x, y, c));
    w.Longs(thumb, 256, {o.thumbWidth});
    w.Longs(thumb, 257, {o.thumbHeight});
    w.Shorts(thumb, 258, {8, 8, 8});
    w.Shorts(thumb, 259, {1});
    w.Shorts(thumb, 262, {2});
    w.Strip(thumb, thumbBytes, ZyrWriter::Placement::Header);
    w.Shorts(thumb, 277, {3});
    w.Longs(thumb, 278, {o.thumbHeight});

    if (o.rgbTiff) return w.Build();

    // The stream's segments after its SOI follow the APP1 segment, whose TIFF
    // structure ends where they begin.
    ZyrWriter::Layout layout;
    std::vector<uint8_t> tiff = w.Build(&layout);
    w.Remove(main, 273);
    w.RawEntry(main, 273, 4, 1, uint32_t(tiff.size()));
    tiff = w.Build();
    const size_t segment = 2 + 6 + tiff.size();
    if (segment > 0xFFFF) return {};
    std::vector<uint8_t> out = {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0, 1, 1, 1, 1, 44, 1, 44, 0, 0};
    if (o.app8) {
        const std::vector<uint8_t> app8 = App8();
        out.insert(out.end(), app8.begin(), app8.end());
    }
    if (!o.iptc.empty()) {
        const std::vector<uint8_t> app13 = App13(o.iptc);
        out.insert(out.end(), app13.begin(), app13.end());
    }
    const uint8_t app1[] = {0xFF, 0xE1, uint8_t(segment >> 8), uint8_t(segment), 'E', 'x', 'i', 'f', 0, 0};
    out.insert(out.end(), std::begin(app1), std::end(app1));
    out.insert(out.end(), tiff.begin(), tiff.end());
    out.insert(out.end(), stream.begin() + 2, stream.end());
    return out;
}
