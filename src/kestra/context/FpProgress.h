#pragma once
// Progress of the strip engine: a pass's own 0..100 blended into a sub-range,
// and a step counter that spreads several passes over 0..100.
#include "FpStatus.h"

#include <cstdint>

namespace kestra {

constexpr FpStatus FpCancelled = 547;

using FpProgressHook = int32_t (*)(int32_t percent);

struct FpBlendContext {
    FpProgressHook hook;
    int32_t start;
    int32_t end;
};

struct FpProgressState {
    int32_t steps;
    int32_t current;
    uint16_t advance;
    FpProgressHook hook;
    int32_t countdown;
    int32_t reload;
    FpProgressHook everyHook;
};

struct FpRunRecord {
    int32_t evalKind;
    int32_t words[3];
    FpProgressHook hook;
};

FpStatus FpBlendProgress(int32_t percent, void* context);
void FpSetProgressSteps(FpProgressState& state, int32_t steps, FpProgressHook hook);
void FpSetProgressEvery(FpProgressState& state, int32_t every, FpProgressHook hook);
int32_t FpProgressTick(FpProgressState& state, int32_t percent);
int32_t FpReportProgress(int32_t percent);
void FpStartProgressSteps(FpProgressState& state, int32_t steps, FpRunRecord& run);
int32_t FpFinishProgressStep(FpProgressState& state, FpRunRecord& run);

} // namespace kestra
