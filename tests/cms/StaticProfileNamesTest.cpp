// The generated static profiles describe themselves by the names the rest of
// the program looks them up by: a stored working-space name, the fallback of
// the preferences, and the older names the look aliases lead to. A lookup is
// by description, so a profile under any other name is never found.
#include "CmsTestSupport.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>

using namespace cmstest;

namespace {

std::string description(SpInstance instance, const std::string& path) {
    SpProfile p = load(instance, path);
    if (!p) return {};
    SpTagValue v;
    std::string text;
    if (SpTagGetById(p, sig("desc"), &v) == SpStatSuccess) {
        text = v.text ? v.text : "";
        SpTagFree(&v);
    }
    SpProfileFree(&p);
    return text;
}

std::string upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::toupper(c)); });
    return s;
}

} // namespace

TEST(StaticProfileNames, ProfilesAreDescribedByTheNamesTheyAreLookedUpBy) {
    struct Case {
        const char* file;
        const char* name;
    };
    const Case cases[] = {
        // The stored working-space default, and what the preferences fall back to.
        {"ORVEX_sRGB.icm", "ORVEX sRGB Display"},
        // The older name that "PROPHOTO RGB" stands for.
        {"ProPhotoRGB.icm", "ORVEX PROPHOTO RGB"},
        // The older look names the newer generations' names lead to.
        {"ZynProductLook.icm", "ORVEX ZYN PRODUCT LOOK"},
        {"ZynPortraitLook.icm", "ORVEX ZYN PORTRAIT LOOK"},
        {"ZynProductLookRed.icm", "ORVEX ZYN PRODUCT REDUCED LOOK"},
        {"ZynPortraitLookRed.icm", "ORVEX ZYN PORTRAIT REDUCED LOOK"},
        {"ZynProductGrayscale.icm", "ORVEX ZYN PRODUCT GRAYSCALE LOOK"},
        {"ZynPortraitGrayscale.icm", "ORVEX ZYN PORTRAIT GRAYSCALE LOOK"},
    };
    Instance inst;
    for (const Case& c : cases) EXPECT_EQ(description(inst.get(), staticProfile(c.file)), c.name) << c.file;
}

TEST(StaticProfileNames, EveryStaticProfileHasADescriptionOfItsOwn) {
    // Profiles whose descriptions match ignoring case stand for one another,
    // and only one of them stays registered; the excluded description is
    // never registered at all.
    Instance inst;
    std::map<std::string, std::string> seen;
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(colorFolder())) {
        const std::string file = entry.path().filename().string();
        const std::string text = description(inst.get(), entry.path().string());
        ++files;
        EXPECT_FALSE(text.empty()) << file;
        EXPECT_NE(text, "Orvex Professional Grayscale") << file;
        const auto [at, added] = seen.emplace(upper(text), file);
        EXPECT_TRUE(added) << file << " and " << at->second << " are both \"" << text << "\"";
    }
    EXPECT_EQ(files, 44u);
}
