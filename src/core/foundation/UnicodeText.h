#pragma once
// The conversions between the core's 8-bit texts (paths and program texts are
// UTF-8 on Linux) and UTF-16 (the string table, wide file names). Both refuse
// malformed input (bad sequences, lone surrogates) instead of guessing.
#include <string>
#include <string_view>

namespace NimbalCore {

class UnicodeText {
public:
    static bool ToUtf16(std::string_view utf8, std::u16string& out);
    static bool ToUtf8(std::u16string_view utf16, std::string& out);
};

} // namespace NimbalCore
