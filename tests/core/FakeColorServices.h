#pragma once
// A colour engine for the core's tests: fixed looks and profile names, and
// the grey conversion done the plain way.
#include "ColorServices.h"

#include <map>

namespace coretest {

using namespace NimbalCore;

class FakeColorServices : public ColorServices {
public:
    std::vector<std::string> GetLookList() const override { return looks; }
    std::vector<std::string> GetGrayscaleLookList() const override { return grayLooks; }
    std::string GetWorkingSpaceName() const override { return workingSpace; }
    YlmRefPtr<ColorSpaceDesc> FindProfile(const std::string&) const override { return {}; }
    YlmRefPtr<ColorSpaceDesc> FindProfileOrAlias(const std::string&) const override { return {}; }
    std::string GetStaticProfileName(const std::string& fileName) const override {
        auto it = staticNames.find(fileName);
        return it == staticNames.end() ? std::string() : it->second;
    }
    void RGBColorToGrayscale(const PixelLayout&, const PixelLayout&, bool) const override { ++grayConversions; }
    void DeleteEngine() override { ++engineDeletes; }

    std::vector<std::string> looks{"PRODUCT", "PORTRAIT", "X B&W"};
    std::vector<std::string> grayLooks{"PRODUCT GRAY", "PORTRAIT GRAY", "X B&W"};
    std::string workingSpace = "SRGB";
    std::map<std::string, std::string> staticNames{{"ZynProductLook.icm", "PRODUCT"},
                                                   {"ZynPortraitLook.icm", "PORTRAIT"},
                                                   {"ZynProductGrayscale.icm", "PRODUCT GRAY"},
                                                   {"ZynPortraitGrayscale.icm", "PORTRAIT GRAY"}};
    mutable int grayConversions = 0;
    int engineDeletes = 0;
};

// Installs a fake engine for one scope.
class ScopedFakeColor {
public:
    ScopedFakeColor() { ColorServices::Install(&services); }
    ~ScopedFakeColor() { ColorServices::Install(nullptr); }
    FakeColorServices services;
};

} // namespace coretest
