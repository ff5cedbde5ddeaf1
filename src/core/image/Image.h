#pragma once
// The base of every image the program shows: one file, its texts and
// capabilities, its current process parameters, sounds, tag, IPTC record and
// modified state, and the listeners told of every change. Images are counted;
// the image pool shares one per path. The kinds override what they can do;
// the bodies here are what an image does when its kind says nothing.
#include "ColorSpaceDesc.h"
#include "ColorTransform.h"
#include "FilePathSpec.h"
#include "FilterRect.h"
#include "IPTCNAARecord2.h"
#include "ImageChangeCB.h"
#include "ImageProcessParam.h"
#include "NbRect.h"
#include "PixelLayout.h"
#include "YlmMutex.h"
#include "YlmRefCount.h"
#include "YlmRefPtr.h"

#include <atomic>
#include <cstdint>
#include <ctime>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace NimbalCore {

class ExportImage;
class ExportImageArray;
class ImageRendering;
class PixelArray;
class ProgressCB;

class Image : public YlmRefCount<YlmMutex> {
public:
    using ValidationCodes = ImageProcessParam::ValidationCodes;

    explicit Image(const FilePathSpec& path);
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;

    // The release step of the count: true when the caller is to delete the
    // image. When only the pool holds it besides the caller, the pool's entry
    // goes first.
    bool Release();
    void CenterCloseUpPoint();
    NbPoint GetCloseUpPoint() const { return NbPoint{closeUpPoint_[0], closeUpPoint_[1]}; }
    void SetCloseUpPoint(NbPoint p) {
        closeUpPoint_[0] = p.x;
        closeUpPoint_[1] = p.y;
    }
    // The look that stands for a camera look setting, by this image's kind
    // of sensor.
    std::string GetDefaultProfileName(int lookIndex) const;

    // Exif "YYYY:MM:DD HH:MM:SS" as local time; false outside 1990..2099 or
    // for a text that is too short or not numeric.
    static bool ParseExifDateTime(const std::string& text, time_t* out);
    static void SwapBytes16(uint16_t* values, size_t count);
    static void SwapBytes32(uint32_t* values, size_t count);
    // The sharpen library and the scale plug-in, opened when the image pool
    // starts and closed when it ends. Opening throws a bare status.
    static int OpenSharpenLibrary();
    static void CloseSharpenLibrary();
    static int OpenScalePlugIn();
    static int CloseScalePlugIn();
    // How the scale plug-in loads and unloads (0 or a status); installed by
    // the code that binds it.
    static void SetScalePlugInBinding(int (*load)(), int (*unload)());

    // 0, or 2902 for a record or bit depth it cannot use.
    static int ApplyColorMatrix(uint16_t* samples, int32_t matrix[18], size_t pixelCount, int bitDepth,
                                float factor);

