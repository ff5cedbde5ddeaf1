// filtergen: writes the sharpening plug-in's built-in filters.
//   filtergen source FILE.cpp [ID...]  the resource table a plug-in is built with
//                                      (every built-in filter, or the ones named)
//   filtergen raw ID FILE         one filter buffer as it is embedded
#include "BuiltInFilters.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <vector>

namespace {

int usage() {
    std::cerr << "usage: filtergen source FILE.cpp [ID...] | filtergen raw 2003|2004|2005 FILE\n";
    return 2;
}

bool build(int32_t id, std::vector<uint8_t>& bytes) {
    std::string why;
    bytes = filtergen::BuiltInFilter(id, why);
    if (bytes.empty()) std::cerr << "filter " << id << ": " << why << "\n";
    return !bytes.empty();
}

bool writeAll(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    return bool(out.flush());
}

int source(const std::string& path, const std::vector<int32_t>& ids) {
    std::ostringstream s;
    s << "// Written by filtergen: the built-in FILTER resources.\n#include \"ORVEXCMS.h\"\n\nnamespace {\n";
    for (int32_t id : ids) {
        std::vector<uint8_t> bytes;
        if (!build(id, bytes)) return 1;
        s << "const unsigned char kFilter" << id << "[" << bytes.size() << "] = {";
        for (size_t i = 0; i < bytes.size(); ++i) s << (i % 24 ? "" : "\n    ") << unsigned(bytes[i]) << ",";
        s << "\n};\n";
    }
    s << "} // namespace\n\nextern \"C\" {\nextern __attribute__((visibility(\"default\"))) const VxResourceEntry "
         "VxResourceTable[];\nconst VxResourceEntry VxResourceTable[] = {\n";
    for (int32_t id : ids)
        s << "    {\"FILTER\", " << id << ", kFilter" << id << ", sizeof kFilter" << id << "},\n";
    s << "    {nullptr, 0, nullptr, 0}};\n}\n";
    if (!writeAll(path, s.str())) {
        std::cerr << path << ": cannot write\n";
        return 1;
    }
    return 0;
}

int raw(const char* idText, const std::string& path) {
    const int32_t id = int32_t(std::strtol(idText, nullptr, 10));
    std::vector<uint8_t> bytes;
    if (!build(id, bytes)) return 1;
    if (!writeAll(path, std::string(bytes.begin(), bytes.end()))) {
        std::cerr << path << ": cannot write\n";
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "source") == 0) {
        std::vector<int32_t> ids(std::begin(filtergen::kBuiltInIds), std::end(filtergen::kBuiltInIds));
        if (argc > 3) ids.clear();
        for (int i = 3; i < argc; ++i) {
            const int32_t id = int32_t(std::strtol(argv[i], nullptr, 10));
            if (filtergen::BuiltInFilterSize(id) == 0) return usage();
            ids.push_back(id);
        }
        return source(argv[2], ids);
    }
    if (argc == 4 && std::strcmp(argv[1], "raw") == 0) return raw(argv[2], argv[3]);
    return usage();
}
