#pragma once
// Writes a strip of 16-bit planes into the caller's buffer in the layout of an
// output type, turned by 0, 90, 180 or 270 degrees, with pad bytes after every
// output row (skipped, never written).
#include <cstddef>
#include <cstdint>

#include "VqStatus.h"

namespace lumora {

class OutputStage {
public:
    // Writes one pixel at destination and answers where the next pixel goes:
    // destination + step + (bytes per pixel - bytes per sample).
    using Packer3 = uint8_t* (*)(uint16_t s0, uint16_t s1, uint16_t s2, uint8_t* destination,
                                 ptrdiff_t step);
    using Packer4 = uint8_t* (*)(uint16_t s0, uint16_t s1, uint16_t s2, uint16_t s3,
                                 uint8_t* destination, ptrdiff_t step);

    OutputStage();

    VqStatus Init(uint32_t type, float rotation, int32_t leftSkip, int32_t rightSkip,
                  int32_t padBytes, int32_t width, int32_t height, int32_t bytesPerSample,
                  int32_t channels);
    void SetPacker(uint32_t type);

    // Writes height x width pixels; plane 3 is given for four-channel types only.
    VqStatus Pack(const uint16_t* p0, const uint16_t* p1, const uint16_t* p2, const uint16_t* p3,
                  uint8_t* destination) const;
    // The pipeline's planes are signed; the packers read the same bits unsigned.
    VqStatus Pack(const int16_t* p0, const int16_t* p1, const int16_t* p2, const int16_t* p3,
                  uint8_t* destination) const {
        return Pack(reinterpret_cast<const uint16_t*>(p0), reinterpret_cast<const uint16_t*>(p1),
                    reinterpret_cast<const uint16_t*>(p2), reinterpret_cast<const uint16_t*>(p3),
                    destination);
    }
    // The same result one packer call per pixel; the reference for Pack.
    VqStatus PackReference(const uint16_t* p0, const uint16_t* p1, const uint16_t* p2,
                           const uint16_t* p3, uint8_t* destination) const;

    // Pad bytes of the whole strip.
    uint32_t PadTotal() const;

    static uint8_t* PackGray8(uint16_t, uint16_t, uint16_t, uint8_t*, ptrdiff_t);
    static uint8_t* PackGray16(uint16_t, uint16_t, uint16_t, uint8_t*, ptrdiff_t);
    static uint8_t* PackRgb8(uint16_t, uint16_t, uint16_t, uint8_t*, ptrdiff_t);
    static uint8_t* PackXrgb8(uint16_t, uint16_t, uint16_t, uint8_t*, ptrdiff_t);
    static uint8_t* PackRgb16(uint16_t, uint16_t, uint16_t, uint8_t*, ptrdiff_t);
    static uint8_t* PackXrgb16(uint16_t, uint16_t, uint16_t, uint8_t*, ptrdiff_t);
    static uint8_t* PackBgr8(uint16_t, uint16_t, uint16_t, uint8_t*, ptrdiff_t);
    static uint8_t* PackBgrx8(uint16_t, uint16_t, uint16_t, uint8_t*, ptrdiff_t);
    static uint8_t* PackBgr16(uint16_t, uint16_t, uint16_t, uint8_t*, ptrdiff_t);
    static uint8_t* PackBgrx16(uint16_t, uint16_t, uint16_t, uint8_t*, ptrdiff_t);
    static uint8_t* PackRgb12(uint16_t, uint16_t, uint16_t, uint8_t*, ptrdiff_t);
    static uint8_t* PackLab8(uint16_t, uint16_t, uint16_t, uint8_t*, ptrdiff_t);
    static uint8_t* PackCmyk8(uint16_t, uint16_t, uint16_t, uint16_t, uint8_t*, ptrdiff_t);
    static uint8_t* PackCmyk16(uint16_t, uint16_t, uint16_t, uint16_t, uint8_t*, ptrdiff_t);

    Packer3 packer3 = nullptr;
    Packer4 packer4 = nullptr;
    uint32_t outputType = 4;
    float rotation = 0.0f;
    int32_t leftSkip = 0;
    int32_t rightSkip = 0;
    int32_t padBytes = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t bytesPerSample = 0;
    int32_t channels = 0;

private:
    struct Geometry {
        ptrdiff_t step;
        ptrdiff_t rowAdjust;
        ptrdiff_t start;
    };
    bool GeometryFor(Geometry* g) const;
};

} // namespace lumora
