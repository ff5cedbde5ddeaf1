#pragma once
// Designs the sharpening plug-in's built-in filters with Kestra's own calls
// and stores them as filter buffers: 2003 the 5-tap sharpening filter, 2004
// the resampler that rescales them, 2005 the 7-tap sharpening filter. Every
// run gives the same bytes.
#include <cstdint>
#include <string>
#include <vector>

namespace filtergen {

inline constexpr int32_t kBuiltInIds[3] = {2003, 2004, 2005};

// The buffer of a built-in filter; empty with why set when Kestra refuses.
std::vector<uint8_t> BuiltInFilter(int32_t id, std::string& why);

// The stored size each buffer is made to.
uint32_t BuiltInFilterSize(int32_t id);

} // namespace filtergen
