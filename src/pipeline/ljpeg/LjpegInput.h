#pragma once
// Byte source of one lossless-JPEG decode. Reading past the end of the stream
// yields an endless EOI filler (FF FF D9 FF …), so every marker search ends,
// and remembers that the stream ran out.
#include "ByteView.h"

#include <cstdint>

namespace lumora {

class LjpegInput {
public:
    explicit LjpegInput(ByteView view) : view_(view) {}

    uint8_t byte() {
        uint8_t b;
        if (view_.u8(pos_, b)) {
            ++pos_;
            return b;
        }
        static constexpr uint8_t kFiller[4] = {0xFF, 0xFF, 0xD9, 0xFF};
        pastEnd_ = true;
        return kFiller[(pos_++ - view_.size()) & 3];
    }
    uint32_t u16() {
        uint32_t hi = byte();
        return hi << 8 | byte();
    }
    void skip(uint64_t count) {
        if (!view_.contains(pos_, count)) pastEnd_ = true;
        pos_ += count;
    }
    // Skips to the next marker: FF, any further FF fill bytes, then a code
    // other than 00 (FF 00 is a stuffed data byte and does not count).
    uint8_t findMarker() {
        for (;;) {
            if (byte() != 0xFF) continue;
            uint8_t b;
            do b = byte(); while (b == 0xFF);
            if (b != 0) return b;
        }
    }

    const ByteView& view() const { return view_; }
    uint64_t pos() const { return pos_; }
    void setPos(uint64_t pos) { pos_ = pos; }
    bool pastEnd() const { return pastEnd_; }
    void setPastEnd() { pastEnd_ = true; }

private:
    ByteView view_;
    uint64_t pos_ = 0;
    bool pastEnd_ = false;
};

} // namespace lumora
