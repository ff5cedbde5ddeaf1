#include "IntRecordComparator.h"

#include "IntOps.h"

#include <cstring>

namespace {
int32_t firstValue(const void* p) {
    int32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
} // namespace

int32_t IntRecordComparator::Compare(const void* a, const void* b, uint32_t, uint32_t) const {
    return lumora::wrapSub32(firstValue(a), firstValue(b));
}

int32_t IntRecordComparator::Equal(const void* a, const void* b, uint32_t, uint32_t) const {
    return firstValue(a) == firstValue(b) ? 1 : 0;
}
