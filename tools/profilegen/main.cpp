// profilegen: writes the colour profiles Lumora expects in its colour folder
// (--static FOLDER) and the extra ones its tests use (--test FOLDER).
#include "ProfileWriter.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

cmsCIExyY whiteOf(double kelvin) {
    cmsCIExyY w;
    cmsWhitePointFromTemp(&w, kelvin);
    w.Y = 1.0;
    return w;
}

const cmsCIExyYTRIPLE kSRGB = {{0.6400, 0.3300, 1}, {0.3000, 0.6000, 1}, {0.1500, 0.0600, 1}};
const cmsCIExyYTRIPLE kROMM = {{0.7347, 0.2653, 1}, {0.1596, 0.8404, 1}, {0.0366, 0.0001, 1}};
const cmsCIExyYTRIPLE kZynRGB = {{0.7000, 0.2900, 1}, {0.1900, 0.7800, 1}, {0.1000, 0.0400, 1}};

struct Model {
    const char* name;
    bool fullNames;  // "…DaylightSource.icm" rather than "…Daylight.icm"
    bool toneCurve;
    double shift;    // how this model's primaries differ from the others
};

const Model kModels[] = {
    {"AukC", true, false, 0.000},    {"Keelx", true, false, 0.004},    {"Plover", true, false, 0.008},
    {"Drossel", true, false, 0.012}, {"Corvid", false, true, -0.004},  {"Heronn", false, true, -0.008},
    {"Heronc", false, true, -0.012},
};

struct Lighting {
    const char* name;
    double kelvin;
};
const Lighting kLightings[] = {{"Daylight", 5500}, {"Tungsten", 3200}, {"Fluorescent", 4100}, {"Flash", 5900}};

bool makeDirs(const std::string& path) {
    std::string built;
    size_t pos = 0;
    while (pos != std::string::npos) {
        pos = path.find('/', pos + 1);
        built = path.substr(0, pos);
        if (!built.empty() && mkdir(built.c_str(), 0777) != 0 && errno != EEXIST) return false;
    }
    return true;
}

