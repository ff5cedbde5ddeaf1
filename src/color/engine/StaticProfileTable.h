#pragma once
// The profiles that ship with the program, by file name, and the description
// under which each was registered when the colour engine started: image kinds
// and exporters name a profile by its file's constant, not by a file.
#include <string>
#include <vector>

namespace NimbalCore {

class StaticProfileTable {
public:
    static constexpr const char* kSRGB = "ORVEX_sRGB.icm";
    static constexpr const char* kZynRGB = "ZynRGB.icm";
    static constexpr const char* kProPhotoRGB = "ProPhotoRGB.icm";
    static constexpr const char* kERIMM = "ERIMM_PCS3.icm";
    static constexpr const char* kLab = "lab8_mft2.icm";
    static constexpr const char* kProductGrayscale = "ZynProductGrayscale.icm";
    static constexpr const char* kPortraitGrayscale = "ZynPortraitGrayscale.icm";

    // The order in which the engine loads them (the second ProPhoto
    // constant is the same file again).
    static const std::vector<std::string>& LoadOrder();
    // The files an installation must hold, in the order they are checked.
    static const std::vector<std::string>& CheckOrder();
    // A camera model's lighting file: lighting 0 daylight, 1 tungsten,
    // 2 fluorescent, 3 flash, 4 tone curve (empty where the model has none).
    static std::string LightingFile(const std::string& model, int lighting);

    // The registered description of a file's profile; empty before start-up
    // reached it.
    static std::string Description(const std::string& fileName);
    static void SetDescription(const std::string& fileName, const std::string& description);
    static std::string DisplayDescription();
    static void SetDisplayDescription(const std::string& description);
    static void Clear();
};

} // namespace NimbalCore
