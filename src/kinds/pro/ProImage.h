#pragma once
// Raw files of the newest camera models, read through a model driver library
// (three named drivers opened at start-up, or a folder plug-in). The image
// keeps the driver's IO and image references while its file is open, reads
// its properties and parameter sets from the driver's attributes, writes its
// metadata back through them, and renders strips through the driver, on two
// threads for large renders on machines with more than one processor.
#include "BBPlugIn.h"
#include "Image.h"
#include "Message.h"
#include "Thread.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace NimbalCore {

class RawFileSession;

class ProImage : public Image {
public:
    enum DriverKind : int32_t { Wren3 = 0, Plover = 1, Wren4 = 2, FolderPlugIn = 3 };

    // The lower half of a strip, rendered by the helper thread through the
    // session's own references.
    class GetImageRectMsg : public Message {
    public:
        GetImageRectMsg(RawFileSession* session, int32_t level, const DriverRect* rect, VrelSharpenPlanes* planes);
        // A message deleted without running (its thread ended first) still
        // releases the waiting sender.
        ~GetImageRectMsg() override;
        int Execute() override;

    private:
        RawFileSession* session_;
        int32_t level_;
        const DriverRect* rect_;
        VrelSharpenPlanes* planes_;
        bool executed_ = false;
    };

    ProImage(const FilePathSpec& path, int kind);
    ProImage(const FilePathSpec& path, YlmRefPtr<BBPlugIn> plugIn);
    ~ProImage() override;

    // Driver start-up and shut-down (the image pool's steps), the folder scan.
    static const char* GetDriverLibraryName(int kind);
    static int OpenWren3Driver();
    static int OpenPloverDriver();
    static int OpenWren4Driver();
    static void CloseWren3Driver();
    static void ClosePloverDriver();
    static void CloseWren4Driver();
    static void LoadPlugInFolder();
    // Installs the steps above into the image pool (before it is created).
    static void InstallPoolSteps();
    static YlmRefPtr<BBPlugIn> GetDriverPlugIn(int kind);
    static const std::vector<YlmRefPtr<BBPlugIn>>& GetFolderPlugIns();

