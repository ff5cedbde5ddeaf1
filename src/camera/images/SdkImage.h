#pragma once
// The image behind an image handle, as the exported image calls see it.
#include <cstdint>

#include "RendererImage.h"
#include "VqCamera.h"
#include "VqImage.h"
#include "VqStatus.h"

struct OcmsImageRecord;

namespace lumora::vq {

class DriverSettings;
class SdkCamera;
struct DirectoryEntry;

// The image is also what its renderer reads file bytes through and tells which
// output type it is about to render.
class SdkImage : public lumora::RendererImage {
public:
    // The camera is found through the camera table by the id in the record; an
    // image whose camera is not there is not valid. The image never owns it.
    SdkImage(const CameraRecord* record, DriverSettings* settings);
    ~SdkImage() override;

    virtual bool IsValid() const = 0;
    virtual int32_t GetObjectSize() = 0;
    virtual VqStatus GetExtension(uint32_t id, void* out) = 0;
    virtual VqStatus SetExtension(uint32_t id, void* data, uint32_t w1, uint32_t w2, uint32_t w3, uint32_t w4) = 0;
    virtual VqStatus GetHidden(uint32_t id, void* out) = 0;
    virtual VqStatus SetHidden(uint32_t id, void* value) = 0;
    virtual VqStatus Open(int32_t index, ImageInfoRecord* info, const uint8_t* header, uint32_t length,
                          const DirectoryEntry* entry) = 0;
    virtual VqStatus ParseHeader(const uint8_t* header, uint32_t length) = 0;
    virtual VqStatus SetProcessingDirectory(VqPathRecord path) = 0;
    virtual VqStatus GetProcessingDirectory(char* out) = 0;
    virtual VqStatus SetImageType(uint32_t type, int32_t force) = 0;
    virtual VqStatus GetImageType(uint32_t* out) = 0;
    virtual VqStatus SetRotation(float degrees) = 0;
    virtual VqStatus GetRotation(float* out) = 0;
    virtual VqStatus SetWhiteBalance(uint32_t type, const uint16_t* triple) = 0;
    virtual VqStatus GetWhiteBalance(uint32_t* type, uint16_t* triple) = 0;
    virtual VqStatus CalculateWhiteBalance(const SdkRect* area, uint16_t* out) = 0;
    virtual VqStatus SetDescription(ImageInfoRecord* record, uint32_t length, const char* text) = 0;
    virtual VqStatus SetSubSample(int16_t factor) = 0;
    virtual VqStatus GetSubSample(int16_t* out) = 0;
    virtual VqStatus SetPadBytes(uint8_t pad) = 0;
    virtual VqStatus GetPadBytes(uint8_t* out) = 0;
    virtual VqStatus OutputRectToSensor(SdkRect* rect) = 0;
    virtual VqStatus GetGeometry(ImageGeometry* out) = 0;
    virtual VqStatus SensorRectToOutput(SdkRect* rect) = 0;
    virtual VqStatus SetOutputWindow(const SdkRect* window) = 0;
    virtual VqStatus GetOutputWindow(SdkRect* out) = 0;
    virtual VqStatus GetThumbnail(void* destination) = 0;
    virtual VqStatus GetImage(ImageBufferRecord* buffer, ProgressRecord* progress) = 0;
    virtual VqStatus SaveProcessParameters() = 0;
    virtual VqStatus GetSoundInfo(int32_t index, SoundInfoRecord* out) = 0;
    virtual VqStatus GetSound(SoundInfoRecord* info, void* buffer) = 0;
    virtual void SetImageIndex(int32_t index) = 0;
    virtual int32_t GetImageIndex() = 0;
    virtual VqStatus LoadCache(void* buffer, int32_t steps, int32_t* done) = 0;
    virtual VqStatus CleanupCache() = 0;
    virtual VqStatus DecompressCache(void* scratch) = 0;
    // Either out may be null.
    VqStatus OnImageTypeChanged(uint32_t type, uint32_t* colourSpace, int32_t* channels) override;
    VqStatus ReadFileBytes(void* destination, uint64_t fileOffset, uint32_t byteCount, uint32_t flags) override;
    virtual VqStatus SetName(const char* name) = 0;
    virtual void GetInfo(ImageInfoRecord* out) const = 0;
    virtual void SetHandle(int32_t handle) = 0;
    virtual VqStatus WriteWhiteBalanceFile(VqPathRecord path, void* data) = 0;

    // Colour management of the image; an image without it answers
    // VQ_ERR_NOT_SUPPORTED (and a null record).
    virtual VqStatus SetColourMode(uint32_t mode);
    virtual uint32_t GetColourMode();
    virtual VqStatus SetProfile(const char* name, int32_t slot, int32_t profileMode, void* info, void* header);
    virtual VqStatus GetProfileHandle(int32_t slot, uint32_t* out);
    virtual uint32_t GetLastColourStatus();
    virtual void SetLastColourStatus(uint32_t status);
    virtual OcmsImageRecord* ColourRecord();

    SdkCamera* camera() const { return camera_; }
    DriverSettings* settings() const { return settings_; }

protected:
    DriverSettings* settings_;
    SdkCamera* camera_;
};

} // namespace lumora::vq
