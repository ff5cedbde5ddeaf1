#pragma once
// Raw files of families 1 to 3 at file versions 3.x. Opens as RawImage does,
// with these differences: looks (tone curve and matrix) from the file's look
// table, the camera's measured balance (preset 5) with the exposure it implies,
// 32-bit linearisation and offset tables with an upper limit, chroma-filter
// settings and a list of bad sensor columns for the engine to conceal.
// RawImageV3.cpp holds the open and the tables, RawImageV3Balance.cpp the
// balance, looks and exposure.
#include <cstdint>
#include <vector>

#include "BadColumnRecord.h"
#include "ChromaSettings.h"
#include "RawImage.h"

namespace lumora {
class RawEngineV3;
}

namespace lumora::vq {

class RawImageV3 : public RawImage {
public:
    // Set after a balance application, so the restored exposure is applied once.
    static constexpr double kNoPendingExposure = 199.8;
    // The camera-RGB types take the linear gain with this headroom.
    static constexpr float kCameraRgbHeadroom = 1.17f;
    // Info flags of this class.
    static constexpr uint32_t kColourFlags = 0x1BFC;
    static constexpr uint32_t kMonoFlags = 0x39D0;
    static constexpr uint32_t kMeasuredBalanceFlag = 0x4;
    static constexpr uint32_t kChromaSettingsFlag = 0x400;

    RawImageV3(const CameraRecord* record, DriverSettings* settings);
    ~RawImageV3() override;

    VqStatus ParseHeader(const uint8_t* header, uint32_t length) override;
    VqStatus GetExtension(uint32_t id, void* out) override;
    VqStatus GetHidden(uint32_t id, void* out) override;
    VqStatus SetHidden(uint32_t id, void* value) override;
    VqStatus SetImageType(uint32_t type, int32_t force) override;
    VqStatus DecompressCache(void* scratch) override;
    VqStatus SetColourFlags() override;
    // Writes the current balance with the raw file's identification and
    // calibration fields as a ".wb" file; data is the description text or null.
    VqStatus WriteWhiteBalanceFile(VqPathRecord path, void* data) override;

    VqStatus ValidateBalanceMode(int32_t mode, int32_t preset, int32_t kind, uint32_t rg, uint16_t b) override;
    VqStatus ApplyBalanceMode(int32_t mode, int32_t preset, int32_t kind, uint32_t rg, uint16_t b, int32_t apply,
                              uint32_t outputType) override;
    VqStatus ComputeBalance(int32_t index, uint16_t* r, uint16_t* g, uint16_t* b, int32_t* outIndex) override;
    VqStatus SelectLook(int32_t look) override;
    VqStatus SetLookMatrixV3(int32_t look, int32_t preset);
    VqStatus ApplyMeasuredBalance(int32_t preset);
    void ClampCameraPreset(int32_t* value) override;
    VqStatus UpdateExposure() override;
    double GetBaseSensitivity() override;
    VqStatus BuildLinearisationTable() override;
    VqStatus BuildThumbnailTable() override;
    VqStatus BuildOffsetTables(double factor) override;

    // State, for the engine's parameters and for tests.
    const ChromaSettings& chromaSettings() const { return chroma_; }
    const BadColumnRecord& badColumns() const { return badColumns_; }
    const std::vector<uint16_t>& thumbnailSource() const { return thumbSource_; }
    const std::vector<int32_t>& linearTable() const { return linear32_; }
    int32_t linearLimit() const { return linearLimit_; }
    bool measuredBalanceUsable() const { return curveBlock_.curveFlag != 0; }
    lumora::RawEngineV3* engine() const;

protected:
    VqStatus CreateEngine() override;
    VqStatus ReadRawIfd(const uint8_t* header, const RawTiffReader& reader, const RawIfdRecord& ifd,
                        uint32_t length) override;
    VqStatus CheckVersionWord(uint32_t version) override;
    // Neither the tone curve (the looks carry it) nor the grey test is required.
    bool PrivateTagsPresent(const RawIfdRecord& ifd) const override;
    VqStatus LoadDefaultToneCurve() override { return 0; }
    VqStatus SetUpFromPrivateIfd(const uint8_t* header, const RawTiffReader& reader, const RawIfdRecord& ifd,
                                 uint32_t length) override;
    VqStatus FinishSetUp() override;
    void CurveBlockHook(const CurveBlock& block, const uint32_t* triple) override;
    uint32_t GetModelThreshold() override;
    const std::vector<int16_t>* GetDefaultColourCurves() override;

private:
    // The parts of the set-up that need the private directory itself; run
    // before the balance is first applied.
    VqStatus ReadThumbnailTables(const uint8_t* header, const RawTiffReader& reader, const RawIfdRecord& ifd,
                                 uint32_t length);
    void SetUpChroma(const RawIfdRecord& ifd);
    VqStatus SetUpBadColumns(const uint8_t* header, const RawIfdRecord& ifd, uint32_t length);
    void FillWhiteBalanceFileStatus();

    ChromaSettings chroma_ = {};
    BadColumnRecord badColumns_ = {};
    std::vector<uint8_t> badColumnEntries_;
    std::vector<uint16_t> thumbSource_;
    std::vector<int32_t> linear32_;
    int32_t linearLimit_ = 0;
    int32_t* rowOffsets32_ = nullptr;    // handed to the renderer, which frees them
    int32_t* columnOffsets32_ = nullptr;
    double pendingExposure_ = kNoPendingExposure;
    // The private directory and the head, only while the open runs.
    const RawIfdRecord* ifd_ = nullptr;
    const uint8_t* header_ = nullptr;
    const RawTiffReader* reader_ = nullptr;
};

} // namespace lumora::vq
