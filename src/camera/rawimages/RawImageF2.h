#pragma once
// Raw files of model family 2 (models 13 and 18, file versions below 2.3). Reads
// the container as RawImage does; its processing data differ: tables from the
// private tags of the new format (or built-in ones for the old format), a curve
// record shared with the engine, looks that combine balance and look matrices,
// and a white balance its engine computes from neutral points. No exposure control.
#include <cstdint>
#include <vector>

#include "CurveState.h"
#include "RawImage.h"

namespace lumora {
class RawEngineF2;
}

namespace lumora::vq {

class RawImageF2 : public RawImage {
public:
    static constexpr uint32_t kMinLinearisationEntries = 256;
    static constexpr uint32_t kTableEntries = 4096;
    static constexpr uint16_t kDirectionThreshold = 640;
    static constexpr int32_t kSampledPreset = 5;

    RawImageF2(const CameraRecord* record, DriverSettings* settings);
    ~RawImageF2() override;

    VqStatus SetColourFlags() override;
    // The sensor data is one 8-bit code per sample, used as it is: neither
    // byte-swapped nor shifted, as the engine's own renders decode it.
    VqStatus DecompressCache(void* scratch) override;
    // No exposure chain: the engine keeps the file's linearisation table.
    VqStatus ApplyExposure() override { return 0; }

    VqStatus WriteWhiteBalanceFile(VqPathRecord path, void* data) override;

    // Colour matrices of the engine for a look (0 or 1) under balance preset p.
    VqStatus SetLookMatrixF2(int32_t look, int32_t preset);
    VqStatus SetLookMatrix(int32_t look) override { return SetLookMatrixF2(look, presetIndex_); }
    // White balance as a neutral point: the engine's balance curves are made
    // from the triple this class hands it (RawImageF2Balance.cpp).
    VqStatus ValidateBalanceMode(int32_t mode, int32_t preset, int32_t kind, uint32_t rg, uint16_t b) override;
    void DefaultBalanceMode(VqWhiteBalanceMode* out) override;
    void ResetDefaults(VqWhiteBalanceMode* out) override;
    // The neutral point of a preset (5: the sampled balance).
    VqStatus ComputeBalance(int32_t preset, uint16_t* r, uint16_t* g, uint16_t* b, int32_t* index) override;
    VqStatus SetWhiteBalancePreset(int32_t preset) override;
    // The triple is taken as given: (0, 0, 0) is refused, not widened.
    void BalanceZeroToOne(VqWhiteBalanceMode*) override {}
    void BalanceOneToZero(VqWhiteBalanceMode*) override {}
    // Records of layout 2 and older hold a neutral point, not a balance triple.
    void DeriveCustomFlag(VqWhiteBalanceMode* state, int32_t version) override;
    VqStatus ComputeLinearGain(double* out, int32_t) override {
        *out = 1.0;
        return 0;
    }

    const CurveState& curveState() const { return curveState_; }
    bool builtInTables() const { return builtIn_; }
    const std::vector<uint16_t>& curveATable() const { return curveA_; }
    const std::vector<uint16_t>& curveBTable() const { return curveB_; }
    uint16_t directionThresholdH() const { return thresholdH_; }
    lumora::RawEngineF2* engine() const;

protected:
    VqStatus CreateEngine() override;
    // The engine of the class's files, made once by CreateEngine.
    virtual lumora::RawEngineF2* NewEngine() const;
    // What a white-balance file of the image answers: these files cannot
    // have one.
    virtual VqStatus WhiteBalanceFileStatus() const;
    VqStatus CheckRawIfd(const RawIfdRecord& ifd) override;
    VqStatus CheckPrivateIfd(const RawIfdRecord& ifd) override;
    VqStatus BuildProcessingTables(const uint8_t* header, const RawTiffReader& reader, const RawIfdRecord& ifd,
                                   uint32_t length) override;
    VqStatus FinishSetUp() override;
    void CurveBlockHook(const CurveBlock& block, const uint32_t* triple) override;

private:
    VqStatus ReadTables(const uint8_t* header, const RawTiffReader& reader, const RawIfdRecord& ifd, uint32_t length);
    VqStatus PublishTables();
    void FillCurveState(const CurveBlock& block);
    // The block with the defaults old files lack.
    CurveBlock CompletedBlock(const CurveBlock& block) const;

    CurveState curveState_ = {};
    bool builtIn_ = false;
    uint16_t thresholdH_ = kDirectionThreshold, thresholdV_ = kDirectionThreshold;
    std::vector<uint16_t> byteTable_, shifted_, third_, curveA_, curveB_, f2Output_, f2Tone0_, f2Tone1_;
};

} // namespace lumora::vq
