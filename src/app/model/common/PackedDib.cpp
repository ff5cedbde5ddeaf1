#include "PackedDib.h"

namespace {

using lumora::ByteOrder;
using lumora::ByteReader;

uint64_t RowBytes(uint64_t width, uint64_t bitsPerPixel) { return (width * bitsPerPixel + 31) / 32 * 4; }

void Put16(std::vector<uint8_t>& out, size_t at, uint16_t value) {
    out[at] = uint8_t(value);
    out[at + 1] = uint8_t(value >> 8);
}

void Put32(std::vector<uint8_t>& out, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) out[at + size_t(i)] = uint8_t(value >> (8 * i));
}

} // namespace

std::optional<PackedDib::Rgb> PackedDib::Decode(lumora::ByteView bytes) {
    ByteReader header(bytes, ByteOrder::Little);
    uint32_t headerSize = 0, compression = 0, imageSize = 0, colorsUsed = 0, colorsImportant = 0;
    uint32_t rawWidth = 0, rawHeight = 0, xDensity = 0, yDensity = 0;
    uint16_t planes = 0, bitCount = 0;
    if (!header.u32(headerSize) || !header.u32(rawWidth) || !header.u32(rawHeight) || !header.u16(planes) ||
        !header.u16(bitCount) || !header.u32(compression) || !header.u32(imageSize) || !header.u32(xDensity) ||
        !header.u32(yDensity) || !header.u32(colorsUsed) || !header.u32(colorsImportant))
        return std::nullopt;
    const int32_t width = int32_t(rawWidth);
    const int32_t signedHeight = int32_t(rawHeight);
    if (headerSize < kHeaderSize || width <= 0 || signedHeight == 0 || signedHeight == INT32_MIN || planes != 1 ||
        compression != 0 || (bitCount != 8 && bitCount != 24))
        return std::nullopt;
    const bool bottomUp = signedHeight > 0;
    const uint64_t height = uint64_t(bottomUp ? int64_t(signedHeight) : -int64_t(signedHeight));
    if (bitCount == 8 && colorsUsed == 0) colorsUsed = 256;
    if (bitCount == 8 && colorsUsed > 256) return std::nullopt;

    const uint64_t tableStart = headerSize;
    const uint64_t pixelStart = tableStart + 4 * uint64_t(colorsUsed);
    const uint64_t rowBytes = RowBytes(uint64_t(width), bitCount);
    if (!bytes.contains(tableStart, 4 * uint64_t(colorsUsed)) ||
        !bytes.containsArray(pixelStart, height, rowBytes))
        return std::nullopt;
    Rgb picture;
    picture.width = width;
    picture.height = int(height);
    picture.pixels.resize(size_t(uint64_t(width) * height * 3));
    const uint8_t* data = bytes.data();
    for (uint64_t y = 0; y < height; ++y) {
        const uint64_t sourceRow = bottomUp ? height - 1 - y : y;
        const uint8_t* row = data + pixelStart + sourceRow * rowBytes;
        uint8_t* out = picture.pixels.data() + y * uint64_t(width) * 3;
        for (int32_t x = 0; x < width; ++x, out += 3) {
            if (bitCount == 24) {
                out[0] = row[3 * x + 2];
                out[1] = row[3 * x + 1];
                out[2] = row[3 * x];
            } else {
                const uint8_t index = row[x];
                if (index >= colorsUsed) return std::nullopt;
                const uint8_t* entry = data + tableStart + 4 * uint64_t(index);
                out[0] = entry[2];
                out[1] = entry[1];
                out[2] = entry[0];
            }
        }
    }
    return picture;
}

std::vector<uint8_t> PackedDib::Encode(const Rgb& picture) {
    if (picture.width <= 0 || picture.height <= 0 ||
        picture.pixels.size() != size_t(picture.width) * size_t(picture.height) * 3)
        return {};
    const size_t rowBytes = size_t(RowBytes(uint64_t(picture.width), 24));
    const size_t imageSize = rowBytes * size_t(picture.height);
    std::vector<uint8_t> out(kHeaderSize + imageSize, 0);
    Put32(out, 0, kHeaderSize);
    Put32(out, 4, uint32_t(picture.width));
    Put32(out, 8, uint32_t(picture.height));
    Put16(out, 12, 1);
    Put16(out, 14, 24);
    Put32(out, 20, uint32_t(imageSize));
    for (int y = 0; y < picture.height; ++y) {
        const uint8_t* in = picture.pixels.data() + size_t(y) * size_t(picture.width) * 3;
        uint8_t* row = out.data() + kHeaderSize + size_t(picture.height - 1 - y) * rowBytes;
        for (int x = 0; x < picture.width; ++x, in += 3) {
            row[3 * x] = in[2];
            row[3 * x + 1] = in[1];
            row[3 * x + 2] = in[0];
        }
    }
    return out;
}
