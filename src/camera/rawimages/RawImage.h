#pragma once
// Raw files of model families 1 and 3 (file versions below 2.1): reads the four
// directories of the file with their checks, builds the processing tables,
// creates the raw engine and hands it everything through the renderer's
// parameter table; afterwards turns white balance, look and exposure changes
// into the tables and parameters they touch. One file per concern:
// RawImage.cpp (engine and parameter cells), ...Directories (the checks of the
// four directories), ...ProcessingTables, ...StoredSettings, ...Balance (white
// balance and looks), ...Exposure, ...Extensions.
#include <cstdint>
#include <memory>
#include <vector>

#include "LookTable.h"
#include "RationalValue.h"
#include "RawIfdRecord.h"
#include "SdkImageBase.h"
#include "StoredSettingsRecord.h"

namespace lumora::vq {

class RawImage : public SdkImageBase {
public:
    // Limits of the raw-data directory.
    static constexpr uint32_t kMaxRawSide = 4096;
    static constexpr uint32_t kMaxRawBytes = 0x2000000;
    // Largest linearisation table: the built-in curve it is scaled from has no more.
    static constexpr uint32_t kMaxLinearisationEntries = 4096;
    // The column-offset smoothing reads 64 values at each end.
    static constexpr uint32_t kMinColumnOffsets = 65;
    // Bytes of the stored settings record (tag 1021).
    static constexpr uint32_t kStoredSettingsBytes = 58;
    // Settings data of tag 1009 kept at most.
    static constexpr uint32_t kMaxSettingsData = 512;

    // The 48-byte curve block of tags 3122 to 3146.
    struct CurveBlock {
        uint32_t longs[3];    // 3122, 3123, 3124
        uint16_t shorts[7];   // 3109, 3110, 3111, 3142, 3143, 3145, 3146
        uint16_t gap;
        uint32_t curveFlag;    // 0 or 1
        uint32_t newFormat;
        uint32_t spare[3];
    };

    // The camera values read from the file (absent values stay -9999).
    struct CameraValues {
        // From the main directory.
        int32_t exposureTime[2];
        float fNumber;
        int16_t exposureProgram;
        float exposureBias;
        float subjectDistance;
        int16_t meteringMode;
        int16_t flash;
        float focalLength;
        float exposureIndex;
        // From the private directory.
        int32_t cameraSettingWord;
        uint32_t cameraSettingWordPosition;
        RawTagRef settingsData;
        int16_t cameraSettingA;
        float cameraSettingRatio;
        int16_t cameraSettingB;
        int16_t cameraSettingC;
        RawTagRef extraData;
        int32_t cameraPreset;
    };

    RawImage(const CameraRecord* record, DriverSettings* settings);
    ~RawImage() override;

    // Image operations.
    VqStatus GetExtension(uint32_t id, void* out) override;
    VqStatus SetExtension(uint32_t id, void* data, uint32_t w1, uint32_t w2, uint32_t w3, uint32_t w4) override;
    VqStatus GetHidden(uint32_t id, void* out) override;
    VqStatus SetHidden(uint32_t id, void* value) override;
    VqStatus ParseHeader(const uint8_t* header, uint32_t length) override;
    VqStatus SetWhiteBalance(uint32_t type, const uint16_t* triple) override;
    VqStatus GetWhiteBalance(uint32_t* type, uint16_t* triple) override;
    VqStatus LoadCache(void* buffer, int32_t steps, int32_t* done) override;
    VqStatus GetThumbnail(void* destination) override;
    VqStatus WriteWhiteBalanceFile(VqPathRecord path, void* data) override;
    VqStatus SetColourFlags() override;
    // Writes the stored settings record back when anything in it changed.
    VqStatus SaveProcessParameters() override;
    // Samples the balance from the sensor data, or from the thumbnail when hidden
    // property 9 says so, with the sensor layout kept at open.
    VqStatus CalculateWhiteBalance(const SdkRect* area, uint16_t* out) override;
    // Rewrites the ImageDescription field of the file in place.
    VqStatus SetDescription(ImageInfoRecord* record, uint32_t length, const char* text) override;
    // The IPTC entry in the file's byte order; a raw file without an entry of
    // its own (or one to take over) gets none.
    void BuildIptcEntry(uint32_t offset, uint32_t length, uint8_t (&entry)[12]) const override;
    VqStatus AppendIptcEntry(FileEdit& edit, const uint8_t (&entry)[12], uint32_t* position) override;
    static constexpr uint32_t kDescriptionBytes = 512;

