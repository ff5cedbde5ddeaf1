#include "JpegFixture.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include <jpeglib.h>

Picture JpegFixture::Pattern(int width, int height, int channels, uint32_t seed) {
    Picture p;
    p.width = width, p.height = height, p.channels = channels;
    p.pixels.resize(size_t(width) * size_t(height) * size_t(channels));
    uint32_t state = seed * 2654435761u + 1;
    size_t i = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int k = 0; k < channels; ++k) {
                state = state * 1664525u + 1013904223u;
                const int smooth = (x * (k + 2) * 255 / (width + 1) + y * (3 - k % 3) * 255 / (height + 1)) / 2;
                p.pixels[i++] = uint8_t((smooth + int(state >> 28)) & 0xFF);
            }
    return p;
}

std::vector<uint8_t> JpegFixture::Encode(const Picture& picture, int quality, bool progressive, int restartRows) {
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = JDIMENSION(picture.width);
    c.image_height = JDIMENSION(picture.height);
    c.input_components = picture.channels;
    c.in_color_space = picture.channels == 1 ? JCS_GRAYSCALE : picture.channels == 4 ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, quality, TRUE);
    if (progressive) jpeg_simple_progression(&c);
    c.restart_in_rows = restartRows;
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<uint8_t*>(picture.Row(int(c.next_scanline)));
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    std::vector<uint8_t> bytes(out, out + size);
    jpeg_destroy_compress(&c);
    std::free(out);
    return bytes;
}

void JpegFixture::WritePNM(const std::string& path, const Picture& picture) {
    std::ofstream f(path, std::ios::binary);
    f << (picture.channels == 1 ? "P5" : "P6") << "\n" << picture.width << " " << picture.height << "\n255\n";
    f.write(reinterpret_cast<const char*>(picture.pixels.data()), std::streamsize(picture.pixels.size()));
}

Picture JpegFixture::ReadPNM(const std::string& path) {
    Picture p;
    std::ifstream f(path, std::ios::binary);
    std::string magic;
    int maxValue = 0;
    if (!(f >> magic >> p.width >> p.height >> maxValue) || maxValue != 255) return Picture{};
    f.get();
    p.channels = magic == "P5" ? 1 : 3;
    p.pixels.resize(size_t(p.width) * size_t(p.height) * size_t(p.channels));
    f.read(reinterpret_cast<char*>(p.pixels.data()), std::streamsize(p.pixels.size()));
    if (!f) return Picture{};
    return p;
}

std::vector<uint8_t> JpegFixture::ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

void JpegFixture::WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

bool JpegFixture::Run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

bool JpegFixture::HaveTool(const std::string& name) { return Run("command -v " + name); }

std::vector<uint8_t> JpegFixture::Segment(uint8_t marker, const std::vector<uint8_t>& body) {
    const size_t length = body.size() + 2;
    if (length > 0xFFFF) throw std::length_error("segment too long");
    std::vector<uint8_t> s{0xFF, marker, uint8_t(length >> 8), uint8_t(length)};
    s.insert(s.end(), body.begin(), body.end());
    return s;
}

std::vector<uint8_t> JpegFixture::InsertAfterSoi(const std::vector<uint8_t>& jpeg, const std::vector<uint8_t>& segment) {
    std::vector<uint8_t> out(jpeg.begin(), jpeg.begin() + 2);
    out.insert(out.end(), segment.begin(), segment.end());
    out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
    return out;
}
