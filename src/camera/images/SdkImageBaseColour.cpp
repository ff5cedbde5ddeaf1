// Output types, colour matrices, white balance and colour management.
#include "SdkImageBase.h"

#include <cmath>
#include <cstring>

#include "DriverSettings.h"
#include "FixedMatrix.h"
#include "OcmsSession.h"
#include "SdkRenderer.h"
#include "SdkUtilities.h"

namespace lumora::vq {

uint32_t SdkImageBase::MapTypeForMonochrome(uint32_t type) const {
    if (info_.isColour) return type;
    switch (type) {
    case VQ_TYPE_GRAY8: case VQ_TYPE_GRAY16: case VQ_TYPE_MONO8: case VQ_TYPE_MONO16: return type;
    case VQ_TYPE_RGB16: case VQ_TYPE_XRGB16: case VQ_TYPE_BGR16: case VQ_TYPE_BGRX16: return VQ_TYPE_GRAY16;
    case VQ_TYPE_CAMERA_RGB8: return VQ_TYPE_MONO8;
    case VQ_TYPE_CAMERA_RGB12: return VQ_TYPE_MONO16;
    default: return VQ_TYPE_GRAY8;
    }
}

VqStatus SdkImageBase::PrepareSpecialType(uint32_t) { return 0; }

VqStatus SdkImageBase::UpdateColorMatrices(int32_t, uint32_t type) {
    RationalValue matrix[9];
    std::memcpy(matrix, colourMatrices_[0], sizeof matrix);
    VqStatus status = 0;
    // Grey output of a colour file takes the colour result through the grey
    // block. A class that never filled that block gets the luminance of the
    // colour result (Rec. 709 weights, every row alike, summing to one), never a
    // block without denominators.
    static const RationalValue kLuminance[9] = {{871, 4096}, {2929, 4096}, {296, 4096},
                                                {871, 4096}, {2929, 4096}, {296, 4096},
                                                {871, 4096}, {2929, 4096}, {296, 4096}};
    const RationalValue* grey = FixedMatrix::AllDenominatorsSet(colourMatrices_[1]) ? colourMatrices_[1] : kLuminance;
    if (info_.isColour && (type == VQ_TYPE_GRAY8 || type == VQ_TYPE_GRAY16) &&
        FixedMatrix::AllDenominatorsSet(colourMatrices_[0])) {
        // The product keeps the smaller of the two denominators: a colour block
        // in coarse units (an identity in wholes) is first put in 4096ths, or
        // the luminance weights would round to 0, 1 and 0.
        RationalValue colour[9];
        std::memcpy(colour, colourMatrices_[0], sizeof colour);
        for (RationalValue& v : colour) {
            const double widened = double(v.numerator) * 4096.0 / (v.denominator ? v.denominator : 1);
            if (v.denominator > 0 && v.denominator < 4096 && std::fabs(widened) < 2.0e9) {
                v.numerator = int32_t(std::lround(widened));
                v.denominator = 4096;
            }
        }
        status = FixedMatrix::MultiplyRationals(grey, colour, matrix, 3);
    }
    if (status) return status;
    return SetRendererParameter(lumora::RP_COLOR_MATRICES, matrix, sizeof matrix);
}

VqStatus SdkImageBase::SetImageType(uint32_t type, int32_t force) {
    const bool accepted = info_.isColour
                              ? !(type == 1 || type == VQ_TYPE_MONO8 || type == VQ_TYPE_MONO16 || type > VQ_TYPE_MONO16)
                              : (type == VQ_TYPE_GRAY8 || type == VQ_TYPE_GRAY16 || type == VQ_TYPE_MONO8 ||
                                 type == VQ_TYPE_MONO16);
    if (!accepted) return VQ_ERR_BAD_IMAGE_TYPE;
    const bool special = type >= VQ_TYPE_CAMERA_RGB8 && type <= VQ_TYPE_MONO16;
    if (special && force == 0 && typeLocked_) return VQ_ERR_TYPE_LOCKED;

    // Checks that can still refuse run before anything changes, so a refused
    // type leaves the image as it was.
    int32_t channels = 0, bytes = 0;
    if (VqStatus status = OutputFormat(type, &channels, &bytes)) return status;

    const uint32_t previous = info_.outputType;
    const int32_t margins[4] = {marginTop_, marginLeft_, marginBottom_, marginRight_};
    const SdkRect window = outputWindow_;
    if (type != VQ_TYPE_RAW) {
        marginTop_ = savedMargins_[0];
        marginLeft_ = savedMargins_[1];
        marginBottom_ = savedMargins_[2];
        marginRight_ = savedMargins_[3];
    } else {
        marginTop_ = marginLeft_ = marginBottom_ = marginRight_ = 0;
    }
    if (previous == VQ_TYPE_RAW || type == VQ_TYPE_RAW)
        outputWindow_ = {int16_t(marginLeft_), int16_t(marginTop_), int16_t(ActiveWidth()), int16_t(ActiveHeight())};

    VqStatus status = special ? PrepareSpecialType(type) : 0;
    if (status == 0) status = UpdateColorMatrices(info_.isColour, type);
    if (status == 0 && renderer_) {
        const int32_t cell = int32_t(type);
        status = SetRendererParameter(lumora::RP_OUTPUT_TYPE, &cell, sizeof cell);
    }
    if (status) {
        marginTop_ = margins[0];
        marginLeft_ = margins[1];
        marginBottom_ = margins[2];
        marginRight_ = margins[3];
        outputWindow_ = window;
        return status;
    }
    info_.outputType = type;
    uint32_t space = info_.colourSpace;
    OnImageTypeChanged(type, &space, &info_.geometry.channels);
    return 0;
}

VqStatus SdkImageBase::GetImageType(uint32_t* out) {
    if (out) *out = info_.outputType;
    return 0;
}

VqStatus SdkImageBase::SetWhiteBalancePreset(int32_t preset) {
    presetIndex_ = balanceIndex_ = balanceIndexCopy_ = preset;
    return 0;
}

VqStatus SdkImageBase::SetWhiteBalance(uint32_t type, const uint16_t* triple) {
    uint16_t values[3] = {whiteBalance_[0], whiteBalance_[1], whiteBalance_[2]};
    int32_t preset = 0;
    if (type == VQ_WB_CUSTOM) {
        if (!triple) return VQ_ERR_NULL_OUTPUT;
        std::memcpy(values, triple, sizeof values);
    } else {
        if (type < VQ_WB_DAYLIGHT || type > VQ_WB_NONE) return VQ_ERR_BAD_WHITE_BALANCE_TYPE;
        preset = type == VQ_WB_NONE ? 0 : int32_t(type) - 1;
        if (settings_ && sensorGroup_ >= 0 && sensorGroup_ < kSensorGroupCount) {
            const SensorGroupSettings& group = settings_->Group(SensorGroup(sensorGroup_));
            const int16_t* source = type == VQ_WB_DAYLIGHT      ? group.daylight
                                    : type == VQ_WB_TUNGSTEN    ? group.tungsten
                                    : type == VQ_WB_FLUORESCENT ? group.fluorescent
                                    : type == VQ_WB_FLASH       ? group.flash
                                                                : group.none;
            for (int i = 0; i < 3; ++i) values[i] = uint16_t(source[i]);
        }
    }
    whiteBalanceType_ = type;
    std::memcpy(whiteBalance_, values, sizeof values);
    VqStatus status = 0;
    if (renderer_) status = SetRendererParameter(lumora::RP_WHITE_BALANCE, values, sizeof values);
    if (status == 0) SetWhiteBalancePreset(preset);
    return status;
}

VqStatus SdkImageBase::GetWhiteBalance(uint32_t* type, uint16_t* triple) {
    if (type) *type = whiteBalanceType_;
    if (triple) std::memcpy(triple, whiteBalance_, sizeof whiteBalance_);
    return 0;
}

VqStatus SdkImageBase::CalculateWhiteBalance(const SdkRect* area, uint16_t* out) {
    if (!area || !out) return VQ_ERR_NULL_OUTPUT;
    if (!renderer_) return VQ_ERR_NOT_SUPPORTED;
    lumora::SensorGeometry geometry;
    geometry.width = int32_t(fullWidth_);
    geometry.height = int32_t(fullHeight_);
    geometry.topMargin = marginTop_;
    geometry.leftMargin = marginLeft_;
    geometry.bottomMargin = marginBottom_;
    geometry.rightMargin = marginRight_;
    // Sampling from the sensor data; the thumbnail source is chosen through a
    // hidden property this class does not hold.
    return renderer_->SampleWhiteBalance(area, out, 0, &geometry);
}

VqStatus SdkImageBase::OnImageTypeChanged(uint32_t type, uint32_t* colourSpace, int32_t* channels) {
    uint32_t space = 0;
    const uint32_t mode = colour_.mode;
    OcmsSession* session = OcmsSession::Existing();
    if (mode == 0 || mode == 1 || ((mode == 2 || mode == 3 || mode == 4) && !session)) {
        if (type == VQ_TYPE_RAW)
            space = info_.isColour ? SdkFourCC("BCFA") : SdkFourCC("GRAY");
        else if (type == VQ_TYPE_GRAY8 || type == VQ_TYPE_GRAY16 || type == VQ_TYPE_MONO8 || type == VQ_TYPE_MONO16)
            space = SdkFourCC("GRAY");
        else if (type >= VQ_TYPE_RGB8 && type <= VQ_TYPE_BGRX16)
            space = SdkFourCC("sRGB");
        else if (type >= VQ_TYPE_CAMERA_RGB8 && type <= VQ_TYPE_CAMERA_RGB12)
            space = SdkFourCC("cRGB");
    } else if (mode == 2 || mode == 3 || mode == 4) {
        const int32_t slot = mode == 2 ? 4 : mode == 3 ? 5 : 3;
        OcmsProfileInfo profile{};
        session->GetProfileInfo(&colour_, slot, nullptr, &profile, nullptr);
        space = uint32_t(profile.values[4]);
        colour_.channels = uint32_t(profile.values[5]);
        if (channels) *channels = profile.values[5];
    } else {
        if (colourSpace) *colourSpace = 0;
        return 0;
    }
    info_.colourSpace = space;
    colour_.colourSpace = space;
    if (colourSpace) *colourSpace = space;
    return 0;
}

VqStatus SdkImageBase::SetColourMode(uint32_t mode) {
    colour_.lastStatus = 0;
    if (!info_.isColour && mode != 1) return VQ_ERR_OCMS_MONO_IMAGE;
    if (colour_.slots[3] == 0) return VQ_ERR_OCMS_NO_SOURCE_PROFILE;
    if (mode != 1 && info_.outputType >= VQ_TYPE_CAMERA_RGB8 && info_.outputType <= VQ_TYPE_CAMERA_RGB12)
        return VQ_ERR_OCMS_TYPE_CONFLICT;
    if (mode == 2 && colour_.slots[4] == 0) return VQ_ERR_OCMS_NO_OUTPUT_PROFILE;
    if (mode == 3 && colour_.slots[5] == 0) return VQ_ERR_OCMS_NO_OUTPUT_PROFILE2;
    colour_.mode = mode;
    return 0;
}

uint32_t SdkImageBase::GetColourMode() {
    colour_.lastStatus = 0;
    return colour_.mode;
}

VqStatus SdkImageBase::SetProfile(const char* name, int32_t slot, int32_t profileMode, void* info, void* header) {
    colour_.lastStatus = 0;
    if (!info_.isColour) return VQ_ERR_OCMS_MONO_IMAGE;
    OcmsSession* session = OcmsSession::Existing();
    if (!session) return VQ_ERR_OCMS_NOT_OPEN;
    uint32_t entry = 0;
    if (VqStatus status =
            session->LoadProfile(name, slot, profileMode, static_cast<OcmsProfileInfo*>(info), header, &entry))
        return status;
    colour_.slots[slot] = entry;
    // A prepared transform that was built over the replaced profile is no
    // longer the one asked for.
    if (slot == 3 || slot == 4) colour_.slots[1] = 0;
    if (slot == 3 || slot == 5 || slot == 6 || slot == 7) colour_.slots[2] = 0;
    return 0;
}

VqStatus SdkImageBase::GetProfileHandle(int32_t slot, uint32_t* out) {
    if (!out) return VQ_ERR_NULL_OUTPUT;
    *out = 0;
    if (slot < 0 || slot > 7) return VQ_ERR_OCMS_BAD_PROFILE_SLOT;
    *out = colour_.slots[slot];
    return 0;
}

uint32_t SdkImageBase::GetLastColourStatus() { return colour_.lastStatus; }
void SdkImageBase::SetLastColourStatus(uint32_t status) { colour_.lastStatus = status; }

} // namespace lumora::vq
