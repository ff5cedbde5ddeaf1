// zprowrite OUT.zyr [--model CODE] [--size WxH] [--mono] [--drop ID]...
//           [--int ID=TYPE:V,V,...] [--float ID=TYPE:V,V,...] [--text ID=TEXT]
//           [--text-no-nul ID=TEXT] [--block ID=HEXBYTES]
//
// Writes a raw file in the stand-in drivers' container with the complete
// default attribute set of the model code (default 2048), then drops or
// replaces the attributes named.
#include "ZproWriter.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: zprowrite OUT [--model CODE] [--size WxH] [--mono] [--drop ID]...\n"
                 "       [--int ID=TYPE:V,...] [--float ID=TYPE:V,...] [--text ID=TEXT] [--text-no-nul ID=TEXT]\n"
                 "       [--block ID=HEX]\n");
    return 2;
}

bool SplitIdValue(const std::string& arg, int32_t& id, std::string& rest) {
    const size_t eq = arg.find('=');
    if (eq == std::string::npos || eq == 0) return false;
    id = int32_t(std::strtol(arg.substr(0, eq).c_str(), nullptr, 10));
    rest = arg.substr(eq + 1);
    return true;
}

bool ParseTyped(const std::string& text, int32_t& type, std::vector<std::string>& values) {
    const size_t colon = text.find(':');
    if (colon == std::string::npos) return false;
    type = int32_t(std::strtol(text.substr(0, colon).c_str(), nullptr, 10));
    std::string list = text.substr(colon + 1);
    size_t start = 0;
    while (start <= list.size()) {
        const size_t comma = list.find(',', start);
        values.push_back(list.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    ZproSpec spec;
    const std::string out = argv[1];
    // Model, size and mono shape the defaults: read them first.
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--model" && i + 1 < argc) spec.modelCode = int32_t(std::strtol(argv[++i], nullptr, 10));
        else if (a == "--size" && i + 1 < argc) {
            unsigned w = 0, h = 0;
            if (std::sscanf(argv[++i], "%ux%u", &w, &h) != 2 || w == 0 || h == 0) return usage();
            spec.width = w, spec.height = h;
        } else if (a == "--mono") spec.mono = true;
    }
    spec.SetDefaults();
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--model" || a == "--size") {
            ++i;
            continue;
        }
        if (a == "--mono") continue;
        if (i + 1 >= argc) return usage();
        const std::string arg = argv[++i];
        int32_t id = 0;
        std::string rest;
        if (a == "--drop") {
            spec.Drop(int32_t(std::strtol(arg.c_str(), nullptr, 10)));
            continue;
        }
        if (!SplitIdValue(arg, id, rest)) return usage();
        if (a == "--text" || a == "--text-no-nul") {
            spec.Set(id, ZproValue::Text(rest, a == "--text"));
        } else if (a == "--block") {
            std::vector<uint8_t> bytes;
            for (size_t k = 0; k + 1 < rest.size(); k += 2)
                bytes.push_back(uint8_t(std::strtol(rest.substr(k, 2).c_str(), nullptr, 16)));
            spec.Set(id, ZproValue::Block(bytes));
        } else if (a == "--int" || a == "--float") {
            int32_t type = 0;
            std::vector<std::string> values;
            if (!ParseTyped(rest, type, values)) return usage();
            if (a == "--int") {
                std::vector<int32_t> v;
                for (auto& s : values) v.push_back(int32_t(std::strtol(s.c_str(), nullptr, 10)));
                ZproValue value = ZproValue::Ints(type, v);
                if (type == 18) value.count = int32_t(v.size() / 4);
                spec.Set(id, value);
            } else {
                std::vector<float> v;
                for (auto& s : values) v.push_back(std::strtof(s.c_str(), nullptr));
                spec.Set(id, ZproValue::Floats(type, v));
            }
        } else {
            return usage();
        }
    }
    if (!WriteZproFile(out, spec)) {
        std::fprintf(stderr, "zprowrite: cannot write %s\n", out.c_str());
        return 1;
    }
    return 0;
}
