#pragma once
// Which source rectangle a destination strip needs (or, reversed, which
// destination a source can give), and the work rectangle that goes with it.
#include "FpRecords.h"
#include "FpStatus.h"
#include "Kestra.h"

namespace kestra {

enum FpFilterClass : int32_t { FpClassResampling = 1, FpClassSharpening = 2 };

struct FpRectRequest {
    PSFRect* source;
    PSFRect* second;
    PSFRect* aux; // may be null
    PSFRect destination; // written back when the option is set
    PSFRect bounds;
    uint16_t mode;
    uint16_t option;
    int32_t margin;
    int32_t gain1;
    int32_t gain2;
    int32_t filterClass;
    int32_t effectiveMode;
    int32_t unused;
    double one;
    Handle filter;
};

void FpSharpenAuxRect(const PSFRect& r, int32_t gain1, int32_t gain2, PSFRect* aux, PSFRect* copy);
void FpAdjustRect(int32_t effectiveMode, int32_t margin, uint16_t shrink, const PSFRect& bounds, PSFRect& r);
FpStatus FpRectsFromDestination(const FpGeometry& geometry, const PSFRect& bounds, PSFRect& source, PSFRect& second,
                                PSFRect& aux, const PSFRect& destination, int32_t effectiveMode, int32_t margin);
FpStatus FpRectsFromSource(const FpGeometry& geometry, const PSFRect& bounds, const PSFRect& source, PSFRect& aux,
                           PSFRect& destination, int32_t effectiveMode, int32_t margin);
int32_t FpAffineMargin(const FpGeometry& geometry, int32_t margin);
FpStatus FpSourceRectangles(FpRectRequest& request);
FpStatus FpRectangles(FpRectRequest& request);

} // namespace kestra
