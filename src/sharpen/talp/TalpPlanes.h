#pragma once
// Planes of the pictures the plug-in hands to Kestra when it sharpens one
// channel: the channels it leaves alone, when they lie in planes of their
// own, are copied; the pictures are then narrowed to the chosen channel.
#include "VxFilt.h"

void TalpSelectPlane(PSFPicture& picture, int32_t channel);
void TalpCopyOffsets(int32_t plane, const PSFPicture& source, const PSFPicture& destination, int32_t& rowOffset,
                     int32_t& columnOffset, int32_t taps);
// Copies every destination plane but the chosen one whose source and
// destination planes both step one byte per sample. 2060 when such a pair
// differs in sample type or the source does not hold what is copied.
VxFiltStatus TalpCopyUnsharpenedPlanes(const PSFPicture& source, const PSFPicture& destination, int32_t channel,
                                       int32_t channels, int32_t taps);
