#pragma once
// Every image of the camera interface: keeps the 200-byte info block current,
// owns the texts it points to, and is itself the class of the oldest models.
// The file-type factory that picks an image's class lives here too. The code
// sits in one file per concern: SdkImageBase.cpp (the base itself),
// ...OldestModel (the oldest models' head), ...FileType (file identification and
// the class made for it), ...JpegMarkers, ...Geometry, ...Colour, ...Rendering.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ModelTable.h"
#include "OcmsImageRecord.h"
#include "RawContainer.h"
#include "ResolutionRecord.h"
#include "RationalValue.h"
#include "SdkImage.h"
#include "SensorGroupSettings.h"

class RawTiffReader;

namespace lumora {
class ByteView;
class SdkRenderer;
}

namespace lumora::vq {

class SdkSoundList;

class SdkImageBase : public SdkImage {
public:
    // Every image object counts as this many bytes in the interface's memory usage.
    static constexpr int32_t kObjectSize = 4108;
    // Bytes of a file's head that the factory reads first.
    static constexpr uint32_t kHeadSize = 8192;
    // Header lengths above this are taken as this.
    static constexpr uint32_t kMaxHeaderLength = RawContainer::kMaxHeaderLength;

    SdkImageBase(const CameraRecord* record, DriverSettings* settings);
    ~SdkImageBase() override;

    SdkImageBase(const SdkImageBase&) = delete;
    SdkImageBase& operator=(const SdkImageBase&) = delete;

    bool IsValid() const override;
    int32_t GetObjectSize() override;
    VqStatus GetExtension(uint32_t id, void* out) override;
    VqStatus SetExtension(uint32_t id, void* data, uint32_t w1, uint32_t w2, uint32_t w3, uint32_t w4) override;
    VqStatus GetHidden(uint32_t id, void* out) override;
    VqStatus SetHidden(uint32_t id, void* value) override;
    VqStatus Open(int32_t index, ImageInfoRecord* info, const uint8_t* header, uint32_t length,
                  const DirectoryEntry* entry) override;
    VqStatus ParseHeader(const uint8_t* header, uint32_t length) override;
    VqStatus SetProcessingDirectory(VqPathRecord path) override;
    VqStatus GetProcessingDirectory(char* out) override;
    VqStatus SetImageType(uint32_t type, int32_t force) override;
    VqStatus GetImageType(uint32_t* out) override;
    VqStatus SetRotation(float degrees) override;
    VqStatus GetRotation(float* out) override;
    VqStatus SetWhiteBalance(uint32_t type, const uint16_t* triple) override;
    VqStatus GetWhiteBalance(uint32_t* type, uint16_t* triple) override;
    VqStatus CalculateWhiteBalance(const SdkRect* area, uint16_t* out) override;
    VqStatus SetDescription(ImageInfoRecord* record, uint32_t length, const char* text) override;
    VqStatus SetSubSample(int16_t factor) override;
    VqStatus GetSubSample(int16_t* out) override;
    VqStatus SetPadBytes(uint8_t pad) override;
    VqStatus GetPadBytes(uint8_t* out) override;
    VqStatus OutputRectToSensor(SdkRect* rect) override;
    VqStatus GetGeometry(ImageGeometry* out) override;
    VqStatus SensorRectToOutput(SdkRect* rect) override;
    // The stored thumbnail shows the active area in the sensor's orientation:
    // only the active area's origin is removed.
    VqStatus ToSensorDataRect(SdkRect* rect) override;
    VqStatus SetOutputWindow(const SdkRect* window) override;
    VqStatus GetOutputWindow(SdkRect* out) override;
    VqStatus GetThumbnail(void* destination) override;
    VqStatus GetImage(ImageBufferRecord* buffer, ProgressRecord* progress) override;
    VqStatus SaveProcessParameters() override;
    VqStatus GetSoundInfo(int32_t index, SoundInfoRecord* out) override;
    VqStatus GetSound(SoundInfoRecord* info, void* buffer) override;
    void SetImageIndex(int32_t index) override;
    int32_t GetImageIndex() override;
    VqStatus LoadCache(void* buffer, int32_t steps, int32_t* done) override;
    VqStatus CleanupCache() override;
    VqStatus DecompressCache(void* scratch) override;
    VqStatus SetName(const char* name) override;
    void GetInfo(ImageInfoRecord* out) const override;
    void SetHandle(int32_t handle) override;
    VqStatus WriteWhiteBalanceFile(VqPathRecord path, void* data) override;
    VqStatus OnImageTypeChanged(uint32_t type, uint32_t* colourSpace, int32_t* channels) override;
    VqStatus ReadFileBytes(void* destination, uint64_t fileOffset, uint32_t byteCount, uint32_t flags) override;

