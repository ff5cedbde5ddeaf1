#include "SdkUtilities.h"

#include "IntOps.h"
#include "JpegFileStatus.h"
#include "LocalTime.h"
#include "RawTiffReader.h"
#include "VqStatus.h"

#include <chrono>
#include <cstring>
#include <new>

uint16_t SdkTiffTypeSize(uint16_t type) { return RawTiffReader::TypeSize(type); }

uint32_t SdkFourCC(const char* text) {
    return uint32_t(uint8_t(text[0])) << 24 | uint32_t(uint8_t(text[1])) << 16 | uint32_t(uint8_t(text[2])) << 8 |
           uint8_t(text[3]);
}

uint32_t SdkTextLength(const char* text, uint32_t count, uint32_t max) {
    const uint32_t n = count < max ? count : max;
    const void* nul = std::memchr(text, 0, n);
    return nul ? uint32_t(static_cast<const char*>(nul) - text) : n;
}

uint32_t SdkCopyBytes(const void* source, int32_t length, char** out, uint32_t* outLength) {
    *outLength = 0;
    if (length <= 0) return 0;
    char* copy = new (std::nothrow) char[static_cast<uint32_t>(length)];
    *out = copy;
    if (!copy) return VQ_ERR_NO_MEMORY;
    std::memcpy(copy, source, static_cast<uint32_t>(length));
    *outLength = static_cast<uint32_t>(length);
    return 0;
}

uint32_t SdkIntLog2(int32_t value, uint32_t* exponent) { return lumora::intLog2(value, *exponent) ? 1 : 0; }

void SdkBusyWait(uint32_t ticks) {
    const auto start = std::chrono::steady_clock::now();
    const auto wait = std::chrono::milliseconds(ticks);
    while (std::chrono::steady_clock::now() - start < wait) {
    }
}

uint32_t SdkRotateRect(int16_t rect[4], int16_t imageWidth, int16_t imageHeight, float angle) {
    // An angle outside any int range (or NaN) cannot be one of the right angles;
    // checking first keeps the conversion defined.
    if (!(angle > -1000.0f && angle < 1000.0f)) return VQ_ERR_BAD_ROTATION;
    const int a = static_cast<int>(angle);
    const int16_t x = rect[0], y = rect[1], w = rect[2], h = rect[3];
    using lumora::wrap16;
    switch (a) {
    case 0: return 0;
    case 90:
    case -270:
        rect[0] = wrap16(imageHeight - y - h);
        rect[1] = x;
        rect[2] = h;
        rect[3] = w;
        return 0;
    case 180:
    case -180:
        rect[0] = wrap16(imageWidth - x - w);
        rect[1] = wrap16(imageHeight - y - h);
        return 0;
    case 270:
    case -90:
        rect[0] = y;
        rect[1] = wrap16(imageWidth - x - w);
        rect[2] = h;
        rect[3] = w;
        return 0;
    default: return VQ_ERR_BAD_ROTATION;
    }
}

void SdkPutLittle16(uint16_t value, uint8_t* out) {
    out[0] = uint8_t(value);
    out[1] = uint8_t(value >> 8);
}
void SdkStoreLittle16(uint16_t value, uint16_t* out) { *out = value; }
void SdkPutBig16(uint16_t value, uint8_t* out) {
    out[0] = uint8_t(value >> 8);
    out[1] = uint8_t(value);
}
void SdkStoreSwapped16(uint16_t value, uint16_t* out) { *out = uint16_t(value << 8 | value >> 8); }

uint32_t SdkFromBig32(uint32_t word) {
    uint8_t b[4];
    std::memcpy(b, &word, 4);
    return uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3];
}
uint32_t SdkToBig32(uint32_t value) {
    const uint8_t b[4] = {uint8_t(value >> 24), uint8_t(value >> 16), uint8_t(value >> 8), uint8_t(value)};
    uint32_t out;
    std::memcpy(&out, b, 4);
    return out;
}
uint32_t SdkToLittle32(uint32_t value) {
    const uint8_t b[4] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
    uint32_t out;
    std::memcpy(&out, b, 4);
    return out;
}
void SdkSwap32InPlace(uint32_t* value) {
    const uint32_t v = *value;
    *value = v >> 24 | (v >> 8 & 0xFF00u) | (v << 8 & 0xFF0000u) | v << 24;
}
void SdkSwap16InPlace(uint16_t* value) { SdkStoreSwapped16(*value, value); }

void SdkPackNibbles(uint8_t high, uint8_t low, uint8_t* out) {
    *out = uint8_t((high < 15 ? high : 15) * 16 + (low < 15 ? low : 15));
}
void SdkSplitNibbles(uint8_t value, uint8_t* high, uint8_t* low) {
    *high = value / 16;
    *low = value % 16;
}

int32_t SdkLastIndexOf(const char* text, char c) {
    if (c == 0) return -1; // the terminator is not a character of the text
    const char* p = std::strrchr(text, c);
    return p ? int32_t(p - text) : -1;
}

