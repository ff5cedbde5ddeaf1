#pragma once
// A place in a RecordArray that follows insertions and deletions. Positions are
// 1-based; negative values are states.
#include <cstdint>

class RecordArray;

class RecordCursor {
public:
    static constexpr int32_t kPastEnd = -2;
    static constexpr int32_t kDeleted = -4;
    static constexpr int32_t kArrayGone = -6;

    // Registers with the array on its record at position.
    RecordCursor(RecordArray& array, int32_t position);
    ~RecordCursor();
    RecordCursor(const RecordCursor&) = delete;
    RecordCursor& operator=(const RecordCursor&) = delete;

    int32_t current() const { return current_; }
    int32_t next() const { return next_; }

    void OnInsert(int32_t n, int32_t position);
    void OnDelete(int32_t n, int32_t position);
    void Detach();

private:
    friend class RecordArray;
    int32_t after(int32_t position) const;

    RecordCursor* nextCursor_ = nullptr;
    RecordArray* array_;
    int32_t current_;
    int32_t next_;
};
