#pragma once
// Raw files of the older camera models, and the camera JPEG and RGB TIFF
// files of the same cameras, read through the program's own camera interface
// exactly as an outside program reads them (its public C header only). The
// image keeps the interface's record of the file, which holds the handle
// while the file is open and the geometry always.
//
// The interface keeps one output type, rotation, subsampling, window and pad
// byte count per open image and is not locked itself: every call for an
// image runs under the image's lock, and a strip's or a thumbnail's
// preparing calls are held together with its rendering, so that two threads
// never mix their settings. Opening and closing files also change the
// interface's table of images, which every other call reads: they wait for
// the calls of every image to finish.
#include "BlockOMemory.h"
#include "BlockOMemoryLock.h"
#include "Image.h"
#include "MakeExportImage.h"
#include "StBlockOMemoryPoolExceptionDisabler.h"
#include "StCriticalSectionLock.h"
#include "YlmMutex.h"

#include "Vq.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace NimbalCore {

class ZynSDKLookDesc;

class ZynImage : public Image {
public:
    // A white-balance point: three 16-bit values, all zero when there is none.
    using Triple = std::array<uint16_t, 3>;

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

    // The camera interface's callbacks of a rendering: progress goes to the
    // ProgressCB of the rendering thread (none when the user value is 0), and
    // each strip's buffer follows the one before it.
    static int32_t ProgressCallback(int32_t kind, int32_t percent, int32_t reserved, int32_t userValue);
    static void* RowCallback(void* buffer, uint32_t byteCount, int32_t userValue);

    explicit ZynImage(const FilePathSpec& path);
    ~ZynImage() override;

    // ZynImage's own operations.
    // 0 when the file is open; 1702 when another program holds it, 1701
    // when the interface does not open it or (without force) refuses its
    // kind. 1302 is thrown while opening is disabled.
    virtual int Open(bool force);
    // Whether a sound file belongs to this image by the camera's sound key.
    virtual bool IsSoundOfImage(const FilePathSpec& sound);
    // The running render's progress callback; true when there is none.
    virtual bool ReportRenderProgress(int percent);
    // The interface's output type for a pixel layout (0 gray, 1 RGB, 2 BGR,
    // 3 XRGB, 4 BGRX), linear flag (1: the camera's linear RGB) and bytes
    // per sample; another layout or byte count changes nothing. 1703.
    virtual void SetImageType(int layout, int linear, int bytes, int unused);
    virtual void SetImageTypeToSDK(uint32_t type);
    // Pad bytes so that the interface's rows fill the array's rows.
    virtual void SetPadBytesForPixelArray(PixelArray* array, const NbRect& rect);
    virtual void SetPadByteCount(int bytes);
    // Loads the raw data into the cache block and decodes it (before a
    // conversion); progress at every fifth chunk, 1711 when refused.
    virtual void LoadAndDecompressCache(ProgressCB* progress);
    virtual int LightingToPreset(int lighting);
    virtual int PresetToLighting(int preset);
    // The interface's look number for a look name (grayscale set to 1 for a
    // grayscale look, left alone when the name is none of the six); the
    // look name of a look number.
    virtual int LookIndexForName(const std::string& name, int* grayscale);
    virtual std::string LookNameForIndex(int index, bool grayscale);
    virtual Triple BalanceTripleToSDK(Triple triple);
    virtual Triple BalanceTripleFromSDK(Triple triple);
    // Kept for their places among the operations; nothing calls them. Each
    // keeps 1 and 2 and answers 0 for anything else.
    virtual int SpareCodeMappingA(int code);
    virtual int SpareCodeMappingB(int code);
    virtual int BalanceTypeForLighting(int lighting);
    // The balance point stored in a tag of three RATIONALs; (0, 0, 0) when
    // there is none or it is not usable.
    virtual Triple GetBalancePointFromTag(uint16_t tag);
    virtual Triple GetAutoBalancePoint();
    // Sends a parameter set to the interface, all but crop, window and
    // rotation. 1710 for a setting it refuses.
    virtual void SetProcessParamsInImageExceptWindow(const ImageProcessParam& params);
    virtual void SetOutputWindow(const NbRect& window);
    virtual void GetOutputWindow(NbRect& window);
    virtual void SetRotation(float degrees);
    virtual void SetSubSample(int factor);
    // A one-channel 16-bit strip widened in place to three equal channels.
    virtual void ExpandGrayToRGB(const VrelSharpenPlanes& layout);
    virtual int FoldLowCodes(int code);

