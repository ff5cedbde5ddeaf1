#pragma once
// The plug-in's filters: the built-in resources, the filter prepared for a
// set-up (rescaled to the radius, limited in size) and its gain table.
#include "TalpSharpInstance.h"

#include "ORVEXCMS.h"

enum { TalpResource5Tap = 2003, TalpResourceResampler = 2004, TalpResource7Tap = 2005 };

struct TalpFilterResources {
    VxBufferHandle sharpening = 0;
    uint32_t sharpeningSize = 0;
    VxBufferHandle resampler = 0;
    uint32_t resamplerSize = 0;
};

// Finds and loads the sharpening resource and the resampler; false (and
// nothing held) when either is missing.
bool TalpLoadFilterResources(void* module, int32_t sharpeningId, TalpFilterResources& resources);
void TalpFreeFilterResources(TalpFilterResources& resources);

PSFStatus TalpPrepareFilter(TalpSharpInstance& instance, const void* sharpening, uint32_t sharpeningSize,
                            const void* resampler, uint32_t resamplerSize);
void TalpBuildGainTable(double level, uint8_t table[256]);
// The sharpening level of an amount over the filter's level 0.
double TalpLevel(int8_t amount, double level0);