    // The operations, in their order.
    virtual std::string GetLightingProfileID(int lighting);
    virtual std::string GetLookProfileID(const std::string& lookName);
    virtual std::string GetOutputProfileID(int outputSpaceMode);
    virtual ~Image();
    virtual ImageProcessParam* GetProcessParams() { return &processParams_; }
    virtual ImageProcessParam GetAtCaptureParams() = 0;
    virtual ImageProcessParam GetAutoParams() = 0;
    virtual ImageProcessParam GetCustomParams() = 0;
    virtual FilePathSpec GetFilePathSpec() const { return path_; }
    virtual std::vector<FilePathSpec>* GetSounds() { return &sounds_; }
    virtual int GetSoundCount() const { return int(sounds_.size()); }
    virtual std::string GetFileName() const { return path_.GetFileName(); }
    virtual time_t GetCaptureTime() = 0;
    virtual std::string GetDateTimeString() const { return dateTimeString_; }
    virtual void UpdateDateTimeString();
    virtual std::string GetCameraModel() const { return cameraModel_; }
    virtual std::string GetCameraMake() const { return cameraMake_; }
    virtual std::string GetFirmwareVersion() const { return firmwareVersion_; }
    virtual int32_t GetImageNumber() const { return imageNumber_; }
    virtual bool IsOpen() const { return open_; }
    virtual bool IsTagged() const { return tagged_; }
    virtual time_t GetOpenTime() const { return openTime_; }
    virtual IPTCNAARecord2* GetIPTCRecord() { return &iptcRecord_; }
    virtual bool IsModified() const { return modified_; }
    virtual void SetModified(bool modified) { modified_ = modified; }
    virtual bool CanSharpen() { return false; }
    virtual std::vector<int> GetNoiseReductionModes() { return {}; }
    virtual std::vector<int> GetNoiseLevelPresets() { return {0, 0, 0, 0}; }
    virtual std::vector<int> GetNoiseStrengthPresets() { return {0, 0, 0, 0}; }
    virtual std::vector<int> GetMoirePresets() { return {0, 0, 0, 0}; }
    virtual std::vector<int> GetExtraNoisePresets() { return {0, 0, 0, 0}; }
    virtual void GetNoiseStrengthRange(int* min, int* max);
    virtual void GetNoiseLevelRange(int mode, int* min, int* max);
    virtual bool CanAdjustExposure() { return false; }
    virtual void GetExposureCompensationRange(float* min, float* max);
    virtual void GetLensOptimizationRange(int* min, int* max);
    virtual void GetBalanceKelvinRange(int balanceType, uint16_t* low, uint16_t* standard, uint16_t* high);
    virtual bool CanClickBalance() { return false; }
    virtual bool CanAdjustColorBalance() { return canAdjustColorBalance_; }
    virtual void GetColorBalanceLimits(int16_t* a, int16_t* b, int16_t* c);
    virtual bool CanAdjustTone() { return canAdjustTone_; }
    virtual void GetLevelsLimits(float* lower, float* middle, float* upper);
    virtual int32_t GetLevelsOption() { return levelsOption_; }
    virtual float GetLevelsMinimumGap() { return levelsMinimumGap_; }
    virtual bool ComputeExposureTableFromLevels(float shadow, float midtone, float highlight, int entries,
                                                uint16_t* table);
    virtual std::vector<int> GetSupportedIlluminants() { return {}; }
    virtual std::vector<int> GetSupportedBalanceTypes() { return {}; }
    virtual bool HasAtCaptureParams() { return false; }
    virtual bool IsReadOnly() { return path_.IsReadOnly(); }
    virtual bool CanChangeLook() { return false; }
    virtual bool CanSaveProcessParams() { return false; }
    virtual bool ImageShouldBeRenderedForExport() { return true; }
    virtual bool HasAutoParams() { return hasAutoParams_; }
    virtual bool SupportsGrayscale();
    virtual bool IsAvailable() { return true; }
    virtual bool Supports16BitOutput() { return false; }
    virtual std::vector<int> GetSupportedColorModes() { return {}; }
    virtual std::vector<std::string> GetAvailableLooks() { return {}; }
    virtual bool IsClosable() const { return closable_; }
    virtual void SetClosable(bool closable) { closable_ = closable; }
    virtual bool IsOpenDisabled() const { return openDisabled_; }
    virtual void SetOpenDisabled(bool disabled) { openDisabled_ = disabled; }
    virtual bool CanAdjustWhitePoint() { return canAdjustWhitePoint_; }
    virtual bool CanOptimizeLens() { return canOptimizeLens_; }
    virtual bool CanAdjustWhitePointForCustomBalance() { return false; }
    virtual bool CanAdjustWhitePointForClickBalance() { return false; }
    virtual std::map<int, NbRect> GetAvailableResolutions() { return {}; }
    virtual int32_t GetFileType() const { return fileType_; }
    virtual int32_t GetFormatVariant() { return 0; }
    virtual std::string GetSourceColorSpaceName() const { return sourceColorSpaceName_; }
    virtual void SetProcessParams(const ImageProcessParam& params);
    virtual void RenderImage(const ImageProcessParam& params, PixelArray& destination, bool useCrop,
                             ProgressCB* progress, int renderScale) = 0;
    virtual void RenderThumbnail(const ImageProcessParam& params, PixelArray& destination) = 0;
    virtual ExportImage* CreateExportImage(int fileKind, ImageRendering* rendering, const FilePathSpec& target,
                                           ExportImageArray* array, int32_t options);
    virtual void GetImageRectangleFromCameraSDK(int renderKind, const ImageProcessParam& params,
                                                const FilterRect& source, float rotation,
                                                VrelSharpenPlanes& layout, int destinationFormat,
                                                int resolutionDivisor, ProgressCB* progress);
    virtual void SetParmsInImageForLinearRendering(ImageProcessParam& params);
    virtual void RenderImageInternal(const ImageProcessParam& params, PixelArray& destination, bool useCrop,
                                     ProgressCB* progress, int renderKind);
    virtual void EndRender() {}
    virtual void RotatePixelLayout(VrelSharpenPlanes& layout, int angle);
    virtual void RotatePixelOrigins(VrelSharpenPlanes& layout, int angle);
    virtual void DescribePixelArray(PixelArray& array, VrelSharpenPlanes& layout);
    // fromKind: the source holds the kind's own samples (of the source bit
    // depth), not data a transform already made.
    virtual void TransformPixels(ColorTransform* transform, const VrelSharpenPlanes& source,
                                 const VrelSharpenPlanes& destination, bool fromKind = true);
    virtual void DescribeRenderBuffer(const VrelSharpenPlanes& planes, PixelLayout& layout);
    virtual NbRect GetImageRect() { return NbRect(); }
    virtual NbRect GetNativeImageRect() { return NbRect(); }
    virtual NbRect GetThumbnailRect() { return NbRect(); }
    virtual NbRect GetNativeThumbnailRect() { return NbRect(); }
    virtual int GetSamplesPerPixel() { return 0; }
    virtual int GetBytesPerSample() { return 0; }
    virtual bool AddSound(const FilePathSpec& sound);
    virtual bool RemoveSound(const FilePathSpec& sound);
    virtual void AddImageChangeCB(ImageChangeCB* listener);
    virtual void RemoveImageChangeCB(ImageChangeCB* listener);
    virtual void NotifyImageChange(ImageChangeType type);
    virtual int Open();
    virtual void Close();
    virtual void Rename(const FilePathSpec& newPath);
    virtual bool SetTagged(bool tagged);
    virtual void CalculateClickBalance(int x, int y, uint16_t* a, uint16_t* b, uint16_t* c);
    virtual std::string GetCameraSettingsBlock() { return cameraSettingsBlock_; }
    virtual std::string GetImageInfoText();
    virtual std::string GetFileInfoText();
    virtual void GetFileSizeMB(float* value, int* divisor);
    virtual void GetMegapixels(float* value, int* divisor);
    virtual std::string GetGPSText() { return gpsText_; }
    virtual std::string GetAnnotation() { return std::string(); }
    virtual int GetMaxAnnotationLength() { return 0; }
    virtual void SetAnnotation(const std::string&) {}
    virtual ValidationCodes MapRectBetweenRotations(const NbRect& source, float fromAngle, NbRect* out,
                                                    float toAngle) = 0;
    virtual void ClampRectToImage(NbRect&) {}
    virtual ValidationCodes ValidateProcessParams(const ImageProcessParam& params) = 0;
    virtual bool IsColorModeValid(const ImageProcessParam& params, const int* mode);
    virtual ValidationCodes ValidateLevels(float shadow, float midtone, float highlight);
    virtual void ReadProcessParamsFromFile() {}
    virtual void GetProcessParamsFromSDK() = 0;
    virtual void WriteAllMetaDataToFile() {}
    virtual bool SetIPTCRecord(const IPTCNAARecord2& record);
    virtual void FreeCachedData() = 0;
    virtual void WriteWhiteBalanceFile(const FilePathSpec&) {}
    virtual bool CanWhiteBalanceFileBeSaved(int* reason);
    virtual std::string GetSerialNumber() { return serialNumber_; }
    virtual float GetThumbnailScale() { return thumbnailScale_; }
    virtual void ComputeThumbnailScale(int width, int height);
    virtual bool GetJPEGQuantizationTables(bool chroma, int qualityCode, int sizeCode, int* table,
                                           int* quality) = 0;
    virtual std::vector<int> GetRawOutputOptions() { return {}; }
    virtual bool HasThumbnail() = 0;
    virtual bool CanRenderFastPreview();
    virtual bool IsRendering() const { return rendering_; }
    virtual YlmRefPtr<ColorSpaceDesc> GetSourceColorSpaceDesc();
    virtual YlmRefPtr<ColorTransform> BuildColorTransform(const ImageProcessParam& params, int outputKind,
                                                          int stage);
    virtual void GetSharpenPreset(int presetType, int32_t triple[3]);
    virtual bool CanAdjustWhitePointForBalanceType(int) { return false; }
    virtual int PercentToNoiseLevel(int, int percent) { return percent; }
    virtual int NoiseLevelToPercent(int, int level) { return level; }
    virtual bool HasOptionChoices() { return false; }
    virtual bool IsOptionEnabled() { return true; }
    virtual bool GetCameraJPEGQuantizationTables(bool chroma, int qualityCode, int sizeCode, int* table,
                                                 int* quality) = 0;
    // Every kind shares this body: a closed image opens again.
    virtual int EnsureOpen();
    virtual void WriteProcessParamsToFile() {}
    virtual void SetCameraSettings() {}
    virtual bool RemoveFileTypeLines(std::string& text);
    virtual bool RemoveTextLine(std::string& text, const std::string& key);
    virtual int RemoveDimensionLines(std::string& text);
    virtual void CopyCopyrightToIPTC();
    virtual void SetRendering(bool rendering) { rendering_ = rendering; }

