#pragma once
// The settings the camera offers: Use Original Camera Settings (32807),
// Auto Scene Balance & Exposure Adjustment (32803) and Auto Exposure
// Adjustment (33131).
#include "ImageCommandDocument.h"

class AutomaticSettingsCommand {
public:
    static void Run(ImageCommandDocument& document, int id);
};