    // The 24-byte settings block of the stored record.
    VqStatus MakeSettingsBlock(uint8_t* out) const;
    VqStatus ReadSettingsBlock(const uint8_t* in);

    // White balance, looks and exposure. The virtual ones are where the
    // families and the version-3 class differ.
    virtual VqStatus ValidateBalanceMode(int32_t mode, int32_t preset, int32_t kind, uint32_t rg, uint16_t b);
    // A custom triple (red and green packed in rg): all zero, or each value
    // from 1 to 32767.
    static VqStatus CheckCustomBalance(uint32_t rg, uint16_t b);
    virtual VqStatus ApplyBalanceMode(int32_t mode, int32_t preset, int32_t kind, uint32_t rg, uint16_t b, int32_t apply,
                                      uint32_t outputType);
    void GetBalanceMode(VqWhiteBalanceMode* out, bool oneToZero);
    virtual void DefaultBalanceMode(VqWhiteBalanceMode* out);
    virtual void ResetDefaults(VqWhiteBalanceMode* out);
    virtual VqStatus ComputeBalance(int32_t preset, uint16_t* r, uint16_t* g, uint16_t* b, int32_t* index);
    VqStatus SetWhiteBalancePreset(int32_t preset) override;
    VqStatus SelectCameraPreset();
    virtual void ClampCameraPreset(int32_t* value);
    virtual void BalanceZeroToOne(VqWhiteBalanceMode* state);
    virtual void BalanceOneToZero(VqWhiteBalanceMode* state);
    static void PrepareBalanceForStore(VqWhiteBalanceMode* state);
    // version: the stored record's layout version the state was decoded from.
    virtual void DeriveCustomFlag(VqWhiteBalanceMode* state, int32_t version);
    virtual VqStatus SelectLook(int32_t look);
    virtual VqStatus SetLookMatrix(int32_t look);
    VqStatus PrepareSpecialType(uint32_t outputType) override;
    virtual VqStatus ComputeLinearGain(double* out, int32_t index);
    // Family-2 images have no exposure chain and replace this.
    VqStatus ApplyExposure() override;
    virtual VqStatus UpdateExposure();
    virtual double GetBaseSensitivity();
    virtual VqStatus BuildLinearisationTable();
    virtual VqStatus BuildThumbnailTable();
    virtual VqStatus BuildOffsetTables(double factor);
    VqStatus SetCameraRgbMode(int32_t value);
    // The exposure set of VQ_EXT_EXPOSURE: -2..+2 stops, the old value kept
    // when the tables cannot follow.
    VqStatus SetExposure(float stops);