    // The closable and rendering flags' scope guards. Guards that overlap, on
    // one thread or on several, share one saved value: the first takes it and
    // clears the closable flag (or sets the rendering flag), the last gives
    // it back.
    enum class FlagScope { Closable, Rendering };
    void EnterFlagScope(FlagScope which);
    void LeaveFlagScope(FlagScope which);

protected:
    ImageProcessParam processParams_;
    std::vector<ImageChangeCB*> changeCallbacks_;
    std::vector<FilePathSpec> sounds_;
    bool tagged_ = false;
    bool open_ = false;
    FilePathSpec path_;
    FilePathSpec previousPath_;
    // Refreshed by every thread that works with the open file.
    std::atomic<time_t> openTime_{0};
    time_t captureTime_ = 0;
    IPTCNAARecord2 iptcRecord_;
    bool iptcChanged_ = false;
    bool modified_ = false;
    bool isColor_ = true;
    // Flags and sizes that a render on another thread may read or change.
    std::atomic<bool> closable_{true};
    bool openDisabled_ = false;
    bool canAdjustWhitePoint_ = false;
    bool canOptimizeLens_ = false;
    int32_t lensOptimizationMin_ = 0;
    int32_t lensOptimizationMax_ = 99;
    bool canAdjustColorBalance_ = false;
    int16_t colorBalanceLimits_[3] = {0, 0, 0};
    bool cameraLookKnown_ = false;
    bool evenAlignedSharpening_ = false;
    std::string cameraSettingsBlock_;
    std::string infoTextHead_;
    std::string gpsText_;
    std::string copyright_;
    std::string cameraModel_;
    std::string cameraMake_;
    std::string firmwareVersion_;
    std::string dateTimeString_ = "1990:01:01:00:00:00";
    bool dateTimeRead_ = false;
    std::string serialNumber_;
    int32_t imageNumber_ = -1;
    bool hasAutoParams_ = false;
    int32_t fileType_ = 4;
    std::string sourceColorSpaceName_;
    int32_t sourceBitDepth_ = 0;
    int32_t sharpenPresets_[4][3] = {};
    uint32_t fileSize_ = 0;
    NbRect previewRect_;
    NbRect imageRect_;
    NbRect thumbnailRect_;
    float thumbnailScale_ = 1.0f;
    NbRect fileCrop_;
    std::atomic<int32_t> stripRows_{512};
    std::atomic<int32_t> resolutionDivisor_{0};
    // State of the newest raw kind; the other kinds leave it alone.
    int32_t rawLookSetting_ = 0;
    std::string rawDefaultLookName_;
    YlmRefPtr<ColorSpaceDesc> rawCameraLook_;
    YlmRefPtr<ColorSpaceDesc> rawCameraLookGray_;
    std::string rawConstantAttributes_;
    YlmRefPtr<ColorTransform> cachedTransform_;
    ImageProcessParam cachedTransformParams_;
    int32_t cachedTransformKind_ = -1;
    int32_t cachedTransformStage_ = 0;
    int32_t closeUpPoint_[2] = {0, 0};
    bool canAdjustTone_ = false;
    int32_t levelsOption_ = 0;
    float levelsLimits_[3] = {0.0f, 0.0f, 0.0f};
    float levelsMinimumGap_ = 0.0f;
    std::atomic<bool> rendering_{false};

private:
    bool IsListening(ImageChangeCB* listener) const;

    struct FlagScopeState {
        int32_t depth = 0;
        bool saved = false;
    };
    std::mutex flagScopeLock_;
    FlagScopeState closableScope_, renderingScope_;
};

} // namespace NimbalCore
