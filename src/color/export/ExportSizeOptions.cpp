#include "ExportSizeOptions.h"

#include "NbErrorCodes.h"

namespace NimbalCore {

ExportSizeOptions::ExportSizeOptions(bool enabled, bool keep, int32_t mode, int32_t unitCode, int32_t percentValue,
                                     int32_t resolutionValue, double width, double height)
    : resizeEnabled(enabled), keepProportions(keep), resizeMode(mode), units(unitCode), percent(percentValue),
      exactWidth(width), exactHeight(height), pixelWidth(int32_t(width)), pixelHeight(int32_t(height)),
      printWidth(width / resolutionValue), printHeight(height / resolutionValue), resolution(resolutionValue) {}

int ExportSizeOptions::Get(bool* enabled, bool* keep, int32_t* mode, int32_t* unitCode, int32_t* percentValue,
                           int32_t* resolutionValue, double* width, double* height) const {
    *enabled = resizeEnabled;
    *keep = keepProportions;
    *mode = resizeMode;
    *unitCode = units;
    *percentValue = percent;
    *resolutionValue = resolution;
    *width = exactWidth;
    *height = exactHeight;
    return 0;
}

void ExportSizeOptions::UpdatePrintSizes() {
    printWidth = exactWidth / resolution;
    printHeight = exactHeight / resolution;
}

int ExportSizeOptions::SetResizeMode(int mode) {
    if (mode < ResizeByPercent || mode > ResizeToFitAndPad) return NbErrBadArgument;
    resizeMode = mode;
    return 0;
}

int ExportSizeOptions::SetUnits(int unitCode) {
    if (resolution <= 0) resolution = kDefaultResolution;
    if (unitCode != 0 && unitCode != 1) return NbErrBadArgument;
    units = unitCode;
    UpdatePrintSizes();
    return 0;
}

int ExportSizeOptions::SetResolution(int value) {
    if (value < kMinResolution || value > kMaxResolution) return NbErrBadArgument;
    resolution = value;
    UpdatePrintSizes();
    return 0;
}

int ExportSizeOptions::SetResizePercent(int value) {
    if (value < kMinPercent || value > kMaxPercent) return NbErrBadArgument;
    percent = value;
    return 0;
}

int ExportSizeOptions::SetPixelWidth(int width) {
    if (width < kMinPixels || width > kMaxPixels) return NbErrBadArgument;
    pixelWidth = width;
    exactWidth = width;
    printWidth = exactWidth / resolution;
    return 0;
}

int ExportSizeOptions::SetPixelHeight(int height) {
    if (height < kMinPixels || height > kMaxPixels) return NbErrBadArgument;
    pixelHeight = height;
    exactHeight = height;
    printHeight = exactHeight / resolution;
    return 0;
}

} // namespace NimbalCore
