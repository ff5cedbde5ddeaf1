#include "LosslessJpegDecoder.h"

#include "ByteView.h"
#include "LjpegSession.h"

namespace lumora {

LosslessJpegDecoder::LosslessJpegDecoder()
    : table_{&inputBytes_, &outputBytes_, &passThrough_, &precision_} {}

VqStatus LosslessJpegDecoder::Decode(const uint8_t* input, uint16_t* output, uint64_t outputCapacity,
                                     uint32_t rawWidth, uint32_t rawHeight) {
    if (!input || !output) return VQ_ERR_NULL_PLANES;
    std::lock_guard<std::mutex> hold(lock_);
    if (passThrough_ != 0) return VQ_OK;
    const uint64_t length = inputBytes_ > 0 ? uint64_t(inputBytes_) : 0;
    LjpegSession session(ByteView(input, length), output, outputCapacity, rawWidth, rawHeight,
                         path_ == Path::Reference);
    const LjpegSession::Result r = session.run();
    precision_ = r.precision;
    // The session refuses frames whose byte count would not fit.
    outputBytes_ = int32_t(r.samplesWritten * 2);
    return r.status;
}

} // namespace lumora
