// Loading profiles: original bytes kept, headers and tags read, malformed
// bytes refused, searches over the colour folder.
#include "CmsTestSupport.h"

#include <cstring>
#include <dirent.h>

using namespace cmstest;

namespace {

std::vector<std::string> filesIn(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* d = opendir(folder.c_str())) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.') names.push_back(folder + "/" + e->d_name);
        closedir(d);
    }
    return names;
}

std::string tagText(SpProfile p, const char (&signature)[5], int32_t* type = nullptr) {
    SpTagValue v;
    EXPECT_EQ(SpTagGetById(p, sig(signature), &v), SpStatSuccess);
    std::string text = v.text ? v.text : "";
    if (type) *type = v.typeCode;
    EXPECT_EQ(SpTagFree(&v), SpStatSuccess);
    return text;
}

void putBE32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    b[at] = uint8_t(v >> 24);
    b[at + 1] = uint8_t(v >> 16);
    b[at + 2] = uint8_t(v >> 8);
    b[at + 3] = uint8_t(v);
}

} // namespace

TEST(CmsProfile, EveryGeneratedProfileSavesAsExactlyItsFileBytes) {
    Instance inst;
    auto files = filesIn(colorFolder());
    auto tests = filesIn(testProfiles());
    files.insert(files.end(), tests.begin(), tests.end());
    ASSERT_EQ(files.size(), 44u + 7u);
    for (const auto& path : files) {
        SpProfile p = load(inst.get(), path);
        const auto bytes = readBytes(path);
        uint32_t size = 0;
        ASSERT_EQ(SpProfileGetProfileSize(p, &size), SpStatSuccess);
        ASSERT_EQ(size, bytes.size()) << path;
        std::vector<uint8_t> out(size + 4, 0xAB);
        uint8_t* cursor = out.data();
        uint32_t room = size;
        ASSERT_EQ(SpProfileSaveToBuffer(p, &cursor, &room), SpStatSuccess);
        EXPECT_EQ(room, size);
        EXPECT_EQ(cursor, out.data() + size);
        EXPECT_EQ(0, std::memcmp(out.data(), bytes.data(), size)) << path;
        EXPECT_EQ(out[size], 0xAB);
        EXPECT_EQ(SpProfileFree(&p), SpStatSuccess);
        EXPECT_EQ(p, 0u);
    }
}

TEST(CmsProfile, SaveToASmallBufferWritesNothingAndAsksForTheSize) {
    Instance inst;
    SpProfile p = load(inst.get(), testProfile("LargeLook.icm"));
    std::vector<uint8_t> out(100, 0);
    uint8_t* cursor = out.data();
    uint32_t room = 100;
    EXPECT_EQ(SpProfileSaveToBuffer(p, &cursor, &room), SpStatBufferTooSmall);
    EXPECT_EQ(room, readBytes(testProfile("LargeLook.icm")).size());
    EXPECT_GT(room, 65535u);
    EXPECT_EQ(cursor, out.data());
    EXPECT_EQ(out[0], 0);
    SpProfileFree(&p);
}

TEST(CmsProfile, HeadersCarryTheMakersFields) {
    struct Case {
        const char* file;
        const char* cls;
        const char* data;
        const char* pcs;
    };
    const Case cases[] = {
        {"ORVEX_sRGB.icm", "mntr", "RGB ", "XYZ "},       {"ZynRGB.icm", "scnr", "RGB ", "XYZ "},
        {"ProPhotoRGB.icm", "spac", "RGB ", "XYZ "},      {"ERIMM_PCS3.icm", "spac", "RGB ", "XYZ "},
        {"lab8_mft2.icm", "spac", "Lab ", "Lab "},        {"ZynProductLook.icm", "scnr", "RGB ", "Lab "},
        {"ZynCorvidToneCurve.icm", "link", "RGB ", "RGB "}, {"ZynHeroncFlash.icm", "scnr", "RGB ", "XYZ "},
    };
    Instance inst;
    for (const auto& c : cases) {
        SpProfile p = load(inst.get(), staticProfile(c.file));
        SpHeader h;
        ASSERT_EQ(SpProfileGetHeader(p, &h), SpStatSuccess);
        EXPECT_EQ(h.deviceClass, sigOf(c.cls)) << c.file;
        EXPECT_EQ(h.dataColorSpace, sigOf(c.data)) << c.file;
        EXPECT_EQ(h.connectionSpace, sigOf(c.pcs)) << c.file;
        EXPECT_EQ(h.deviceManufacturer, sig("ORVE"));
        EXPECT_EQ(h.preferredCMM, sig("OCMS"));
        EXPECT_EQ(h.profileSize, readBytes(staticProfile(c.file)).size());

        // The header alone, from the file, is the same record.
        SpHeader fromFile;
        ASSERT_EQ(SpProfileLoadHeader(staticProfile(c.file).c_str(), nullptr, &fromFile), SpStatSuccess);
        EXPECT_EQ(0, std::memcmp(&h, &fromFile, sizeof h));
        // Words 3 and 4 are the two colour spaces.
        const auto* words = reinterpret_cast<const uint32_t*>(&fromFile);
        EXPECT_EQ(words[3], h.dataColorSpace);
        EXPECT_EQ(words[4], h.connectionSpace);
        SpProfileFree(&p);
    }
}

