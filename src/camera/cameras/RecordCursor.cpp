#include "RecordCursor.h"

#include "RecordArray.h"

RecordCursor::RecordCursor(RecordArray& array, int32_t position) : array_(&array), current_(position), next_(0) {
    nextCursor_ = array.cursors_;
    array.cursors_ = this;
    next_ = position > 0 ? after(position) : kPastEnd;
}

RecordCursor::~RecordCursor() {
    if (!array_) return;
    for (RecordCursor** link = &array_->cursors_; *link; link = &(*link)->nextCursor_) {
        if (*link == this) {
            *link = nextCursor_;
            break;
        }
    }
}

int32_t RecordCursor::after(int32_t position) const {
    const int64_t n = int64_t(position) + 1;
    return n > int64_t(array_->count()) ? kPastEnd : int32_t(n);
}

void RecordCursor::OnInsert(int32_t n, int32_t position) {
    if (current_ > 0) {
        if (position <= current_) current_ += n;
        next_ = after(current_);
    } else if (current_ == kDeleted && next_ > 0 && position <= next_) {
        // The record that followed a deleted one moves along with the rest.
        next_ += n;
    }
}

void RecordCursor::OnDelete(int32_t n, int32_t position) {
    const int64_t lastGone = int64_t(position) + n - 1;
    if (current_ > 0) {
        if (position > current_) return;
        if (current_ <= lastGone) {
            next_ = uint32_t(position) > array_->count() ? kPastEnd : position;
            current_ = kDeleted;
        } else {
            current_ -= n;
            next_ = after(current_);
        }
    } else if (current_ == kDeleted && next_ > 0 && position <= next_) {
        if (next_ <= lastGone) next_ = position;
        else next_ -= n;
        if (uint32_t(next_) > array_->count()) next_ = kPastEnd;
    }
}

void RecordCursor::Detach() {
    current_ = next_ = kArrayGone;
    array_ = nullptr;
}
