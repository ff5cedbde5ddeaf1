#pragma once
// The labels of camera settings and file information, in English, translated
// through the string table when it has them.
#include <string>

namespace NimbalCore {

class CameraSettingsStrings {
public:
    enum Item : int {
        Camera = 0, SerialNumber, FirmwareVersion, ImageNumber, Date, Time, Width, Height, FinishedFile, FileSize,
        Resolution, ZynRawFile, TiffFile, JpegFile, WqxJpegFile, PixelSize, ShadowTooHigh, ShadowTooLow,
        MidtoneTooHigh, MidtoneTooLow, HighlightTooHigh, HighlightTooLow, ValuesTooClose, LevelsOrder, EV,
        ItemCount
    };

    virtual ~CameraSettingsStrings() = default;
    // The item's text: its translation when the table has one, else English;
    // empty for an unknown item.
    virtual std::string GetString(int item) const;
    // The item's text used as the format of one number. A translation that
    // would read anything but one floating-point number is not used.
    std::string FormatFloat(int item, float value) const;

    // The built-in English text of an item (empty for an unknown one).
    static const char* EnglishText(int item);
};

} // namespace NimbalCore
