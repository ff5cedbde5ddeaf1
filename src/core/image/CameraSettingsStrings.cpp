#include "CameraSettingsStrings.h"

#include "LocalizedStrings.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <vector>

namespace NimbalCore {
namespace {

const char* const kEnglish[CameraSettingsStrings::ItemCount] = {
    "Camera:  ",
    "Serial Number:  ",
    "Firmware Version:  ",
    "Image Number:  ",
    "Date:  ",
    "Time:  ",
    "Width:  ",
    "Height:  ",
    "Finished File",
    "File Size: %.1f MB on disk",
    "Resolution: %.1f Megapixels",
    "Zyn Raw File",
    "TIFF File",
    "JPEG File",
    "Orvex WQX JPEG File",
    "%d by %d pixels",
    "Shadow value is too high.",
    "Shadow value is too low.",
    "Midtone value is too high.",
    "Midtone value is too low.",
    "Highlight value is too high.",
    "Highlight value is too low.",
    "Some values are too close.",
    "Shadow must be less than Midtone, and Midtone must be less than Highlight.",
    "EV",
};

// True when format converts at most one double (f, F, e, E, g, G, a or A with
// flags, a width and a precision but no '*' and no length) besides "%%":
// anything else would read arguments that are not there.
bool formatsOneDouble(const std::string& format) {
    int conversions = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') continue;
        if (++i >= format.size()) return false;
        if (format[i] == '%') continue;
        while (i < format.size() && std::strchr("-+ #0", format[i])) ++i;
        // Widths and precisions of up to three digits: a label has no use
        // for more, and a huge one would only ask for a huge buffer.
        auto digits = [&] {
            size_t n = 0;
            while (i < format.size() && std::isdigit(static_cast<unsigned char>(format[i]))) ++i, ++n;
            return n <= 3;
        };
        if (!digits()) return false;
        if (i < format.size() && format[i] == '.') {
            ++i;
            if (!digits()) return false;
        }
        if (i >= format.size() || !std::strchr("fFeEgGaA", format[i])) return false;
        ++conversions;
    }
    return conversions <= 1;
}

std::string formatDouble(const std::string& format, double value) {
    std::vector<char> buffer(format.size() + 128);
    const int n = std::snprintf(buffer.data(), buffer.size(), format.c_str(), value);
    if (n < 0) return std::string();
    if (static_cast<size_t>(n) >= buffer.size()) {
        buffer.resize(static_cast<size_t>(n) + 1);
        std::snprintf(buffer.data(), buffer.size(), format.c_str(), value);
    }
    return std::string(buffer.data());
}

} // namespace

const char* CameraSettingsStrings::EnglishText(int item) {
    return item >= 0 && item < ItemCount ? kEnglish[item] : "";
}

std::string CameraSettingsStrings::GetString(int item) const {
    const std::string english = EnglishText(item);
    if (english.empty()) return english;
    std::string translated;
    return GetLocalizedString(english, translated) ? translated : english;
}

std::string CameraSettingsStrings::FormatFloat(int item, float value) const {
    std::string format = GetString(item);
    if (!formatsOneDouble(format)) format = EnglishText(item);
    if (!formatsOneDouble(format)) return format; // not a number's format at all
    return formatDouble(format, static_cast<double>(value));
}

} // namespace NimbalCore
