#include "ColorEngineServices.h"

#include "ColorEngine.h"
#include "ColorProfile.h"
#include "StaticProfileTable.h"

namespace NimbalCore {

namespace {
// One adapter per engine; the engine lives until the pool's teardown.
ColorEngineServices* gServices = nullptr;
}

void ColorEngineServices::InstallFor(ColorEngine* engine) {
    delete gServices;
    gServices = new ColorEngineServices(engine);
    ColorServices::Install(gServices);
}

void ColorEngineServices::Uninstall(ColorEngine* engine) {
    if (!gServices || gServices->engine_ != engine) return;
    ColorServices::Install(nullptr);
    delete gServices;
    gServices = nullptr;
}

std::vector<std::string> ColorEngineServices::GetLookList() const { return engine_->GetLookList(); }

std::vector<std::string> ColorEngineServices::GetGrayscaleLookList() const { return engine_->GetGrayscaleLookList(); }

std::string ColorEngineServices::GetWorkingSpaceName() const { return engine_->GetWorkingSpaceName(); }

YlmRefPtr<ColorSpaceDesc> ColorEngineServices::FindProfile(const std::string& description) const {
    return engine_->FindProfile(description);
}

YlmRefPtr<ColorSpaceDesc> ColorEngineServices::FindProfileOrAlias(const std::string& description) const {
    return engine_->FindProfileOrAlias(description);
}

std::string ColorEngineServices::GetStaticProfileName(const std::string& fileName) const {
    return StaticProfileTable::Description(fileName);
}

void ColorEngineServices::RGBColorToGrayscale(const PixelLayout& source, const PixelLayout& destination,
                                              bool firstChannel) const {
    ColorEngine::RGBColorToGrayscale(source, destination, firstChannel);
}

YlmRefPtr<ColorTransform> ColorEngineServices::GetTransform(const std::vector<ProfileChainEntry>& chain, int flags) {
    return engine_->GetTransform(chain, flags);
}

YlmRefPtr<ColorSpaceDesc> ColorEngineServices::MakeProfile(const void* data, uint32_t size) const {
    return YlmRefPtr<ColorSpaceDesc>(new ColorProfile(data, size));
}

void ColorEngineServices::DeleteEngine() { ColorEngine::DeleteInstance(); }

} // namespace NimbalCore
