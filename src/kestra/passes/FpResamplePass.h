#pragma once
// One one-dimensional resampling pass: every output line is read from one
// input line at positions that move by fixed 16.16 steps, each output sample
// the dot product of a polyphase kernel (chosen by the position's fraction)
// with the input samples around it.
//
// Two implementations give the same bytes: FpResamplePassReference keeps a
// ring of the last T input samples and walks it as the engine was first
// written; FpResamplePass gathers each input line once (edges included) and
// forms the dot products in vectorised loops. Sums wrap as signed 32-bit
// values in both; positions are carried in 64 bits.
#include "FpProgress.h"
#include "FpRecords.h"
#include "FpStatus.h"
#include "Kestra.h"

namespace kestra {

enum FpEdgeMode : int32_t { FpEdgeKeep = 0, FpEdgeRepeat = 1, FpEdgeFill = 2 };

struct FpEdgeRecord {
    int32_t mode;
    int32_t fill;
};

struct FpResampleArgs {
    const FpPassTable* pass;
    const PSFPicture* input;
    PSFRect inputRange;
    const PSFPicture* output;
    PSFRect outputRect;
    int32_t taps;
    int32_t phaseBits;
    int32_t fractionBits;
    const int32_t* kernels; // per phase the taps twice in a row
    int32_t* ring;          // taps slots
    const FpEdgeRecord* edges; // per plane, or null: every plane repeats its edges
    FpStatus (*progress)(int32_t percent, void* context);
    void* progressContext;
};

FpStatus FpResamplePassReference(const FpResampleArgs& args);
FpStatus FpResamplePass(const FpResampleArgs& args);

// Index and phase of a 16.16 position.
void FpPositionIndex(int64_t position, int32_t phaseBits, int64_t& index, int32_t& phase);

} // namespace kestra
