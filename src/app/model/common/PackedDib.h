#pragma once
// A picture as a packed device-independent bitmap, the form a picture takes
// on the clipboard: a 40-byte header, the colour table, then the rows from
// the bottom one up, each padded to a multiple of four bytes. Copies of the
// program's pictures are 24-bit colour (blue, green, red) or 8-bit grey
// with a grey colour table.
#include "ByteView.h"

#include <cstdint>
#include <optional>
#include <vector>

class PackedDib {
public:
    // Rows from the top one down, three bytes (red, green, blue) a pixel.
    struct Rgb {
        int width = 0;
        int height = 0;
        std::vector<uint8_t> pixels;
    };

    static constexpr uint32_t kHeaderSize = 40;

    // The pixels of a packed DIB of 8 or 24 bits without compression, its
    // rows bottom-up (positive height) or top-down (negative height); none
    // when the bytes are anything else or fall short of what the header
    // announces.
    static std::optional<Rgb> Decode(lumora::ByteView bytes);
    // A 24-bit bottom-up packed DIB of the picture; empty for a picture
    // without pixels or whose pixel bytes do not match its size.
    static std::vector<uint8_t> Encode(const Rgb& picture);
};