    // Image operations.
    int Open() override { return Open(false); }
    // Keeps the geometry, so that sizes still answer while it is closed.
    void Close() override;
    // Reopens one thread at a time.
    int EnsureOpen() override;
    void SetCameraSettings() override;
    time_t GetCaptureTime() override { return captureTime_; }
    bool CanSharpen() override { return HasCapability(kCanSharpen); }
    std::vector<int> GetNoiseReductionModes() override;
    bool CanAdjustExposure() override { return HasCapability(kCanAdjustExposure); }
    void GetExposureCompensationRange(float* min, float* max) override;
    bool CanClickBalance() override { return HasCapability(kColourFile); }
    std::vector<int> GetSupportedIlluminants() override;
    std::vector<int> GetSupportedBalanceTypes() override;
    bool HasAtCaptureParams() override { return HasCapability(kInCameraSettings); }
    bool CanChangeLook() override { return fileKind_ == VQ_FILE_RAW_TIFF; }
    bool Supports16BitOutput() override { return fileKind_ == VQ_FILE_RAW_TIFF; }
    bool CanSaveProcessParams() override { return fileKind_ != VQ_FILE_RGB_TIFF; }
    bool ImageShouldBeRenderedForExport() override;
    std::vector<int> GetSupportedColorModes() override;
    std::vector<std::string> GetAvailableLooks() override;
    std::map<int, NbRect> GetAvailableResolutions() override;
    NbRect GetImageRect() override;
    NbRect GetNativeImageRect() override;
    NbRect GetThumbnailRect() override;
    NbRect GetNativeThumbnailRect() override;
    int GetSamplesPerPixel() override;
    int GetBytesPerSample() override;
    bool AddSound(const FilePathSpec& sound) override;
    bool RemoveSound(const FilePathSpec& sound) override;
    std::string GetAnnotation() override;
    int GetMaxAnnotationLength() override { return annotationCapacity_ - 1; }
    // 1722 for a text longer than the field takes.
    void SetAnnotation(const std::string& text) override;
    void FreeCachedData() override;
    std::vector<int> GetRawOutputOptions() override { return {0, 1}; }
    // The core's TIFF and JPEG exporters over a rendering of this image.
    ExportImage* CreateExportImage(int fileKind, ImageRendering* rendering, const FilePathSpec& target,
                                   ExportImageArray* array, int32_t) override {
        return MakeExportImage(fileKind, rendering, target, array);
    }
    bool HasThumbnail() override { return true; }
    bool IsOptionEnabled() override { return HasCapability(kOptionEnabled); }

    ImageProcessParam GetAtCaptureParams() override;
    ImageProcessParam GetAutoParams() override;
    ImageProcessParam GetCustomParams() override;
    void ReadProcessParamsFromFile() override;
    // Re-reads the stored settings, keeping the current crop.
    void GetProcessParamsFromSDK() override { ReloadProcessParamsFromSDK(); }
    // The same, answering whether the current parameters changed.
    bool ReloadProcessParamsFromSDK();
    ValidationCodes ValidateProcessParams(const ImageProcessParam& params) override;
    ValidationCodes MapRectBetweenRotations(const NbRect& source, float angle, NbRect* out,
                                            float frameAngle) override;
    void ClampRectToImage(NbRect& rect) override;
    void CalculateClickBalance(int x, int y, uint16_t* a, uint16_t* b, uint16_t* c) override;
    void SetParmsInImageForLinearRendering(ImageProcessParam& params) override;

    YlmRefPtr<ColorTransform> BuildColorTransform(const ImageProcessParam& params, int flags, int kind) override;

