#include "RecordArray.h"

#include "IntRecordComparator.h"
#include "RecordComparator.h"
#include "RecordCursor.h"

#include <cstring>
#include <new>

using lumora::MovableMemory;

namespace {
RecordComparator fallbackBytes;
IntRecordComparator fallbackInts;
} // namespace

RecordArray::RecordArray(uint32_t recordSize, RecordComparator* comparator, uint32_t keepSorted)
    : recordSize_(recordSize), comparator_(comparator), keepSorted_(keepSorted) {
    if (!comparator_) {
        comparator_ = recordSize == 4 ? static_cast<RecordComparator*>(new (std::nothrow) IntRecordComparator)
                                      : new (std::nothrow) RecordComparator;
        if (!comparator_) {
            // Without memory for a comparator the array still orders its records.
            comparator_ = recordSize == 4 ? static_cast<RecordComparator*>(&fallbackInts) : &fallbackBytes;
            ownsComparator_ = false;
        }
    }
}

RecordArray::~RecordArray() {
    UnlockCompletely();
    if (block_) MovableMemory::free(block_);
    for (RecordCursor* c = cursors_; c;) {
        RecordCursor* next = c->nextCursor_;
        c->Detach();
        c = next;
    }
    if (ownsComparator_) delete comparator_;
}

uint8_t* RecordArray::base() {
    if (!block_) return nullptr;
    if (lockCount_ == 0) {
        data_ = static_cast<uint8_t*>(MovableMemory::lock(block_));
        if (!data_) return nullptr;
        lockCount_ = 1;
    }
    return data_;
}

void RecordArray::UnlockCompletely() {
    while (lockCount_ > 0) {
        MovableMemory::unlock(block_);
        --lockCount_;
    }
    data_ = nullptr;
}

uint32_t RecordArray::RecordSize(int32_t) const { return recordSize_; }

uint8_t* RecordArray::RecordPtr(int32_t position) {
    uint8_t* b = base();
    if (!b || position <= 0) return b;
    return b + uint64_t(position - 1) * recordSize_;
}

uint32_t RecordArray::RangeBytes(int32_t first, int32_t last) const {
    return uint32_t((int64_t(last) - first + 1) * recordSize_);
}

void RecordArray::CopyOut(int32_t position, void* destination) {
    std::memcpy(destination, RecordPtr(position), recordSize_);
}

void RecordArray::CopyIn(int32_t position, const void* source, uint32_t length) {
    // Never more than one record: a longer source must not spill into the next
    // record or past the block.
    if (length > recordSize_) length = recordSize_;
    std::memmove(RecordPtr(position), source, length);
}

bool RecordArray::Resize(uint32_t bytes) {
    if (bytes == allocatedBytes_ && block_) return true;
    if (!block_) {
        block_ = MovableMemory::alloc(bytes, true);
        if (!block_) return false;
    } else {
        UnlockCompletely();
        if (!MovableMemory::reallocate(block_, bytes, true)) return false;
    }
    allocatedBytes_ = bytes;
    return true;
}

bool RecordArray::Grow(int32_t delta) {
    const int64_t newCount = int64_t(count_) + delta;
    if (newCount < 0) return false;
    const uint64_t needed = uint64_t(newCount) * recordSize_;
    if (needed + recordSize_ > 0xFFFFFFFFull) return false;
    if (needed > allocatedBytes_) {
        if (!Resize(uint32_t(needed + recordSize_))) return false;
    } else if (delta < 0) {
        if (!Resize(uint32_t(allocatedBytes_ - (usedBytes_ - needed)))) return false;
    }
    usedBytes_ = uint32_t(needed);
    count_ = uint32_t(newCount);
    return true;
}

void RecordArray::MoveRange(int32_t first, int32_t last, int32_t delta) {
    if (last < first) return;
    uint8_t* from = RecordPtr(first);
    uint8_t* to = RecordPtr(int32_t(int64_t(first) + delta));
    std::memmove(to, from, RangeBytes(first, last));
}

void RecordArray::FillRange(int32_t n, int32_t first, const void* source, uint32_t size) {
    if (!source) return;
    for (int32_t i = 0; i < n; ++i) CopyIn(first + i, source, size);
}

void RecordArray::CopyRecord(int32_t from, int32_t to) { CopyIn(to, RecordPtr(from), recordSize_); }

void RecordArray::SwapRecords(int32_t a, int32_t b, void* scratch) {
    CopyOut(a, scratch);
    CopyRecord(b, a);
    CopyIn(b, scratch, RecordSize(a));
}

void RecordArray::MoveRecord(int32_t from, int32_t to, void* scratch) {
    CopyOut(from, scratch);
    if (from >= to) MoveRange(to, from - 1, +1);
    else MoveRange(from + 1, to, -1);
    CopyIn(to, scratch, recordSize_);
}

void RecordArray::Insert(int32_t n, int32_t position, const void* record, uint32_t size) {
    if (n < 1) return;
    if (size == 0) size = recordSize_;
    if (keepSorted_ && record) position = FindInsertPosition(record, size);
    if (position < 1) position = 1;
    if (uint32_t(position) > count_) position = int32_t(count_ + 1);
    const uint32_t oldCount = count_;
    if (!Grow(n)) {
        UnlockCompletely();
        return;
    }
    if (uint32_t(position) <= oldCount) {
        MoveRange(position, int32_t(oldCount), n);
        // The opened gap still holds the moved records' bytes; new records
        // start as zero like those at the end.
        std::memset(RecordPtr(position), 0, RangeBytes(position, position + n - 1));
    }
    sorted_ = keepSorted_;
    FillRange(n, position, record, size);
    for (RecordCursor* c = cursors_; c; c = c->nextCursor_) c->OnInsert(n, position);
    UnlockCompletely();
}

