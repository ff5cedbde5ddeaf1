#pragma once
// One lossless-JPEG decode: markers, segments, frame and scan headers, tables
// and the output checks. All working state lives here, per decode, so decodes
// on different threads never meet. The scan itself is decoded by LjpegFastScan
// or, for tests, by LjpegReferenceScan.
#include "ByteView.h"
#include "LjpegHuffmanTable.h"
#include "LjpegInput.h"
#include "VqStatus.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace lumora {

class LjpegSession {
public:
    struct Error {
        VqStatus status;
    };
    struct Component {
        uint8_t id = 0, h = 0, v = 0;
        uint8_t table = 0; // selector, set by the scan header
    };
    struct Result {
        VqStatus status = VQ_OK;
        int32_t precision = 0;        // P of the frame header, 0 when none was read
        uint64_t samplesWritten = 0;  // 0 after a format or memory error
    };

    // output holds capacity samples; rawWidth × rawHeight is the size the
    // caller expects (frame columns × output components, rows); 0 × 0 accepts
    // any size that fits.
    LjpegSession(ByteView input, uint16_t* output, uint64_t capacity, uint32_t rawWidth, uint32_t rawHeight,
                 bool reference);
    Result run();

    [[noreturn]] static void fail(VqStatus status) { throw Error{status}; }
    // Before an opening row after row 0: the next marker must be the expected RSTn.
    void expectRestart();

    // Read by the scan decoders.
    LjpegInput in;
    uint16_t* out;
    uint32_t X = 0, Y = 0, P = 0;
    uint32_t ns = 0;                                  // components in the scan
    uint32_t outComponents = 0;                       // 1, or 2 for two or more
    std::array<const LjpegHuffmanTable*, 4> tables{}; // per scan component
    uint32_t ss = 0, pt = 0;
    uint32_t rowsPerRestart = 0;                      // 0: no restart markers
    uint64_t samplesWritten = 0;

private:
    void readFrame();
    void readScanHeader();
    void prepareScan();
    void readTables();
    void readRestartInterval();
    void skipSegment();

    uint64_t capacity_;
    uint32_t rawWidth_, rawHeight_;
    bool reference_;
    bool frameRead_ = false;
    std::vector<Component> frame_;
    std::array<uint32_t, 4> scanFrameIndex_{};
    std::array<std::unique_ptr<LjpegHuffmanTable>, 4> slots_;
    uint32_t ri_ = 0;
    uint32_t nextRestart_ = 0;
};

} // namespace lumora