    VqStatus SetColourMode(uint32_t mode) override;
    uint32_t GetColourMode() override;
    VqStatus SetProfile(const char* name, int32_t slot, int32_t profileMode, void* info, void* header) override;
    VqStatus GetProfileHandle(int32_t slot, uint32_t* out) override;
    uint32_t GetLastColourStatus() override;
    void SetLastColourStatus(uint32_t status) override;
    OcmsImageRecord* ColourRecord() override { return &colour_; }

    virtual VqStatus UpdateColorMatrices(int32_t colourFlag, uint32_t type);
    virtual VqStatus ValidateRectangle(const SdkRect* rect, int32_t width, int32_t height);
    virtual VqStatus ResetCacheState();
    virtual VqStatus PrepareSpecialType(uint32_t type);
    // The exposure set in force; the base has none to apply.
    virtual VqStatus ApplyExposure() { return 0; }
    virtual VqStatus SetWhiteBalancePreset(int32_t preset);
    uint32_t MapTypeForMonochrome(uint32_t type) const;

    // The active area of a sensor: (left, top, width - right - left,
    // height - bottom - top); VQ_ERR_BAD_FILE when a margin is negative as a
    // 16-bit number.
    static VqStatus ActiveArea(int32_t fullWidth, int32_t fullHeight, int32_t top, int32_t left, int32_t bottom,
                               int32_t right, SdkRect* out);

    virtual VqStatus GetHeaderLength(const uint8_t* tiff, uint32_t available, uint32_t* out);
    virtual int32_t GetCompatibilityFlag();
    // 0 when the buffer is a JPEG stream with an APP1 segment; the TIFF offset is
    // then the start of the TIFF structure inside it.
    virtual VqStatus ScanJpegMarkers(const uint8_t* buffer, uint32_t length, int32_t readResources);
    virtual VqStatus SetColourFlags();

    // The file-type factory: reads the entry's head through the camera, picks the
    // class by model family, file kind and file version, creates and opens it.
    // On failure *out may still hold an image, which the caller deletes.
    VqStatus CreateFromFile(int32_t index, int32_t fileKind, ImageInfoRecord* info, uint32_t recordWord,
                            DriverSettings* settings, const CameraRecord* record, SdkImage** out,
                            const ModelRow** row, DirectoryEntry* entry);
    VqStatus ReadFileIdentity(const uint8_t* tiff, uint32_t length, int32_t* family, const ModelRow** row,
                              int32_t* modelId, uint32_t* version, int32_t* fileKind);
    VqStatus ReadHeaderLengthFromSubIfd(const uint8_t* tiff, uint32_t length, uint32_t* out);

    // count 16-bit entries of elementSize bytes each at a file offset: taken from
    // the header bytes when they hold them, else read from the file.
    VqStatus ReadShortTable(uint32_t elementSize, int32_t index, uint32_t offset, uint32_t count,
                            std::vector<uint16_t>& out, const RawTiffReader& reader, const uint8_t* header,
                            uint32_t length);

    // Extensions and hidden properties every image answers.
    // -2..+2 stays; up to 0.05 beyond is pulled to the limit; anything else is 0.
    static bool ClampExposure(double* exposure);
    VqStatus SetWhiteBalanceMode(int32_t enabled, int32_t preset, int32_t custom, uint32_t rg, uint16_t b);
    void GetWhiteBalanceMode(VqWhiteBalanceMode* out) const;
    void GetSharpening(VqSharpeningRecord* out) const;
    VqStatus SetSharpening(int32_t mode, int32_t level);
    VqStatus SetChromaFilter(int32_t level, uint32_t word);
    // The stored range triple a sharpening level falls in.
    const uint32_t* GetRangeTriple(int32_t level) const;
    VqStatus GetFileDate(void* out);
    static VqStatus RationalTripleToShorts(const uint32_t (&words)[6], uint16_t* r, uint16_t* g, uint16_t* b);
    int32_t SharpenMode() const { return sharpenMode_; }
    int32_t SharpenLevel() const { return sharpenLevel_; }
    int32_t ChromaLevel() const { return chromaLevel_; }

