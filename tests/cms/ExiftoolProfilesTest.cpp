// What an outside reader sees in the generated profiles.
#include "CmsTestSupport.h"

#include <map>
#include <sstream>

using namespace cmstest;

TEST(CmsExiftool, GeneratedProfilesShowTheirDescriptionClassMakerAndModule) {
    if (RunCommand("command -v exiftool").empty()) GTEST_SKIP() << "exiftool is not installed";
    const std::string out = RunCommand("exiftool -q -T -FileName -ProfileDescription -ProfileClass -DeviceManufacturer "
                                       "-ProfileCMMType '" + colorFolder() + "' '" + testProfiles() + "'");
    std::map<std::string, std::vector<std::string>> rows;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> fields;
        std::istringstream f(line);
        for (std::string field; std::getline(f, field, '\t');) fields.push_back(field);
        ASSERT_EQ(fields.size(), 5u) << line;
        rows[fields[0]] = fields;
    }
    ASSERT_EQ(rows.size(), 51u);
    struct Case {
        const char* file;
        const char* description;
        const char* cls;
    };
    const Case cases[] = {
        {"ORVEX_sRGB.icm", "ORVEX sRGB Display", "Display Device Profile"},
        {"ProPhotoRGB.icm", "ORVEX PROPHOTO RGB", "ColorSpace Conversion Profile"},
        {"ERIMM_PCS3.icm", "Orvex ERIMM PCS3", "ColorSpace Conversion Profile"},
        {"lab8_mft2.icm", "Orvex Lab 8", "ColorSpace Conversion Profile"},
        {"ZynRGB.icm", "Orvex Zyn RGB", "Input Device Profile"},
        {"ZynProductLook.icm", "ORVEX ZYN PRODUCT LOOK", "Input Device Profile"},
        {"ZynPortraitLook.icm", "ORVEX ZYN PORTRAIT LOOK", "Input Device Profile"},
        {"ZynProductLookRed.icm", "ORVEX ZYN PRODUCT REDUCED LOOK", "Input Device Profile"},
        {"ZynPortraitLookRed.icm", "ORVEX ZYN PORTRAIT REDUCED LOOK", "Input Device Profile"},
        {"ZynProductGrayscale.icm", "ORVEX ZYN PRODUCT GRAYSCALE LOOK", "Input Device Profile"},
        {"ZynPortraitGrayscale.icm", "ORVEX ZYN PORTRAIT GRAYSCALE LOOK", "Input Device Profile"},
        {"ZynWeddingLook.icm", "ORVEX ZYN WEDDING LOOK", "Input Device Profile"},
        {"ZynEventLook.icm", "ORVEX ZYN EVENT LOOK", "Input Device Profile"},
        {"ZynDrosselFluorescentSource.icm", "Orvex Zyn Drossel Fluorescent Source", "Input Device Profile"},
        {"ZynHeronnTungsten.icm", "Orvex Zyn Heronn Tungsten Source", "Input Device Profile"},
        {"ZynCorvidToneCurve.icm", "Orvex Zyn Corvid Tone Curve", "DeviceLink Profile"},
        {"ProductLookV3.icm", "ORVEX PROFESSIONAL PRODUCT", "Input Device Profile"},
        {"ExcludedGrayscale.icm", "Orvex Professional Grayscale", "Input Device Profile"},
        {"BWNormalLink.icm", "ORVEX PROFESSIONAL B&W NORMAL", "DeviceLink Profile"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(rows.count(c.file)) << c.file;
        const auto& r = rows[c.file];
        EXPECT_EQ(r[1], c.description) << c.file;
        EXPECT_EQ(r[2], c.cls) << c.file;
    }
    for (const auto& [file, r] : rows) {
        EXPECT_NE(r[3].find("ORVE"), std::string::npos) << file << ": " << r[3];
        EXPECT_NE(r[4].find("OCMS"), std::string::npos) << file << ": " << r[4];
    }
}