    // State, for the engine and for tests.
    const VqWhiteBalanceMode& balanceState() const { return state_; }
    int32_t presetIndex() const { return presetIndex_; }
    int32_t balanceIndex() const { return balanceIndex_; }
    int32_t lookIndex() const { return lookIndex_; }
    double exposure() const { return exposure_; }
    double gain() const { return gain_; }
    bool oldFile() const { return oldFile_; }
    bool oldColourTables() const { return oldColourTables_; }
    bool newFormat() const { return newFormat_; }
    const RationalValue* currentBalanceMatrix() const { return currentBalance_; }
    const CameraValues& cameraValues() const { return cameraValues_; }
    const uint8_t* storedSettings() const { return storedSettings_; }
    uint32_t storedSettingsOffset() const { return storedSettingsOffset_; }
    const CurveBlock& curveBlock() const { return curveBlock_; }
    const std::vector<uint16_t>& linearisationTable() const { return linearisation_; }
    const std::vector<uint16_t>& toneCurve(int look) const { return look ? toneCurve1_ : toneCurve0_; }
    const std::vector<uint16_t>& gainMap() const { return gainMap_; }
    int32_t gainTiles() const { return gainTiles_; }

protected:
    // Open, in the order ParseHeader runs them.
    virtual VqStatus CreateEngine();
    virtual VqStatus CheckMainIfd(const RawIfdRecord& ifd);
    virtual VqStatus ReadMainIfd(const uint8_t* header, const RawIfdRecord& ifd);
    virtual VqStatus CheckThumbnailIfd(const RawIfdRecord& ifd);
    virtual VqStatus ReadThumbnailIfd(const uint8_t* header, const RawIfdRecord& ifd, uint32_t length);
    virtual VqStatus CheckRawIfd(const RawIfdRecord& ifd);
    virtual VqStatus ReadRawIfd(const uint8_t* header, const RawTiffReader& reader, const RawIfdRecord& ifd,
                                uint32_t length);
    virtual VqStatus CheckVersionWord(uint32_t version);
    virtual VqStatus CheckPrivateIfd(const RawIfdRecord& ifd);
    // Whether the private directory has the tags the class cannot open
    // without: here the tone curve, the output curve, the grey test and the
    // active area.
    virtual bool PrivateTagsPresent(const RawIfdRecord& ifd) const;
    // Checks of the private directory every raw class makes: its values within
    // their limits, and no matrix or balance triple with a zero denominator.
    static bool PrivateLimitsHold(const RawIfdRecord& ifd);
    static bool PrivateMatricesComplete(const RawIfdRecord& ifd);
    virtual VqStatus SetUpFromPrivateIfd(const uint8_t* header, const RawTiffReader& reader, const RawIfdRecord& ifd,
                                         uint32_t length);
    // The camera values of the private directory; the camera setting word's
    // position is counted from `positionBase` (where the TIFF structure starts
    // in the file).
    void TakePrivateCameraValues(const RawIfdRecord& ifd, uint32_t positionBase);
    virtual VqStatus BuildProcessingTables(const uint8_t* header, const RawTiffReader& reader,
                                           const RawIfdRecord& ifd, uint32_t length);
    VqStatus BuildColourCurves(const uint8_t* header, const RawTiffReader& reader, const RawIfdRecord& ifd,
                               int32_t useTables, int32_t multiplier, uint32_t length);
    void SetUpToneParameters(const RawIfdRecord& ifd);
    virtual VqStatus LoadDefaultToneCurve();
    virtual VqStatus FinishSetUp();
    // Restores the stored settings record at open; without a usable record the
    // defaults apply.
    virtual VqStatus ApplyStoredSettings(bool present, VqWhiteBalanceMode* state);
    // Balance codes of the stored record: version 1, and versions 2 and 3.
    // Each answers false when the code makes the record unusable.
    bool DecodeStoredBalanceV1(const StoredSettingsRecord::ProcessBlock& block, VqWhiteBalanceMode* state);
    bool DecodeStoredBalance(const StoredSettingsRecord::ProcessBlock& block, VqWhiteBalanceMode* state);
    void ApplyStoredWindow(const StoredSettingsRecord::ProcessBlock& block);
    // A stored window may be fitted to the image; raw files take it unchanged.
    virtual bool AdjustStoredWindow(int32_t* x, int32_t* y, int32_t* w, int32_t* h, int32_t usableWidth,
                                    int32_t usableHeight, int32_t top, int32_t left);
    // The camera values of extensions 0 to 18, and the one that can be written.
    VqStatus GetCameraValue(uint32_t id, void* out);
    VqStatus SetCameraSetting3(uint32_t value);
    // The stored range triple a sharpening level falls in.
    const uint32_t* RangeTriple(int32_t level) const;
    // Sharpening and chroma filter as the stored record left them, handed to
    // the renderer.
    void RestoreFilters();
    // Called with the curve block and the measured balance triple; nothing here.
    virtual void CurveBlockHook(const CurveBlock& block, const uint32_t* triple);
    virtual uint32_t GetModelThreshold();
    virtual const std::vector<int16_t>* GetDefaultColourCurves();

    // count bytes of the loaded head at offset, or VQ_ERR_BAD_FILE when they are
    // not all inside it.
    VqStatus CopyFromHeader(const uint8_t* header, uint32_t length, uint64_t offset, void* out, uint64_t count) const;
    // Writes a parameter cell and tells the renderer.
    template <typename T>
    VqStatus SetParameter(uint32_t id, const T& value) {
        return SetParameterBytes(id, &value, sizeof value);
    }
    VqStatus SetParameterBytes(uint32_t id, const void* value, size_t size);

