#pragma once
// Small helpers of the core tests: error codes of a call, file contents.
#include "YlmErrp.h"

#include <fstream>
#include <functional>
#include <iterator>
#include <string>

namespace coretest {

// The code of the YlmErrp the call throws; 0 when it throws nothing, -1 for
// anything else.
inline int CodeOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const YlmErrp& e) {
        return e.GetCode();
    } catch (...) {
        return -1;
    }
    return 0;
}

inline std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteAll(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// UTF-16 bytes of a text given as UTF-16 units, with the byte-order mark.
inline std::string Utf16Bytes(const std::u16string& units, bool bigEndian, bool mark = true) {
    std::string out;
    auto put = [&](char16_t u) {
        const char hi = char(u >> 8), lo = char(u & 0xFF);
        if (bigEndian) { out += hi; out += lo; }
        else { out += lo; out += hi; }
    };
    if (mark) put(0xFEFF);
    for (char16_t u : units) put(u);
    return out;
}

} // namespace coretest