    // d (useCrop) with a scale other than 1 is not a render this kind makes:
    // 1714, the destination untouched.
    void RenderImage(const ImageProcessParam& params, PixelArray& destination, bool useCrop, ProgressCB* progress,
                     int renderScale) override;
    // 1708 for a destination that is not allocated or smaller than the
    // thumbnail (left untouched), 2500 for a rotation that is not a quarter
    // turn.
    void RenderThumbnail(const ImageProcessParam& params, PixelArray& destination) override;
    void GetImageRectangleFromCameraSDK(int renderKind, const ImageProcessParam& params, const FilterRect& strip,
                                        float angle, VrelSharpenPlanes& layout, int destinationFormat,
                                        int renderScale, ProgressCB* progress) override;

    // Saving into the raw file: 1714 for a file kind without a settings
    // block, 1715 for a read-only file (before anything is sent).
    void WriteProcessParamsToFile() override;
    void WriteAllMetaDataToFile() override;
    // The camera interface's own conversion of the image to a JPEG file:
    // 1711 when the callback refuses, 1709 when it fails; the destination
    // is replaced only by a complete file.
    virtual void ExportJPEG(const FilePathSpec& destination, int qualityCode, int sizeCode, int unitCode,
                            int resolution, const ImageProcessParam& params, ProgressCB* progress);
    bool CanWhiteBalanceFileBeSaved(int* reason) override;
    // 1725 when the settings allow none, 1724 when it cannot be written
    // (an existing file then stays as it was).
    void WriteWhiteBalanceFile(const FilePathSpec& path) override;
    // The presets, for the interface's model id.
    bool GetJPEGQuantizationTables(bool chroma, int qualityCode, int sizeCode, int* table, int* quality) override;
    // The camera's own table record for the preset, when the file asks for
    // its own tables and holds a whole one.
    bool GetCameraJPEGQuantizationTables(bool chroma, int qualityCode, int sizeCode, int* table,
                                         int* quality) override;

    // What the first opening read.
    ImageInfoRecord GetInfoRecord();
    uint32_t GetCapabilityFlags() const { return capabilityFlags_; }
    int32_t GetFileKind() const { return fileKind_; }
    int32_t GetImageTypeCode() const { return imageTypeCode_; }
    int32_t GetAutoLighting() const { return autoLighting_; }
    int32_t GetCustomLighting() const { return customLighting_; }
    int32_t GetLookCount() const { return lookCount_; }
    int32_t GetBalanceKind() const { return balanceKind_; }
    bool GetCameraSharpening() const { return cameraSharpening_; }
    int32_t GetCacheChunks() const { return cacheChunks_; }
    std::string GetSoundKey() const { return soundKey_; }
    // The annotation field as the interface delivered it.
    std::string GetAnnotationField() const;
    bool IsRawCacheAllocated() const { return rawCache_.IsAllocated(); }
    bool IsDecompressionReserveAllocated() const { return decompressionReserve_.IsAllocated(); }

    // The rules behind the operations, without the interface.
    // The native crop an output window (x, y, w, h as an NbRect) stands for
    // under a rotation; the native rectangle when it is not an even
    // rectangle inside it.
    static NbRect CropFromOutputWindow(const NbRect& window, int rotation, int32_t width, int32_t height);
    // The 16 x 16 sample window of a click at (x, y) in an image of that size.
    static SdkRect ClickSampleWindow(int x, int y, int32_t width, int32_t height);
    // A balance point is usable when no value is 0 and it is not the
    // camera's (4095, 4095, 4095); an unusable one is (0, 0, 0).
    static Triple UsableBalancePoint(Triple triple);

private:
    // Capability bits of the record's flags word, as this kind reads them.
    static constexpr uint32_t kOptionEnabled = 1u << 1;
    static constexpr uint32_t kAutoBalance = 1u << 2;
    static constexpr uint32_t kInCameraSettings = 1u << 3;
    static constexpr uint32_t kCanSharpen = 1u << 4;
    static constexpr uint32_t kNoiseReduction = 1u << 5;
    static constexpr uint32_t kCanAdjustExposure = 1u << 6;
    static constexpr uint32_t kColourFile = 1u << 9;
    static constexpr uint32_t kSecondNoiseMode = 1u << 10;

