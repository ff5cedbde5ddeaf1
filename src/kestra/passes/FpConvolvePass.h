#pragma once
// One pass of the separable fixed-point convolution: every line of the
// output plane (a row, or a column when its group's orientation flag is set)
// is the kernel's dot product with the input line around the same position,
// the ends of the input line replicated. The column pass of a sharpening
// strip also mixes in the untouched reference sample (soft threshold and a
// two-weight blend).
//
// Two implementations give the same bytes: FpConvolvePassReference walks a
// ring buffer sample by sample as the engine was first written;
// FpConvolvePass gathers each line once and forms the dot products in
// vectorised loops. Sums wrap as signed 32-bit values in both.
#include "FpProgress.h"
#include "FpStatus.h"
#include "Kestra.h"

namespace kestra {

constexpr FpStatus FpReferenceType = 545;

// Work memory of the fast pass for blocks of up to `lines` lines of up to
// capacity output samples, with kernels of up to taps taps; the caller owns
// it. Each line takes capacity + taps entries of every array.
constexpr int32_t kFpPassBlock = 32;

struct FpPassScratch {
    int32_t* line;
    int32_t* sums;
    uint8_t* control;
    int64_t capacity;
    int32_t taps;
    int32_t lines;
};

struct FpPassArgs {
    const PSFPlane* input;
    PSFRect inputValid;
    PSFRect inputStart;
    const PSFPlane* output;
    PSFRect outputLines;
    PSFRect outputSamples;
    const PSFPlane* control;
    PSFRect controlBuffer;
    PSFRect controlStart;
    int32_t taps;
    int32_t fractionBits;
    const int32_t* const* kernels; // 1 or 256 entries, each at the second of two copies
    int32_t* ring;                 // taps slots
    uint16_t inputFlag, outputFlag, controlFlag;
    const PSFPlane* reference;
    PSFRect referenceBuffer;
    PSFRect referenceStart;
    int32_t threshold;             // in 8-bit units
    const int32_t* const* pairs;   // 1 or 256 entries of {a, b}, or null
    FpStatus (*progress)(int32_t percent, void* context);
    void* progressContext;
    FpPassScratch* scratch;        // the fast pass's work memory
};

FpStatus FpConvolvePassReference(const FpPassArgs& args);
FpStatus FpConvolvePass(const FpPassArgs& args);

} // namespace kestra
