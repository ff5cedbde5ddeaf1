#pragma once
// One strip of a picture sharpened with a prepared sharpening filter: a row
// pass from the source into the work picture and a column pass from there
// into the destination, plane by plane; the column pass mixes the blurred
// value with the source sample into the unsharp-masked result.
#include "FpConvolvePass.h"
#include "FpProgress.h"
#include "FpRecords.h"
#include "FpStatus.h"
#include "Kestra.h"

namespace kestra {

constexpr FpStatus FpNoGainTable = 527;

using FpPassFunction = FpStatus (*)(const FpPassArgs&);

struct FpSharpenRectangles {
    PSFRect D, A, B, P;
};

FpStatus FpSharpenRects(const PSFPicture& source, const PSFPicture& destination, int32_t taps, bool gainMode,
                        FpSharpenRectangles& rects);
FpStatus FpSharpenStripKind5(Handle filter, int32_t level, int32_t gain1, int32_t level2, int32_t gain2,
                             const PSFPicture* source, const PSFPicture* control, const PSFPicture* work,
                             const PSFPicture* destination, FpProgressHook hook, int32_t taps,
                             FpPassFunction pass = FpConvolvePass);
// The processor's entry: the strip of the evaluation kind chosen for the run.
FpStatus FpSharpen(Handle filter, int32_t levelX, int32_t gainX, int32_t levelY, int32_t gainY,
                   const PSFPicture* source, const PSFPicture* second, const PSFPicture* aux,
                   const PSFPicture* destination, const FpRunRecord& run);

} // namespace kestra
