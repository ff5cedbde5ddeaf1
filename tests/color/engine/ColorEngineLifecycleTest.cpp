// The colour engine's services around its registry: working-space listeners,
// the display profile, the output list, the transform cache, thread
// attachment, error texts, the colour-folder slot limit and tear-down.
#include "ColorEngine.h"
#include "ColorEngineCB.h"
#include "ColorFolder.h"
#include "ColorProfile.h"
#include "EngineTestSupport.h"
#include "NbErrorCodes.h"
#include "StaticProfileTable.h"
#include "YlmErrp.h"

#include <gtest/gtest.h>
#include <lcms2.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

using namespace NimbalCore;
using enginetest::CodeOf;
using enginetest::ReadBytes;
namespace fs = std::filesystem;

namespace {

YlmRefPtr<ColorProfile> TestProfile(const std::string& name) {
    const std::vector<uint8_t> bytes = ReadBytes(std::string(LUMORA_TEST_PROFILES) + "/" + name);
    return YlmRefPtr<ColorProfile>(new ColorProfile(bytes.data(), uint32_t(bytes.size())));
}

// A gray display profile whose version text carries trailing characters.
std::vector<uint8_t> GrayDisplayProfile() {
    cmsToneCurve* gamma = cmsBuildGamma(nullptr, 2.2);
    cmsHPROFILE h = cmsCreateGrayProfile(cmsD50_xyY(), gamma);
    cmsFreeToneCurve(gamma);
    cmsSetDeviceClass(h, cmsSigDisplayClass);
    cmsMLU* description = cmsMLUalloc(nullptr, 1);
    cmsMLUsetASCII(description, "en", "US", "Orvex Gray Display");
    cmsWriteTag(h, cmsSigProfileDescriptionTag, description);
    cmsMLUfree(description);
    const char version[] = "text\0\0\0\0 12x";   // 'text' type: signature, reserved, text and its NUL
    cmsWriteRawTag(h, cmsTagSignature(0x4B303331), version, sizeof version);
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(h, nullptr, &size);
    std::vector<uint8_t> bytes(size);
    cmsSaveProfileToMem(h, bytes.data(), &size);
    cmsCloseProfile(h);
    return bytes;
}

uint32_t Sig(const char* s) {
    return (uint32_t(uint8_t(s[0])) << 24) | (uint32_t(uint8_t(s[1])) << 16) | (uint32_t(uint8_t(s[2])) << 8) |
           uint32_t(uint8_t(s[3]));
}

class Listener : public ColorEngineCB {
public:
    std::vector<std::string> heard;
    std::function<void()> onChange;
    void ColorEngineChanged(const std::string& workingSpace) override {
        heard.push_back(workingSpace);
        if (onChange) onChange();
    }
};

// Installs a display hook for one test and removes it afterwards.
class DisplayHook {
public:
    explicit DisplayHook(std::string file) {
        ColorEngine::SetDisplayProfileHook([file] { return file; });
    }
    ~DisplayHook() { ColorEngine::SetDisplayProfileHook(nullptr); }
};

} // namespace

TEST(ColorEngineLifecycleTest, ListenersHearChangedWorkingSpacesOnly) {
    ColorFolder folder({});
    ColorEngine* engine = ColorEngine::Instance(0, 1);
    const std::string srgb = engine->GetWorkingSpaceName();
    Listener first, second;
    auto third = std::make_unique<Listener>();
    engine->AddListener(&first);   // already registered by its constructor

    engine->SetWorkingSpaceName(srgb);
    EXPECT_TRUE(first.heard.empty());

    engine->SetWorkingSpaceName("ORVEX PROPHOTO RGB");
    EXPECT_EQ(first.heard, std::vector<std::string>{"ORVEX PROPHOTO RGB"});   // once, despite the second add
    EXPECT_EQ(second.heard, std::vector<std::string>{"ORVEX PROPHOTO RGB"});
    EXPECT_EQ(engine->GetWorkingSpaceName(), "ORVEX PROPHOTO RGB");

    // The first listener drops the third during a notification: the third is
    // not called, and asking the engine from a listener does not deadlock.
    first.onChange = [&] {
        third.reset();
        EXPECT_EQ(engine->GetWorkingSpaceName(), srgb);
    };
    engine->SetWorkingSpaceName(srgb);
    EXPECT_EQ(first.heard.size(), 2u);
    EXPECT_EQ(second.heard.size(), 2u);

    // Removed listeners hear nothing more.
    engine->RemoveListener(&second);
    first.onChange = nullptr;
    engine->SetWorkingSpaceName("ORVEX PROPHOTO RGB");
    EXPECT_EQ(first.heard.size(), 3u);
    EXPECT_EQ(second.heard.size(), 2u);
}