    // Print resolution as extension 29 answers it: value, unit (1 per inch,
    // 2 per centimetre) and precision word.
    struct ResolutionValue {
        int32_t value;
        int32_t unit;
        int32_t precision;
    };
    VqStatus SetResolution(uint32_t value, int32_t unit, uint32_t word);
    ResolutionValue GetResolution() const { return resolution_; }
    // The resolution tags of a directory as read: the image's values follow them.
    void LoadResolution(const ResolutionRecord& record);
    // Writes a changed resolution into the file's resolution tags; camera JPEG
    // files also keep their JFIF, APP8 and Photoshop resolutions in step.
    virtual VqStatus SaveResolution();
    // Writes bytes inside the image's file, never past its end; a refused
    // write changes nothing.
    VqStatus WriteInsideFile(uint64_t offset, const void* bytes, uint32_t length);
    // Whether `length` bytes at `at`, counted from the file's first byte, lie
    // inside the image's file: a file is never extended or patched outside
    // its bytes.
    VqStatus CheckInsideFile(uint64_t at, uint32_t length);

    // The IPTC block of the picture: where it lies and a copy of it.
    VqStatus SetIptcLocation(const uint8_t* header, uint32_t length, uint32_t dataOffset, uint32_t byteLength,
                             uint32_t entryOffset, uint32_t spareEntry, bool outOfOrder);
    VqStatus SetIptc(const VqIptcRecord& record);
    void GetIptc(VqIptcRecord* out) const;
    // Changes to the image's file, planned in full before the first byte is
    // written; offsets are file offsets. Reads see the planned bytes.
    struct FileEdit {
        uint64_t size = 0;     // of the file before the edit
        uint64_t newSize = 0;  // above size when the edit grows the file
        std::vector<std::pair<uint64_t, std::vector<uint8_t>>> patches;
        void Put(uint64_t at, const uint8_t* bytes, uint32_t count);
    };
    VqStatus ReadPlanned(const FileEdit& edit, uint64_t at, uint8_t* out, uint32_t count);
    // The edit written: in place when the file keeps its size, else the whole
    // file replaced at once.
    VqStatus ApplyEdit(const FileEdit& edit);
    // The 12-byte directory entry of a block of L bytes at a file offset.
    virtual void BuildIptcEntry(uint32_t offset, uint32_t length, uint8_t (&entry)[12]) const;
    // A new IFD0 entry for the block; position receives its TIFF offset.
    virtual VqStatus AppendIptcEntry(FileEdit& edit, const uint8_t (&entry)[12], uint32_t* position);

    // The oldest models' stored settings block and looks.
    static constexpr uint32_t kStoredBlockBytes = 22;
    static constexpr uint32_t kSettingsRecordBytes = 16;
    static constexpr uint32_t kSettingsRecordsBytes = 64;
    static constexpr int32_t kToneCurveEntries = 32768;
    static constexpr int32_t kGammaEntries = 4096;
    // True when the block holds a non-zero byte and byte 0 is the sum of the others.
    static bool StoredBlockCounts(const uint8_t (&block)[kStoredBlockBytes]);
    void ApplyStoredSettings();
    VqStatus SetLook(int32_t look);
    VqStatus SetColorMatrixFromShorts(const int16_t (&values)[9]);
    VqStatus SetRendererBlock(uint32_t id, const int32_t (&words)[18]);
    // Shading blocks and the unpack offset from the records of tag 65535.
    void DecodeSettingsRecords(const uint8_t* records, uint32_t length);
    int32_t LookIndex() const { return lookIndex_; }
    uint16_t MaximumValue() const { return maximumValue_; }
    uint16_t UnpackOffsetCode() const { return unpackOffsetCode_; }
    const int32_t (&ShadingBlock(int i) const)[5] { return shadingBlocks_[i]; }

