#pragma once
// Fast bit reader of lossless-JPEG entropy-coded data: a 64-bit buffer, bits
// left-aligned, refilled eight bytes at a time while no FF byte is near.
// A marker (FF followed by anything but 00) ends the data: it stays in the
// input for the next marker search and zero bits follow. Reading zero bits
// that stand in for missing data is remembered as an overrun.
#include "LjpegInput.h"

#include <cstdint>
#include <cstring>

namespace lumora {

class LjpegBitReader {
public:
    explicit LjpegBitReader(LjpegInput& in) : in_(in), data_(in.view().data()), size_(in.view().size()), pos_(in.pos()) {}

    // Makes at least 32 bits available (a difference takes at most 31).
    inline void need32() {
        if (bits_ < 32) refill();
    }
    // n in 1..32; needs n bits available.
    inline uint32_t peek(int n) const { return uint32_t(buf_ >> (64 - n)); }
    inline void consume(int n) {
        buf_ <<= n;
        bits_ -= n;
    }
    inline uint32_t get(int n) {
        uint32_t v = peek(n);
        consume(n);
        return v;
    }

    // Drops the bits held (at a restart marker) and hands the byte position
    // back to the input for the marker search.
    void restart() {
        checkOverrun();
        buf_ = 0;
        bits_ = 0;
        pad_ = 0;
        marker_ = false;
        in_.setPos(pos_);
    }
    // Continues after the restart marker the input has just read.
    void resume() { pos_ = in_.pos(); }
    // Ends the entropy-coded data: hands the byte position back.
    void finish() {
        checkOverrun();
        in_.setPos(pos_);
    }
    bool overrun() const { return overrun_; }

private:
    void checkOverrun() {
        if (bits_ < pad_) overrun_ = true;
    }
    static bool hasFF(uint64_t w) {
        uint64_t x = ~w;
        return ((x - 0x0101010101010101ull) & ~x & 0x8080808080808080ull) != 0;
    }
    void padZeros() {
        checkOverrun();
        pad_ = pad_ > bits_ ? 64 : pad_ + (64 - bits_);
        bits_ = 64;
    }
    void refill() {
        if (marker_) return padZeros();
        if (pos_ + 8 <= size_) {
            uint64_t w;
            std::memcpy(&w, data_ + pos_, 8);
            w = __builtin_bswap64(w);
            if (!hasFF(w)) {
                const int k = (64 - bits_) >> 3;
                if (k < 8) w = (w >> (64 - 8 * k)) << (64 - 8 * k);
                buf_ |= w >> bits_;
                bits_ += 8 * k;
                pos_ += uint64_t(k);
                return;
            }
        }
        while (bits_ <= 56) {
            if (pos_ >= size_) { // the filler follows: FF FF is a marker
                in_.setPastEnd();
                marker_ = true;
                return padZeros();
            }
            uint8_t b = data_[pos_];
            if (b == 0xFF) {
                if (pos_ + 1 >= size_) in_.setPastEnd();
                if (pos_ + 1 >= size_ || data_[pos_ + 1] != 0) {
                    marker_ = true;
                    return padZeros();
                }
                pos_ += 2;
            } else {
                pos_ += 1;
            }
            buf_ |= uint64_t(b) << (56 - bits_);
            bits_ += 8;
        }
    }

    LjpegInput& in_;
    const uint8_t* data_;
    uint64_t size_;
    uint64_t pos_;
    uint64_t buf_ = 0;
    int bits_ = 0;
    int pad_ = 0;       // trailing zero bits that stand in for missing data
    bool marker_ = false;
    bool overrun_ = false;
};

} // namespace lumora
