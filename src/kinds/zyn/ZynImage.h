#pragma once
// Raw files of the older camera models, and the camera JPEG and RGB TIFF
// files of the same cameras, read through the program's own camera interface
// exactly as an outside program reads them (its public C header only). The
// image keeps the interface's record of the file, which holds the handle
// while the file is open and the geometry always.
//
// This kind opens and closes its files and reports what the first opening
// reads (camera texts, capture date, tag, IPTC record, annotation, camera
// settings text, sound key) and its sizes. Its parameters, checks, rendering
// and saving are still to come: those operations answer the image's bare
// 1303, and it does not render.
#include "Image.h"
#include "MakeExportImage.h"
#include "YlmMutex.h"

#include "Vq.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace NimbalCore {

class ZynSDKLookDesc;

class ZynImage : public Image {
public:
    // The connection to the camera interface (without its FireWire camera
    // manager) and the looks the interface applies itself; opened once by
    // the image pool at start-up, closed at teardown. A failure to open
    // throws 1700; a colour engine that did not start throws its status.
    static void OpenDriver();
    static void CloseDriver();
    // Installs the two as the image pool's camera-interface step.
    static void InstallPoolStep();

    // The look descriptors and the sorted name lists built by OpenDriver.
    enum Look : int { ProductLook, PortraitLook, ReducedProductLook, ReducedPortraitLook, ProductGrayscale,
                      PortraitGrayscale, LookCount };
    static YlmRefPtr<ZynSDKLookDesc> GetLookDesc(Look look);
    static std::vector<std::string> GetTwoLookNames();
    static std::vector<std::string> GetFourLookNames();
    static std::vector<std::string> GetGrayLookNames();

    explicit ZynImage(const FilePathSpec& path);
    ~ZynImage() override;

    // 0 when the file is open; 1702 when another program holds it, 1701
    // when the interface does not open it or (without force) refuses its
    // kind. 1302 is thrown while opening is disabled.
    virtual int Open(bool force);
    // Whether a sound file belongs to this image by the camera's sound key.
    virtual bool IsSoundOfImage(const FilePathSpec& sound);

    int Open() override { return Open(false); }
    // Keeps the geometry, so that sizes still answer while it is closed.
    void Close() override;
    void SetCameraSettings() override;
    time_t GetCaptureTime() override { return captureTime_; }
    NbRect GetImageRect() override;
    NbRect GetNativeImageRect() override;
    NbRect GetThumbnailRect() override;
    NbRect GetNativeThumbnailRect() override;
    int GetSamplesPerPixel() override { return info_.geometry.channels; }
    int GetBytesPerSample() override { return info_.geometry.bytesPerSample; }
    bool AddSound(const FilePathSpec& sound) override;
    bool RemoveSound(const FilePathSpec& sound) override;
    // The core's TIFF and JPEG exporters over a rendering of this image.
    ExportImage* CreateExportImage(int fileKind, ImageRendering* rendering, const FilePathSpec& target,
                                   ExportImageArray* array, int32_t) override {
        return MakeExportImage(fileKind, rendering, target, array);
    }
    bool HasThumbnail() override { return true; }
    // Nothing is cached before this kind renders.
    void FreeCachedData() override {}

    // Still to come: each throws the bare 1303.
    ImageProcessParam GetAtCaptureParams() override;
    ImageProcessParam GetAutoParams() override;
    ImageProcessParam GetCustomParams() override;
    void RenderImage(const ImageProcessParam& params, PixelArray& destination, bool useCrop, ProgressCB* progress,
                     int renderScale) override;
    void RenderThumbnail(const ImageProcessParam& params, PixelArray& destination) override;
    ValidationCodes MapRectBetweenRotations(const NbRect& source, float fromAngle, NbRect* out,
                                            float toAngle) override;
    ValidationCodes ValidateProcessParams(const ImageProcessParam& params) override;
    void GetProcessParamsFromSDK() override;
    bool GetJPEGQuantizationTables(bool chroma, int qualityCode, int sizeCode, int* table, int* quality) override;
    bool GetCameraJPEGQuantizationTables(bool chroma, int qualityCode, int sizeCode, int* table,
                                         int* quality) override;

    // What the first opening read.
    const ImageInfoRecord& GetInfoRecord() const { return info_; }
    uint32_t GetCapabilityFlags() const { return capabilityFlags_; }
    int32_t GetFileKind() const { return fileKind_; }
    int32_t GetImageTypeCode() const { return imageTypeCode_; }
    int32_t GetAutoLighting() const { return autoLighting_; }
    int32_t GetCustomLighting() const { return customLighting_; }
    int32_t GetLookCount() const { return lookCount_; }
    std::string GetSoundKey() const { return soundKey_; }
    // The annotation field as the interface delivered it.
    std::string GetAnnotationField() const;

private:
    void LoadInformation();
    // The lighting the interface resolves a balance preset to (5 automatic,
    // 4 custom); the stored value when the probe cannot run.
    void ProbeLighting(int32_t preset, int32_t* lighting);
    void ReadCaptureDate();

    ImageInfoRecord info_{};
    int32_t imageTypeCode_ = 6;
    int32_t autoLighting_ = 9;
    int32_t customLighting_ = 9;
    uint32_t capabilityFlags_ = 0;
    int32_t fileKind_ = 0;
    std::string soundKey_;
    int32_t balanceKind_ = 4;
    int32_t lookCount_ = 0;
    bool informationLoaded_ = false;
    std::unique_ptr<char[]> annotation_;
    int32_t annotationCapacity_ = 0;
    // Every call into the camera interface for this image holds it.
    YlmMutex vqLock_;
    bool cameraSharpening_ = false;
};

} // namespace NimbalCore
