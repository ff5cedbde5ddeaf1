#include "RawImageF2.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "F2BuiltInTables.h"
#include "FixedMatrix.h"
#include "RawEngineF2.h"
#include "RawModelDefaults.h"
#include "RawTiffReader.h"
#include "SdkRenderer.h"

namespace lumora::vq {

namespace {

// Used in place of a look matrix whose denominators are not all set.
constexpr RationalValue kLookADefault[9] = {{52252, 65536},  {24406, 65536}, {-11147, 65536},
                                            {-812, 65536},   {81612, 65536}, {-15262, 65536},
                                            {-44216, 65536}, {-2719, 65536}, {112440, 65536}};
constexpr RationalValue kLookBDefault[9] = {{48221, 65536},  {14896, 65536},  {2405, 65536},
                                            {5472, 65536},   {85917, 65536},  {-25847, 65536},
                                            {-58078, 65536}, {-14961, 65536}, {138582, 65536}};

// Old files' tone levels and the values of their further curve tags.
constexpr uint16_t kOldLevels[7] = {0, 2568, 3612, 2868, 2268, 0, 0};
constexpr uint32_t kOldSampledLevelOffset = 311;

} // namespace

RawImageF2::RawImageF2(const CameraRecord* record, DriverSettings* settings) : RawImage(record, settings) {
    exposureAvailable_ = 0;
    info_.flags = 0;
}

RawImageF2::~RawImageF2() = default;

lumora::RawEngineF2* RawImageF2::engine() const { return dynamic_cast<lumora::RawEngineF2*>(renderer_.get()); }

VqStatus RawImageF2::SetColourFlags() {
    info_.flags = 0x1BA4;
    return 0;
}

VqStatus RawImageF2::DecompressCache(void* scratch) {
    if (!renderer_) return VQ_ERR_NOT_SUPPORTED;
    return renderer_->DecodeCache(scratch, 0, 0, 0);
}

VqStatus RawImageF2::WhiteBalanceFileStatus() const {
    return info_.modelId == 18 ? VQ_ERR_WB_FILE_UNSUPPORTED_RAW : VQ_ERR_WB_FILE_UNSUPPORTED;
}

VqStatus RawImageF2::WriteWhiteBalanceFile(VqPathRecord, void*) {
    const VqStatus status = WhiteBalanceFileStatus();
    info_.whiteBalanceFileStatus = int32_t(status);
    return status;
}

lumora::RawEngineF2* RawImageF2::NewEngine() const { return new (std::nothrow) lumora::RawEngineF2(); }

VqStatus RawImageF2::CreateEngine() {
    if (!renderer_) {
        renderer_.reset(NewEngine());
        if (!renderer_) return VQ_ERR_PROCESS_NO_MEMORY;
    }
    return SetParameter<void*>(RP_CURVE_STATE, &curveState_);
}

VqStatus RawImageF2::CheckRawIfd(const RawIfdRecord& ifd) {
    if (VqStatus status = RawImage::CheckRawIfd(ifd)) return status;
    return ifd.grayResponseCurve.count >= kMinLinearisationEntries ? 0 : VQ_ERR_BAD_FILE;
}

VqStatus RawImageF2::CheckPrivateIfd(const RawIfdRecord& ifd) {
    auto present = [](const RawTagRef& r) { return r.count != 0 && r.offset != 0; };
    bool ok = ifd.activeWidth != 0 && ifd.activeHeight != 0 && present(ifd.f2CurveA) && present(ifd.f2CurveB);
    if (newFormat_)
        ok = ok && present(ifd.f2ShiftedTable) && present(ifd.f2FinalTable) && present(ifd.toneCurve1) &&
             present(ifd.f2ToneCurve) && present(ifd.f2OutputCurve);
    return ok && PrivateLimitsHold(ifd) && PrivateMatricesComplete(ifd) ? 0 : VQ_ERR_BAD_FILE;
}

void RawImageF2::FillCurveState(const CurveBlock& block) {
    CurveState s{};
    s.sampledLevel = int32_t(block.longs[0]);
    s.neutralA = int32_t(block.longs[1]);
    s.neutralB = int32_t(block.longs[2]);
    s.blackLevel = block.shorts[0];
    s.midLevel = block.shorts[1];
    s.whiteLevel = block.shorts[2];
    for (int i = 0; i < 4; ++i) s.imageLevels[i] = block.shorts[3 + i];
    // Everything the engine builds from the record is built afresh.
    s.toneStale = s.curvesStale = s.thumbCurvesStale = 1;
    curveState_ = s;
}

RawImage::CurveBlock RawImageF2::CompletedBlock(const CurveBlock& in) const {
    CurveBlock block = in;
    block.newFormat = newFormat_ ? 1 : 0;
    if (!newFormat_) {
        block.curveFlag = 1;
        std::memcpy(block.shorts, kOldLevels, sizeof kOldLevels);
        if (int32_t(block.longs[0]) > 0) block.longs[0] += kOldSampledLevelOffset;
    }
    return block;
}

void RawImageF2::CurveBlockHook(const CurveBlock& block, const uint32_t*) {
    // The balance checks read the block: old files get their defaults here too.
    // The engine's record was made from the same tags with the tables.
    curveBlock_ = CompletedBlock(block);
}

VqStatus RawImageF2::ReadTables(const uint8_t* header, const RawTiffReader& reader, const RawIfdRecord& ifd,
                                uint32_t length) {
    // Each table is read only when the one before it was: the first failure ends
    // the chain and is the answer, so a file whose tables cannot be read does
    // not open with some of them absent.
    std::vector<uint16_t> bytes;
    VqStatus status = ReadShortTable(1, imageIndex_, ifd.f2ByteTable.offset, ifd.f2ByteTable.count, bytes, reader,
                                     header, length);
    if (!status) byteTable_ = std::move(bytes);
    const struct {
        const RawTagRef& ref;
        std::vector<uint16_t>& table;
    } chain[] = {{ifd.f2ShiftedTable, shifted_}, {ifd.f2FinalTable, third_},      {ifd.f2CurveA, curveA_},
                 {ifd.f2CurveB, curveB_},        {ifd.f2OutputCurve, f2Output_}, {ifd.f2ToneCurve, f2Tone0_},
                 {ifd.toneCurve1, f2Tone1_}};
    for (const auto& link : chain) {
        if (status) break;
        status = ReadShortTable(2, imageIndex_, link.ref.offset, link.ref.count, link.table, reader, header, length);
    }
    if (status) return status;
    // The engine indexes these tables 4096 entries deep, and curve A's values
    // index a table of 4096 entries.
    const bool sized = shifted_.size() >= kTableEntries && curveA_.size() >= kTableEntries && !curveB_.empty() &&
                       f2Tone0_.size() >= kTableEntries && f2Tone1_.size() >= kTableEntries && !third_.empty() &&
                       !f2Output_.empty();
    if (!sized) return VQ_ERR_BAD_FILE;
    if (std::any_of(curveA_.begin(), curveA_.begin() + kTableEntries, [](uint16_t v) { return v >= kTableEntries; }))
        return VQ_ERR_BAD_FILE;
    return 0;
}

VqStatus RawImageF2::BuildProcessingTables(const uint8_t* header, const RawTiffReader& reader,
                                           const RawIfdRecord& ifd, uint32_t length) {
    for (int32_t& d : dirty_) d = 1;
    sharpeningAvailable_ = info_.modelId == 18 ? 1 : 0;

    CurveBlock block{};
    std::memcpy(block.longs, ifd.curveLongs, sizeof block.longs);
    const uint16_t shorts[7] = {ifd.curveShorts[0],  ifd.curveShorts[1],  ifd.curveShorts[2], ifd.curveShorts2[0],
                                ifd.curveShorts2[1], ifd.curveShorts2[3], ifd.curveShorts2[4]};
    std::memcpy(block.shorts, shorts, sizeof shorts);
    block.curveFlag = ifd.curveFlag ? 1 : 0;
    block = CompletedBlock(block);
    FillCurveState(block);
    if (block.curveFlag) info_.flags |= VQ_IMAGE_MEASURED_BALANCE;
    else info_.flags &= ~uint32_t(VQ_IMAGE_MEASURED_BALANCE);

    if (ifd.sharpenSelectPresent) sharpeningAvailable_ = 1;
    extension44_ = ifd.sharpenSelectPresent ? 1 : 0;

    VqStatus status = 0;
    if (newFormat_) {
        builtIn_ = false;
        status = ReadTables(header, reader, ifd, length);
    } else {
        builtIn_ = true;
        try {
            const auto& b = F2BuiltInTables::ByteTable();
            byteTable_.assign(b.begin(), b.end());
            shifted_ = F2BuiltInTables::ShiftedTable();
            third_ = F2BuiltInTables::ThirdTable();
            curveA_ = F2BuiltInTables::CurveA();
            curveB_ = F2BuiltInTables::CurveB();
            f2Output_ = F2BuiltInTables::OutputCurve();
            f2Tone0_ = F2BuiltInTables::ToneCurve0(info_.modelId);
            const uint16_t* t = RawModelDefaults::ToneCurve(info_.modelId);
            if (t) f2Tone1_.assign(t, t + RawModelDefaults::kCurveEntries);
            else f2Tone1_ = f2Tone0_;
        } catch (const std::bad_alloc&) {
            status = VQ_ERR_PROCESS_NO_MEMORY;
        }
    }
    if (status) return status;
    toneCurve0_ = f2Tone0_;
    toneCurve1_ = f2Tone1_;
    outputCurve_ = f2Output_;

    lookIndex_ = ifd.curveShorts2[2] == 2 ? 1 : 0;
    thresholdH_ = newFormat_ && ifd.directionThresholdH != 0 ? ifd.directionThresholdH : kDirectionThreshold;
    thresholdV_ = newFormat_ && ifd.directionThresholdV != 0 ? ifd.directionThresholdV : kDirectionThreshold;

    status = BuildColourCurves(header, reader, ifd, 0, 1, length);
    if (!status && info_.modelId != 13) {
        sharpeningAvailable_ = 1;
        extension44_ = 1;
    }
    SetUpToneParameters(ifd);
    info_.whiteBalanceFileStatus = int32_t(WhiteBalanceFileStatus());
    if (status) return status;
    if ((status = SetParameter<int32_t>(RP_DIRECTION_THRESHOLD_H, thresholdH_))) return status;
    if ((status = SetParameter<int32_t>(RP_DIRECTION_THRESHOLD_V, thresholdV_))) return status;
    if ((status = SetParameter<uint32_t>(RP_SHARPEN_ALLOWED, extension44_))) return status;
    return PublishTables();
}

VqStatus RawImageF2::PublishTables() {
    auto table = [this](uint32_t sizeId, uint32_t tableId, std::vector<uint16_t>& t) -> VqStatus {
        if (VqStatus s = SetParameter<int32_t>(sizeId, int32_t(t.size()))) return s;
        return SetParameter<uint16_t*>(tableId, t.empty() ? nullptr : t.data());
    };
    VqStatus s = 0;
    if (!s) s = SetParameter<int32_t>(RP_BYTE_TABLE_SIZE, int32_t(byteTable_.size()));
    if (!s) s = SetParameter<uint16_t*>(RP_BYTE_TABLE, byteTable_.empty() ? nullptr : byteTable_.data());
    if (!s) s = table(RP_SHIFTED_TABLE_SIZE, RP_SHIFTED_TABLE, shifted_);
    if (!s) s = table(RP_FINAL_TABLE_SIZE, RP_FINAL_TABLE, third_);
    if (!s) s = table(RP_F2_CURVE_A_SIZE, RP_F2_CURVE_A, curveA_);
    if (!s) s = table(RP_F2_CURVE_B_SIZE, RP_F2_CURVE_B, curveB_);
    if (!s) s = table(RP_OUTPUT_CURVE_SIZE, RP_OUTPUT_CURVE, outputCurve_);
    return s;
}

VqStatus RawImageF2::FinishSetUp() {
    SetLookMatrixF2(0, kSampledPreset);
    uint16_t r = 0, g = 0, b = 0;
    int32_t index = 0;
    ComputeBalance(kSampledPreset, &r, &g, &b, &index);
    return 0;
}

VqStatus RawImageF2::SetLookMatrixF2(int32_t look, int32_t p) {
    if (p < 0 || p > 5) return VQ_ERR_BAD_BALANCE_KIND;
    auto orDefault = [](const RationalValue* m, const RationalValue* fallback) {
        return FixedMatrix::AllDenominatorsSet(m) ? m : fallback;
    };
    const RationalValue* la = orDefault(lookAMatrices_[p], kLookADefault);
    const RationalValue* la0 = orDefault(lookAMatrices_[0], kLookADefault);
    const RationalValue* lb = orDefault(lookBMatrices_[p], kLookBDefault);
    const RationalValue* lb0 = orDefault(lookBMatrices_[0], kLookBDefault);
    const RationalValue *g = nullptr, *s = nullptr;
    if (look == 1) g = la, s = la0;
    else if (look == 0) g = lb, s = lb0;
    else return VQ_ERR_NAME_NOT_FOUND;
    auto combine = [this](const RationalValue* balance, const RationalValue* lookMatrix, uint32_t id) -> VqStatus {
        FixedMatrix m;
        m.SetFromRationals(balance);
        RationalValue out[9];
        if (VqStatus st = m.CombineWithRowTables(lookMatrix, out, false)) return st;
        return SetParameterBytes(id, out, sizeof out);
    };
    if (VqStatus st = combine(balanceMatrices_[p], g, RP_COLOR_MATRIX)) return st;
    if (VqStatus st = combine(balanceMatrices_[0], s, RP_COLOR_MATRIX_2)) return st;
    return combine(balanceMatrices_[0], newFormat_ ? lb0 : la0, RP_COLOR_MATRIX_3);
}

} // namespace lumora::vq