TEST(CmsProfile, DescriptionsOfVersion2And4AndPrivateTags) {
    Instance inst;
    SpProfile v2 = load(inst.get(), staticProfile("ProPhotoRGB.icm"));
    SpProfile v4 = load(inst.get(), staticProfile("ZynPortraitLookRed.icm"));
    SpProfile spaced = load(inst.get(), testProfile("SpacedLook.icm"));
    SpProfile none = load(inst.get(), testProfile("NoDescription.icm"));

    int32_t type = 0;
    EXPECT_EQ(tagText(v2, "desc", &type), "ORVEX PROPHOTO RGB");
    EXPECT_EQ(type, SpTagTypeText);
    EXPECT_EQ(tagText(v4, "desc"), "ORVEX ZYN PORTRAIT REDUCED LOOK");
    EXPECT_EQ(tagText(spaced, "desc"), "  Orvex   Spaced Look  ");

    EXPECT_EQ(tagText(v4, "K011", &type), "Look");
    EXPECT_EQ(type, SpTagTypeText);
    EXPECT_EQ(tagText(v4, "K031"), "1");
    EXPECT_EQ(tagText(spaced, "K031"), " 7 builds");

    int32_t exists = -1;
    EXPECT_EQ(SpTagExists(none, sig("desc"), &exists), SpStatSuccess);
    EXPECT_EQ(exists, 0);
    EXPECT_EQ(SpTagExists(v2, sig("K011"), &exists), SpStatSuccess);
    EXPECT_EQ(exists, 0);
    SpTagValue v;
    EXPECT_EQ(SpTagGetById(v2, sig("K011"), &v), SpStatTagNotFound);
    EXPECT_EQ(SpTagGetById(none, sig("desc"), &v), SpStatTagNotFound);

    // A tag of another type comes back as its stored bytes.
    ASSERT_EQ(SpTagGetById(v2, sig("wtpt"), &v), SpStatSuccess);
    EXPECT_EQ(v.typeCode, SpTagTypeData);
    EXPECT_EQ(v.typeSignature, sig("XYZ "));
    EXPECT_EQ(v.dataSize, 20u);
    EXPECT_STREQ(v.text, "");
    SpTagFree(&v);
    EXPECT_EQ(v.data, nullptr);

    for (SpProfile* p : {&v2, &v4, &spaced, &none}) SpProfileFree(p);
}

TEST(CmsProfile, MalformedBytesAreRefusedWithoutReadingPastThem) {
    const auto good = readBytes(staticProfile("ZynProductLook.icm"));
    ASSERT_GT(good.size(), 200u);
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        uint32_t count;
    };
    std::vector<Case> cases;
    cases.push_back({"shorter than a header", std::vector<uint8_t>(good.begin(), good.begin() + 100), 100});
    {
        auto b = good;
        b[36] = 'x';
        cases.push_back({"no acsp signature", b, uint32_t(b.size())});
    }
    cases.push_back({"size field beyond the bytes held", good, uint32_t(good.size() - 1)});
    {
        auto b = good;
        putBE32(b, 128, 0x10000000);
        cases.push_back({"tag count beyond the profile", b, uint32_t(b.size())});
    }
    {
        auto b = good;
        putBE32(b, 136, 0xFFFFFFF0); // first tag's offset
        cases.push_back({"tag offset beyond the profile", b, uint32_t(b.size())});
    }
    {
        auto b = good;
        putBE32(b, 140, 0xFFFFFFFF); // first tag's size: offset + size wraps in 32 bits
        cases.push_back({"tag size that wraps", b, uint32_t(b.size())});
    }
    {
        auto b = good;
        putBE32(b, 0, 100);
        cases.push_back({"size field smaller than a header", b, uint32_t(b.size())});
    }
    Instance inst;
    for (auto& c : cases) {
        // The caller's bytes end where it says; copy them so a read beyond is caught.
        std::vector<uint8_t> held(c.bytes.begin(), c.bytes.begin() + c.count);
        SpProfile p = 1234;
        EXPECT_EQ(SpProfileLoadFromBuffer(inst.get(), held.data(), c.count, &p), SpStatNotAProfile) << c.what;
        EXPECT_EQ(p, 0u) << c.what;
    }
    SpProfile p = 0;
    EXPECT_EQ(SpProfileLoadFromBuffer(inst.get(), nullptr, 10, &p), SpStatBadArgument);
    EXPECT_EQ(SpProfileLoadFromBuffer(0, good.data(), uint32_t(good.size()), &p), SpStatBadInstance);
    EXPECT_EQ(SpProfileLoadProfile(inst.get(), "/nonexistent/x.icm", nullptr, &p), SpStatFileNotFound);
    SpHeader h;
    EXPECT_EQ(SpProfileLoadHeader("/nonexistent/x.icm", nullptr, &h), SpStatFileNotFound);
}