void RecordArray::Delete(int32_t n, int32_t position) {
    if (n < 1) return;
    position = resolve(position);
    if (!inRange(position)) return;
    if (int64_t(position) + n > int64_t(count_)) n = int32_t(count_ - uint32_t(position) + 1);
    if (uint32_t(position + n) <= count_) MoveRange(position + n, int32_t(count_), -n);
    Grow(-n);
    for (RecordCursor* c = cursors_; c; c = c->nextCursor_) c->OnDelete(n, position);
    UnlockCompletely();
}

uint32_t RecordArray::GetWithSize(int32_t position, void* destination, uint32_t* size) {
    *size = recordSize_;
    return Get(position, destination);
}

uint32_t RecordArray::Get(int32_t position, void* destination) {
    position = resolve(position);
    if (!inRange(position)) return 0;
    CopyOut(position, destination);
    return 1;
}

void RecordArray::Replace(int32_t n, int32_t position, const void* record, uint32_t size) {
    position = resolve(position);
    if (!inRange(position) || n < 1 || !record) return;
    if (keepSorted_) {
        Delete(n, position);
        Insert(n, position, record, size);
        return;
    }
    if (size == 0) size = recordSize_;
    int64_t last = int64_t(position) + n - 1;
    if (last > int64_t(count_)) last = count_;
    for (int64_t i = position; i <= last; ++i) CopyIn(int32_t(i), record, size);
}

void RecordArray::Swap(int32_t a, int32_t b) {
    if (keepSorted_) return;
    a = resolve(a);
    b = resolve(b);
    if (!inRange(a) || !inRange(b)) return;
    auto* scratch = new (std::nothrow) uint8_t[recordSize_ ? recordSize_ : 1];
    if (!scratch) return;
    SwapRecords(a, b, scratch);
    delete[] scratch;
    sorted_ = 0;
}

void RecordArray::Move(int32_t from, int32_t to) {
    if (keepSorted_) return;
    from = resolve(from);
    to = resolve(to);
    if (!inRange(from) || !inRange(to) || from == to) return;
    auto* scratch = new (std::nothrow) uint8_t[recordSize_ ? recordSize_ : 1];
    if (!scratch) return;
    MoveRecord(from, to, scratch);
    delete[] scratch;
    sorted_ = 0;
}

int32_t RecordArray::Bisect(const void* key, uint32_t keySize, bool byKey, bool forInsert) {
    int64_t lo = 1, hi = count_, mid = 1;
    int32_t c = 0;
    do {
        mid = (lo + hi) / 2;
        const uint8_t* rec = RecordPtr(int32_t(mid));
        c = byKey ? comparator_->CompareKey(rec, RecordSize(int32_t(mid)), key)
                  : comparator_->Compare(rec, key, RecordSize(int32_t(mid)), keySize);
        if (c == 0) break;
        if (c > 0) hi = mid - 1;
        else lo = mid + 1;
    } while (lo <= hi);
    if (forInsert) return int32_t(c < 0 ? mid + 1 : mid);
    return c == 0 ? int32_t(mid) : 0;
}

int32_t RecordArray::Find(const void* key, uint32_t keySize) {
    if (keySize == 0) keySize = recordSize_;
    if (count_ == 0 || !key) return 0;
    if (sorted_) return Bisect(key, keySize, false, false);
    for (uint32_t i = 1; i <= count_; ++i)
        if (comparator_->Equal(key, RecordPtr(int32_t(i)), keySize, RecordSize(int32_t(i)))) return int32_t(i);
    return 0;
}

void RecordArray::FindAndDelete(const void* key, uint32_t keySize) {
    if (const int32_t at = Find(key, keySize)) Delete(1, at);
}

void RecordArray::Reserve(uint32_t extra) {
    const uint64_t bytes = (uint64_t(count_) + extra) * recordSize_;
    if (bytes > 0xFFFFFFFFull) return;
    Resize(uint32_t(bytes));
}

void RecordArray::Sort() {
    if (sorted_ || count_ <= 1) return;
    uint32_t h = 1;
    while (h < count_ / 9) h = 3 * h + 1;
    if (auto* scratch = new (std::nothrow) uint8_t[recordSize_ ? recordSize_ : 1]) {
        for (; h >= 1; h /= 3) {
            for (uint32_t i = h + 1; i <= count_; ++i) {
                CopyOut(int32_t(i), scratch);
                int64_t j = int64_t(i) - h;
                while (j > 0 && comparator_->Compare(scratch, RecordPtr(int32_t(j)), recordSize_, recordSize_) < 0) {
                    CopyRecord(int32_t(j), int32_t(j + h));
                    j -= h;
                }
                CopyIn(int32_t(j + h), scratch, recordSize_);
            }
        }
        delete[] scratch;
    }
    UnlockCompletely();
    sorted_ = 1;
}

int32_t RecordArray::FindByKey(const void* key) {
    if (count_ == 0) return 0;
    if (sorted_) return Bisect(key, 0, true, false);
    for (uint32_t i = 1; i <= count_; ++i)
        if (comparator_->EqualKey(RecordPtr(int32_t(i)), RecordSize(int32_t(i)), key)) return int32_t(i);
    return 0;
}

int32_t RecordArray::FindInsertPosition(const void* record, uint32_t size) {
    if (!sorted_) return kLast;
    if (count_ == 0) return 1;
    return Bisect(record, size ? size : recordSize_, false, true);
}

int32_t RecordArray::FindKeyInsertPosition(const void* key) {
    if (!sorted_) return kLast;
    if (count_ == 0) return 1;
    return Bisect(key, 0, true, true);
}
