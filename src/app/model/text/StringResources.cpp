#include "StringResources.h"

#include <cstdlib>
#include <map>
#include <string_view>
#include <vector>

// The table file's bytes, embedded by the build.
extern const unsigned char kLumoraAppStrings[];
extern const unsigned long kLumoraAppStringsSize;

namespace {

constexpr size_t kIdColumn = 0;
constexpr size_t kEnglishColumn = 3;

std::string Decode(std::string_view item) {
    std::string out;
    for (size_t i = 0; i < item.size(); ++i) {
        if (item[i] != '\\' || i + 1 == item.size()) {
            out += item[i];
            continue;
        }
        switch (item[++i]) {
        case 't': out += '\t'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        default: out += item[i]; break;
        }
    }
    return out;
}

const std::map<int, std::string>& Table() {
    static const std::map<int, std::string> table = [] {
        std::map<int, std::string> t;
        const std::string_view all(reinterpret_cast<const char*>(kLumoraAppStrings), kLumoraAppStringsSize);
        size_t start = 0;
        while (start < all.size()) {
            size_t end = all.find('\n', start);
            if (end == std::string_view::npos) end = all.size();
            std::string_view line = all.substr(start, end - start);
            start = end + 1;
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            if (line.empty() || line[0] == '#') continue;
            std::vector<std::string_view> items;
            size_t from = 0;
            for (;;) {
                const size_t tab = line.find('\t', from);
                items.push_back(line.substr(from, tab == std::string_view::npos ? std::string_view::npos : tab - from));
                if (tab == std::string_view::npos) break;
                from = tab + 1;
            }
            if (items.size() <= kEnglishColumn || items[kIdColumn] == "-") continue;
            const int id = std::atoi(std::string(items[kIdColumn]).c_str());
            if (id > 0) t.emplace(id, Decode(items[kEnglishColumn]));
        }
        return t;
    }();
    return table;
}

} // namespace

std::string LoadResourceString(int id) {
    const auto& t = Table();
    const auto found = t.find(id);
    return found == t.end() ? std::string() : found->second;
}
