#pragma once
// Orders records by their first 32-bit signed value (lengths ignored).
#include "RecordComparator.h"

class IntRecordComparator : public RecordComparator {
public:
    // The first value of a minus that of b, wrapping as 32-bit.
    int32_t Compare(const void* a, const void* b, uint32_t lengthA, uint32_t lengthB) const override;
    int32_t Equal(const void* a, const void* b, uint32_t lengthA, uint32_t lengthB) const override;
};
