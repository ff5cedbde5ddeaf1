#pragma once
// Small helpers of the colour engine's tests: the error code a call throws,
// and a profile file's bytes.
#include "YlmErrp.h"

#include <cstdint>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace enginetest {

// The code of the YlmErrp the call throws, 0 when it throws none; anything
// else thrown goes on to the test.
inline int CodeOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const YlmErrp& e) {
        return e.GetCode();
    }
    return 0;
}

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::vector<uint8_t>{std::istreambuf_iterator<char>(file), {}};
}

} // namespace enginetest
