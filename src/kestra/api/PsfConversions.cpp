#include "PsfConversions.h"

#include "ORVEXCMS.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kestra {

std::string PsfLongToText(int32_t value) {
    char buf[12];
    return VxItoa(value, buf);
}

int32_t PsfTextToLong(const char* text) {
    if (!text) return 0;
    const long v = std::strtol(text, nullptr, 10);
    return v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : int32_t(v);
}

double PsfTextToDouble(const char* text) { return text ? std::strtod(text, nullptr) : 0.0; }

std::string PsfDoubleToText(double value) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.6g", value);
    if (!std::isfinite(value)) return buf;
    // %g drops the point of a whole mantissa; the stored form keeps it.
    const char* e = std::strchr(buf, 'e');
    const size_t mantissa = e ? size_t(e - buf) : std::strlen(buf);
    if (std::memchr(buf, '.', mantissa)) return buf;
    return std::string(buf, mantissa) + "." + (e ? e : "");
}

int32_t PsfToFixed16(double value) {
    const double v = value * 65536.0;
    if (!(v == v)) return 0;
    if (v >= 2147483647.0) return INT32_MAX;
    if (v <= -2147483648.0) return INT32_MIN;
    return int32_t(v);
}

double PsfFromFixed16(int32_t value) { return value / 65536.0; }

} // namespace kestra
