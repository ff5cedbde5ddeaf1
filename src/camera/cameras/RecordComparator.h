#pragma once
// Orders the records of a RecordArray. The base class compares bytes; it has no
// key comparison (CompareKey answers 1, so a key is never found).
#include <cstdint>

class RecordComparator {
public:
    virtual ~RecordComparator() = default;
    // < 0, 0, > 0: bytes compared as unsigned over the shorter length; an
    // equal common part answers lengthA - lengthB.
    virtual int32_t Compare(const void* a, const void* b, uint32_t lengthA, uint32_t lengthB) const;
    virtual int32_t Equal(const void* a, const void* b, uint32_t lengthA, uint32_t lengthB) const;
    virtual int32_t CompareKey(const void* record, uint32_t recordLength, const void* key) const;
    virtual int32_t EqualKey(const void* record, uint32_t recordLength, const void* key) const;
};