    // Channels and bytes per sample of an output type for this class.
    virtual VqStatus OutputFormat(uint32_t type, int32_t* channels, int32_t* bytesPerSample);

    const ImageInfoRecord& info() const { return info_; }
    uint32_t tiffOffset() const { return tiffOffset_; }

    struct JpegMarkers {
        uint32_t app0Position, app0Length;
        uint8_t app0Units;
        uint16_t app0Density;
        uint32_t app8Position, app8Length;
        uint32_t app13Length, app13Position, app13Data;
        uint16_t app13Value;
        uint32_t iptcResource;
    };
    const JpegMarkers& jpegMarkers() const { return jpeg_; }

    lumora::SdkRenderer* renderer() const { return renderer_.get(); }

protected:
    // Writes a renderer parameter and tells the renderer; answers its answer.
    // Without a renderer nothing can be set.
    VqStatus SetRendererParameter(uint32_t id, const void* value, size_t bytes);
    // Readable GPS lines in place of a receiver sentence in the description,
    // and the date-and-position text of the record.
    void TakeGpsText();
    // Hands the output request to the renderer before it renders.
    VqStatus HandRenderRequest();
    // The plain renderer of the oldest models, made once.
    VqStatus CreateRenderer();
    // Hands what the header parse found to the renderer.
    VqStatus HandSensorLayoutToRenderer();
    // The model text's family and model id into the record; VQ_ERR_BAD_FILE
    // for a model no row of the table knows.
    VqStatus TakeModel();
    // The last step of a header parse: the raw-class flag is set, except for a
    // camera of type 3 and kind 1.
    void SetRawClassFlag();
    // The rotation in force, as the renderer keeps it (0 without one).
    float Rotation() const;
    // Active area width and height from the sensor size and margins.
    int64_t ActiveWidth() const;
    int64_t ActiveHeight() const;

    // Replaces one owned text of the info block; the block points at the copy.
    void SetInfoText(std::string& store, const char* text, uint32_t length, char** field, uint32_t* lengthField);

    ImageInfoRecord info_;
    std::string name_;
    std::string description_, model_, model2_, software_, processingText_, settingsData_, extraData_,
        cameraText_;
    SdkSoundList* soundList_ = nullptr;

    uint32_t whiteBalanceType_ = 1;
    uint16_t whiteBalance_[3] = {240, 240, 240};
    SdkRect outputWindow_ = {0, 0, 0, 0};

    // Data layout of the file.
    uint32_t headerStripOffset_ = 0, headerStripBytes_ = 0;
    uint32_t planeOffsets_[3] = {0, 0, 0}, planeBytes_[3] = {0, 0, 0};
    uint32_t planeWidth_ = 0, planeHeight_ = 0;
    uint32_t dataOffset_ = 0, dataWidth_ = 0, dataHeight_ = 0, dataBytes_ = 0;
    uint32_t bytesPerStoredSample_ = 1;
    int32_t marginTop_ = 6, marginLeft_ = 6, marginBottom_ = 6, marginRight_ = 6;
    // The margins as the file gives them: sensor output (type 0) clears the
    // margins above, any other type restores them from here.
    int32_t savedMargins_[4] = {6, 6, 6, 6};
    uint32_t fullWidth_ = 0, fullHeight_ = 0;
    // The size of the picture stored with the file's main directory (the raw
    // files' header image), which the record's full width and height answer
    // and VqGetThumbnail writes. 0 where a class keeps none: the sensor's size
    // above answers then.
    uint32_t storedWidth_ = 0, storedHeight_ = 0;

    // The entry index in the camera's list. The record's image index may show
    // the camera's own frame number instead; the camera finds the image's entry
    // by this one.
    int32_t imageIndex_ = -1;
    int32_t sensorGroup_ = 0;
    char processingDirectory_[VQ_PATH_BYTES];
    int32_t compatibility_ = 1;
    int32_t bigEndian_ = 0;
    uint32_t headerLength_ = 0;
    uint32_t reservedGeometryWord_ = 0;

    uint32_t ifd0Offset_ = 0, subIfdOffsets_[2] = {0, 0}, privateIfdOffset_ = 0;
    uint32_t ifd0FirstStrip_ = 0;
    std::vector<uint16_t> storedTable_;  // tag 291 of the oldest models

