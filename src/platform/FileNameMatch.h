#pragma once
// File names compared the way the Windows parts expect: without regard to case
// (ASCII letters), with the wildcards * (any run of characters) and ? (any one
// character); "*.ZYR" matches "a.zyr". As on Windows, a pattern ending in ".*"
// also takes names without an extension ("*.*" matches everything), and a
// pattern ending in "." names without one.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lumora {

class FileNameMatch {
public:
    struct Entry {
        std::string name;
        bool isDirectory = false;
    };

    static bool matches(std::string_view pattern, std::string_view name);
    static bool equalNoCase(std::string_view a, std::string_view b);

    // The entries of folder whose names match pattern ("." and ".." never),
    // in case-blind name order. error: 0, ERROR_FILE_NOT_FOUND (2) when nothing
    // matches, ERROR_PATH_NOT_FOUND (3) when the folder does not exist, or the
    // Win32 error of reading it.
    static std::vector<Entry> list(const std::string& folder, std::string_view pattern, uint32_t& error);

    // The name of an entry of folder that equals name without regard to case
    // (the exact name first); empty when there is none.
    static std::string findNoCase(const std::string& folder, std::string_view name);
};

} // namespace lumora
