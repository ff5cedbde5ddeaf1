// The exported colour-management calls: the session's library and cache, and
// an image's mode and profile slots.
#include <cstring>

#include "DriverState.h"
#include "ImageHandleMap.h"
#include "OcmsSession.h"
#include "SdkImage.h"
#include "VqCall.h"
#include "VqOcms.h"

using lumora::vq::Driver;
using lumora::vq::SdkImage;
using lumora::vq::VqCall;

namespace {

// The image of a record whose handle is positive and known; null otherwise.
SdkImage* ImageOf(const ImageInfoRecord* record) {
    if (!record || record->handle <= 0 || !Driver().images) return nullptr;
    return Driver().images->Find(record->handle);
}

// After a change of mode or profile the caller sees the colour space and sizes
// the new state gives its output type.
uint32_t Refresh(SdkImage& image, ImageInfoRecord* record) {
    image.GetInfo(record);
    image.OnImageTypeChanged(record->outputType, &record->colourSpace, nullptr);
    return image.GetGeometry(&record->geometry);
}

} // namespace

extern "C" {

uint32_t VqOCMSOpen(uint32_t* library, uint32_t* libraryStatus) {
    return VqCall::Guarded([&]() -> uint32_t {
        if (uint32_t s = VqCall::SettingsCheck()) return s;
        if (OcmsSession::IsOpen()) return VQ_ERR_OCMS_ALREADY_OPEN;
        OcmsSession* session = OcmsSession::Instance();
        if (!session) return VQ_ERR_OCMS_NO_MEMORY;
        return session->Open(library, libraryStatus);
    });
}

uint32_t VqOCMSClose(uint32_t library, uint32_t* libraryStatus) {
    return VqCall::Guarded([&]() -> uint32_t {
        if (uint32_t s = VqCall::SettingsCheck()) return s;
        OcmsSession* session = OcmsSession::Existing();
        if (!session || !OcmsSession::IsOpen()) return VQ_ERR_OCMS_NOT_OPEN;
        const uint32_t answer = session->Close(library, libraryStatus);
        // Closes what a wrong handle left open; after a good close the library
        // is gone and this second close touches nothing of it.
        (void)session->Close(OcmsSession::LibraryHandle(), libraryStatus);
        OcmsSession::Destroy();
        return answer;
    });
}

uint32_t VqOCMSSetMode(ImageInfoRecord* record, uint32_t mode) {
    return VqCall::Guarded([&]() -> uint32_t {
        if (uint32_t s = VqCall::SettingsCheck()) return s;
        if (!record) return VQ_ERR_NULL_IMAGE_RECORD;
        SdkImage* image = ImageOf(record);
        if (!image) return VQ_ERR_BAD_HANDLE;
        if (mode == 0) return VQ_ERR_OCMS_MODE_ZERO;
        if (!OcmsSession::IsOpen()) return VQ_ERR_OCMS_NOT_OPEN;
        if (uint32_t s = image->SetColourMode(mode)) return s;
        return Refresh(*image, record);
    });
}

uint32_t VqOCMSGetMode(ImageInfoRecord* record) {
    return VqCall::Guarded([&]() -> uint32_t {
        if (VqCall::SettingsCheck() || !record) return 0;
        SdkImage* image = ImageOf(record);
        if (!image || !OcmsSession::IsOpen()) return 0;
        const uint32_t mode = image->GetColourMode();
        return mode == 0 ? 1 : mode;
    });
}

uint32_t VqOCMSSetProfile(ImageInfoRecord* record, int32_t slot, const char* name, int32_t profileMode,
                          int32_t* info, void* header) {
    return VqCall::Guarded([&]() -> uint32_t {
        if (uint32_t s = VqCall::SettingsCheck()) return s;
        if (slot > 7) return VQ_ERR_OCMS_BAD_PROFILE_SLOT;
        if (!record) return VQ_ERR_NULL_IMAGE_RECORD;
        if (info) std::memset(info, 0, sizeof(int32_t) * VQ_OCMS_INFO_WORDS);
        if (header) std::memset(header, 0, VQ_OCMS_HEADER_BYTES);
        SdkImage* image = ImageOf(record);
        if (!image) return VQ_ERR_BAD_HANDLE;
        if (!OcmsSession::IsOpen()) return VQ_ERR_OCMS_NOT_OPEN;
        // The session keeps and compares whole 260-byte names: the caller's
        // text is read up to its terminator only, the rest is zeros.
        char fullName[VQ_OCMS_NAME_BYTES] = {};
        if (name) std::memcpy(fullName, name, strnlen(name, sizeof fullName - 1));
        if (uint32_t s = image->SetProfile(name ? fullName : nullptr, slot, profileMode, info, header)) return s;
        return Refresh(*image, record);
    });
}

uint32_t VqOCMSGetProfileInfo(ImageInfoRecord* record, int32_t slot, char* name, int32_t* info, void* header) {
    return VqCall::Guarded([&]() -> uint32_t {
        if (uint32_t s = VqCall::SettingsCheck()) return s;
        if (!name) return VQ_ERR_BAD_HANDLE;
        std::memset(name, 0, VQ_OCMS_NAME_BYTES);
        if (!info) return VQ_ERR_BAD_HANDLE;
        std::memset(info, 0, sizeof(int32_t) * VQ_OCMS_INFO_WORDS);
        OcmsSession* session = OcmsSession::Existing();
        if (!session || !OcmsSession::IsOpen()) return VQ_ERR_OCMS_NOT_OPEN;
        if (slot > 7) return VQ_ERR_OCMS_BAD_PROFILE_SLOT;
        if (!record) return VQ_ERR_NULL_IMAGE_RECORD;
        SdkImage* image = ImageOf(record);
        if (!image) return VQ_ERR_BAD_HANDLE;
        OcmsProfileInfo profile{};
        const uint32_t answer = session->GetProfileInfo(image->ColourRecord(), slot, name, &profile, header);
        std::memcpy(info, profile.values, sizeof profile.values);
        image->SetLastColourStatus(uint32_t(profile.values[0]));
        return answer;
    });
}

uint32_t VqOCMSGetLastStatus(ImageInfoRecord* record, uint32_t* out) {
    return VqCall::Guarded([&]() -> uint32_t {
        if (uint32_t s = VqCall::SettingsCheck()) return s;
        if (!record) return VQ_ERR_NULL_IMAGE_RECORD;
        SdkImage* image = ImageOf(record);
        if (!image) return VQ_ERR_BAD_HANDLE;
        if (!out) return VQ_ERR_NULL_OUTPUT;
        *out = image->GetLastColourStatus();
        return 0;
    });
}

uint32_t VqOCMSGetErrorText(uint32_t code, char* buffer, uint32_t length) {
    return VqCall::Guarded([&]() -> uint32_t {
        if (uint32_t s = VqCall::SettingsCheck()) return s;
        OcmsSession* session = OcmsSession::Existing();
        if (!session || !OcmsSession::IsOpen()) return VQ_ERR_OCMS_NOT_OPEN;
        if (!buffer || length == 0) return 0;
        return session->GetErrorText(code, buffer, length);
    });
}

uint32_t VqOCMSSetCacheControl(const int16_t* control) {
    return VqCall::Guarded([&]() -> uint32_t {
        if (uint32_t s = VqCall::SettingsCheck()) return s;
        OcmsSession* session = OcmsSession::Existing();
        if (!session || !OcmsSession::IsOpen()) return VQ_ERR_OCMS_NOT_OPEN;
        return session->SetCacheControl(control);
    });
}

uint32_t VqOCMSGetCacheControl(int16_t* control) {
    return VqCall::Guarded([&]() -> uint32_t {
        if (uint32_t s = VqCall::SettingsCheck()) return s;
        OcmsSession* session = OcmsSession::Existing();
        if (!session || !OcmsSession::IsOpen()) return VQ_ERR_OCMS_NOT_OPEN;
        return session->GetCacheControl(control);
    });
}

uint32_t VqOCMSSenseCache(int16_t* counts) {
    return VqCall::Guarded([&]() -> uint32_t {
        if (uint32_t s = VqCall::SettingsCheck()) return s;
        OcmsSession* session = OcmsSession::Existing();
        if (!session || !OcmsSession::IsOpen()) return VQ_ERR_OCMS_NOT_OPEN;
        return session->SenseCache(counts);
    });
}

} // extern "C"