char SdkUpperCase(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

int32_t SdkFindTextNoCase(const char* name, const char* text) {
    const size_t n = std::strlen(name);
    const size_t t = std::strlen(text);
    if (n > 512 || t > 511) return -1;
    if (t > n) return -1;
    for (size_t i = 0; i + t <= n; ++i) {
        size_t k = 0;
        while (k < t && SdkUpperCase(name[i + k]) == SdkUpperCase(text[k])) ++k;
        if (k == t) return int32_t(i);
    }
    return -1;
}

int32_t SdkCompareNoCase(const char* a, const char* b) {
    for (size_t i = 0;; ++i) {
        const auto x = static_cast<unsigned char>(SdkUpperCase(a[i]));
        const auto y = static_cast<unsigned char>(SdkUpperCase(b[i]));
        if (x != y) return x < y ? -1 : 1;
        if (x == 0) return 0;
    }
}

void SdkSplitRgbTriples(int16_t* red, int16_t* green, int16_t* blue, const uint8_t* source, uint32_t count,
                        uint32_t shift) {
    shift &= 31;
    for (uint32_t i = 0; i < count; ++i) {
        red[i] = int16_t(uint16_t(uint32_t(source[3 * uint64_t(i)]) << shift));
        green[i] = int16_t(uint16_t(uint32_t(source[3 * uint64_t(i) + 1]) << shift));
        blue[i] = int16_t(uint16_t(uint32_t(source[3 * uint64_t(i) + 2]) << shift));
    }
}

void SdkCopyShortRect(const int16_t* plane, uint32_t origin, uint32_t size, int32_t rowStep, int16_t* out) {
    const int64_t x = int16_t(origin & 0xFFFF), y = int16_t(origin >> 16);
    const int64_t w = int16_t(size & 0xFFFF), h = int16_t(size >> 16);
    if (h <= 0 || w <= 0) return;
    for (int64_t row = y; row < y + h; ++row) {
        std::memcpy(out, plane + row * rowStep + x, size_t(w) * sizeof(int16_t));
        out += w;
    }
}

time_t SdkDosToTime(uint16_t dosDate, uint16_t dosTime, time_t* out) {
    std::tm tm{};
    tm.tm_sec = (dosTime & 31) * 2;
    tm.tm_min = (dosTime / 32) & 63;
    tm.tm_hour = dosTime / 2048;
    tm.tm_mday = dosDate & 31;
    tm.tm_mon = ((dosDate / 32) & 15) - 1;
    tm.tm_year = dosDate / 512 + 80;
    tm.tm_isdst = 0;
    const time_t t = lumora::LocalTime::toTime(tm);
    *out = t;
    return t;
}

namespace {
// Decimal conversion as atoi does it, but never past the end of the text and
// without overflow; the caller has checked that pos lies inside the text.
int32_t decimalAt(const char* text, size_t length, size_t pos) {
    if (pos >= length) return 0;
    const char* p = text + pos;
    const char* end = text + length;
    while (p < end && (*p == ' ' || (*p >= '\t' && *p <= '\r'))) ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    int64_t v = 0;
    while (p < end && *p >= '0' && *p <= '9') {
        if (v < 100000000000LL) v = v * 10 + (*p - '0');
        ++p;
    }
    return int32_t(negative ? -v : v);
}
} // namespace

int32_t SdkParseDateText(const char* text, int16_t out[9]) {
    const size_t length = text ? std::strlen(text) : 0;
    const int32_t year = decimalAt(text, length, 0);
    const int32_t month = decimalAt(text, length, 5);
    const int32_t day = decimalAt(text, length, 8);
    const int32_t hour = decimalAt(text, length, 11);
    const int32_t minute = decimalAt(text, length, 14);
    const int32_t second = decimalAt(text, length, 17);
    out[0] = lumora::wrap16(second);
    out[1] = lumora::wrap16(minute);
    out[2] = lumora::wrap16(hour);
    out[3] = lumora::wrap16(day);
    out[4] = lumora::wrap16(lumora::wrapSub32(month, 1));
    out[5] = lumora::wrap16(lumora::wrapSub32(year, 1900));
    out[6] = out[7] = out[8] = -1;
    return -1;
}

// Every file of a folder camera gets one stamp: a date on or before
// 1990-01-01 is taken as a clock that was never set.
void SdkUnifyDosStamps(uint16_t* createdDate, uint16_t* createdTime, uint16_t* writtenDate, uint16_t* writtenTime) {
    constexpr uint16_t kEpoch = 0x1421; // 1990-01-01
    const uint32_t sc = uint32_t(*createdDate) << 16 | *createdTime;
    const uint32_t sw = uint32_t(*writtenDate) << 16 | *writtenTime;
    uint32_t result;
    if (*writtenDate > kEpoch) {
        if (*createdDate < kEpoch) result = sw;
        else result = sc <= sw ? sc : sw;
    } else {
        result = *createdDate > kEpoch ? sc : uint32_t(kEpoch) << 16;
    }
    *createdDate = *writtenDate = uint16_t(result >> 16);
    *createdTime = *writtenTime = uint16_t(result);
}

uint32_t SdkMapFileError(uint32_t status) { return lumora::MapFileStatusForJpeg(status); }
