#pragma once
// A file's whole content replaced at once: the new bytes go to a temporary
// file beside it, which takes the file's name only when it is complete. A
// failure at any step leaves the file as it was and no temporary behind.
#include <cstdint>

namespace lumora::vq {

class FileReplacement {
public:
    // path names an existing file; answers 0 or a Win32 error number.
    static uint32_t Replace(const char* path, const uint8_t* bytes, uint64_t length);
};

} // namespace lumora::vq
