// The exported image calls: checks, one image operation, record refresh.
#include <cstring>
#include <memory>
#include <new>

#include "DriverState.h"
#include "ImageHandleMap.h"
#include "JpegConverter.h"
#include "SdkFile.h"
#include "SdkImage.h"
#include "VqCall.h"
#include "VqImage.h"

using lumora::vq::Driver;
using lumora::vq::SdkImage;
using lumora::vq::VqCall;

namespace {

// The plain image call.
template <class Op>
uint32_t Pattern(ImageInfoRecord* record, Op&& op) {
    return VqCall::Guarded([&] { return VqCall::ImageCall(record, op); });
}

// The operation's own status is ignored; the record is refreshed whatever it said.
template <class Op>
uint32_t RefreshAlways(ImageInfoRecord* record, Op&& op) {
    return VqCall::Guarded([&]() -> uint32_t {
        SdkImage* image = nullptr;
        if (uint32_t s = VqCall::FindImage(Driver().images, record, image)) return s;
        if (!image->IsValid()) return VQ_ERR_IMAGE_NOT_VALID;
        (void)op(*image);
        return VqCall::RefreshRecord(*image, record);
    });
}

} // namespace

extern "C" {

uint32_t VqSetProcessingDirectory(ImageInfoRecord* record, VqPathRecord path) {
    return VqCall::Guarded([&]() -> uint32_t {
        SdkImage* image = nullptr;
        if (uint32_t s = VqCall::FindImage(Driver().images, record, image)) return s;
        if (!image->IsValid()) return 0;
        if (image->SetProcessingDirectory(path) == 0) (void)VqCall::RefreshRecord(*image, record);
        return 0;
    });
}

uint32_t VqGetProcessingDirectory(ImageInfoRecord* record, char* out) {
    return VqCall::Guarded([&]() -> uint32_t {
        SdkImage* image = nullptr;
        if (uint32_t s = VqCall::FindImage(Driver().images, record, image)) return s;
        if (!out) return VQ_ERR_NULL_OUTPUT;
        if (!image->IsValid()) return VQ_ERR_IMAGE_NOT_VALID;
        (void)image->GetProcessingDirectory(out);
        return VqCall::RefreshRecord(*image, record);
    });
}

uint32_t VqGetThumbnail(ImageInfoRecord* record, void* destination) {
    return Pattern(record, [&](SdkImage& i) { return i.GetThumbnail(destination); });
}

uint32_t VqGetImage(ImageInfoRecord* record, ImageBufferRecord* buffer, ProgressRecord* progress) {
    return Pattern(record, [&](SdkImage& i) { return i.GetImage(buffer, progress); });
}

uint32_t VqLoadCache(ImageInfoRecord* record, void* buffer, int32_t steps, int32_t* done) {
    return Pattern(record, [&](SdkImage& i) { return i.LoadCache(buffer, steps, done); });
}

uint32_t VqDecompressCache(ImageInfoRecord* record, void* scratch) {
    return Pattern(record, [&](SdkImage& i) { return i.DecompressCache(scratch); });
}

uint32_t VqCleanupCache(ImageInfoRecord* record) {
    return RefreshAlways(record, [&](SdkImage& i) { return i.CleanupCache(); });
}

uint32_t VqSaveProcessParameters(ImageInfoRecord* record) {
    if (!record) return VQ_ERR_BAD_HANDLE;
    return Pattern(record, [&](SdkImage& i) { return i.SaveProcessParameters(); });
}

uint32_t VqGetSoundInfo(ImageInfoRecord* record, int32_t index, SoundInfoRecord* out) {
    return Pattern(record, [&](SdkImage& i) { return i.GetSoundInfo(index, out); });
}

uint32_t VqGetSound(ImageInfoRecord* record, SoundInfoRecord* info, void* buffer) {
    return VqCall::Guarded([&]() -> uint32_t {
        SdkImage* image = nullptr;
        if (uint32_t s = VqCall::FindImage(Driver().images, record, image)) return s;
        if (image->IsValid()) {
            if (uint32_t s = image->GetSound(info, buffer)) return s;
        }
        return VqCall::RefreshRecord(*image, record);
    });
}

uint32_t VqSetImageType(ImageInfoRecord* record, uint32_t type) {
    return Pattern(record, [&](SdkImage& i) -> uint32_t {
        if (uint32_t s = i.SetImageType(type, 0)) return s;
        i.OnImageTypeChanged(type, &record->colourSpace, nullptr);
        return 0;
    });
}

uint32_t VqGetImageType(ImageInfoRecord* record, uint32_t* out) {
    return RefreshAlways(record, [&](SdkImage& i) { return i.GetImageType(out); });
}

uint32_t VqSetRotateType(ImageInfoRecord* record, float degrees) {
    return Pattern(record, [&](SdkImage& i) { return i.SetRotation(degrees); });
}

uint32_t VqGetRotateType(ImageInfoRecord* record, float* out) {
    return RefreshAlways(record, [&](SdkImage& i) { return i.GetRotation(out); });
}

uint32_t VqSetWhiteBalance(ImageInfoRecord* record, uint32_t type, const uint16_t* triple) {
    return Pattern(record, [&](SdkImage& i) { return i.SetWhiteBalance(type, triple); });
}

uint32_t VqGetWhiteBalance(ImageInfoRecord* record, uint32_t* type, uint16_t* triple) {
    return Pattern(record, [&](SdkImage& i) { return i.GetWhiteBalance(type, triple); });
}

// The caller's rectangle is only read: the image works on a copy.
uint32_t VqCalculateWhiteBalance(ImageInfoRecord* record, const SdkRect* area, uint16_t* out) {
    if (record && !area) return VQ_ERR_NULL_OUTPUT;
    return Pattern(record, [&](SdkImage& i) -> uint32_t {
        SdkRect copy = *area;
        if (uint32_t s = i.OutputRectToSensor(&copy)) return s;
        return i.CalculateWhiteBalance(&copy, out);
    });
}

uint32_t VqSetOutputWindow(ImageInfoRecord* record, const SdkRect* window) {
    if (record && !window) return VQ_ERR_NULL_OUTPUT;
    return Pattern(record, [&](SdkImage& i) -> uint32_t {
        SdkRect copy = *window;
        if (uint32_t s = i.OutputRectToSensor(&copy)) return s;
        return i.SetOutputWindow(&copy);
    });
}

uint32_t VqGetOutputWindow(ImageInfoRecord* record, SdkRect* out) {
    if (record && !out) return VQ_ERR_NULL_OUTPUT;
    return Pattern(record, [&](SdkImage& i) -> uint32_t {
        (void)i.GetOutputWindow(out);
        return i.SensorRectToOutput(out);
    });
}

uint32_t VqSetSubSample(ImageInfoRecord* record, int16_t factor) {
    return Pattern(record, [&](SdkImage& i) { return i.SetSubSample(factor); });
}

uint32_t VqGetSubSample(ImageInfoRecord* record, int16_t* out) {
    return RefreshAlways(record, [&](SdkImage& i) { return i.GetSubSample(out); });
}

uint32_t VqSetImagePadBytes(ImageInfoRecord* record, uint8_t pad) {
    return RefreshAlways(record, [&](SdkImage& i) { return i.SetPadBytes(pad); });
}

uint32_t VqGetImagePadBytes(ImageInfoRecord* record, uint8_t* out) {
    return RefreshAlways(record, [&](SdkImage& i) { return i.GetPadBytes(out); });
}

uint32_t VqSetImageDescription(ImageInfoRecord* record, uint32_t length, const char* text) {
    return VqCall::Guarded([&]() -> uint32_t {
        SdkImage* image = nullptr;
        if (uint32_t s = VqCall::FindImage(Driver().images, record, image)) return s;
        if (!text) return VQ_ERR_BAD_HANDLE;
        if (!image->IsValid()) return VQ_ERR_IMAGE_NOT_VALID;
        return image->SetDescription(record, length, text);
    });
}

uint32_t VqGetHidden(ImageInfoRecord* record, uint32_t id, void* out) {
    if (!out) return VQ_ERR_BAD_HANDLE;
    // The copy retry counter belongs to no image.
    if (id == 13) {
        const uint32_t retries = SdkTakeCopyRetryCount();
        std::memcpy(out, &retries, sizeof retries);
        return 0;
    }
    return Pattern(record, [&](SdkImage& i) { return i.GetHidden(id, out); });
}

uint32_t VqSetHidden(ImageInfoRecord* record, uint32_t id, void* value) {
    if (!value) return VQ_ERR_BAD_HANDLE;
    return Pattern(record, [&](SdkImage& i) { return i.SetHidden(id, value); });
}

uint32_t VqGetExtension(ImageInfoRecord* record, uint32_t id, void* out) {
    return VqCall::Guarded([&]() -> uint32_t {
        if (!record) return VQ_ERR_BAD_HANDLE;
        if (record->handle == 0) return VQ_ERR_NO_IMAGE_HANDLE;
        if (!out) return VQ_ERR_BAD_HANDLE;
        if (!Driver().images) return VQ_ERR_BAD_HANDLE;
        SdkImage* image = Driver().images->Find(record->handle);
        if (!image) return VQ_ERR_NO_IMAGE_HANDLE;
        if (uint32_t s = image->GetExtension(id, out)) return s;
        return VqCall::RefreshRecord(*image, record);
    });
}

uint32_t VqSetExtension(ImageInfoRecord* record, uint32_t id, void* data, uint32_t w1, uint32_t w2, uint32_t w3,
                        uint32_t w4) {
    if (!record) return VQ_ERR_BAD_HANDLE;
    return Pattern(record, [&](SdkImage& i) { return i.SetExtension(id, data, w1, w2, w3, w4); });
}

uint32_t VqWriteWhiteBalanceFile(ImageInfoRecord* record, const VqPathRecord* path, void* data) {
    return VqCall::Guarded([&]() -> uint32_t {
        if (VqCall::OpenCallCheck()) return VQ_ERR_BAD_HANDLE;
        if (!record || !path) return VQ_ERR_BAD_HANDLE;
        if (record->handle <= 0) return VQ_ERR_NO_IMAGE_HANDLE;
        SdkImage* image = Driver().images->Find(record->handle);
        if (!image) return VQ_ERR_NO_IMAGE_HANDLE;
        if (record->isColour == 0) return VQ_ERR_WB_FILE_NOT_ALLOWED;
        return image->WriteWhiteBalanceFile(*path, data);
    });
}

uint32_t VqConvertToJPEG(ImageInfoRecord* record, const VqPathRecord* path, ImageBufferRecord* buffer,
                         ProgressRecord* progress, const JpegOptionsRecord* options) {
    return VqCall::Guarded([&]() -> uint32_t {
        if (!record) return VQ_ERR_NULL_IMAGE_RECORD;
        if (!path || !buffer) return VQ_ERR_BAD_HANDLE;
        if (record->handle == 0) return VQ_ERR_NO_IMAGE_HANDLE;
        if (!options) return VQ_ERR_BAD_HANDLE;
        std::unique_ptr<lumora::vq::JpegConverter> converter(
            new (std::nothrow) lumora::vq::JpegConverter(record, path, buffer, progress, options));
        if (!converter) return VQ_ERR_BAD_HANDLE;
        return converter->Run();
    });
}

} // extern "C"
