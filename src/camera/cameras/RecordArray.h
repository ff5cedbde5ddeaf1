#pragma once
// Fixed-size records in one growable movable block, addressed by 1-based
// position (kLast stands for the last record). Optionally kept in comparator
// order; searched linearly or by bisection; sorted with a Shell sort.
//
// A pointer from RecordPtr stays good until the next operation that resizes
// the block (Insert, Delete, Reserve, Resize, Sort).
#include "MovableMemory.h"

#include <cstdint>

class RecordComparator;
class RecordCursor;

class RecordArray {
public:
    static constexpr int32_t kLast = 0x7FFFFFFF;

    // comparator: owned; null gives the default (the integer comparator for
    // 4-byte records, else the byte comparator).
    RecordArray(uint32_t recordSize, RecordComparator* comparator, uint32_t keepSorted);
    virtual ~RecordArray();
    RecordArray(const RecordArray&) = delete;
    RecordArray& operator=(const RecordArray&) = delete;

    virtual uint32_t RecordSize(int32_t position) const;
    // n copies of record (size bytes of it, 0 meaning recordSize; null leaves
    // the new records zero) at position, clamped into 1..count + 1; with
    // keepSorted at their sorted place. Nothing changes when the block cannot
    // grow.
    virtual void Insert(int32_t n, int32_t position, const void* record, uint32_t size);
    virtual void Delete(int32_t n, int32_t position);
    virtual uint32_t GetWithSize(int32_t position, void* destination, uint32_t* size);
    virtual uint32_t Get(int32_t position, void* destination);
    virtual void Replace(int32_t n, int32_t position, const void* record, uint32_t size);
    virtual void Swap(int32_t a, int32_t b);
    virtual void Move(int32_t from, int32_t to);
    virtual int32_t Find(const void* key, uint32_t keySize);
    virtual void FindAndDelete(const void* key, uint32_t keySize);
    // Start of the record at position (1-based; 0 gives the block start). Not
    // range-checked: position must lie in 0..count. Null without a block.
    virtual uint8_t* RecordPtr(int32_t position);
    virtual void Reserve(uint32_t extra);
    virtual void Sort();
    virtual int32_t FindByKey(const void* key);
    virtual int32_t FindInsertPosition(const void* record, uint32_t size);
    virtual int32_t FindKeyInsertPosition(const void* key);

    uint32_t count() const { return count_; }
    uint32_t recordSize() const { return recordSize_; }
    uint32_t usedBytes() const { return usedBytes_; }
    uint32_t allocatedBytes() const { return allocatedBytes_; }
    bool sorted() const { return sorted_ != 0; }
    bool keepSorted() const { return keepSorted_ != 0; }
    lumora::MovableMemory::Handle block() const { return block_; }

protected:
    void CopyOut(int32_t position, void* destination);
    void CopyIn(int32_t position, const void* source, uint32_t length);
    bool Resize(uint32_t bytes);
    bool Grow(int32_t delta);
    void MoveRange(int32_t first, int32_t last, int32_t delta);
    void FillRange(int32_t n, int32_t first, const void* source, uint32_t size);
    void SwapRecords(int32_t a, int32_t b, void* scratch);
    void MoveRecord(int32_t from, int32_t to, void* scratch);
    void CopyRecord(int32_t from, int32_t to);
    uint32_t RangeBytes(int32_t first, int32_t last) const;

private:
    friend class RecordCursor;
    uint8_t* base();
    void UnlockCompletely();
    int32_t Bisect(const void* key, uint32_t keySize, bool byKey, bool forInsert);
    int32_t resolve(int32_t position) const { return position == kLast ? int32_t(count_) : position; }
    bool inRange(int32_t position) const { return position >= 1 && uint32_t(position) <= count_; }

    uint32_t recordSize_;
    uint32_t count_ = 0;
    uint32_t usedBytes_ = 0;
    uint32_t allocatedBytes_ = 0;
    lumora::MovableMemory::Handle block_ = 0;
    uint8_t* data_ = nullptr; // the block's bytes while the array holds it locked
    uint32_t lockCount_ = 0;
    RecordCursor* cursors_ = nullptr;
    RecordComparator* comparator_;
    bool ownsComparator_ = true;
    uint32_t sorted_ = 1;
    uint32_t keepSorted_;
};
