#pragma once
// The program's translation table: one language column of the tab-delimited
// UTF-16 file "LumoraUIStrings.u16" next to the program, keyed by the English
// text exactly as the program passes it. Loaded once at start-up, before any
// worker thread exists; read from any thread afterwards.
#include "FilePathSpec.h"

#include <string>
#include <string_view>

namespace NimbalCore {

// The column of each language in the table file.
enum LocalizedColumn : unsigned {
    kColumnEnglish = 3,
    kColumnChinese = 4,
    kColumnFrench = 5,
    kColumnGerman = 6,
    kColumnItalian = 7,
    kColumnJapanese = 8,
    kColumnKorean = 9,
    kColumnPortuguese = 10,
    kColumnSpanish = 11,
    kColumnTraditionalChinese = 12,
    // English, upper-cased with its formatting codes intact: shows which
    // texts of the program pass through the table.
    kColumnVerification = 9999,
};

// The column a value of the "Language" setting selects (its name, letter case
// included); English for anything unknown.
unsigned LocalizedColumnForLanguage(std::string_view language);

// The table file's place: "LumoraUIStrings.u16" in the program folder.
FilePathSpec LocalizedStringsFile();

// Replaces the table by a column of the file. Throws the file's YlmErrp
// (1802, 1811, 1821, 1822); the table is then empty.
void LoadLocalizedStrings(const FilePathSpec& file, unsigned column);

// The translation of key (UTF-8), or false (text empty) when there is none,
// it is empty or it cannot be converted: the caller keeps its English text.
bool GetLocalizedString(const std::string& key, std::string& text);

} // namespace NimbalCore
