// Fuzzes the lossless-JPEG decoder and checks the fast path against the plain
// reference path on every input: same status, counts and samples.
#include "LosslessJpegDecoder.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

struct Run {
    VqStatus status;
    int32_t bytes, precision;
    std::vector<uint16_t> out;
};

Run decode(const uint8_t* data, size_t size, lumora::LosslessJpegDecoder::Path path, uint64_t capacity) {
    lumora::LosslessJpegDecoder dec;
    dec.setPath(path);
    *dec.parameters()[lumora::LosslessJpegDecoder::InputBytes] = int32_t(size);
    Run r;
    r.out.assign(capacity, 0x5A5A);
    static const uint8_t none = 0;
    r.status = dec.Decode(size ? data : &none, r.out.data(), capacity, 0, 0);
    r.bytes = *dec.parameters()[lumora::LosslessJpegDecoder::OutputBytes];
    r.precision = *dec.parameters()[lumora::LosslessJpegDecoder::Precision];
    return r;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Frames larger than this are refused by the capacity check, which keeps
    // each run small; the output vector's exact size lets ASan see overruns.
    const uint64_t capacity = 1u << 16;
    const Run fast = decode(data, size, lumora::LosslessJpegDecoder::Path::Fast, capacity);
    const Run ref = decode(data, size, lumora::LosslessJpegDecoder::Path::Reference, capacity);
    if (fast.status != ref.status || fast.bytes != ref.bytes || fast.precision != ref.precision) std::abort();
    if ((fast.status == VQ_OK || fast.status == VQ_ERR_BAD_FILE) && fast.out != ref.out) std::abort();
    return 0;
}