bool writeStatic(ProfileWriter& w) {
    bool ok = true;
    cmsToneCurve* g18 = cmsBuildGamma(nullptr, 1.8);
    cmsToneCurve* g22 = cmsBuildGamma(nullptr, 2.2);
    cmsToneCurve* linear = cmsBuildGamma(nullptr, 1.0);
    const cmsFloat64Number srgbParams[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
    cmsToneCurve* srgb = cmsBuildParametricToneCurve(nullptr, 4, srgbParams);
    const cmsCIExyY d50 = whiteOf(5003), d65 = whiteOf(6504);

    // Working spaces.
    ok &= w.matrixShaper("ORVEX_sRGB.icm", "ORVEX sRGB Display", cmsSigDisplayClass, kSRGB, d65, srgb, 2.1);
    ok &= w.matrixShaper("ZynRGB.icm", "Orvex Zyn RGB", cmsSigInputClass, kZynRGB, d50, g22, 2.1);
    ok &= w.matrixShaper("ProPhotoRGB.icm", "ORVEX PROPHOTO RGB", cmsSigColorSpaceClass, kROMM, d50, g18, 2.1);
    ok &= w.matrixShaper("ERIMM_PCS3.icm", "Orvex ERIMM PCS3", cmsSigColorSpaceClass, kROMM, d50, linear, 2.1);
    ok &= w.labSpace("lab8_mft2.icm", "Orvex Lab 8");

    // Looks, under their older descriptions; newer ones reach them by alias.
    ok &= w.look("ZynProductLook.icm", "ORVEX ZYN PRODUCT LOOK", {1.10, 1.05, 0.0}, 17, "1");
    ok &= w.look("ZynPortraitLook.icm", "ORVEX ZYN PORTRAIT LOOK", {0.95, 1.00, 1.0}, 17, "1");
    ok &= w.look("ZynProductLookRed.icm", "ORVEX ZYN PRODUCT REDUCED LOOK", {0.80, 1.05, 0.0}, 17, "1");
    ok &= w.look("ZynPortraitLookRed.icm", "ORVEX ZYN PORTRAIT REDUCED LOOK", {0.75, 1.00, 1.0}, 17, "1");
    ok &= w.look("ZynWeddingLook.icm", "ORVEX ZYN WEDDING LOOK", {0.90, 0.95, 2.0}, 17, "1");
    ok &= w.look("ZynEventLook.icm", "ORVEX ZYN EVENT LOOK", {1.20, 1.10, 0.0}, 17, "1");
    ok &= w.look("ZynProductGrayscale.icm", "ORVEX ZYN PRODUCT GRAYSCALE LOOK", {0.0, 1.05, 0.0}, 17, "1");
    ok &= w.look("ZynPortraitGrayscale.icm", "ORVEX ZYN PORTRAIT GRAYSCALE LOOK", {0.0, 1.00, 0.0}, 17, "1");

    // Lighting sources and tone curves of each camera model.
    for (const Model& m : kModels) {
        for (size_t l = 0; l < 4; ++l) {
            const Lighting& light = kLightings[l];
            const double s = m.shift + 0.003 * double(l);
            const cmsCIExyYTRIPLE p = {{kZynRGB.Red.x + s, kZynRGB.Red.y - s / 2, 1},
                                       {kZynRGB.Green.x - s, kZynRGB.Green.y + s / 2, 1},
                                       {kZynRGB.Blue.x + s / 2, kZynRGB.Blue.y + s / 4, 1}};
            const std::string file = std::string("Zyn") + m.name + light.name + (m.fullNames ? "Source" : "") + ".icm";
            const std::string desc = std::string("Orvex Zyn ") + m.name + " " + light.name + " Source";
            ok &= w.matrixShaper(file, desc, cmsSigInputClass, p, whiteOf(light.kelvin), g22, 2.1);
        }
        if (m.toneCurve)
            ok &= w.toneCurveLink(std::string("Zyn") + m.name + "ToneCurve.icm",
                                  std::string("Orvex Zyn ") + m.name + " Tone Curve", 0.3 + m.shift * 10);
    }
    cmsFreeToneCurve(g18);
    cmsFreeToneCurve(g22);
    cmsFreeToneCurve(linear);
    cmsFreeToneCurve(srgb);
    return ok;
}

bool writeTest(ProfileWriter& w) {
    bool ok = true;
    // Never registered: its description is on the engine's exclusion list.
    ok &= w.look("ExcludedGrayscale.icm", "Orvex Professional Grayscale", {0.0, 1.0, 0.0}, 9, "1");
    // Two versions of one look; the higher version wins, also against the
    // older description of the static product look.
    ok &= w.look("ProductLookV2.icm", "ORVEX PROFESSIONAL PRODUCT", {1.05, 1.0, 0.0}, 9, "2");
    ok &= w.look("ProductLookV3.icm", "ORVEX PROFESSIONAL PRODUCT", {1.15, 1.0, 0.0}, 9, "3");
    // A device-link look.
    ok &= w.grayLink("BWNormalLink.icm", "ORVEX PROFESSIONAL B&W NORMAL", "1");
    // A profile over 65,535 bytes.
    ok &= w.look("LargeLook.icm", "Orvex Large Look", {1.0, 1.0, 0.0}, 33, "1");
    // Descriptions to clean up, and none at all.
    ok &= w.look("SpacedLook.icm", "  Orvex   Spaced Look  ", {1.0, 1.0, 0.0}, 9, " 7 builds");
    ok &= w.withoutDescription("NoDescription.icm");
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3 || (std::strcmp(argv[1], "--static") != 0 && std::strcmp(argv[1], "--test") != 0)) {
        std::fprintf(stderr, "usage: profilegen --static|--test FOLDER\n");
        return 2;
    }
    const std::string folder = argv[2];
    if (!makeDirs(folder)) {
        std::fprintf(stderr, "profilegen: cannot make %s\n", folder.c_str());
        return 1;
    }
    ProfileWriter writer(folder);
    const bool ok = std::strcmp(argv[1], "--static") == 0 ? writeStatic(writer) : writeTest(writer);
    if (!ok) {
        std::fprintf(stderr, "profilegen: %s\n", writer.error().c_str());
        return 1;
    }
    return 0;
}
