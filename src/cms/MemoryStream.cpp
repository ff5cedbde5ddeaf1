#include "MemoryStream.h"

#include <ByteView.h>

#include <cstring>

namespace orvexcms {

namespace {
constexpr uint32_t kOpen = 'm';
}

bool MemoryStream::isOpen(const VxStream* s) { return s && s->kind == kOpen && s->position <= s->size; }

bool MemoryStream::open(const char* mode, VxStream* s, void* buffer, uint32_t size) {
    if (!s) return false;
    *s = VxStream{};
    if (!mode || std::strcmp(mode, "m") != 0 || (!buffer && size)) return false;
    s->kind = kOpen;
    s->size = size;
    s->buffer = static_cast<uint8_t*>(buffer);
    return true;
}

bool MemoryStream::read(VxStream* s, void* destination, uint32_t count) {
    if (!isOpen(s) || (!destination && count)) return false;
    const lumora::ByteView view(s->buffer, s->size);
    if (!view.copy(s->position, destination, count)) return false;
    s->position += count;
    return true;
}

bool MemoryStream::write(VxStream* s, const void* source, uint32_t count) {
    if (!isOpen(s) || (!source && count)) return false;
    if (uint64_t(s->position) + count > s->size) return false;
    if (count) std::memcpy(s->buffer + s->position, source, count);
    s->position += count;
    if (s->position > s->written) s->written = s->position;
    return true;
}

bool MemoryStream::skip(VxStream* s, uint32_t count) {
    if (!isOpen(s) || uint64_t(s->position) + count > s->size) return false;
    s->position += count;
    return true;
}

bool MemoryStream::close(VxStream* s) {
    if (!isOpen(s)) return false;
    s->kind = 0;
    return true;
}

} // namespace orvexcms
