#pragma once
// The record of one load of the plug-in, kept in a movable buffer whose handle
// sits in the plug-in handle. Cleared when made.
#include "VxFilt.h"

#include <cstdint>

// Handed to Kestra as the user value of its progress procedure.
struct TalpProgressRecord {
    VxFiltProgressProc proc;
    void* user;
    int32_t numerator;
    int32_t denominator;
    int32_t offset;
    int32_t lastPercent;
};

struct TalpSharpInstance {
    uint32_t setupVersion;
    int8_t amount;
    int32_t maxKernelSize;
    uint32_t colorTag;
    int32_t channel;
    double ratio;
    double resolution;
    int32_t threshold;
    PSFFilter prepared;
    PSFCaller caller;
    int32_t processId;
    int32_t threadId;
    uint16_t firstLoad;
    TalpProgressRecord progress;
};
