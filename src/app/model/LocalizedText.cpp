#include "LocalizedText.h"

#include "LocalizedStrings.h"
#include "StringResources.h"

#include <langinfo.h>
#include <locale.h>

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
