#include "FilterPrinter.h"

#include <ByteView.h>

#include <string>

namespace filtertool {

using lumora::ByteOrder;
using lumora::ByteView;

bool FilterPrinter::print(const std::vector<uint8_t>& bytes, std::ostream& out) {
    const ByteView view(bytes.data(), bytes.size());
    uint32_t magic = 0;
    if (!view.u32(0, ByteOrder::Little, magic)) {
        out << "short buffer: " << bytes.size() << " bytes\n";
        return false;
    }
    ByteOrder order;
    if (magic == 0x66696C74) order = ByteOrder::Little;
    else if (magic == 0x746C6966) order = ByteOrder::Big;
    else {
        out << "not a filter buffer (first word 0x" << std::hex << magic << std::dec << ")\n";
        return false;
    }
    out << "size " << bytes.size() << " bytes, header " << (order == ByteOrder::Little ? "little" : "big")
        << "-endian\n";
    uint32_t words[9];
    for (int i = 0; i < 9; ++i) {
        if (!view.u32(uint64_t(i) * 4, order, words[i])) {
            out << "header ends early\n";
            return false;
        }
        out << "header word " << i << ": " << words[i] << " (0x" << std::hex << words[i] << std::dec << ")\n";
    }
    uint64_t nonZero = 0;
    for (uint64_t i = 36; i < 500; ++i) {
        uint8_t b = 0;
        if (!view.u8(i, b)) {
            out << "header ends early\n";
            return false;
        }
        nonZero += b != 0;
    }
    out << "reserved bytes not zero: " << nonZero << "\n";

    const uint64_t textLength = words[2];
    const auto text = view.sub(500, textLength);
    if (!text) {
        out << "attribute text of " << textLength << " bytes ends early\n";
        return false;
    }
    out << "attribute text: " << textLength << " bytes\n";
    std::string line;
    for (uint64_t i = 0; i < textLength; ++i) {
        const char c = char(text->data()[i]);
        if (c == '\n' || c == '\0') {
            if (!line.empty()) out << "  " << line << "\n";
            line.clear();
        } else {
            line += c;
        }
    }
    if (!line.empty()) out << "  " << line << "   (no line end)\n";

    if (words[5] == 0) {
        out << "no kernel block (flag 0)\n";
        return true;
    }
    lumora::ByteReader reader(*view.sub(500 + textLength, view.size() - 500 - textLength), ByteOrder::Big);
    uint32_t f[13];
    uint8_t kind[4] = {}, word8[4] = {};
    const char* names[13] = {"block word", "taps", "variants", "levels", "bytes per sample", "fraction bits",
                             "word 6", "kind name", "word 8", "word 10", "second table", "word 11", "word 12"};
    for (int i = 0; i < 13; ++i) {
        if (i == 7) {
            reader.bytes(kind, 4);
            continue;
        }
        if (i == 8) {
            reader.bytes(word8, 4);
            continue;
        }
        reader.u32(f[i]);
    }
    if (!reader.ok()) {
        out << "kernel block ends early\n";
        return false;
    }
    for (int i = 0; i < 13; ++i) {
        out << "kernel " << names[i] << ": ";
        if (i == 7) out << '"' << std::string(reinterpret_cast<char*>(kind), 4).c_str() << '"';
        else if (i == 8)
            out << "bytes " << std::hex << int(word8[0]) << " " << int(word8[1]) << " " << int(word8[2]) << " "
                << int(word8[3]) << std::dec;
        else out << int32_t(f[i]);
        out << "\n";
    }
    const int64_t taps = int32_t(f[1]), variants = int32_t(f[2]), levels = int32_t(f[3]);
    if (taps < 1 || variants < 1 || levels < 1 ||
        uint64_t(taps) * uint64_t(variants) * uint64_t(levels) * 2 > reader.remaining()) {
        out << "kernel sizes out of range or samples missing\n";
        return false;
    }
    for (int64_t l = 0; l < levels; ++l)
        for (int64_t v = 0; v < variants; ++v) {
            out << "  level " << l << " variant " << v << ":";
            for (int64_t t = 0; t < taps; ++t) {
                uint16_t s = 0;
                if (!reader.u16(s)) {
                    out << "\nsamples end early\n";
                    return false;
                }
                out << " " << int16_t(s);
            }
            out << "\n";
        }
    if (f[10] != 0 && words[1] >= 2) {
        out << "second table:\n";
        for (int64_t l = 0; l < levels; ++l)
            for (int64_t v = 0; v < variants; ++v) {
                uint16_t a = 0, b = 0;
                if (!reader.u16(a) || !reader.u16(b)) {
                    out << "second table ends early\n";
                    return false;
                }
                out << "  level " << l << " variant " << v << ": " << int16_t(a) << " " << int16_t(b) << "\n";
            }
    }
    out << "bytes after the block: " << reader.remaining() << "\n";
    return true;
}

} // namespace filtertool
