// The hand-over to the renderer: parameter cells, sensor layout, render requests.
#include "SdkImageBase.h"

#include <cstring>
#include <new>

#include "SdkRenderer.h"

namespace lumora::vq {

VqStatus SdkImageBase::SetRendererParameter(uint32_t id, const void* value, size_t bytes) {
    if (!renderer_) return VQ_ERR_NOT_SUPPORTED;
    void* cell = renderer_->Parameter(id);
    if (!cell) return VQ_ERR_BAD_ARGUMENT;
    // A value is the whole cell: fewer bytes would leave part of the old value,
    // more would run into the next cell.
    if (bytes != renderer_->ParameterSize(id)) return VQ_ERR_BAD_ARGUMENT;
    std::memcpy(cell, value, bytes);
    return renderer_->ParameterChanged(id);
}

VqStatus SdkImageBase::CreateRenderer() {
    if (renderer_) return 0;
    renderer_.reset(new (std::nothrow) lumora::SdkRenderer());
    if (!renderer_) return VQ_ERR_PROCESS_NO_MEMORY;
    const uint8_t** cell = &imageData_;
    return SetRendererParameter(lumora::RP_IMAGE_DATA, &cell, sizeof cell);
}

VqStatus SdkImageBase::HandSensorLayoutToRenderer() {
    if (!renderer_) return 0;
    const int32_t colour = info_.isColour ? 1 : 0;
    lumora::RendererImage* self = this;
    OcmsImageRecord* cms = &colour_;
    const int32_t rawWidth = int32_t(dataWidth_), rawHeight = int32_t(dataHeight_);
    const int32_t dataOffset = int32_t(dataOffset_), dataSize = int32_t(dataBytes_);
    // Offsets and sizes the renderer keeps as signed 32-bit words: a file that
    // cannot be described in them is refused here rather than wrapped.
    if (dataOffset_ > uint32_t(INT32_MAX) || dataBytes_ > uint32_t(INT32_MAX) || dataWidth_ > uint32_t(INT32_MAX) ||
        dataHeight_ > uint32_t(INT32_MAX))
        return VQ_ERR_BAD_FILE;
    struct Cell {
        uint32_t id;
        const void* value;
        size_t bytes;
    };
    const Cell cells[] = {
        {lumora::RP_IS_COLOR, &colour, sizeof colour},
        {lumora::RP_SENSOR_GROUP, &sensorGroup_, sizeof sensorGroup_},
        {lumora::RP_IMAGE, &self, sizeof self},
        {lumora::RP_OUTPUT_WINDOW, &outputWindow_, sizeof outputWindow_},
        {lumora::RP_RAW_WIDTH, &rawWidth, sizeof rawWidth},
        {lumora::RP_RAW_HEIGHT, &rawHeight, sizeof rawHeight},
        {lumora::RP_PROCESSING_DIRECTORY, processingDirectory_, sizeof processingDirectory_},
        {lumora::RP_DATA_OFFSET, &dataOffset, sizeof dataOffset},
        {lumora::RP_DATA_SIZE, &dataSize, sizeof dataSize},
        {lumora::RP_CMS_TRANSFORM, &cms, sizeof cms},
    };
    for (const Cell& c : cells)
        if (VqStatus status = SetRendererParameter(c.id, c.value, c.bytes)) return status;
    return 0;
}

VqStatus SdkImageBase::GetThumbnail(ImageBufferRecord* buffer) {
    if (!renderer_) return VQ_ERR_NOT_SUPPORTED;
    // The renderer writes pixels: it gets the caller's buffer, never the record.
    if (!buffer || !buffer->buffer) return VQ_ERR_NULL_OUTPUT;
    if (VqStatus status = HandRenderRequest()) return status;
    return renderer_->RenderThumbnail(buffer->buffer);
}

VqStatus SdkImageBase::GetImage(ImageBufferRecord* buffer, ProgressRecord* progress) {
    if (!renderer_) return VQ_ERR_NOT_SUPPORTED;
    if (VqStatus status = HandRenderRequest()) return status;
    return renderer_->RenderImage(buffer, progress);
}

VqStatus SdkImageBase::HandRenderRequest() {
    const int32_t type = int32_t(info_.outputType);
    OcmsImageRecord* cms = &colour_;
    struct Cell {
        uint32_t id;
        const void* value;
        size_t bytes;
    };
    const Cell cells[] = {
        {lumora::RP_OUTPUT_TYPE, &type, sizeof type},
        {lumora::RP_OUTPUT_WINDOW, &outputWindow_, sizeof outputWindow_},
        {lumora::RP_PROCESSING_DIRECTORY, processingDirectory_, sizeof processingDirectory_},
        {lumora::RP_CMS_TRANSFORM, &cms, sizeof cms},
        {lumora::RP_SHARPEN_ALLOWED, &extension44_, sizeof extension44_},
    };
    for (const Cell& c : cells)
        if (VqStatus status = SetRendererParameter(c.id, c.value, c.bytes)) return status;
    return 0;
}

} // namespace lumora::vq
