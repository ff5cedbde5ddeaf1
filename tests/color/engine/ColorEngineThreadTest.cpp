// Two threads on one colour engine, as the folder watcher and the
// user-interface thread use it: transforms built and fetched from the cache,
// profiles registered and looked up, lists read, the working space changed
// and luminance curves computed, all at once. Meant to run clean under
// ThreadSanitizer as well.
#include "ColorEngine.h"
#include "ColorEngineCB.h"
#include "ColorFolder.h"
#include "ColorProfile.h"
#include "EngineTestSupport.h"
#include "StaticProfileTable.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace NimbalCore;
using enginetest::ReadBytes;

namespace {

constexpr int kRounds = 10000;

class CountingListener : public ColorEngineCB {
public:
    std::atomic<int> calls{0};
    void ColorEngineChanged(const std::string&) override { ++calls; }
};

} // namespace

TEST(ColorEngineThreadTest, TwoThreadsBuildTransformsAndRegisterProfiles) {
    ColorFolder folder({});
    ColorEngine* engine = ColorEngine::Instance(0, 1);
    ASSERT_EQ(engine->GetStartupStatus(), 0);
    // A small cache, so the threads evict each other's transforms now and
    // then (building one is slow; most rounds are hits).
    engine->SetCacheLimit(8);
    const std::string srgb = StaticProfileTable::Description(StaticProfileTable::kSRGB);
    const std::string zyn = StaticProfileTable::Description(StaticProfileTable::kZynRGB);
    const std::string photo = StaticProfileTable::Description(StaticProfileTable::kProPhotoRGB);
    const std::vector<ProfileChainEntry> chains[] = {
        {{zyn, 1, {}}, {srgb, 2, {}}}, {{zyn, 1, {}}, {photo, 2, {}}}, {{photo, 1, {}}, {srgb, 2, {}}}};
    const std::vector<uint8_t> v2 = ReadBytes(std::string(LUMORA_TEST_PROFILES) + "/ProductLookV2.icm");
    const std::vector<uint8_t> v3 = ReadBytes(std::string(LUMORA_TEST_PROFILES) + "/ProductLookV3.icm");
    CountingListener listener;

    std::atomic<int> failures{0};
    auto transforms = [&](int seed) {
        engine->InitThread();
        uint16_t curve[ColorTransform::kCurveSteps];
        for (int round = 0; round < kRounds; ++round) {
            const int pick = (round + seed) % 3;
            YlmRefPtr<ColorTransform> t = engine->GetTransform(chains[pick], seed * 100 + round / 1000);
            if (!t) ++failures;
            if (round % 500 == 0) {
                t->ComputeLuminanceCurve(curve);
                if (curve[4095] < 4000) ++failures;
            }
        }
        engine->TermThread();
    };
    auto registry = [&] {
        for (int round = 0; round < kRounds; ++round) {
            const std::vector<uint8_t>& bytes = (round / 10) % 2 ? v3 : v2;
            if (round % 10 == 0) {
                engine->AddProfile(YlmRefPtr<ColorSpaceDesc>(new ColorProfile(bytes.data(), uint32_t(bytes.size()))));
                engine->SetWorkingSpaceName(round % 20 ? srgb : photo);
            }
            if (!engine->FindProfileOrAlias("ORVEX PROFESSIONAL PRODUCT")) ++failures;
            if (engine->GetLookList().empty() || engine->GetWorkingSpaceName().empty()) ++failures;
            engine->GetTransform(chains[round % 3], round / 2000);
        }
    };
    std::thread watcher(transforms, 1);
    std::thread ui(registry);
    transforms(2);
    watcher.join();
    ui.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(listener.calls.load(), kRounds / 10);   // every call changes the name
    YlmRefPtr<ColorSpaceDesc> product = engine->FindProfileOrAlias("ORVEX PROFESSIONAL PRODUCT");
    ASSERT_TRUE(product);
    EXPECT_EQ(static_cast<ColorProfile*>(product.Get())->Version(), 3);
}
