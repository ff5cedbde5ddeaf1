#include "RawImage.h"

#include <new>

#include "ByteView.h"
#include "RawEngine.h"

namespace lumora::vq {

using lumora::ByteView;

RawImage::RawImage(const CameraRecord* record, DriverSettings* settings) : SdkImageBase(record, settings) {
    info_.whiteBalanceFileStatus = int32_t(VQ_ERR_WB_FILE_UNSUPPORTED_RAW);
    exposureAvailable_ = 1;
    hidden_[0] = {&leftMargin_, 4};
    hidden_[1] = {&topMargin_, 4};
    hidden_[2] = {&hiddenValue2_, 4};
    hidden_[3] = {&hiddenValue3_, 4};
    hidden_[4] = {nullptr, 0};
    hidden_[5] = {&linearisationCount_, 4};
    hidden_[6] = {&hiddenValue6_, 4};
    hidden_[7] = {&hiddenValue7_, 4};
    hidden_[8] = {hiddenFloats_, sizeof hiddenFloats_};
    hidden_[9] = {&hiddenWord9_, 4};
    hidden_[18] = {&settingsWord_, 4};
}

RawImage::~RawImage() {
    // The renderer frees the offset tables it was handed.
    renderer_.reset();
    rowOffsets_ = columnOffsets_ = nullptr;
}

VqStatus RawImage::SetParameterBytes(uint32_t id, const void* value, size_t size) {
    if (!renderer_) return VQ_ERR_PROCESS_NO_MEMORY;
    return SetRendererParameter(id, value, size);
}

VqStatus RawImage::CopyFromHeader(const uint8_t* header, uint32_t length, uint64_t offset, void* out,
                                  uint64_t count) const {
    const ByteView view(header, length);
    return view.copy(offset, out, count) ? VqStatus(0) : VqStatus(VQ_ERR_BAD_FILE);
}

VqStatus RawImage::CreateEngine() {
    if (renderer_) return 0;
    renderer_.reset(new (std::nothrow) lumora::RawEngine());
    return renderer_ ? 0 : VQ_ERR_PROCESS_NO_MEMORY;
}

} // namespace lumora::vq
