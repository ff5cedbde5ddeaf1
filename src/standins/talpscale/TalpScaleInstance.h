#pragma once
// The record of one load of the scale plug-in, kept in a movable buffer whose
// handle sits in the plug-in handle. Cleared when made.
#include "VxFilt.h"

#include <cstdint>

// Handed to Kestra as the user value of its progress procedure.
struct TalpScaleProgress {
    VxFiltProgressProc proc;
    void* user;
};

struct TalpScaleInstance {
    PSFCaller caller;
    PSFFilter prepared; // the resampler set up for the job, 0 before set-up
    uint32_t colorTag;
    int32_t channel;
    int32_t numerator;
    int32_t denominator;
    TalpScaleProgress progress;
};
