#pragma once
// Streams over a caller's buffer, held in the caller's VxStream record. Every
// read and write is checked against the buffer's size.
#include "ORVEXCMS.h"

namespace orvexcms {

class MemoryStream {
public:
    static bool open(const char* mode, VxStream* stream, void* buffer, uint32_t size);
    static bool read(VxStream* stream, void* destination, uint32_t count);
    static bool write(VxStream* stream, const void* source, uint32_t count);
    static bool skip(VxStream* stream, uint32_t count);
    static bool close(VxStream* stream);

private:
    static bool isOpen(const VxStream* stream);
};

} // namespace orvexcms
