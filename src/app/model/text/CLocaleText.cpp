#include "CLocaleText.h"

#include <clocale>
#include <cstdarg>
#include <cstdio>
#include <locale.h>

namespace {

// The C locale for this thread while it lives; the thread's own locale after.
class CLocaleScope {
public:
    CLocaleScope() {
        static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(0));
        if (cLocale) previous_ = uselocale(cLocale);
    }
    ~CLocaleScope() {
        if (previous_) uselocale(previous_);
    }
    CLocaleScope(const CLocaleScope&) = delete;
    CLocaleScope& operator=(const CLocaleScope&) = delete;

private:
    locale_t previous_ = locale_t(0);
};

} // namespace

std::string FormatCLocale(const char* format, ...) {
    CLocaleScope scope;
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int n = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string text;
    if (n > 0) {
        text.resize(size_t(n) + 1);
        std::vsnprintf(text.data(), text.size(), format, again);
        text.resize(size_t(n));
    }
    va_end(again);
    return text;
}

int ScanCLocale(const std::string& text, const char* format, ...) {
    CLocaleScope scope;
    va_list args;
    va_start(args, format);
    const int n = std::vsscanf(text.c_str(), format, args);
    va_end(args);
    return n;
}