    // Image operations.
    std::string GetLightingProfileID(int lighting) override;
    std::string GetLookProfileID(const std::string& lookName) override;
    std::string GetOutputProfileID(int outputSpaceMode) override;
    ImageProcessParam GetAtCaptureParams() override;
    ImageProcessParam GetAutoParams() override;
    ImageProcessParam GetCustomParams() override;
    time_t GetCaptureTime() override { return captureTime_; }
    bool CanSharpen() override { return true; }
    std::vector<int> GetNoiseReductionModes() override { return noiseReductionModes; }
    std::vector<int> GetNoiseLevelPresets() override { return noiseLevelPresets; }
    std::vector<int> GetNoiseStrengthPresets() override { return noiseStrengthPresets; }
    std::vector<int> GetMoirePresets() override { return moirePresets; }
    void GetNoiseStrengthRange(int* min, int* max) override;
    void GetNoiseLevelRange(int mode, int* min, int* max) override;
    bool CanAdjustExposure() override { return true; }
    void GetExposureCompensationRange(float* min, float* max) override;
    void GetLensOptimizationRange(int* min, int* max) override;
    void GetBalanceKelvinRange(int balanceType, uint16_t* low, uint16_t* standard, uint16_t* high) override;
    bool CanClickBalance() override { return isColor_; }
    bool ComputeExposureTableFromLevels(float shadow, float midtone, float highlight, int bytes,
                                        uint16_t* table) override;
    std::vector<int> GetSupportedIlluminants() override { return supportedIlluminants; }
    std::vector<int> GetSupportedBalanceTypes() override { return supportedBalanceTypes; }
    bool HasAtCaptureParams() override { return true; }
    std::vector<int> GetSupportedColorModes() override;
    std::vector<std::string> GetAvailableLooks() override;
    std::map<int, NbRect> GetAvailableResolutions() override;
    void RenderImage(const ImageProcessParam& params, PixelArray& destination, bool useCrop, ProgressCB* progress,
                     int renderScale) override;
    void RenderThumbnail(const ImageProcessParam& params, PixelArray& destination) override;
    // The exporter of the file kind (0 TIFF, 1 JPEG) over the rendering;
    // null without a rendering or an array, or for a kind with no exporter.
    ExportImage* CreateExportImage(int fileKind, ImageRendering* rendering, const FilePathSpec& target,
                                   ExportImageArray* array, int32_t options) override;
    void GetImageRectangleFromCameraSDK(int level, const ImageProcessParam& params, const FilterRect& source,
                                        float rotation, VrelSharpenPlanes& layout, int destinationFormat,
                                        int resolutionDivisor, ProgressCB* progress) override;
    void SetParmsInImageForLinearRendering(ImageProcessParam& params) override;
    void EndRender() override;
    NbRect GetImageRect() override;
    NbRect GetNativeImageRect() override { return imageRect_; }
    NbRect GetThumbnailRect() override;
    NbRect GetNativeThumbnailRect() override { return thumbnailRect_; }
    int GetSamplesPerPixel() override { return isColor_ ? 3 : 1; }
    int GetBytesPerSample() override { return 2; }
    bool AddSound(const FilePathSpec& sound) override;
    bool RemoveSound(const FilePathSpec& sound) override;
    int Open() override;
    void Close() override;
    void CalculateClickBalance(int x, int y, uint16_t* a, uint16_t* b, uint16_t* c) override;
    std::string GetAnnotation() override { return annotation; }
    int GetMaxAnnotationLength() override { return 255; }
    void SetAnnotation(const std::string& text) override;
    ValidationCodes MapRectBetweenRotations(const NbRect& source, float fromAngle, NbRect* out,
                                            float toAngle) override;
    ValidationCodes ValidateProcessParams(const ImageProcessParam& params) override;
    void ReadProcessParamsFromFile() override;
    void GetProcessParamsFromSDK() override;
    void WriteAllMetaDataToFile() override;
    bool SetIPTCRecord(const IPTCNAARecord2& record) override;
    void FreeCachedData() override {}
    bool CanWhiteBalanceFileBeSaved(int* kind) override;
    // The driver's white-balance file (attribute 1845) for the camera,
    // under a name of the form "NAME.WB" (at most eight characters before
    // the dot). An existing file is replaced only by a complete new one.
    void WriteWhiteBalanceFile(const FilePathSpec& path) override;
    // The camera's own tables when it has them (it never has), else the
    // presets.
    bool GetJPEGQuantizationTables(bool chroma, int qualityCode, int sizeCode, int* table, int* quality) override;
    std::vector<int> GetRawOutputOptions() override { return {0, 1}; }
    bool HasThumbnail() override { return true; }
    bool CanAdjustWhitePointForBalanceType(int balanceType) override;
    int PercentToNoiseLevel(int mode, int percent) override;
    int NoiseLevelToPercent(int mode, int level) override;
    bool HasOptionChoices() override;
    bool IsOptionEnabled() override { return optionEnabled; }
    bool GetCameraJPEGQuantizationTables(bool, int, int, int*, int*) override { return false; }
    void WriteProcessParamsToFile() override;
    void SetCameraSettings() override;
    void SetProcessParams(const ImageProcessParam& params) override;
    // The transform the strips pass through: mode 1 from the driver's data
    // to the output, 2 to working data for sharpening, 3 from working data
    // to the output. The value is the caller's and keeps cache entries apart.
    YlmRefPtr<ColorTransform> BuildColorTransform(const ImageProcessParam& params, int value, int mode) override;

    // ProImage's own operations.
    virtual bool IsColorImage() { return isColor_; }
    virtual void NormalizeNoiseReductionMode(int& mode);
    virtual void ClampWhitePoint(ImageProcessParam& params);
    virtual bool BelongsToImage(const FilePathSpec& sound);

    // Attributes and parameters.
    void LoadAttributes();
    bool GetProcessParamsLoaded();
    bool IsPresetAvailable(int balanceType);
    void LookupBalanceTriple(const ImageProcessParam& params, uint16_t triple[3]);
    void DeriveBalanceType(ImageProcessParam& params, bool keepLighting);
    static int LightingCodeForIndex(int lightingIndex);
    int NoiseModeToDriver(int mode);
    int NoiseModeFromDriver(int mode);
    int QuantizeNoiseThreshold(const ImageProcessParam& params);

