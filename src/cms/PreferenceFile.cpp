#include "PreferenceFile.h"

#include <ByteView.h>
#include <Locations.h>

#include <cstdio>
#include <cstdlib>
#include <strings.h>
#include <vector>

namespace orvexcms {

namespace {

std::string trim(std::string s) {
    const char* blanks = " \t\r\n\v\f";
    const size_t b = s.find_first_not_of(blanks);
    if (b == std::string::npos) return {};
    const size_t e = s.find_last_not_of(blanks);
    return s.substr(b, e - b + 1);
}

bool sameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && strncasecmp(a.c_str(), b.c_str(), a.size()) == 0;
}

} // namespace

std::string PreferenceFile::folder() {
    const std::string dir = lumora::Locations::PrefDir().string();
    return dir.empty() ? "orvex" : dir;
}

std::string PreferenceFile::pathOf(const std::string& file) {
    if (file.find('/') != std::string::npos) return file;
    return folder() + "/" + file;
}

bool PreferenceFile::find(const uint8_t* bytes, uint64_t size, const std::string& section, const std::string& key,
                          std::string& value) {
    const lumora::ByteView view(bytes, size);
    bool inSection = false;
    uint64_t pos = 0;
    while (pos < view.size()) {
        uint64_t end = pos;
        uint8_t c = 0;
        while (view.u8(end, c) && c != '\n') ++end;
        std::string line(reinterpret_cast<const char*>(view.data() + pos), size_t(end - pos));
        pos = end + 1;
        line = trim(line);
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line[0] == '[') {
            const size_t close = line.find(']');
            inSection = close != std::string::npos && sameName(trim(line.substr(1, close - 1)), section);
            continue;
        }
        if (!inSection) continue;
        const size_t eq = line.find('=');
        if (eq == std::string::npos || !sameName(trim(line.substr(0, eq)), key)) continue;
        std::string v = trim(line.substr(eq + 1));
        if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
        value = v;
        return true;
    }
    return false;
}

bool PreferenceFile::read(const std::string& path, const std::string& section, const std::string& key,
                          std::string& value) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    std::vector<uint8_t> bytes;
    uint8_t chunk[4096];
    bool tooBig = false;
    for (;;) {
        const size_t n = std::fread(chunk, 1, sizeof chunk, f);
        if (n == 0) break;
        if (bytes.size() + n > kMaxFileSize) {
            tooBig = true;
            break;
        }
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    const bool failed = std::ferror(f) || tooBig;
    std::fclose(f);
    if (failed) return false;
    return find(bytes.data(), bytes.size(), section, key, value);
}

} // namespace orvexcms