TEST(ColorEngineLifecycleTest, AListenerMayOutliveTheEngine) {
    auto listener = std::make_unique<Listener>();
    {
        ColorFolder folder({});
        ColorEngine::Instance(0, 1)->SetWorkingSpaceName("ORVEX PROPHOTO RGB");
        EXPECT_EQ(listener->heard.size(), 1u);
    }
    listener.reset();   // the engine is gone; nothing to unregister from
    SUCCEED();
}

TEST(ColorEngineLifecycleTest, TheDisplayProfileComesFromTheHook) {
    const std::string large = std::string(LUMORA_TEST_PROFILES) + "/LargeLook.icm";
    struct Case {
        const char* name;
        std::function<void()> install;
        const char* display;
    } cases[] = {
        {"no hook", [] { ColorEngine::SetDisplayProfileHook(nullptr); }, "ORVEX sRGB Display"},
        {"hook answers nothing", [] { ColorEngine::SetDisplayProfileHook([] { return std::string(); }); },
         "ORVEX sRGB Display"},
        {"hook answers a missing file",
         [] { ColorEngine::SetDisplayProfileHook([] { return std::string("/nonexistent/screen.icc"); }); },
         "ORVEX sRGB Display"},
        {"hook answers a profile", [&] { ColorEngine::SetDisplayProfileHook([large] { return large; }); },
         "Orvex Large Look"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.install();
        ColorFolder folder({});
        ColorEngine* engine = ColorEngine::Instance(0, 1);
        EXPECT_EQ(engine->GetStartupStatus(), 0);
        EXPECT_EQ(StaticProfileTable::DisplayDescription(), c.display);
        EXPECT_TRUE(engine->FindProfile(c.display));   // registered
        EXPECT_EQ(engine->GetWorkingSpaceName(), "ORVEX sRGB Display");
        YlmRefPtr<ColorSpaceDesc> display = engine->GetDisplayProfile();
        EXPECT_EQ(bool(display), std::string(c.display) != "ORVEX sRGB Display");
        EXPECT_FALSE(engine->GetUnnamedProfile());
    }
    ColorEngine::SetDisplayProfileHook(nullptr);
}

TEST(ColorEngineLifecycleTest, OutputListHoldsTheRgbDisplayAndSpaceProfiles) {
    ColorFolder folder({}, {"NoDescription.icm"});
    const std::vector<uint8_t> gray = GrayDisplayProfile();
    std::ofstream(folder.Color() / "GrayDisplay.icm", std::ios::binary)
        .write(reinterpret_cast<const char*>(gray.data()), std::streamsize(gray.size()));
    ColorEngine* engine = ColorEngine::Instance(0, 1);
    // ZynRGB is an input profile and lab8 not RGB; the gray display is not RGB.
    EXPECT_EQ(engine->GetOutputProfileList(),
              (std::vector<std::string>{"No description tag", "Orvex ERIMM PCS3", "ORVEX PROPHOTO RGB",
                                        "ORVEX sRGB Display"}));
}

TEST(ColorEngineLifecycleTest, VersionsAndHeaderSignatures) {
    ColorFolder folder({});
    ColorEngine::Instance(0, 1);
    struct Case {
        const char* file;
        int version;
        const char* colorSpace;
        const char* deviceClass;
    } cases[] = {
        {"ProductLookV3.icm", 3, "RGB ", "scnr"},
        {"SpacedLook.icm", 7, "RGB ", "scnr"},   // " 7 builds"
        {"NoDescription.icm", 0, "RGB ", "mntr"}, // no version tag
        {"BWNormalLink.icm", 1, "RGB ", "link"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        YlmRefPtr<ColorProfile> p = TestProfile(c.file);
        EXPECT_EQ(p->Version(), c.version);
        EXPECT_EQ(p->GetDeviceColorSpace(), Sig(c.colorSpace));
        EXPECT_EQ(p->GetDeviceClass(), Sig(c.deviceClass));
    }
    const std::vector<uint8_t> grayBytes = GrayDisplayProfile();
    YlmRefPtr<ColorProfile> gray(new ColorProfile(grayBytes.data(), uint32_t(grayBytes.size())));
    EXPECT_EQ(gray->Name(), "Orvex Gray Display");
    EXPECT_EQ(gray->Version(), 12);   // " 12x"
    EXPECT_EQ(gray->GetDeviceColorSpace(), Sig("GRAY"));
    EXPECT_EQ(gray->GetDeviceClass(), Sig("mntr"));
    const std::vector<uint8_t> srgb = ReadBytes(std::string(LUMORA_TEST_COLOR_FOLDER) + "/ORVEX_sRGB.icm");
    YlmRefPtr<ColorProfile> p(new ColorProfile(srgb.data(), uint32_t(srgb.size())));
    EXPECT_EQ(p->GetDeviceColorSpace(), Sig("RGB "));
    EXPECT_EQ(p->Version(), 0);
}

TEST(ColorEngineLifecycleTest, TransformCacheKeepsChainsAndFlagsApart) {
    ColorFolder folder({});
    ColorEngine* engine = ColorEngine::Instance(0, 1);
    const std::string srgb = StaticProfileTable::Description(StaticProfileTable::kSRGB);
    const std::string zyn = StaticProfileTable::Description(StaticProfileTable::kZynRGB);
    const std::string photo = StaticProfileTable::Description(StaticProfileTable::kProPhotoRGB);
    const std::vector<ProfileChainEntry> a = {{zyn, 1, {}}, {srgb, 2, {}}};
    const std::vector<ProfileChainEntry> b = {{zyn, 1, {}}, {photo, 2, {}}};
    const std::vector<ProfileChainEntry> c = {{photo, 1, {}}, {srgb, 2, {}}};

    YlmRefPtr<ColorTransform> a0 = engine->GetTransform(a, 0);
    EXPECT_EQ(engine->GetTransform(a, 0).Get(), a0.Get());
    EXPECT_EQ(engine->GetTransform(std::vector<ProfileChainEntry>(a), 0).Get(), a0.Get());   // equal copy
    YlmRefPtr<ColorTransform> a1 = engine->GetTransform(a, 1);
    EXPECT_NE(a1.Get(), a0.Get());
    // The same profile given as an object is another chain.
    YlmRefPtr<ColorSpaceDesc> zynProfile = engine->FindProfile(zyn);
    EXPECT_NE(engine->GetTransform({{zyn, 1, zynProfile}, {srgb, 2, {}}}, 0).Get(), a0.Get());

    // Chains that cannot be built fail with 1728 and leave the cache as it
    // was: with a limit of 2, a cached failure would push a0 out below.
    ColorEngine::DeleteInstance();
    StaticProfileTable::Clear();
    engine = ColorEngine::Instance(0, 1);
    engine->SetCacheLimit(2);
    a0 = engine->GetTransform(a, 0);
    EXPECT_EQ(CodeOf([&] { engine->GetTransform({{"No such profile", 1, {}}, {srgb, 2, {}}}, 0); }),
              NbErrColorEngineInitFailed);
    EXPECT_EQ(CodeOf([&] { engine->GetTransform({{zyn, 7, {}}, {srgb, 2, {}}}, 0); }), NbErrColorEngineInitFailed);
    YlmRefPtr<ColorTransform> b0 = engine->GetTransform(b, 0);
    EXPECT_EQ(engine->GetTransform(a, 0).Get(), a0.Get());
    // A third chain evicts the oldest one requested.
    engine->GetTransform(c, 0);
    EXPECT_EQ(engine->GetTransform(b, 0).Get(), b0.Get());
    EXPECT_NE(engine->GetTransform(a, 0).Get(), a0.Get());
}

TEST(ColorEngineLifecycleTest, WorkerThreadsAttachAndStatusesHaveTexts) {
    ColorFolder folder({});
    ColorEngine* engine = ColorEngine::Instance(0, 1);
    bool attached = false, detached = false;
    std::thread worker([&] {
        attached = engine->InitThread();
        detached = engine->TermThread();
    });
    worker.join();
    EXPECT_TRUE(attached);
    EXPECT_TRUE(detached);
    EXPECT_FALSE(ColorEngine::GetErrorText(SpStatBadArgument).empty());
    EXPECT_NE(ColorEngine::GetErrorText(SpStatBadArgument), ColorEngine::GetErrorText(SpStatNoDefaultDB));
}

TEST(ColorEngineLifecycleTest, TearDownReleasesEverythingAndANewEngineStarts) {
    YlmRefPtr<ColorTransform> kept;
    {
        ColorFolder folder({});
        ColorEngine* engine = ColorEngine::Instance(0, 1);
        const std::string srgb = StaticProfileTable::Description(StaticProfileTable::kSRGB);
        kept = engine->GetTransform({{srgb, 1, {}}, {srgb, 2, {}}}, 0);
        ColorEngine::DeleteInstance();
        EXPECT_EQ(ColorEngine::LibraryInstance(), 0u);
        engine = ColorEngine::Instance(0, 1);
        EXPECT_EQ(engine->GetStartupStatus(), 0);
        EXPECT_NE(engine->GetTransform({{srgb, 1, {}}, {srgb, 2, {}}}, 0).Get(), kept.Get());
    }
    kept.Reset();   // released after the engine that made it is gone
}

TEST(ColorEngineLifecycleTest, AColourFolderNameLongerThanASlotIsNotUsed) {
    // The same folder reached through a name of 255 characters is used; one
    // of 256 is not (a cut name would be another folder).
    for (const size_t length : {size_t(255), size_t(256)}) {
        SCOPED_TRACE(length);
        const fs::path base = fs::temp_directory_path() / ("lumora-slot-" + std::to_string(getpid()));
        const std::string tail = "/spool/drivers/color";
        std::string root = base.string() + "/";
        root += std::string(length - tail.size() - root.size(), 'd');
        const fs::path color = root + tail;
        ASSERT_EQ(color.string().size(), length);
        fs::create_directories(color);
        for (const auto& entry : fs::directory_iterator(LUMORA_TEST_COLOR_FOLDER))
            fs::copy_file(entry.path(), color / entry.path().filename());
        setenv("LUMORA_SYSTEM_DIR", root.c_str(), 1);
        ColorEngine* engine = ColorEngine::Instance(0, 1);
        if (length == 255) {
            EXPECT_EQ(engine->GetStartupStatus(), 0);
            EXPECT_EQ(engine->GetDirectoryCount(), 1);
            EXPECT_EQ(engine->GetDirectory(0), color.string());
        } else {
            EXPECT_NE(engine->GetStartupStatus(), 0);
            EXPECT_TRUE(engine->GetLookList().empty());
            for (int i = 0; i < engine->GetDirectoryCount(); ++i)
                EXPECT_NE(engine->GetDirectory(i), color.string().substr(0, 255));
        }
        ColorEngine::DeleteInstance();
        StaticProfileTable::Clear();
        unsetenv("LUMORA_SYSTEM_DIR");
        fs::remove_all(base);
    }
}