    // Set-up of the oldest models' own pipeline.
    VqStatus FinishOldestModelSetUp(bool colour);
    // count bytes at a head offset: from the head bytes when they hold them,
    // else from the file.
    VqStatus ReadHeaderOrFile(const ByteView& view, uint32_t offset, uint8_t* out, uint32_t count);
    VqStatus LoadThumbnailPlanes(bool colour, const uint32_t (&offsets)[3], const uint32_t (&bytes)[3]);
    VqStatus BuildOldestModelCurves(bool colour);
    VqStatus HandOldestModelParameters(bool colour);
    // Sharpening, chroma filter, exposure and look as the image keeps them; the
    // raw classes restore them from the file's stored record.
    int32_t sharpenMode_ = 0, sharpenLevel_ = 0, sharpeningAvailable_ = 0, sharpenSecondMode_ = 0;
    int32_t chromaLevel_ = 0;
    uint32_t chromaWord_ = 0;
    uint16_t chromaAvailable_ = 0;
    double exposure_ = 0;
    int32_t exposureAvailable_ = 0;  // the raw classes that apply exposure set it
    uint32_t rangeTriples_[4][3] = {{0, 0, 0}, {5, 10, 2}, {10, 10, 2}, {17, 14, 2}};
    int32_t presetCopies_[3] = {0, 0, 0};
    VqStatus GetHiddenFileValues(uint32_t id, void* out);
    VqStatus FindTagHidden(void* out);

    uint8_t storedBlock_[kStoredBlockBytes] = {};
    uint32_t storedBlockOffset_ = 0;
    std::vector<uint8_t> iptc_;
    uint32_t iptcLength_ = 0, iptcOffset_ = 0, iptcField_ = 0, iptcEntry_ = 0, iptcSpareEntry_ = 0, iptcWord_ = 0;
    bool iptcDirty_ = false;
    // Writes the block into the file; the resolution that goes with it is
    // saved by the caller once the block is in.
    virtual VqStatus SaveIptc(uint32_t length);
    uint32_t descriptionFieldOffset_ = 0, descriptionFieldLength_ = 0;
    ResolutionValue resolution_ = {300, 1, 0}, storedResolution_ = {300, 1, 0};
    ResolutionRecord resolutionPositions_{};
    bool resolutionDirty_ = false;
    // The family-0 stored block the current settings make.
    void BuildStoredBlock(uint8_t (&block)[kStoredBlockBytes]) const;
    int32_t shadingBlocks_[2][5] = {{0, 0, 0, 0, 0x100000}, {0, 0, 0, 0, 0x100000}};
    uint16_t unpackOffsetCode_ = 0;
    uint16_t maximumValue_ = 0;
    int32_t lookIndex_ = 0;
    int32_t filmCurveLength_ = 0;
    std::vector<uint16_t> logCurve_, filmCurve_, gammaTable_;
    std::vector<uint8_t> thumbnailPlanes_;
    int32_t thumbnailMonoWords_[2] = {0, 0};
    int32_t thumbnailInfoWords_[8] = {};
    const SensorGroupSettings* GroupSettings() const;

    uint32_t tiffOffset_ = 0;
    uint32_t fileSize_ = 0;  // of the entry, when the camera knows it
    JpegMarkers jpeg_{};

    std::unique_ptr<lumora::SdkRenderer> renderer_;
    // Where the renderer leaves the address of its cache.
    const uint8_t* imageData_ = nullptr;
    // Colour matrices: the first goes to the renderer; the second turns the
    // colour result grey for the grey output types of a colour file.
    RationalValue colourMatrices_[2][9] = {};
    OcmsImageRecord colour_;
    // Raw classes lock the camera output types of files that ask for it.
    bool typeLocked_ = false;
    // The white-balance preset index, kept in three places: the preset whose
    // matrix is in use (the one extension 30 answers), and the balance matrix
    // in use with its copy. The base sets all three alike; the raw classes
    // set them apart when the camera's own or the measured balance stands on
    // the matrix of one of the file's presets.
    int32_t presetIndex_ = 0, balanceIndex_ = 0, balanceIndexCopy_ = 0;
    uint32_t extension44_ = 0;
};

} // namespace lumora::vq
