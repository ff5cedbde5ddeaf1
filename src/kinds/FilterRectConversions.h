#pragma once
// The sharpen and plug-in calls count rectangles with exclusive ends
// {top, left, bottom, right}; the core's NbRect is inclusive.
#include "NbRect.h"
#include "VrelSharpen.h"

namespace NimbalCore {

int32_t FilterRectWidth(const FilterRect* rect);
int32_t FilterRectHeight(const FilterRect* rect);
FilterRect NbRectToFilterRect(const NbRect& rect);
NbRect FilterRectToNbRect(int32_t top, int32_t left, int32_t bottom, int32_t right);

} // namespace NimbalCore
