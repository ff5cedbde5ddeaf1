#pragma once
// Prints the fields of a filter buffer as they are stored: byte order, the
// nine header words, the attribute lines, the kernel-block fields and the
// kernels. Reads through the bounds-checked byte view and says where the
// bytes end early.
#include <cstdint>
#include <ostream>
#include <vector>

namespace filtertool {

class FilterPrinter {
public:
    // False when the buffer is not a filter buffer or ends early (what could
    // be read is printed).
    static bool print(const std::vector<uint8_t>& bytes, std::ostream& out);
};

} // namespace filtertool