TEST(CmsProfile, ABufferLongerThanTheProfileKeepsJustTheProfile) {
    auto bytes = readBytes(staticProfile("ZynRGB.icm"));
    const size_t size = bytes.size();
    bytes.resize(size + 64, 0x55);
    Instance inst;
    SpProfile p = 0;
    ASSERT_EQ(SpProfileLoadFromBuffer(inst.get(), bytes.data(), uint32_t(bytes.size()), &p), SpStatSuccess);
    uint32_t got = 0;
    SpProfileGetProfileSize(p, &got);
    EXPECT_EQ(got, size);
    SpProfileFree(&p);
    EXPECT_EQ(SpProfileFree(&p), SpStatBadProfile);
}

TEST(CmsProfile, DefaultDataBaseFollowsTheSystemFolder) {
    char name[255];
    ProfileDirectoryEntry entry{name, {}};
    setenv("LUMORA_SYSTEM_DIR", (buildDir() + "/share/lumora/system").c_str(), 1);
    ASSERT_EQ(SpProfileGetDefaultDB(1, 255, &entry), SpStatSuccess);
    EXPECT_EQ(std::string(name), colorFolder());
    setenv("LUMORA_SYSTEM_DIR", "/nonexistent/system", 1);
    EXPECT_EQ(SpProfileGetDefaultDB(1, 255, &entry), SpStatNoDefaultDB);
    EXPECT_EQ(SpProfileGetDefaultDB(1, 10, &entry), SpStatPathTooLong);
    unsetenv("LUMORA_SYSTEM_DIR");
    // Without the variable the folder is found from the program folder.
    ASSERT_EQ(SpProfileGetDefaultDB(1, 255, &entry), SpStatSuccess);
    EXPECT_NE(std::string(name).find("/share/lumora/system/spool/drivers/color"), std::string::npos);
}

TEST(CmsProfile, SearchesMatchEveryCriterion) {
    Instance inst;
    std::string folder = colorFolder(), tests = testProfiles();
    ProfileDirectoryEntry dirs[2] = {{folder.data(), {}}, {tests.data(), {}}};
    ProfileDataBaseList db{2, dirs};
    auto count = [&](std::vector<ProfileSearchCriterion> criteria, SpStatus expect = SpStatSuccess) {
        ProfileSearchList list{int32_t(criteria.size()), criteria.data()};
        std::vector<SpProfile> found(SP_MAX_SEARCH_RESULTS);
        int32_t n = -1;
        EXPECT_EQ(SpProfileSearch(inst.get(), &db, &list, found.data(), SP_MAX_SEARCH_RESULTS, &n), expect);
        for (int32_t i = 0; i < n; ++i) SpProfileFree(&found[size_t(i)]);
        return n;
    };
    // The engine's two look searches: 8 static looks + 5 input test looks, and one link look.
    EXPECT_EQ(count({{1, sig("scnr")}, {7, sig("ORVE")}, {3, sig("Lab ")}, {2, sig("RGB ")}, {4, sig("OCMS")}}), 13);
    EXPECT_EQ(count({{1, sig("link")}, {7, sig("ORVE")}, {3, sig("RGB ")}, {2, sig("RGB ")}, {4, sig("OCMS")}}),
              4); // three tone curves and the gray link
    EXPECT_EQ(count({{1, sig("mntr")}, {2, sig("RGB ")}}), 2);
    EXPECT_EQ(count({{1, sig("spac")}, {2, sig("RGB ")}}), 2);
    EXPECT_EQ(count({{1, sig("prtr")}, {2, sig("RGB ")}}), 0);
    EXPECT_EQ(count({{5, sig("RGB ")}}, SpStatBadCriterion), 0);

    // At most as many handles as asked for.
    ProfileSearchList none{0, nullptr};
    SpProfile two[2] = {};
    int32_t n = 0;
    ASSERT_EQ(SpProfileSearch(inst.get(), &db, &none, two, 2, &n), SpStatSuccess);
    EXPECT_EQ(n, 2);
    SpProfileFree(&two[0]);
    SpProfileFree(&two[1]);
}
