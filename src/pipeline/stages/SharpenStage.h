#pragma once
// 5x5 sharpening after demosaicing: a detail value per sample from one plane,
// shaped by a coring table (small details suppressed, large ones faded out) and
// added to the planes.
#include <cstdint>

namespace lumora {

class SharpenStage {
public:
    SharpenStage();
    virtual ~SharpenStage();
    SharpenStage(const SharpenStage&) = delete;
    SharpenStage& operator=(const SharpenStage&) = delete;

    // Pointers to width, height, mode, kernelBlock, divisor, gain, coreLow,
    // coreHigh, linearEnd and cutoff, in that order.
    void* Parameter(int index) const { return index >= 0 && index < 10 ? parameters_[index] : nullptr; }

    uint32_t Apply(int16_t* plane1, int16_t* plane2, int16_t* plane3);
    uint32_t ApplyWithMaximum(int16_t* plane1, int16_t* plane2, int16_t* plane3, int16_t maximum);

    static uint32_t GetPresetParameters(int16_t* kernelBlock, int32_t* gain, int32_t* coreLow, int32_t* coreHigh,
                                        int32_t* linearEnd, int32_t* cutoff, int modelId);
    static uint32_t MapLevel(const int16_t* kernelBlock, int32_t* level, int32_t* band);

    // The 4096-entry coring table: T(d) at index d + 2048.
    static void BuildCoringTable(int16_t* table, int32_t gain, int32_t coreLow, int32_t coreHigh,
                                 int32_t linearEnd, int32_t cutoff);
    // Kernel class 1 ... 6 from the divisor's form and the kernel's zero pattern.
    static int32_t ClassifyKernel(const int16_t* kernel25, int32_t divisor);
    static int16_t CoringLookup(const int16_t* table, int32_t detail);

    uint16_t width = 0;
    uint16_t height = 0;
    int32_t mode = 0;
    int32_t kernelClass = 0;
    int16_t kernelBlock[28] = {};   // three level divisors, then the 5x5 kernel
    int32_t divisor = 0;
    int32_t gain = 0;
    int32_t coreLow = 0;
    int32_t coreHigh = 0;
    int32_t linearEnd = 0;
    int32_t cutoff = 0;
    int16_t maximum = 4095;

private:
    void* parameters_[10];
    int16_t* coringTable_ = nullptr;
};

} // namespace lumora