    // What one stretch of calls into the interface holds: the image's lock
    // (across the whole stretch, so no other thread's settings fall between
    // its calls), the interface's table for reading, the memory pool quiet
    // and the raw data cache pinned. A cache the pool purged since the
    // interface was given it is taken back from the interface first.
    class VqSection {
    public:
        explicit VqSection(ZynImage& image);
        ~VqSection();
        VqSection(const VqSection&) = delete;
        VqSection& operator=(const VqSection&) = delete;

    private:
        StCriticalSectionLock lock_;
        StBlockOMemoryPoolExceptionDisabler quiet_;
        BlockOMemoryLock cachePin_;
    };
    friend class VqSection;

    bool HasCapability(uint32_t bit) const { return (capabilityFlags_ & bit) != 0; }
    bool Has(const std::vector<int>& values, int value) const;
    bool Has(const std::vector<std::string>& values, const std::string& value) const;
    void LoadInformation();
    // The lighting the interface resolves a balance preset to (5 automatic,
    // 4 custom); the stored value when the probe cannot run.
    void ProbeLighting(int32_t preset, int32_t* lighting);
    void ReadCaptureDate();
    void Touch() { openTime_ = time(nullptr); }

    // The parts of the operations above, run with the section held.
    void SendProcessParams(const ImageProcessParam& params);
    void ReadProcessParams(ImageProcessParam& p);
    void ReadSharpening(ImageProcessParam& p);
    void ReadWhiteBalance(ImageProcessParam& p);
    void RenderStrip(const ImageProcessParam& params, const NbRect& window, int scale, VrelSharpenPlanes& layout,
                     ImageBufferRecord& buffer, ProgressRecord& progress, bool& grayscale, uint32_t& status);
    // The window the interface takes that holds the given one: even origin
    // and size, eight pixels a side at least, inside the image; the window
    // itself when it already is one or when none fits.
    NbRect AlignedWindow(const NbRect& window, int scale);
    void ConvertThumbnail(const ImageProcessParam& params, PixelArray& destination);
    void ThumbnailThroughInterface(const ImageProcessParam& params, PixelArray& destination);
    void GrayThumbnailAsColour(const ImageProcessParam& params, PixelArray& destination);
    int32_t ReadExtensionWord(uint32_t id, uint32_t* status);
    float CurrentRotation();

    ImageInfoRecord info_{};
    // The file carries no tag flag: the image reads as untagged.
    bool tagFlagAbsent_ = false;
    int32_t imageTypeCode_ = 6;
    int32_t autoLighting_ = 9;
    int32_t customLighting_ = 9;
    uint32_t capabilityFlags_ = 0;
    int32_t fileKind_ = 0;
    int32_t cacheChunks_ = 0;
    // The callback of the RenderImage under way (not owned).
    std::atomic<ProgressCB*> renderProgress_{nullptr};
    BlockOMemory rawCache_{BlockOMemoryBase::kPurgeFirst};
    BlockOMemory decompressionReserve_{BlockOMemoryBase::kPurgeFirst};
    std::string soundKey_;
    int32_t balanceKind_ = 4;
    int32_t lookCount_ = 0;
    bool informationLoaded_ = false;
    std::unique_ptr<char[]> annotation_;
    int32_t annotationCapacity_ = 0;
    // Every call into the camera interface for this image holds it.
    YlmMutex vqLock_;
    bool cameraSharpening_ = false;

    // The interface holds the raw data cache's address once it was loaded.
    bool cacheHandedOver_ = false;
    // The parameters last sent, so that a strip whose parameters another
    // thread replaced in the meantime sends its own again.
    ImageProcessParam sentParams_;
    bool paramsSent_ = false;
    // Serialises reopening.
    YlmMutex openLock_;
    // A render's scale is the image's while the core renders: renders of one
    // image on several threads take their turns.
    YlmMutex renderLock_;
};

} // namespace NimbalCore
