#pragma once
// Builds the profiles Lumora ships and the ones its tests need, with
// LittleCMS, and writes them with the maker's header fields and private tags.
// Everything is computed here: no profile of anybody else is copied.
#include <lcms2.h>

#include <cstdint>
#include <string>

class ProfileWriter {
public:
    struct Look {
        double saturation;  // chroma factor
        double contrast;    // lightness slope around L* 50
        double warmth;      // added to b*
    };

    explicit ProfileWriter(std::string folder);
    ~ProfileWriter();

    // A matrix-shaper RGB profile over the XYZ connection space.
    bool matrixShaper(const std::string& file, const std::string& description, cmsProfileClassSignature cls,
                      const cmsCIExyYTRIPLE& primaries, const cmsCIExyY& white, cmsToneCurve* curve,
                      double version);
    // A look: RGB (ROMM primaries, gamma 1.8) to Lab through a table of
    // gridPoints per side, with the private look tag and a version tag.
    bool look(const std::string& file, const std::string& description, const Look& look, int gridPoints,
              const char* versionText);
    // A device-link look turning colour into gray.
    bool grayLink(const std::string& file, const std::string& description, const char* versionText);
    // A device link applying one tone curve to each RGB channel.
    bool toneCurveLink(const std::string& file, const std::string& description, double strength);
    // The Lab colour-space profile: identity tables in lut16 form.
    bool labSpace(const std::string& file, const std::string& description);
    // A display profile without any description tag.
    bool withoutDescription(const std::string& file);

    const std::string& error() const { return error_; }

private:
    bool save(cmsHPROFILE h, const std::string& file, const std::string& description, double version,
              bool withDescription = true);
    static void addTextTag(cmsHPROFILE h, const char* signature, const char* text);

    std::string folder_;
    std::string error_;
    cmsContext ctx_;
};
