#pragma once
// Noise filter on the colour-filter mosaic: each sample becomes the mean of itself
// and those same-colour neighbours of its 5x5 window that lie within a threshold
// of it; the threshold comes from a per-colour table indexed by the sample value.
#include <cstdint>

#include "ProcessorHasAvx2.h"

namespace lumora {

class CfaTableStage {
public:
    CfaTableStage();
    virtual ~CfaTableStage();
    CfaTableStage(const CfaTableStage&) = delete;
    CfaTableStage& operator=(const CfaTableStage&) = delete;

    // Pointers to width, height, size, redTable, greenTable, blueTable, in that
    // order: the engines set the stage through them.
    void* Field(int index) const { return index >= 0 && index < 6 ? fields_[index] : nullptr; }

    uint16_t width = 0;
    uint16_t height = 0;
    uint16_t size = 0;
    const uint16_t* redTable = nullptr;
    const uint16_t* greenTable = nullptr;
    const uint16_t* blueTable = nullptr;

    uint32_t Run(int16_t* plane);
    uint32_t Filter(int16_t* plane, const uint16_t* red, const uint16_t* green, const uint16_t* blue);

    using Kernel = KernelChoice;
    void UseKernel(Kernel kernel) { kernel_ = kernel; }

private:
    Kernel kernel_ = Kernel::Best;
    void* fields_[6];
};

} // namespace lumora
