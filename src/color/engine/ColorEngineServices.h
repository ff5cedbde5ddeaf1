#pragma once
// The colour engine as the image core sees it, installed when the engine
// starts and withdrawn when it ends.
#include "ColorServices.h"

namespace NimbalCore {

class ColorEngine;

class ColorEngineServices : public ColorServices {
public:
    static void InstallFor(ColorEngine* engine);
    static void Uninstall(ColorEngine* engine);

    std::vector<std::string> GetLookList() const override;
    std::vector<std::string> GetGrayscaleLookList() const override;
    std::string GetWorkingSpaceName() const override;
    YlmRefPtr<ColorSpaceDesc> FindProfile(const std::string& description) const override;
    YlmRefPtr<ColorSpaceDesc> FindProfileOrAlias(const std::string& description) const override;
    std::string GetStaticProfileName(const std::string& fileName) const override;
    void RGBColorToGrayscale(const PixelLayout& source, const PixelLayout& destination,
                             bool firstChannel) const override;
    YlmRefPtr<ColorTransform> GetTransform(const std::vector<ProfileChainEntry>& chain, int flags) override;
    YlmRefPtr<ColorSpaceDesc> MakeProfile(const void* data, uint32_t size) const override;
    void DeleteEngine() override;

private:
    explicit ColorEngineServices(ColorEngine* engine) : engine_(engine) {}
    ColorEngine* engine_;
};

} // namespace NimbalCore
