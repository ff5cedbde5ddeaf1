#include "DriverSettings.h"

#include "IntOps.h"
#include "Locations.h"
#include "SdkFile.h"
#include "VqStatus.h"
#include "Win32Error.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <string_view>
#include <vector>

namespace lumora::vq {
namespace {

// Blanks as the C library's number conversions skip them.
bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Reads the next decimal integer of a value from pos, as strtol does with a
// 32-bit long: blanks skipped, optional sign, digits up to the first non-digit;
// beyond the 32-bit range it saturates. Without digits it answers 0 and leaves
// pos where it was, so every later number of the value also reads 0.
int32_t readInteger(std::string_view text, size_t& pos) {
    size_t p = pos;
    while (p < text.size() && isBlank(text[p])) ++p;
    bool negative = false;
    if (p < text.size() && (text[p] == '+' || text[p] == '-')) negative = text[p++] == '-';
    if (p >= text.size() || !isDigit(text[p])) return 0;
    const int64_t limit = negative ? int64_t(1) << 31 : (int64_t(1) << 31) - 1;
    int64_t magnitude = 0;
    while (p < text.size() && isDigit(text[p])) {
        magnitude = std::min<int64_t>(magnitude * 10 + (text[p] - '0'), limit);
        ++p;
    }
    pos = p;
    return int32_t(negative ? -magnitude : magnitude);
}

// Reads the next real number (decimal or exponent notation) like strtod in the
// C locale, independent of the process locale. Same rule without digits.
double readReal(std::string_view text, size_t& pos) {
    size_t p = pos;
    while (p < text.size() && isBlank(text[p])) ++p;
    bool negative = false;
    if (p < text.size() && (text[p] == '+' || text[p] == '-')) negative = text[p++] == '-';
    const size_t start = p;
    size_t digits = 0;
    bool integerPartZero = true;
    while (p < text.size() && isDigit(text[p])) {
        integerPartZero = integerPartZero && text[p] == '0';
        ++p, ++digits;
    }
    if (p < text.size() && text[p] == '.') {
        ++p;
        while (p < text.size() && isDigit(text[p])) ++p, ++digits;
    }
    if (digits == 0) return 0.0;
    bool negativeExponent = false;
    if (p < text.size() && (text[p] == 'e' || text[p] == 'E')) {
        size_t e = p + 1;
        bool expNegative = false;
        if (e < text.size() && (text[e] == '+' || text[e] == '-')) expNegative = text[e++] == '-';
        if (e < text.size() && isDigit(text[e])) {
            while (e < text.size() && isDigit(text[e])) ++e;
            p = e;
            negativeExponent = expNegative;
        }
    }
    double value = 0.0;
    const char* first = text.data() + start;
    const char* last = text.data() + p;
    auto [end, ec] = std::from_chars(first, last, value, std::chars_format::general);
    if (ec == std::errc::result_out_of_range) {
        // Overflow gives infinity, underflow zero, as strtod does.
        value = (negativeExponent || integerPartZero) ? 0.0 : HUGE_VAL;
    } else if (ec != std::errc() || end != last) {
        return 0.0;
    }
    pos = p;
    return negative ? -value : value;
}

void readIntegers(std::string_view value, int16_t* out, int count) {
    size_t pos = 0;
    for (int i = 0; i < count; ++i) out[i] = wrap16(readInteger(value, pos));
}

void readReals(std::string_view value, double* out, int count) {
    size_t pos = 0;
    for (int i = 0; i < count; ++i) out[i] = readReal(value, pos);
}

// One group key: its suffix after the group prefix, the number of values and
// where they go.
struct GroupKey {
    const char* suffix;
    int count;
    int16_t* (*integers)(SensorGroupSettings&);
    double* (*reals)(SensorGroupSettings&);
};

constexpr int kLoSatKey = 1;  // index of LO-SATMATRIX in the table below

const GroupKey kGroupKeys[17] = {
    {"HI-SATMATRIX", 9, [](SensorGroupSettings& g) { return g.hiSatMatrix; }, nullptr},
    {"LO-SATMATRIX", 9, [](SensorGroupSettings& g) { return g.loSatMatrix; }, nullptr},
    {"RGBMATRIX", 9, [](SensorGroupSettings& g) { return g.rgbMatrix; }, nullptr},
    {"MONO", 2, nullptr, [](SensorGroupSettings& g) { return g.mono; }},
    {"COLOR", 2, nullptr, [](SensorGroupSettings& g) { return g.color; }},
    {"IRMONO", 2, nullptr, [](SensorGroupSettings& g) { return g.irMono; }},
    {"OTHERS", 2, nullptr, [](SensorGroupSettings& g) { return g.others; }},
    {"DAY", 3, [](SensorGroupSettings& g) { return g.daylight; }, nullptr},
    {"TUNG", 3, [](SensorGroupSettings& g) { return g.tungsten; }, nullptr},
    {"FLUOR", 3, [](SensorGroupSettings& g) { return g.fluorescent; }, nullptr},
    {"FLASH", 3, [](SensorGroupSettings& g) { return g.flash; }, nullptr},
    {"NONE", 3, [](SensorGroupSettings& g) { return g.none; }, nullptr},
    {"TSTRTXY", 2, [](SensorGroupSettings& g) { return g.tStart; }, nullptr},
    {"TSTOPXY", 2, [](SensorGroupSettings& g) { return g.tStop; }, nullptr},
    {"CCENTER", 2, [](SensorGroupSettings& g) { return g.cCenter; }, nullptr},
    {"SSTRTXY", 2, [](SensorGroupSettings& g) { return g.sStart; }, nullptr},
    {"SSTOPXY", 2, [](SensorGroupSettings& g) { return g.sStop; }, nullptr},
};

const char* const kGroupPrefixes[kSensorGroupCount] = {"M3", "M5", "M6"};

template <size_t N>
void set(int16_t (&field)[N], std::initializer_list<int> values) {
    size_t i = 0;
    for (int v : values) field[i++] = int16_t(v);
}
template <size_t N>
void set(double (&field)[N], std::initializer_list<double> values) {
    size_t i = 0;
    for (double v : values) field[i++] = v;
}

void setFactory(SensorGroupSettings& g, SensorGroup group) {
    set(g.rgbMatrix, {90, -41, -17, -33, 64, 1, 3, -9, 38});
    set(g.none, {240, 240, 240});
    set(g.tStop, {1, 1});
    set(g.cCenter, {0, 0});
    set(g.sStop, {8700, 4095});
    const double second = group == SensorGroup::M6 ? 1.8 : 1.35;
    set(g.mono, {1.8, second});
    set(g.color, {1.8, second});
    set(g.irMono, {1.8, second});
    set(g.others, {1.8, second});
    switch (group) {
    case SensorGroup::M3:
        set(g.hiSatMatrix, {15, 12, 5, 6, 29, -3, -12, -1, 45});
        set(g.loSatMatrix, {13, 13, 6, 7, 29, -4, -19, 2, 49});
        set(g.daylight, {135, 235, 80});
        set(g.tungsten, {154, 179, 64});
        set(g.fluorescent, {134, 229, 63});
        set(g.flash, {130, 232, 82});
        set(g.tStart, {25, 19});
        set(g.sStart, {1995, 2277});
        break;
    case SensorGroup::M5:
        set(g.hiSatMatrix, {16, 12, 4, 5, 36, -9, -29, -7, 68});
        set(g.loSatMatrix, {14, 13, 5, 5, 33, -6, -26, 1, 57});
        set(g.daylight, {147, 235, 99});
        set(g.tungsten, {183, 199, 88});
        set(g.fluorescent, {152, 239, 86});
        set(g.flash, {112, 187, 81});
        set(g.tStart, {25, 19});
        set(g.sStart, {1995, 2277});
        break;
    case SensorGroup::M6:
        set(g.hiSatMatrix, {16, 12, 4, 4, 36, -8, -28, -7, 67});
        set(g.loSatMatrix, {15, 12, 5, 6, 33, -7, -27, -6, 65});
        set(g.daylight, {145, 233, 97});
        set(g.tungsten, {205, 250, 97});
        set(g.fluorescent, {141, 211, 79});
        set(g.flash, {155, 250, 105});
        set(g.tStart, {25, 13});
        set(g.sStart, {1122, 1768});
        break;
    }
}

} // namespace

DriverSettings::DriverSettings() {
    Clear();
}

void DriverSettings::Clear() {
    std::memset(groups_, 0, sizeof groups_);
    std::memset(readFlags_, 0, sizeof readFlags_);
}

void DriverSettings::ApplyDefaults() {
    for (int g = 0; g < kSensorGroupCount; ++g) setFactory(groups_[g], SensorGroup(g));
}

SensorGroup DriverSettings::GroupForSensor(int32_t width, int32_t height) {
    if (width == 1280 && height == 1024) return SensorGroup::M3;
    if (width == 1536 && height == 1024) return SensorGroup::M5;
    return SensorGroup::M6;
}

uint32_t DriverSettings::Open(uint32_t flags) {
    if (flags > 1) return VQ_ERR_BAD_ARGUMENT;
    flags_ = flags;
    Clear();
    ApplyDefaults();
    if (LoadFile() == 0) return VQ_ERR_PREFS_READ;
    ApplyDefaults();
    return VQ_ERR_DEFAULTS_KEPT;
}

uint32_t DriverSettings::LoadFile() {
    const std::filesystem::path dir = Locations::SystemDir();
    if (dir.empty()) return win32::ERROR_PATH_NOT_FOUND;
    return LoadFile(dir / kFileName);
}

uint32_t DriverSettings::LoadFile(const std::filesystem::path& path) {
    SdkFile file;
    if (uint32_t status = file.Open(path.c_str(), SdkFile::kRead)) return status;
    uint32_t length = 0;
    if (file.GetSize(&length) != 0 || length == 0) return VQ_ERR_PREFS_FILE_EMPTY;
    std::vector<uint8_t> text;
    try {
        text.resize(length);
    } catch (const std::bad_alloc&) {
        return VQ_ERR_NO_MEMORY;
    }
    // The whole file is needed: a read that ends early is a failure.
    if (uint32_t status = file.Read(text.data(), length)) return status;
    file.Close();
    return Parse(ByteView(text.data(), text.size())) ? 0 : VQ_ERR_BAD_FILE;
}

bool DriverSettings::Parse(ByteView bytes) {
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    size_t pos = 0;
    for (;;) {
        const size_t open = text.find('[', pos);
        if (open == std::string_view::npos) break;
        const size_t close = text.find(']', open + 1);
        if (close == std::string_view::npos || close + 1 >= text.size()) break;
        const size_t lineFeed = text.find('\n', close + 1);
        if (lineFeed == std::string_view::npos) return false;
        // Keys and values of any length are taken whole; a key too long to be
        // one of the known keys simply matches none.
        const std::string_view key = text.substr(open + 1, close - open - 1);
        const std::string_view value = text.substr(close + 1, lineFeed - close - 1);
        if (!TakeValue(key, value)) return false;
        pos = lineFeed;
    }
    for (int g = 0; g < kSensorGroupCount; ++g) {
        if (!readFlags_[1 + g * 17 + kLoSatKey])
            std::memcpy(groups_[g].loSatMatrix, groups_[g].hiSatMatrix, sizeof groups_[g].loSatMatrix);
    }
    return true;
}

bool DriverSettings::TakeValue(std::string_view key, std::string_view value) {
    if (key == "VERSION") {
        double version = 0.0;
        readReals(value, &version, 1);
        if (version != 1.0) return false;
        readFlags_[0] = 1;
        return true;
    }
    for (int g = 0; g < kSensorGroupCount; ++g) {
        if (key.size() < 2 || key.substr(0, 2) != kGroupPrefixes[g]) continue;
        const std::string_view suffix = key.substr(2);
        for (int k = 0; k < 17; ++k) {
            const GroupKey& entry = kGroupKeys[k];
            if (suffix != entry.suffix) continue;
            if (entry.integers)
                readIntegers(value, entry.integers(groups_[g]), entry.count);
            else
                readReals(value, entry.reals(groups_[g]), entry.count);
            readFlags_[1 + g * 17 + k] = 1;
            return true;
        }
    }
    return true;  // not a key of ours: skipped with its value
}

} // namespace lumora::vq
