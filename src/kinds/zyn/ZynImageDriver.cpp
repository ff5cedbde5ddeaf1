// ZynImage: the connection to the camera interface, the looks the interface
// applies itself, and the colour transforms of its pixels.
#include "ZynImage.h"

#include "ColorEngine.h"
#include "ColorProfile.h"
#include "ColorServices.h"
#include "ImagePool.h"
#include "NbErrorCodes.h"
#include "PixelArray.h"
#include "ProgressCB.h"
#include "StaticProfileTable.h"
#include "YlmErrp.h"
#include "ZynImageLocks.h"
#include "ZynRenderProgressScope.h"
#include "ZynSDKLookDesc.h"

#include <algorithm>

namespace NimbalCore {

namespace {

struct LookStatics {
    YlmRefPtr<ZynSDKLookDesc> looks[ZynImage::LookCount];
    std::vector<std::string> twoLookNames, fourLookNames, grayLookNames;
};

// Kept for the whole run: images may ask for the names after teardown.
LookStatics& Statics() {
    static auto* statics = new LookStatics;
    return *statics;
}

// The look's profile file and the interface's number for it.
const struct {
    const char* file;
    int32_t number;
} kLooks[ZynImage::LookCount] = {
    {"ZynProductLook.icm", 0},      {"ZynPortraitLook.icm", 1},     {"ZynProductLookRed.icm", 2},
    {"ZynPortraitLookRed.icm", 3}, {"ZynProductGrayscale.icm", 0}, {"ZynPortraitGrayscale.icm", 1},
};

std::vector<std::string> Names(std::initializer_list<ZynImage::Look> looks) {
    std::vector<std::string> names;
    for (ZynImage::Look look : looks) names.push_back(Statics().looks[look]->Name());
    std::stable_sort(names.begin(), names.end(), &ColorEngine::ProfileNameLess);
    return names;
}

std::string LookName(ZynImage::Look look) {
    const YlmRefPtr<ZynSDKLookDesc>& desc = Statics().looks[look];
    return desc ? desc->Name() : std::string();
}

} // namespace

void ZynImage::OpenDriver() {
    SdkVersionRecord version = VQ_SDK_VERSION_RECORD_INIT;
    uint32_t status = 0;
    {
        ZynImageLocks::TableChange change;
        status = VqOpenDriver(&version, VQ_OPEN_NO_FIREWIRE);
    }
    if (status != 0 && status != VQ_ERR_DEFAULTS_KEPT && status != VQ_ERR_PREFS_READ)
        YLM_THROW("ZynImage::OpenDriver", NbErrLibraryFailed);
    ColorEngine* engine = ColorEngine::Instance(0, 1);
    if (const int started = engine->GetStartupStatus()) YLM_THROW("ZynImage::OpenDriver", started);

    LookStatics& s = Statics();
    for (int look = 0; look < LookCount; ++look)
        s.looks[look] = new ZynSDKLookDesc(StaticProfileTable::Description(kLooks[look].file), kLooks[look].number);
    s.twoLookNames = Names({ProductLook, PortraitLook, ProductGrayscale, PortraitGrayscale});
    s.fourLookNames = Names({ProductLook, PortraitLook, ReducedProductLook, ReducedPortraitLook, ProductGrayscale,
                             PortraitGrayscale});
    s.grayLookNames = Names({ProductGrayscale, PortraitGrayscale});
}

void ZynImage::CloseDriver() {
    {
        ZynImageLocks::TableChange change;
        VqCloseDriver();
    }
    // The grayscale looks and the name lists stay until the run ends.
    for (Look look : {ProductLook, PortraitLook, ReducedProductLook, ReducedPortraitLook}) Statics().looks[look].Reset();
}

void ZynImage::InstallPoolStep() {
    ImagePool::SetComponent(
        ImagePool::CameraInterface,
        [] {
            OpenDriver();
            return 0;
        },
        &CloseDriver);
}

YlmRefPtr<ZynSDKLookDesc> ZynImage::GetLookDesc(Look look) {
    if (look < 0 || look >= LookCount) return YlmRefPtr<ZynSDKLookDesc>();
    return Statics().looks[look];
}

std::vector<std::string> ZynImage::GetTwoLookNames() { return Statics().twoLookNames; }
std::vector<std::string> ZynImage::GetFourLookNames() { return Statics().fourLookNames; }
std::vector<std::string> ZynImage::GetGrayLookNames() { return Statics().grayLookNames; }

int ZynImage::LookIndexForName(const std::string& name, int* grayscale) {
    for (Look look : {ProductLook, PortraitLook, ReducedProductLook, ReducedPortraitLook}) {
        const YlmRefPtr<ZynSDKLookDesc>& desc = Statics().looks[look];
        if (desc && desc->Name() == name) {
            if (grayscale) *grayscale = 0;
            return desc->GetLookNumber();
        }
    }
    for (Look look : {ProductGrayscale, PortraitGrayscale}) {
        const YlmRefPtr<ZynSDKLookDesc>& desc = Statics().looks[look];
        if (desc && desc->Name() == name) {
            if (grayscale) *grayscale = 1;
            return desc->GetLookNumber();
        }
    }
    return 0;
}

std::string ZynImage::LookNameForIndex(int index, bool grayscale) {
    switch (index) {
    case 0: return LookName(grayscale ? ProductGrayscale : ProductLook);
    case 1: return LookName(grayscale ? PortraitGrayscale : PortraitLook);
    case 2: return LookName(grayscale ? ProductGrayscale : ReducedProductLook);
    case 3: return LookName(grayscale ? PortraitGrayscale : ReducedPortraitLook);
    default: return LookName(ProductLook);
    }
}

std::vector<std::string> ZynImage::GetAvailableLooks() {
    if (!isColor_) return GetGrayLookNames();
    if (lookCount_ == 2) return GetTwoLookNames();
    if (lookCount_ == 4) return GetFourLookNames();
    return {};
}

// Colour -----------------------------------------------------------------------------

YlmRefPtr<ColorTransform> ZynImage::BuildColorTransform(const ImageProcessParam& params, int flags, int kind) {
    ColorServices* services = ColorServices::Get();
    // Without a colour engine the interface's pixels are used as they are.
    if (!services) return YlmRefPtr<ColorTransform>();
    const int lookKind = params.colorMode;
    if (lookKind == 1) return YlmRefPtr<ColorTransform>();
    const std::string source = StaticProfileTable::Description(StaticProfileTable::kZynRGB);
    if (lookKind == 3) {
        if (kind == 3) return YlmRefPtr<ColorTransform>();
        YlmRefPtr<ColorSpaceDesc> found = services->FindProfile(source);
        auto* profile = dynamic_cast<ColorProfile*>(found.Get());
        return profile ? profile->GetTransform(1) : YlmRefPtr<ColorTransform>();
    }
    const std::string lab = StaticProfileTable::Description(StaticProfileTable::kLab);
    const std::string working = params.GetWorkingSpaceName();
    std::string destination;
    if (params.outputSpaceMode == 1) destination = StaticProfileTable::DisplayDescription();
    else if (!working.empty() && working != source) destination = working;
    else return YlmRefPtr<ColorTransform>();
    std::vector<ProfileChainEntry> chain;
    switch (kind) {
    case 2: chain = {{source, 1, {}}, {lab, 2, {}}}; break;
    case 3: chain = {{lab, 1, {}}, {destination, 2, {}}}; break;
    default: chain = {{source, 1, {}}, {destination, 2, {}}}; break;
    }
    return services->GetTransform(chain, flags);
}

void ZynImage::ConvertThumbnail(const ImageProcessParam& params, PixelArray& destination) {
    if (params.colorMode == 1 || params.colorMode == 2) return;
    const int flags = destination.GetBytesPerSample() == 2 ? PixelSample16 : PixelSample8;
    YlmRefPtr<ColorTransform> transform = BuildColorTransform(params, flags, 1);
    if (!transform) return;
    PixelLayout layout = destination.GetBufferDescriptor();
    if (layout.channels == 1) {
        int32_t in = 0, out = 0;
        transform->GetChannels(&in, &out);
        layout.channels = std::max(in, 1);
        layout.base[1] = layout.base[2] = layout.base[0];
    }
    transform->Evaluate(layout, layout);
}

// The interface's callbacks --------------------------------------------------------

int32_t ZynImage::ProgressCallback(int32_t, int32_t percent, int32_t, int32_t userValue) {
    ProgressCB* progress = ZynRenderProgressScope::Current();
    if (userValue == 0 || !progress) return 1;
    return progress->Progress(percent & 0xFFFF) ? 1 : 0;
}

void* ZynImage::RowCallback(void* buffer, uint32_t byteCount, int32_t) {
    if (!buffer) return nullptr;
    return static_cast<uint8_t*>(buffer) + byteCount;
}

} // namespace NimbalCore
