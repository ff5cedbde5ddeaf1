// u16gen [--big-endian] [--crlf] IN.tsv... OUT.u16
//
// Turns one or more UTF-8 tables, in the order given, into one file: a UTF-8 table (one row per line, items separated by TAB, lines that
// start with '#' ignored; \t \n \r \\ in an item stand for TAB, line feed,
// carriage return and backslash) into the tab-delimited UTF-16 format of the
// program's string table: a byte-order mark, then the rows with the format's
// escapes, and the items that hold a double quote quoted.
#include "UnicodeText.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Options {
    bool bigEndian = false;
    bool crlf = false;
    std::string in, out;
};

bool decodeItem(const std::string& text, std::string& out) {
    out.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i >= text.size()) return false;
        switch (text[i]) {
        case 't': out += '\t'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case '\\': out += '\\'; break;
        default: return false;
        }
    }
    return true;
}

std::u16string encodeItem(const std::u16string& item) {
    std::u16string out;
    bool quoted = false;
    for (char16_t c : item) {
        switch (c) {
        case u'\\': out += u"\\\\"; break;
        case u'\n': out += u"\\n"; break;
        case u'\r': out += u"\\r"; break;
        case u'\t': out += u"\\t"; break;
        case u'"': out += u"\"\""; quoted = true; break;
        default:
            if (c < 0x20 || c == 0x2028 || c == 0x2029) {
                char hex[16];
                std::snprintf(hex, sizeof hex, "\\0x%04X", unsigned(c));
                for (const char* p = hex; *p; ++p) out += char16_t(*p);
            } else {
                out += c;
            }
        }
    }
    return quoted ? u"\"" + out + u"\"" : out;
}

void put(std::string& bytes, char16_t unit, bool bigEndian) {
    const char hi = char(unit >> 8), lo = char(unit & 0xFF);
    if (bigEndian) { bytes += hi; bytes += lo; }
    else { bytes += lo; bytes += hi; }
}

int usage() {
    std::cerr << "usage: u16gen [--big-endian] [--crlf] IN.tsv... OUT.u16\n";
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--big-endian") o.bigEndian = true;
        else if (a == "--crlf") o.crlf = true;
        else if (!a.empty() && a[0] == '-') return usage();
        else files.push_back(a);
    }
    if (files.size() < 2) return usage();
    const std::string outName = files.back();
    files.pop_back();
    std::string bytes;
    put(bytes, 0xFEFF, o.bigEndian);
    for (const std::string& inName : files) {
        std::ifstream in(inName, std::ios::binary);
        if (!in) {
            std::cerr << "u16gen: cannot read " << inName << "\n";
            return 1;
        }
        std::string line;
        int lineNumber = 0;
        while (std::getline(in, line)) {
            ++lineNumber;
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (!line.empty() && line[0] == '#') continue;
            std::vector<std::string> items;
            size_t start = 0;
            for (;;) {
                const size_t tab = line.find('\t', start);
                items.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
                if (tab == std::string::npos) break;
                start = tab + 1;
            }
            for (size_t k = 0; k < items.size(); ++k) {
                std::string decoded;
                std::u16string wide;
                if (!decodeItem(items[k], decoded) || !NimbalCore::UnicodeText::ToUtf16(decoded, wide)) {
                    std::cerr << "u16gen: " << inName << ":" << lineNumber << ": bad item " << (k + 1) << "\n";
                    return 1;
                }
                if (k) put(bytes, u'\t', o.bigEndian);
                for (char16_t c : encodeItem(wide)) put(bytes, c, o.bigEndian);
            }
            if (o.crlf) put(bytes, u'\r', o.bigEndian);
            put(bytes, u'\n', o.bigEndian);
        }
    }
    std::ofstream out(outName, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    out.close();
    if (!out) {
        std::cerr << "u16gen: cannot write " << outName << "\n";
        return 1;
    }
    return 0;
}
