#include "RecordComparator.h"

int32_t RecordComparator::Compare(const void* a, const void* b, uint32_t lengthA, uint32_t lengthB) const {
    const auto* x = static_cast<const uint8_t*>(a);
    const auto* y = static_cast<const uint8_t*>(b);
    const uint32_t n = lengthA < lengthB ? lengthA : lengthB;
    for (uint32_t i = 0; i < n; ++i)
        if (x[i] != y[i]) return int32_t(x[i]) - int32_t(y[i]);
    return int32_t(lengthA - lengthB);
}

int32_t RecordComparator::Equal(const void* a, const void* b, uint32_t lengthA, uint32_t lengthB) const {
    return Compare(a, b, lengthA, lengthB) == 0 ? 1 : 0;
}

int32_t RecordComparator::CompareKey(const void*, uint32_t, const void*) const { return 1; }

int32_t RecordComparator::EqualKey(const void* record, uint32_t recordLength, const void* key) const {
    return CompareKey(record, recordLength, key) == 0 ? 1 : 0;
}
