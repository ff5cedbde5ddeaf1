#pragma once
// Enabled and checked states of the four balance items (32812 Preset,
// 32814 Custom, 32815 Auto, 32816 Click) for the Image Controls bar. Both
// outputs start false and stay false for a null pointer; balance type 7
// disables every one.
#include "ImageProcessParam.h"

void GetPresetBalanceUIState(const NimbalCore::ImageProcessParam* params, bool& enable, bool& check);
void GetCustomBalanceUIState(const NimbalCore::ImageProcessParam* params, bool& enable, bool& check);
void GetAutoBalanceUIState(const NimbalCore::ImageProcessParam* params, bool& enable, bool& check);
void GetClickBalanceUIState(const NimbalCore::ImageProcessParam* params, bool& enable, bool& check);
