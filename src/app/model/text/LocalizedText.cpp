#include "LocalizedText.h"

#include "LocalizedStrings.h"
#include "StringResources.h"

#include <algorithm>
#include <climits>
#include <langinfo.h>
#include <locale.h>
#include <vector>

std::string LoadUntranslatedString(int id) { return LoadResourceString(id); }

std::string LoadTranslatedString(int id) { return TranslateString(LoadResourceString(id)); }

std::string TranslateString(const std::string& text) {
    std::string translated;
    if (NimbalCore::GetLocalizedString(text, translated)) return translated;
    return text;
}

std::string UserDecimalSeparator() {
    // The process may have set its own LC_NUMERIC back to "C"; the user's
    // choice is still in the environment.
    locale_t user = newlocale(LC_NUMERIC_MASK, "", locale_t(0));
    if (!user) return ".";
    const char* radix = nl_langinfo_l(RADIXCHAR, user);
    std::string separator = radix && *radix ? radix : ".";
    freelocale(user);
    return separator;
}

std::string ToUserNumberFormat(const std::string& cNumber, int fractionDigits) {
    // Split into sign, integer digits and fraction digits; anything else is
    // not ours to change.
    size_t at = 0;
    const bool negative = !cNumber.empty() && cNumber[0] == '-';
    if (negative) at = 1;
    std::string integer, fraction;
    while (at < cNumber.size() && cNumber[at] >= '0' && cNumber[at] <= '9') integer += cNumber[at++];
    if (at < cNumber.size() && cNumber[at] == '.') {
        ++at;
        while (at < cNumber.size() && cNumber[at] >= '0' && cNumber[at] <= '9') fraction += cNumber[at++];
    }
    if (integer.empty() || at != cNumber.size() || fractionDigits < 0) return cNumber;

    // Round the decimal digits themselves, so that what was written is
    // what is rounded.
    const bool roundUp = fraction.size() > size_t(fractionDigits) && fraction[size_t(fractionDigits)] >= '5';
    fraction.resize(size_t(fractionDigits), '0');
    if (roundUp) {
        std::string digits = integer + fraction;
        size_t i = digits.size();
        while (i > 0) {
            --i;
            if (digits[i] == '9') {
                digits[i] = '0';
            } else {
                ++digits[i];
                break;
            }
            if (i == 0) digits.insert(digits.begin(), '1');
        }
        integer = digits.substr(0, digits.size() - fraction.size());
        fraction = digits.substr(integer.size());
    }

    std::string thousands, grouping;
    if (locale_t user = newlocale(LC_NUMERIC_MASK, "", locale_t(0))) {
        if (const char* sep = nl_langinfo_l(THOUSEP, user)) thousands = sep;
        if (const char* g = nl_langinfo_l(GROUPING, user)) grouping = g;
        freelocale(user);
    }
    std::string grouped = integer;
    if (!thousands.empty() && !grouping.empty()) {
        grouped.clear();
        size_t remaining = integer.size();
        size_t g = 0;
        int size = 0;
        std::vector<std::string> groups;
        while (remaining > 0) {
            if (g < grouping.size() && grouping[g] > 0 && grouping[g] != CHAR_MAX) size = grouping[g];
            else if (g < grouping.size()) size = int(remaining);  // no further grouping
            if (size <= 0) size = int(remaining);
            const size_t take = std::min(remaining, size_t(size));
            groups.push_back(integer.substr(remaining - take, take));
            remaining -= take;
            if (g + 1 < grouping.size()) ++g;
        }
        for (size_t i = groups.size(); i-- > 0;) {
            grouped += groups[i];
            if (i) grouped += thousands;
        }
    }
    std::string out = negative ? "-" : "";
    out += grouped;
    if (fractionDigits > 0) out += UserDecimalSeparator() + fraction;
    return out;
}

namespace {

std::string ReplaceAll(std::string text, const std::string& what, const std::string& with) {
    if (what.empty() || what == with) return text;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
    return text;
}

} // namespace

std::string ToLocaleDecimalPoint(const std::string& text) { return ReplaceAll(text, ".", UserDecimalSeparator()); }

std::string FromLocaleDecimalPoint(const std::string& text) { return ReplaceAll(text, UserDecimalSeparator(), "."); }