    int32_t GetDriverKind() const { return driverKind; }
    int32_t GetModelCode() const { return modelCode; }
    std::string GetDriverInfoText() const { return driverInfoText; }
    bool HasReducedLevel() const { return hasReducedLevel; }
    bool IsOpenedReadWrite() const { return openedReadWrite; }
    // Whether a render helper or its session exists (none outside a render).
    bool HasRenderHelper() const { return renderHelper || renderSession; }
    // Test hook: the render helper starts for areas above this size (512).
    static void SetHelperMinimumSize(int32_t pixels);
    static int32_t HelperMinimumSize();

protected:
    // Driver calls on the image reference.
    int32_t AttributeInfo(int32_t id, int32_t* type, int32_t* count);
    int32_t ReadInts(int32_t id, int32_t* values, int32_t count, int32_t slotsPerElement = 1);
    int32_t ReadFloats(int32_t id, float* values, int32_t count);
    int32_t ReadTriple(int32_t id, uint16_t triple[3]);
    // One driver rectangle (one element of four slots).
    int32_t ReadRect(int32_t id, DriverRect& rect);
    int32_t ReadList(int32_t id, std::vector<int32_t>& values);
    // The byte size of a text or block attribute, 0 where there is nothing to
    // read; -1 when the size passes `limit` or the attribute holds wider
    // elements than bytes.
    int32_t ReadSize(int32_t id, int32_t limit, int32_t* size);
    // A text of the reported size with a terminating zero inside the buffer.
    int32_t ReadText(int32_t id, std::string& text);
    int32_t ReadBlock(int32_t id, std::vector<uint8_t>& bytes);
    int32_t WriteInts(int32_t id, int32_t type, const int32_t* values, int32_t count);
    int32_t WriteFloats(int32_t id, int32_t type, float* values, int32_t count);
    int32_t WriteTriple(int32_t id, int32_t type, const uint16_t triple[3]);
    int32_t WriteBlock(int32_t id, const void* data, int32_t count);

    void ReadCaptureTime();
    void ReadToneCapability();
    void ReadIPTCBlock();
    void FreeReferences();
    YlmRefPtr<ColorSpaceDesc> GetProfileFromAttribute(int32_t id);
    void StoreProfileInAttribute(const YlmRefPtr<ColorSpaceDesc>& profile, int32_t id);

    void InitializeConstantAttributes();
    void InitializeLook();
    // The look the camera was set to (attribute 1954), by the image's kind.
    std::string GetCaptureLookName();
    void InitializeCustomProcessParameters();
    void InitializeAutoProcessParameters();
    void InitializeAtCaptureProcessParameters();
    void InitializeCurrentProcessParameters();

    void StartRenderHelper(const ImageProcessParam& params);

    YlmRefPtr<BBPlugIn> plugIn;
    int32_t driverContext = 0;
    int32_t ioRef = 0;
    int32_t imageRef = 0;
    int fileHandle = -1;
    std::string driverInfoText;
    bool attributesLoaded = false;
    bool hasReducedLevel = false;
    float exposureCompensationMin = -1.0f, exposureCompensationMax = 1.0f;
    uint16_t kelvinRanges[7][3] = {};
    uint16_t whitePointAsRead[3] = {};
    uint16_t whitePointAtCapture[3] = {};
    int32_t driverLensMin = -1, driverLensMax = -1;
    int32_t attribute1811Value = 0, attribute1850Value = 0;
    ImageProcessParam atCaptureParams, autoParams, customParams;
    uint16_t balanceTriples[7][3] = {};
    int32_t driverKind;
    int32_t modelCode = 0xFFFF;
    std::string annotation;
    bool hasLightingCode = false, hasNoiseStrength = false, hasMoireModes = false, hasNoiseOff = false,
         hasBasicNoise = false;
    bool captureFlag1927 = false, captureFlag1928 = false;
    bool wantReadWrite = false;
    bool openedReadWrite = false;
    bool optionEnabled = false;
    std::unique_ptr<RawFileSession> renderSession;
    YlmRefPtr<Thread> renderHelper;
    std::vector<int> supportedBalanceTypes, supportedIlluminants, noiseReductionModes, noiseLevelPresets,
        noiseStrengthPresets, moirePresets;

    // Further state the parameter sets need.
    uint16_t asShotTriple[3] = {};
    bool autoPresent = false;
    bool atCaptureBalanceValid = true;
    bool atCaptureRotationPresent = false, atCaptureCropPresent = false;
    float atCaptureReferenceLevels[3] = {};
    int32_t currentCameraLighting = 0;
    bool attribute1867Set = false;
    std::string fixedCameraProfileName;
    std::string captureLookName;
    uint16_t lastClickKelvin = 0;

    // The last transform built, with what it was built for.
    YlmRefPtr<ColorTransform> cachedTransform;
    ImageProcessParam cachedTransformParams;
    int cachedTransformValue = 0, cachedTransformMode = 0;
};

} // namespace NimbalCore
