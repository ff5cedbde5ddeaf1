#pragma once
// The colour spaces the plug-in knows by their four-character tags.
#include <cstdint>

int32_t TalpCheckColorSpace(uint32_t tag);
int32_t TalpChannelToSharpen(uint32_t tag, int32_t channel);
int32_t TalpChannelCount(uint32_t tag);
