#pragma once
// The output-size choices of an export: resize or not, how, to what size and
// at what resolution. The settings store fills it, the output-options dialog
// edits it through the checking setters, and every exporter takes a copy.
#include <cstdint>

namespace NimbalCore {

enum ExportResizeMode : int32_t {
    ResizeByPercent = 0,
    ResizeToFill = 1,
    ResizeToFit = 2,
    ResizeToFitAndPad = 3,
};

class ExportSizeOptions {
public:
    static constexpr int32_t kMinPercent = 10, kMaxPercent = 400;
    static constexpr int32_t kMinResolution = 1, kMaxResolution = 4000;
    static constexpr int32_t kMinPixels = 50, kMaxPixels = 18000;
    static constexpr int32_t kDefaultResolution = 100;

    ExportSizeOptions() = default;
    ExportSizeOptions(const ExportSizeOptions&) = default;
    // The values are taken as given; the whole-pixel and print sizes follow
    // from the exact ones.
    ExportSizeOptions(bool enabled, bool keepProportions, int32_t mode, int32_t units, int32_t percent,
                      int32_t resolution, double width, double height);
    ExportSizeOptions& operator=(const ExportSizeOptions&) = default;

    int Get(bool* enabled, bool* keepProportions, int32_t* mode, int32_t* units, int32_t* percent,
            int32_t* resolution, double* width, double* height) const;

    // Each answers 0, or 2807 with the field unchanged.
    int SetResizeMode(int mode);
    // A resolution of 0 or less is first repaired to 100, even when the
    // units are then refused.
    int SetUnits(int units);
    int SetResolution(int resolution);
    int SetResizePercent(int percent);
    int SetPixelWidth(int width);
    int SetPixelHeight(int height);
    bool IsValid() const { return true; }

    bool resizeEnabled = false;
    bool keepProportions = false;
    int32_t resizeMode = ResizeByPercent;
    int32_t units = 0;
    int32_t percent = 50;
    double exactWidth = 500.0;
    double exactHeight = 400.0;
    int32_t pixelWidth = 500;
    int32_t pixelHeight = 400;
    double printWidth = 5.0;
    double printHeight = 4.0;
    int32_t resolution = kDefaultResolution;

private:
    void UpdatePrintSizes();
};

} // namespace NimbalCore
