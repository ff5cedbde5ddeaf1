#include "LjpegSession.h"

#include "LjpegFastScan.h"
#include "LjpegReferenceScan.h"

#include <climits>
#include <new>

namespace lumora {

LjpegSession::LjpegSession(ByteView input, uint16_t* output, uint64_t capacity, uint32_t rawWidth,
                           uint32_t rawHeight, bool reference)
    : in(input), out(output), capacity_(capacity), rawWidth_(rawWidth), rawHeight_(rawHeight),
      reference_(reference) {}

LjpegSession::Result LjpegSession::run() {
    Result result;
    try {
        if (in.byte() != 0xFF || in.byte() != 0xD8) fail(VQ_ERR_LJPEG_FORMAT);
        enum { BeforeFrame, BeforeScan, AfterScan } phase = BeforeFrame;
        bool overrun = false;
        for (bool done = false; !done;) {
            const uint8_t m = in.findMarker();
            switch (m) {
            case 0xC0: case 0xC1: case 0xC3:
                if (phase != BeforeFrame) fail(VQ_ERR_LJPEG_FORMAT);
                readFrame();
                result.precision = int32_t(P);
                phase = BeforeScan;
                break;
            case 0xC2: case 0xC5: case 0xC6: case 0xC7: case 0xC8: case 0xC9: case 0xCA: case 0xCB:
            case 0xCD: case 0xCE: case 0xCF:
            case 0xD0: case 0xD1: case 0xD2: case 0xD3: case 0xD4: case 0xD5: case 0xD6: case 0xD7:
            case 0xD8: case 0xDB: case 0x01:
                fail(VQ_ERR_LJPEG_FORMAT);
            case 0xD9:
                if (phase != AfterScan) fail(VQ_ERR_LJPEG_FORMAT);
                done = true;
                break;
            case 0xDA:
                if (phase == BeforeFrame) fail(VQ_ERR_LJPEG_FORMAT);
                readScanHeader();
                if (phase == AfterScan) { // only the first scan is decoded
                    done = true;
                    break;
                }
                prepareScan();
                overrun = reference_ ? LjpegReferenceScan::decode(*this) : LjpegFastScan::decode(*this);
                phase = AfterScan;
                break;
            case 0xC4:
                readTables();
                break;
            case 0xDD:
                readRestartInterval();
                break;
            default:
                skipSegment();
                break;
            }
        }
        result.samplesWritten = samplesWritten;
        // Output whose data ran out (the stream ended, or a marker cut an
        // interval short) is delivered but not reported as a good decode.
        result.status = (in.pastEnd() || overrun) ? VQ_ERR_BAD_FILE : VQ_OK;
    } catch (const Error& e) {
        result.status = e.status;
        result.samplesWritten = 0;
    } catch (const std::bad_alloc&) {
        result.status = VQ_ERR_PROCESS_NO_MEMORY;
        result.samplesWritten = 0;
    }
    return result;
}

void LjpegSession::skipSegment() {
    const uint32_t length = in.u16();
    if (length > 2) in.skip(length - 2);
}

void LjpegSession::readRestartInterval() {
    if (in.u16() != 4) fail(VQ_ERR_LJPEG_FORMAT);
    ri_ = in.u16();
}

void LjpegSession::readTables() {
    int64_t left = int64_t(in.u16()) - 2;
    while (left > 0) {
        const uint8_t tcth = in.byte();
        if ((tcth & 0x10) || tcth > 3) fail(VQ_ERR_LJPEG_FORMAT);
        std::array<uint8_t, 17> bits{};
        uint32_t total = 0;
        for (int l = 1; l <= 16; ++l) {
            bits[l] = in.byte();
            total += bits[l];
        }
        if (total > 256) fail(VQ_ERR_LJPEG_FORMAT);
        auto& slot = slots_[tcth];
        if (!slot) slot = std::make_unique<LjpegHuffmanTable>();
        slot->bits = bits;
        slot->count = int(total);
        for (uint32_t i = 0; i < total; ++i) slot->values[i] = in.byte();
        left -= 17 + int64_t(total);
        // A table that runs over its segment's length is a broken segment.
        if (left < 0) fail(VQ_ERR_LJPEG_FORMAT);
    }
}

void LjpegSession::readFrame() {
    const uint32_t lf = in.u16();
    const uint32_t p = in.byte();
    const uint32_t y = in.u16();
    const uint32_t x = in.u16();
    const uint32_t nf = in.byte();
    if (y == 0 || x == 0 || nf == 0) fail(VQ_ERR_LJPEG_FORMAT);
    if (p < 2 || p > 16) fail(VQ_ERR_LJPEG_FORMAT);
    if (lf != 8 + 3 * nf) fail(VQ_ERR_LJPEG_FORMAT);
    frame_.assign(nf, Component{});
    for (auto& c : frame_) {
        c.id = in.byte();
        const uint8_t hv = in.byte();
        c.h = hv >> 4;
        c.v = hv & 15;
        in.byte(); // quantisation table: not used by the lossless process
    }
    P = p;
    Y = y;
    X = x;
    frameRead_ = true;
}

void LjpegSession::readScanHeader() {
    const uint32_t ls = in.u16();
    const uint32_t n = in.byte();
    if (n < 1 || n > 4 || ls != 6 + 2 * n) fail(VQ_ERR_LJPEG_FORMAT);
    std::array<uint32_t, 4> index{};
    std::array<uint8_t, 4> selector{};
    for (uint32_t i = 0; i < n; ++i) {
        const uint8_t cs = in.byte();
        uint32_t k = 0;
        while (k < frame_.size() && frame_[k].id != cs) ++k;
        if (k == frame_.size()) fail(VQ_ERR_LJPEG_FORMAT);
        index[i] = k;
        selector[i] = in.byte() >> 4;
    }
    const uint32_t s = in.byte();
    in.byte(); // Se: not used by the lossless process
    const uint32_t t = in.byte() & 15;
    if (ns != 0) return; // a later scan: checked, not decoded
    ns = n;
    scanFrameIndex_ = index;
    for (uint32_t i = 0; i < n; ++i) frame_[index[i]].table = selector[i];
    ss = s;
    pt = t;
}

void LjpegSession::prepareScan() {
    for (const auto& c : frame_)
        if (c.h != 1 || c.v != 1) fail(VQ_ERR_LJPEG_FORMAT);
    for (uint32_t i = 0; i < ns; ++i) {
        const uint8_t sel = frame_[scanFrameIndex_[i]].table;
        if (sel > 3 || !slots_[sel]) fail(VQ_ERR_LJPEG_FORMAT);
        if (!slots_[sel]->build()) fail(VQ_ERR_LJPEG_FORMAT);
        tables[i] = slots_[sel].get();
    }
    // The opening prediction 2^(P - Pt - 1) needs Pt below P.
    if (pt >= P) fail(VQ_ERR_LJPEG_FORMAT);
    // Restarts are handled in whole rows; an interval shorter than a row means
    // no restart handling at all. A longer interval that ends inside a row
    // would make the marker search skip data and decode the wrong samples
    // without complaint, so it is refused instead of misread.
    if (ri_ > X && ri_ % X != 0) fail(VQ_ERR_LJPEG_FORMAT);
    rowsPerRestart = ri_ / X;
    nextRestart_ = 0;
    outComponents = ns >= 2 ? 2 : 1;
    const uint64_t rowSamples = uint64_t(X) * outComponents;
    if ((rawWidth_ != 0 || rawHeight_ != 0) && (rowSamples != rawWidth_ || Y != rawHeight_))
        fail(VQ_ERR_LJPEG_FORMAT);
    if (rowSamples * Y > capacity_) fail(VQ_ERR_LJPEG_FORMAT);
    // The byte count is reported as a 32-bit value.
    if (rowSamples * Y * 2 > uint64_t(INT32_MAX)) fail(VQ_ERR_LJPEG_FORMAT);
}

void LjpegSession::expectRestart() {
    const uint8_t m = in.findMarker();
    if (m != 0xD0 + nextRestart_) fail(VQ_ERR_LJPEG_FORMAT);
    nextRestart_ = (nextRestart_ + 1) & 7;
}

} // namespace lumora
