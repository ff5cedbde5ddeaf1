#pragma once
// Reading values of an ini-style preference file such as "vxfilter.ini":
// "[Section]" lines, "key=value" lines, ';' or '#' comment lines. Section and
// key names match without regard to case, blanks around names and values are
// dropped, and one pair of double quotes around a value is removed. A bare
// file name lives in the preference folder: LUMORA_PREF_DIR, else
// $XDG_CONFIG_HOME/orvex, else ~/.config/orvex.
#include <cstdint>
#include <string>

namespace orvexcms {

class PreferenceFile {
public:
    static constexpr uint64_t kMaxFileSize = 1u << 20;

    static std::string folder();
    static std::string pathOf(const std::string& file);

    // True with the value when the file has the key in the section.
    static bool read(const std::string& path, const std::string& section, const std::string& key,
                     std::string& value);
    // The same over the file's bytes.
    static bool find(const uint8_t* bytes, uint64_t size, const std::string& section, const std::string& key,
                     std::string& value);
};

} // namespace orvexcms
