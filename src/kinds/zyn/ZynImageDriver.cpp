// ZynImage: the connection to the camera interface and the looks the
// interface applies itself.
#include "ZynImage.h"

#include "ColorEngine.h"
#include "ImagePool.h"
#include "NbErrorCodes.h"
#include "StaticProfileTable.h"
#include "YlmErrp.h"
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

} // namespace

void ZynImage::OpenDriver() {
    SdkVersionRecord version = VQ_SDK_VERSION_RECORD_INIT;
    const uint32_t status = VqOpenDriver(&version, VQ_OPEN_NO_FIREWIRE);
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
    VqCloseDriver();
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

} // namespace NimbalCore
