#pragma once
// Plain bit reader of lossless-JPEG entropy-coded data, one byte at a time into
// a 32-bit buffer topped up to 25 bits: the reference the fast reader is tested
// against. Same marker and overrun rules as LjpegBitReader.
#include "LjpegInput.h"

#include <cstdint>

namespace lumora {

class LjpegReferenceBitReader {
public:
    explicit LjpegReferenceBitReader(LjpegInput& in) : in_(in) {}

    // n in 1..16.
    uint32_t peek(int n) {
        ensure(n);
        return (buf_ >> (count_ - n)) & ((1u << n) - 1);
    }
    uint32_t get(int n) {
        uint32_t v = peek(n);
        count_ -= n;
        if (count_ < pad_) {
            overrun_ = true;
            pad_ = count_;
        }
        return v;
    }
    void restart() {
        count_ = 0;
        pad_ = 0;
        buf_ = 0;
    }
    bool overrun() const { return overrun_; }

private:
    void ensure(int n) {
        if (count_ >= n) return;
        while (count_ < 25) {
            uint64_t at = in_.pos();
            uint8_t b = in_.byte();
            if (b == 0xFF) {
                uint8_t next = in_.byte();
                if (next != 0) {
                    in_.setPos(at); // the marker stays for the next search
                    if (count_ >= n) return;
                    b = 0;
                    pad_ += 8;
                }
            }
            buf_ = buf_ << 8 | b;
            count_ += 8;
        }
    }

    LjpegInput& in_;
    uint32_t buf_ = 0;
    int count_ = 0;
    int pad_ = 0;
    bool overrun_ = false;
};

} // namespace lumora