    LookTable looks_;
    uint32_t badColumnWord_ = 0;           // where RP_BAD_COLUMNS points

    // Raw-data geometry.
    uint32_t rawDataOffset_ = 0, rawWidth_ = 0, rawHeight_ = 0, rawByteCount_ = 0;
    int32_t topMargin_ = 0, leftMargin_ = 0, bottomMargin_ = 0, rightMargin_ = 0;
    uint32_t bytesPerSample_ = 2;
    uint32_t savedGeometry_[9] = {};
    uint32_t activeWidthTag_ = 0, activeHeightTag_ = 0;

    int32_t thumbnailInfo_[8] = {};
    std::vector<uint8_t> thumbnailBytes_;

    // Tables.
    std::vector<uint16_t> linearisation_, scaledLinearisation_;
    std::vector<uint16_t> toneCurve0_, toneCurve1_, outputCurve_;
    std::vector<uint16_t> rowOffsetsFile_, columnOffsetsFile_;  // signed 16-bit values
    int16_t* rowOffsets_ = nullptr;     // handed to the renderer, which frees them
    int16_t* columnOffsets_ = nullptr;
    uint32_t rowOffsetCount_ = 0, columnOffsetCount_ = 0;
    std::vector<uint16_t> thumbTable_, scaledThumbTable_;
    std::vector<uint16_t> gainMap_;
    int32_t gainTiles_ = 0;
    uint32_t gainTileWidth_ = 0, gainTileHeight_ = 0;
    std::unique_ptr<uint16_t[]> colourCurves_[3];
    int32_t colourCurveCount_ = 0;

    // Matrices.
    RationalValue presetMatrices_[6][9] = {};
    RationalValue balanceMatrices_[6][9] = {};
    RationalValue lookAMatrices_[6][9] = {};
    RationalValue lookBMatrices_[6][9] = {};
    RationalValue colorMatrices_[9] = {};
    RationalValue lookMatrix_[9] = {};
    RationalValue currentBalance_[9] = {};

    // Further values of the private directory.
    uint32_t balanceTriples_[6][6] = {};
    uint32_t balanceTriple0Word_ = 0;
    float presetGains_[6] = {};
    float cameraRgbGainScale_ = 0, private2318_ = 0;
    float sensitivityPairs_[4][2] = {};
    int16_t greyTestValue_ = 0;
    float greyTestRatio_ = 0;
    uint32_t hiddenValue2_ = 0, hiddenValue3_ = 0, hiddenValue6_ = 0, hiddenValue7_ = 0;
    float hiddenFloats_[8] = {};
    CurveBlock curveBlock_ = {};
    uint16_t sharpenSelect_ = 0;
    int32_t sensitivity_ = 0;
    CameraValues cameraValues_ = {};
    uint8_t storedSettings_[kStoredSettingsBytes] = {};
    uint32_t storedSettingsOffset_ = 0;
    uint32_t cameraPreset_ = 0;
    int16_t sharpenKernel_[28] = {};
    int32_t sharpenValues_[5] = {};
    uint32_t settingsTriple_[3] = {};
    uint32_t triple43_[3] = {};
    uint32_t settingsWord_ = 0;
    // As last read from or written to the file's record.
    uint32_t storedSettingsWord_ = 0;
    uint32_t storedTriple_[3] = {};

    // White balance, look and exposure.
    VqWhiteBalanceMode state_ = {};
    int32_t currentMode_ = 1, currentKind_ = 0;
    double exposureFactor_ = 1, exposureFactorCopy_ = 1, gain_ = 1;
    int32_t dirty_[3] = {};

    // Flags.
    bool oldFile_ = false, oldColourTables_ = false, newFormat_ = false;

    // File positions and entry counts.
    uint32_t descriptionOffset_ = 0;
    uint32_t descriptionField_ = 0; // bytes of the ImageDescription field in the file
    uint16_t entryCounts_[4] = {};

    // Hidden properties 0 to 9 and 18: where each answer lives and its size.
    struct HiddenEntry {
        void* value;
        uint32_t size;
    };
    HiddenEntry hidden_[19] = {};
    uint32_t hiddenWord9_ = 0, hiddenWord18_ = 0, linearisationCount_ = 0;
};

} // namespace lumora::vq
