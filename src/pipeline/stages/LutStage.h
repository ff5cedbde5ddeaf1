#pragma once
// Table look-ups and small per-sample corrections over the 16-bit planes of a
// strip: tables over one or three planes, per-colour tables on the colour-filter
// pattern, row and column offsets and the tiled gain map.
#include <cstddef>
#include <cstdint>

#include "ProcessorHasAvx2.h"
#include "VqStatus.h"

namespace lumora {

class LutStage {
public:
    LutStage();
    LutStage(const LutStage&) = delete;
    LutStage& operator=(const LutStage&) = delete;

    // Field table through which the engines set the stage (width, height, mode,
    // table, size, in that order).
    void* const* Fields() const { return fields_; }

    VqStatus BuildLinear(uint16_t* table, uint16_t top, float factor);
    VqStatus ApplyLuts3(int16_t* a, int16_t* b, int16_t* c, const uint16_t* ta,
                        const uint16_t* tb, const uint16_t* tc);
    VqStatus Apply(int16_t* a, int16_t* b, int16_t* c);
    VqStatus ApplyOne(int16_t* plane);
    VqStatus ApplyPointerLut(const uint16_t* indices, const uint16_t** out, const uint16_t* limit);
    VqStatus ShiftLeft(int16_t* plane, uint32_t n);
    VqStatus AddOffsets16(int16_t* plane, const int16_t* columnOffsets, const int16_t* rowOffsets,
                          int32_t maximum, int32_t firstColumn, int32_t firstRow);
    VqStatus AddOffsets32(int32_t* plane, const int32_t* columnOffsets, const int32_t* rowOffsets,
                          int32_t maximum, int32_t firstColumn, int32_t firstRow, int32_t skip);
    VqStatus CfaApply(int16_t* plane, const uint16_t* red, const uint16_t* green,
                      const uint16_t* blue);
    VqStatus CfaApplyUnsigned(int16_t* plane, const uint16_t* red, const uint16_t* green,
                              const uint16_t* blue);
    VqStatus GainMap16(int16_t* plane, int32_t firstColumn, int32_t firstRow, int32_t maximum,
                       int32_t tileWidth, int32_t tileHeight, int32_t imageWidth, int32_t unit);
    VqStatus GainMap32(const int32_t* input, int16_t* output, int32_t firstColumn, int32_t firstRow,
                       int32_t maximum, int32_t tileWidth, int32_t tileHeight, int32_t imageWidth,
                       int32_t unit, int32_t skip);

    // Allocates (new[]) and fills a table through straight segments between knots
    // given as (x, y) pairs; the caller owns the table.
    static VqStatus BuildFromKnots(int32_t knotCount, const int16_t* knots, uint16_t** table,
                                   int32_t* size);
    static void ScaleByFactor(uint16_t* values, uint32_t count, double factor, uint32_t maximum);
    static void ScaleToInts(const uint16_t* values, int32_t* out, uint32_t count, double factor,
                            uint32_t maximum);

    // The per-sample table kernel and its plain reference.
    static void ApplyTable(int16_t* plane, size_t count, const uint16_t* table, uint32_t size);
    static void ApplyTableReference(int16_t* plane, size_t count, const uint16_t* table,
                                    uint32_t size);

    uint16_t width = 0;
    uint16_t height = 0;
    int32_t mode = 0; // 0 three planes, 1 middle plane only, 2 nothing
    uint16_t* table = nullptr;
    uint32_t size = 0;

    // Which build of the offset rows runs (the other steps have one build).
    using Kernel = KernelChoice;
    void UseKernel(Kernel kernel) { kernel_ = kernel; }

private:
    Kernel kernel_ = Kernel::Best;
    size_t Samples() const { return size_t(width) * height; }
    VqStatus ApplyChecked(int16_t* plane, const uint16_t* t);
    VqStatus CfaApplyImpl(int16_t* plane, const uint16_t* red, const uint16_t* green,
                          const uint16_t* blue, bool isUnsigned);
    VqStatus GainMapImpl(const int16_t* in16, const int32_t* in32, int16_t* out, int32_t c0,
                         int32_t r0, int32_t maximum, int32_t tw, int32_t th, int32_t imageWidth,
                         uint32_t u, int32_t skip);

    void* fields_[5];
};

} // namespace lumora
