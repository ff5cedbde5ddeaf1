// Family-2 engine: output formats, processing modes, the driver choice, the
// balance curves and the tone table.
#include "RawEngineF2.h"

#include <algorithm>
#include <new>

#include "LutStage.h"
#include "VqOutputTypes.h"

namespace lumora {

VqStatus RawEngineF2::GetOutputFormat(uint32_t type, int32_t* bytesPerSample, int32_t* channels) {
    int32_t bytes = 0, count = 0;
    switch (type) {
    case VQ_TYPE_RAW:
    case VQ_TYPE_GRAY16: bytes = 2, count = 1; break;
    case VQ_TYPE_GRAY8: bytes = 1, count = 1; break;
    case VQ_TYPE_RGB8:
    case VQ_TYPE_BGR8:
    case VQ_TYPE_CAMERA_RGB8: bytes = 1, count = 3; break;
    case VQ_TYPE_XRGB8:
    case VQ_TYPE_BGRX8: bytes = 1, count = 4; break;
    case VQ_TYPE_RGB16:
    case VQ_TYPE_BGR16:
    case VQ_TYPE_CAMERA_RGB16:
    case VQ_TYPE_CAMERA_RGB12: bytes = 2, count = 3; break;
    case VQ_TYPE_XRGB16:
    case VQ_TYPE_BGRX16: bytes = 2, count = 4; break;
    default: break;
    }
    if (bytesPerSample) *bytesPerSample = bytes;
    if (channels) *channels = count;
    return count ? VQ_OK : VQ_ERR_BAD_IMAGE_TYPE;
}

VqStatus RawEngineF2::GetF2ProcessingModes(uint32_t type, int32_t, int32_t, int32_t, int32_t cfaTableSize,
                                           F2ProcessingModes* out) {
    F2ProcessingModes m;
    VqStatus status = VQ_OK;
    const int32_t cfa = cfaTableSize == 0 ? 2 : 1;
    if (type == VQ_TYPE_RAW) {
        m = {2, 1, 1, 2, 2, 2, 1, 2, 2, 1, 2};
    } else if (type >= VQ_TYPE_RGB8 && type <= VQ_TYPE_BGRX16) {
        m = {0, 0, 1, 0, cfa, 3, 1, 2, 1, 2, 1};
    } else if (type >= VQ_TYPE_CAMERA_RGB8 && type <= VQ_TYPE_CAMERA_RGB12) {
        m = {0, 0, 1, 0, cfa, 2, 1, 0, 1, 2, 1};
    } else {
        status = VQ_ERR_BAD_IMAGE_TYPE;
    }
    if (out) *out = m;
    return status;
}

VqStatus RawEngineF2::RenderImage(const ImageBufferRecord* buffer, const ProgressRecord* progress) {
    return modelId_ == kSecondDriverModel ? RenderSecondDriver(buffer, progress) : RenderFirstDriver(buffer, progress);
}

VqStatus RawEngineF2::RenderFirstDriver(const ImageBufferRecord* buffer, const ProgressRecord* progress) {
    return RenderDriver(buffer, progress, false);
}

VqStatus RawEngineF2::RenderSecondDriver(const ImageBufferRecord* buffer, const ProgressRecord* progress) {
    return RenderDriver(buffer, progress, true);
}

VqStatus RawEngineF2::DecodeCache(void* scratch, int32_t swapBytes, int32_t shiftTo12Bits, int32_t expand8To16) {
    return RawEngine::DecodeCache(scratch, swapBytes, shiftTo12Bits, expand8To16);
}

VqStatus RawEngineF2::DecodeSensorData() { return DecodeCache(nullptr, 0, 0, 0); }

NeutralBalanceInputs RawEngineF2::BalanceInputs() const {
    NeutralBalanceInputs in;
    in.curveA = f2CurveA_;
    in.curveASize = f2CurveA_ && f2CurveASize_ > 0 ? uint32_t(f2CurveASize_) : 0;
    in.curveB = f2CurveB_;
    in.curveBSize = f2CurveB_ && f2CurveBSize_ > 0 ? uint32_t(f2CurveBSize_) : 0;
    in.matrix1 = colorMatrix_;
    in.matrix2 = colorMatrix2_;
    in.matrix3 = colorMatrix3_;
    in.curveState = Curves();
    in.balanceType = BalanceType();
    in.modelId = modelId_;
    return in;
}

VqStatus RawEngineF2::GetNeutralPoint(double out[3]) const { return NeutralBalance(BalanceInputs()).GetNeutralPoint(out); }

VqStatus RawEngineF2::BalanceFromNeutral(uint16_t red, uint16_t green, uint16_t blue, double gains[3]) const {
    return NeutralBalance(BalanceInputs()).BalanceFromNeutral(red, green, blue, gains);
}

VqStatus RawEngineF2::NeutralToBalanceTriple(uint16_t red, uint16_t green, uint16_t blue, uint16_t out[3]) const {
    return NeutralBalance(BalanceInputs()).NeutralToBalanceTriple(red, green, blue, out);
}

VqStatus RawEngineF2::NeutralForIlluminant(int32_t index, const uint32_t* block, double out[3]) const {
    return NeutralBalance(BalanceInputs()).NeutralForIlluminant(index, block, out);
}

const uint16_t* RawEngineF2::BalanceCurve(CurveSet set, int i) const {
    if (i < 0 || i > 2) return nullptr;
    const std::vector<uint16_t>& c = curves_[set == CurveSet::Render ? 0 : 1][i];
    return c.empty() ? nullptr : c.data();
}

VqStatus RawEngineF2::BuildBalanceCurves(CurveSet set, const uint16_t* source, uint32_t sourceSize) {
    CurveState* state = Curves();
    if (!state) return VQ_ERR_BAD_HANDLE;
    int32_t& flag = set == CurveSet::Render ? state->curvesStale : state->thumbCurvesStale;
    std::vector<uint16_t>* curves = curves_[set == CurveSet::Render ? 0 : 1];
    const bool present = !curves[0].empty() && !curves[1].empty() && !curves[2].empty();
    if (flag == 0 && present) return VQ_OK;

    auto fail = [&](VqStatus status) {
        flag = 1;
        for (int i = 0; i < 3; ++i) std::vector<uint16_t>().swap(curves[i]);
        return status;
    };
    try {
        for (int i = 0; i < 3; ++i) curves[i].resize(kCurveEntries);
    } catch (const std::bad_alloc&) {
        return fail(VQ_ERR_PROCESS_NO_MEMORY);
    }
    double gains[3] = {};
    if (VqStatus status = BalanceFromNeutral(whiteBalance_[0], whiteBalance_[1], whiteBalance_[2], gains))
        return fail(status);
    // The source table is copied 4096 entries at a time: a shorter one is refused.
    if (source && sourceSize < uint32_t(kCurveEntries)) return fail(VQ_ERR_BAD_SAMPLE);
    for (int i = 0; i < 3; ++i) {
        if (source) {
            std::copy(source, source + kCurveEntries, curves[i].begin());
            LutStage::ScaleByFactor(curves[i].data(), kCurveEntries, gains[i], kCurveTop);
        } else {
            LutStage stage;
            stage.size = kCurveEntries;
            if (VqStatus status = stage.BuildLinear(curves[i].data(), kCurveTop, float(gains[i]))) return fail(status);
        }
    }
    flag = 0;
    ++curveBuilds_;
    return VQ_OK;
}

VqStatus RawEngineF2::BuildToneTable() {
    CurveState* state = Curves();
    if (!state) return VQ_ERR_BAD_HANDLE;
    const F2TransferTables tables{f2CurveA_, f2CurveA_ ? uint32_t(std::max(f2CurveASize_, 0)) : 0u, f2CurveB_,
                                  f2CurveB_ ? uint32_t(std::max(f2CurveBSize_, 0)) : 0u};
    const uint32_t toneSize = toneCurve_ ? uint32_t(std::max(toneCurveSize_, 0)) : 0u;
    return toneTable_.Build(*state, tables, toneCurve_, toneSize, BalanceType());
}

VqStatus RawEngineF2::EnsureFinalRamp() {
    const int32_t n = finalTableSize_;
    if (n <= 0) return VQ_ERR_BAD_TABLE;
    if (linearLut_ && finalRampSize_ == uint32_t(n)) return VQ_OK;
    delete[] linearLut_;
    linearLut_ = new (std::nothrow) uint16_t[size_t(n)];
    finalRampSize_ = 0;
    if (!linearLut_) return VQ_ERR_PROCESS_NO_MEMORY;
    LutStage stage;
    stage.size = uint32_t(n);
    if (VqStatus status = stage.BuildLinear(linearLut_, 65535, 1.0f)) return status;
    finalRampSize_ = uint32_t(n);
    return VQ_OK;
}

} // namespace lumora
