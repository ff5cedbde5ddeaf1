#include "LocalizedStrings.h"

#include "Locations.h"
#include "TabDelUniFile.h"
#include "UnicodeText.h"

#include <map>
#include <vector>

namespace NimbalCore {
namespace {

struct StringTable {
    std::map<std::u16string, std::u16string> texts;
    unsigned column = kColumnEnglish;
    bool verification = false;
};

StringTable& table() {
    static StringTable t;
    return t;
}

// Upper-cases a to z only (as the C library does in its default locale), then
// gives the formatting codes back their lower case.
std::u16string verificationText(std::u16string text) {
    for (char16_t& c : text)
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    static const std::pair<const char16_t*, const char16_t*> codes[] = {
        {u"%S", u"%s"},     {u"%D", u"%d"},     {u"%3D", u"%3d"}, {u"%4D", u"%4d"}, {u"%-4D", u"%-4d"},
        {u"\\N", u"\\n"},   {u"\\T", u"\\t"},   {u"%.1F", u"%.1f"}, {u"%U", u"%u"}, {u"%I", u"%i"},
    };
    for (const auto& [what, with] : codes) TabDelUniFile::ReplaceAll(text, what, with);
    if (text == u"OK") text = u"OK!";
    else if (text == u"EV") text = u"EV!";
    return text;
}

} // namespace

unsigned LocalizedColumnForLanguage(std::string_view language) {
    static const std::pair<std::string_view, unsigned> languages[] = {
        {"English", kColumnEnglish},     {"Chinese", kColumnChinese},       {"French", kColumnFrench},
        {"German", kColumnGerman},       {"Italian", kColumnItalian},       {"Japanese", kColumnJapanese},
        {"Korean", kColumnKorean},       {"Portuguese", kColumnPortuguese}, {"Spanish", kColumnSpanish},
        {"TraditionalChinese", kColumnTraditionalChinese}, {"Verification", kColumnVerification},
    };
    for (const auto& [name, column] : languages)
        if (name == language) return column;
    return kColumnEnglish;
}

FilePathSpec LocalizedStringsFile() {
    const std::string folder = lumora::Locations::ProgramDir().string();
    if (folder.empty()) return FilePathSpec(std::string("LumoraUIStrings.u16"));
    return FilePathSpec(folder + (folder.back() == '/' ? "" : "/") + "LumoraUIStrings.u16");
}

void LoadLocalizedStrings(const FilePathSpec& file, unsigned column) {
    StringTable& t = table();
    t.verification = column == kColumnVerification;
    if (t.verification) column = kColumnEnglish;
    t.column = column;
    t.texts.clear();

    std::map<std::u16string, std::u16string> texts;
    TabDelUniFile in(file);
    in.Open(File::ReadBinary);
    while (!in.IsEOF()) {
        std::vector<std::u16string> row;
        in.LoadRow(row);
        if (row.size() <= column || row.size() < 2 || row[1].empty()) continue;
        std::u16string text = t.verification ? verificationText(row[column]) : row[column];
        texts.emplace(row[1], std::move(text)); // the first row of a key wins
    }
    in.Close();
    t.texts = std::move(texts);
}

bool GetLocalizedString(const std::string& key, std::string& text) {
    text.clear();
    std::u16string wideKey;
    if (!UnicodeText::ToUtf16(key, wideKey)) return false;
    const StringTable& t = table();
    const auto found = t.texts.find(wideKey);
    if (found == t.texts.end() || found->second.empty()) return false;
    if (!UnicodeText::ToUtf8(found->second, text)) {
        text.clear();
        return false;
    }
    return true;
}

} // namespace NimbalCore
