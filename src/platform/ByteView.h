#pragma once
// The one way bytes that come from outside (files, buffers, streams) are read.
// Every read is checked against the bytes actually held; offsets and lengths are
// 64-bit so that an offset + count taken from a file can never wrap.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>

namespace lumora {

enum class ByteOrder : uint8_t { Little, Big };

class ByteView {
public:
    ByteView() = default;
    ByteView(const uint8_t* data, uint64_t size) : data_(data), size_(data ? size : 0) {}
    ByteView(const void* data, uint64_t size) : ByteView(static_cast<const uint8_t*>(data), size) {}

    uint64_t size() const { return size_; }
    const uint8_t* data() const { return data_; }
    bool empty() const { return size_ == 0; }

    // True when [offset, offset + count) lies inside the view (no wrap possible).
    bool contains(uint64_t offset, uint64_t count) const {
        return offset <= size_ && count <= size_ - offset;
    }
    // Same for count elements of elemSize bytes each, without overflow.
    bool containsArray(uint64_t offset, uint64_t count, uint64_t elemSize) const {
        if (offset > size_) return false;
        if (elemSize == 0) return true;
        return count <= (size_ - offset) / elemSize;
    }

    std::optional<ByteView> sub(uint64_t offset, uint64_t count) const {
        if (!contains(offset, count)) return std::nullopt;
        return ByteView(data_ + offset, count);
    }

    bool copy(uint64_t offset, void* out, uint64_t count) const {
        if (!contains(offset, count)) return false;
        if (count) std::memcpy(out, data_ + offset, count);
        return true;
    }

    bool u8(uint64_t offset, uint8_t& out) const {
        if (!contains(offset, 1)) return false;
        out = data_[offset];
        return true;
    }
    bool u16(uint64_t offset, ByteOrder order, uint16_t& out) const {
        if (!contains(offset, 2)) return false;
        const uint8_t* p = data_ + offset;
        out = order == ByteOrder::Big ? uint16_t(p[0] << 8 | p[1]) : uint16_t(p[1] << 8 | p[0]);
        return true;
    }
    bool u32(uint64_t offset, ByteOrder order, uint32_t& out) const {
        if (!contains(offset, 4)) return false;
        const uint8_t* p = data_ + offset;
        out = order == ByteOrder::Big
                  ? (uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3])
                  : (uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0]);
        return true;
    }
    bool u64(uint64_t offset, ByteOrder order, uint64_t& out) const {
        uint32_t a, b;
        if (!u32(offset, order, a) || !u32(offset + 4, order, b)) return false;
        out = order == ByteOrder::Big ? (uint64_t(a) << 32 | b) : (uint64_t(b) << 32 | a);
        return true;
    }

private:
    const uint8_t* data_ = nullptr;
    uint64_t size_ = 0;
};

// A ByteView with a read position; every get fails (and leaves the position) when
// the bytes are not there, and the first failure sticks so a run of reads can be
// checked once at the end.
class ByteReader {
public:
    ByteReader() = default;
    explicit ByteReader(ByteView view, ByteOrder order = ByteOrder::Little) : view_(view), order_(order) {}

    void setOrder(ByteOrder order) { order_ = order; }
    ByteOrder order() const { return order_; }
    uint64_t pos() const { return pos_; }
    uint64_t remaining() const { return view_.size() - pos_; }
    bool ok() const { return ok_; }
    const ByteView& view() const { return view_; }

    bool seek(uint64_t offset) {
        if (offset > view_.size()) return fail();
        pos_ = offset;
        return true;
    }
    bool skip(uint64_t count) {
        if (!view_.contains(pos_, count)) return fail();
        pos_ += count;
        return true;
    }
    bool u8(uint8_t& out) { return step(view_.u8(pos_, out), 1); }
    bool u16(uint16_t& out) { return step(view_.u16(pos_, order_, out), 2); }
    bool u32(uint32_t& out) { return step(view_.u32(pos_, order_, out), 4); }
    bool u64(uint64_t& out) { return step(view_.u64(pos_, order_, out), 8); }
    bool bytes(void* out, uint64_t count) { return step(view_.copy(pos_, out, count), count); }
    std::optional<ByteView> take(uint64_t count) {
        auto s = view_.sub(pos_, count);
        if (!s) { fail(); return std::nullopt; }
        pos_ += count;
        return s;
    }

private:
    bool fail() { ok_ = false; return false; }
    bool step(bool good, uint64_t n) {
        if (!good) return fail();
        pos_ += n;
        return true;
    }
    ByteView view_;
    ByteOrder order_ = ByteOrder::Little;
    uint64_t pos_ = 0;
    bool ok_ = true;
};

} // namespace lumora
