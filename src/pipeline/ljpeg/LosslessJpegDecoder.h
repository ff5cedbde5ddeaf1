#pragma once
// Decoder of lossless-JPEG coded sensor data (Huffman, predictors 0..7, one or
// more components, precisions 2..16, restart intervals) into 16-bit samples.
// The callers set the input length and the pass-through flag through the
// parameter table and read back the precision and the bytes written.
#include "VqStatus.h"

#include <array>
#include <cstdint>
#include <mutex>

namespace lumora {

class LosslessJpegDecoder {
public:
    enum Parameter { InputBytes = 0, OutputBytes = 1, PassThrough = 2, Precision = 3 };
    enum class Path { Fast, Reference };

    LosslessJpegDecoder();
    virtual ~LosslessJpegDecoder() = default;
    LosslessJpegDecoder(const LosslessJpegDecoder&) = delete;
    LosslessJpegDecoder& operator=(const LosslessJpegDecoder&) = delete;

    // Entry i points at the i-th value (InputBytes, OutputBytes, PassThrough, Precision).
    const std::array<int32_t*, 4>& parameters() { return table_; }

    // Decodes the first scan of the stream (inputBytes long) into output, which
    // holds outputCapacity samples. Samples are written row after row; with two
    // or more scan components the first two interleave, so a row has
    // frame columns × 2 samples. rawWidth × rawHeight is the sensor size the
    // caller expects: a frame of any other size is refused (0 × 0 accepts any
    // size that fits the output). Answers 0, VQ_ERR_BAD_FILE when the data ran
    // out (the rows are still delivered), VQ_ERR_LJPEG_FORMAT,
    // VQ_ERR_PROCESS_NO_MEMORY or VQ_ERR_NULL_PLANES.
    VqStatus Decode(const uint8_t* input, uint16_t* output, uint64_t outputCapacity, uint32_t rawWidth,
                    uint32_t rawHeight);

    // The plain sample-by-sample decoder, for tests that check the fast one.
    void setPath(Path path) { path_ = path; }

private:
    std::mutex lock_;
    std::array<int32_t*, 4> table_;
    int32_t inputBytes_ = 0;
    int32_t outputBytes_ = 0;
    int32_t passThrough_ = 0;
    int32_t precision_ = 0;
    Path path_ = Path::Fast;
};

} // namespace lumora
