#pragma once
// Stretching kernels by a scale with a polyphase resampling filter: the
// sharpening kernels of a filter (keeping their gain at frequency 0 and, when
// enlarging, at the highest frequency), and a resampling filter's own
// kernels by a small ratio.
#include "FpPhaseTables.h"
#include "FpRecords.h"
#include "FpStatus.h"

namespace kestra {

struct FpRescaleWork {
    uint16_t enlarge;
    int32_t fractionBits;
    int32_t sourceSum;
    double highFrequency;
    int32_t* triangle;
    int32_t triangleSum;
    int32_t* alternatingOld;
    int16_t* scratch;
    int32_t* alternatingNew;
    int32_t oldTaps;
    int32_t newTaps;
};

FpStatus FpNewRescaleWork(int32_t n, int32_t N, double s, int32_t f, FpRescaleWork& work);
void FpFreeRescaleWork(FpRescaleWork& work);
void FpTriangleWindow(int32_t N, int32_t f, int32_t* window, int32_t& sum);
void FpAlternatingWindow(int32_t n, int32_t f, int32_t* window);
const int16_t* FpPrepareRescaleKernel(int32_t n, const int16_t* kernel, FpRescaleWork& work);
void FpFinishRescaledKernel(int32_t N, int16_t* kernel, FpRescaleWork& work);

// The resampler's kernel table in use: its current kernel when it has one.
const FpKernelTable* FpResamplerTable(const FpKernelSet& resampler);
FpStatus FpResampleSharpKernels(const FpKernelSet& sharp, const FpKernelSet& resampler, FpKernelSet& out,
                                const FpPhaseTables& tables);
FpStatus FpRescalePolyphaseKernel(const FpKernelTable& source, const FpKernelTable& resampler, FpKernelTable& out,
                                  const FpPhaseTables& tables);

} // namespace kestra
