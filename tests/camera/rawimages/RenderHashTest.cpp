// Renders of synthetic files of families 1 and 3, plain and lossless-JPEG
// coded, in every output type, subsample and rotation, against stored hashes.
// The values were taken from renders known to be right; a change of any output
// byte, size or status shows here, which is what reworking the image classes
// or the engine must not do.
#include "Fnv64.h"
#include "RawImageFixture.h"

#include <cinttypes>
#include <cstdio>

#include "VqOutputTypes.h"
#include "WorkerPool.h"

using namespace rawimagetest;

namespace {

struct Expected {
    const char* model;
    bool ljpeg;
    uint32_t type;
    uint64_t hash;  // over every subsample and rotation of the type
};

// clang-format off
const Expected kExpected[] = {
    {"ZYNM11", false, 0, 0xE73D49CFEE23259Dull},
    {"ZYNM11", false, 2, 0xFABB5D17D73E9DF9ull},
    {"ZYNM11", false, 3, 0x581F12240A5F83C5ull},
    {"ZYNM11", false, 4, 0x583C4C9187C07D51ull},
    {"ZYNM11", false, 5, 0xA08116ACCAB9B235ull},
    {"ZYNM11", false, 6, 0x49AB97AFA77D37EDull},
    {"ZYNM11", false, 7, 0x85F303962FED12BDull},
    {"ZYNM11", false, 8, 0x055A7C73492E3E59ull},
    {"ZYNM11", false, 9, 0xADFD92873A2B4BEDull},
    {"ZYNM11", false, 10, 0x8B11B3FD5B04956Dull},
    {"ZYNM11", false, 11, 0x202DC2D7B47E3FFDull},
    {"ZYNM11", false, 12, 0x583C4C9187C07D51ull},
    {"ZYNM11", false, 13, 0x37E23BD888C66AB5ull},
    {"ZYNM11", false, 14, 0x09B98D554D248F95ull},
    {"ZYNM11", false, 15, 0xA9B6F628CBC910FDull},
    {"ZYNM11", false, 16, 0xA9B6F628CBC910FDull},
    {"ZYNM11", false, 17, 0xA9B6F628CBC910FDull},
    {"ZYNM11", false, 18, 0xA9B6F628CBC910FDull},
    {"ZYNM11", false, 19, 0xA9B6F628CBC910FDull},
    {"ZYNM11", false, 20, 0xA9B6F628CBC910FDull},
    {"ZYNM11", true, 0, 0xE73D49CFEE23259Dull},
    {"ZYNM11", true, 2, 0xFABB5D17D73E9DF9ull},
    {"ZYNM11", true, 3, 0x581F12240A5F83C5ull},
    {"ZYNM11", true, 4, 0x583C4C9187C07D51ull},
    {"ZYNM11", true, 5, 0xA08116ACCAB9B235ull},
    {"ZYNM11", true, 6, 0x49AB97AFA77D37EDull},
    {"ZYNM11", true, 7, 0x85F303962FED12BDull},
    {"ZYNM11", true, 8, 0x055A7C73492E3E59ull},
    {"ZYNM11", true, 9, 0xADFD92873A2B4BEDull},
    {"ZYNM11", true, 10, 0x8B11B3FD5B04956Dull},
    {"ZYNM11", true, 11, 0x202DC2D7B47E3FFDull},
    {"ZYNM11", true, 12, 0x583C4C9187C07D51ull},
    {"ZYNM11", true, 13, 0x37E23BD888C66AB5ull},
    {"ZYNM11", true, 14, 0x09B98D554D248F95ull},
    {"ZYNM11", true, 15, 0xA9B6F628CBC910FDull},
    {"ZYNM11", true, 16, 0xA9B6F628CBC910FDull},
    {"ZYNM11", true, 17, 0xA9B6F628CBC910FDull},
    {"ZYNM11", true, 18, 0xA9B6F628CBC910FDull},
    {"ZYNM11", true, 19, 0xA9B6F628CBC910FDull},
    {"ZYNM11", true, 20, 0xA9B6F628CBC910FDull},
    {"ZYNM16", false, 0, 0xE73D49CFEE23259Dull},
    {"ZYNM16", false, 2, 0xFABB5D17D73E9DF9ull},
    {"ZYNM16", false, 3, 0x581F12240A5F83C5ull},
    {"ZYNM16", false, 4, 0x583C4C9187C07D51ull},
    {"ZYNM16", false, 5, 0xA08116ACCAB9B235ull},
    {"ZYNM16", false, 6, 0x49AB97AFA77D37EDull},
    {"ZYNM16", false, 7, 0x85F303962FED12BDull},
    {"ZYNM16", false, 8, 0x055A7C73492E3E59ull},
    {"ZYNM16", false, 9, 0xADFD92873A2B4BEDull},
    {"ZYNM16", false, 10, 0x8B11B3FD5B04956Dull},
    {"ZYNM16", false, 11, 0x202DC2D7B47E3FFDull},
    {"ZYNM16", false, 12, 0x583C4C9187C07D51ull},
    {"ZYNM16", false, 13, 0x37E23BD888C66AB5ull},
    {"ZYNM16", false, 14, 0x09B98D554D248F95ull},
    {"ZYNM16", false, 15, 0xA9B6F628CBC910FDull},
    {"ZYNM16", false, 16, 0xA9B6F628CBC910FDull},
    {"ZYNM16", false, 17, 0xA9B6F628CBC910FDull},
    {"ZYNM16", false, 18, 0xA9B6F628CBC910FDull},
    {"ZYNM16", false, 19, 0xA9B6F628CBC910FDull},
    {"ZYNM16", false, 20, 0xA9B6F628CBC910FDull},
    {"ZYNM16", true, 0, 0xE73D49CFEE23259Dull},
    {"ZYNM16", true, 2, 0xFABB5D17D73E9DF9ull},
    {"ZYNM16", true, 3, 0x581F12240A5F83C5ull},
    {"ZYNM16", true, 4, 0x583C4C9187C07D51ull},
    {"ZYNM16", true, 5, 0xA08116ACCAB9B235ull},
    {"ZYNM16", true, 6, 0x49AB97AFA77D37EDull},
    {"ZYNM16", true, 7, 0x85F303962FED12BDull},
    {"ZYNM16", true, 8, 0x055A7C73492E3E59ull},
    {"ZYNM16", true, 9, 0xADFD92873A2B4BEDull},
    {"ZYNM16", true, 10, 0x8B11B3FD5B04956Dull},
    {"ZYNM16", true, 11, 0x202DC2D7B47E3FFDull},
    {"ZYNM16", true, 12, 0x583C4C9187C07D51ull},
    {"ZYNM16", true, 13, 0x37E23BD888C66AB5ull},
    {"ZYNM16", true, 14, 0x09B98D554D248F95ull},
    {"ZYNM16", true, 15, 0xA9B6F628CBC910FDull},
    {"ZYNM16", true, 16, 0xA9B6F628CBC910FDull},
    {"ZYNM16", true, 17, 0xA9B6F628CBC910FDull},
    {"ZYNM16", true, 18, 0xA9B6F628CBC910FDull},
    {"ZYNM16", true, 19, 0xA9B6F628CBC910FDull},
    {"ZYNM16", true, 20, 0xA9B6F628CBC910FDull},
    {"ZYNM11 grey", false, 0, 0x74B5D06740554055ull},
    {"ZYNM11 grey", false, 2, 0x07BBD46BC72A8B8Dull},
    {"ZYNM11 grey", false, 3, 0xAF7BA9C0BB3D78ADull},
    {"ZYNM11 grey", false, 4, 0x143DEA33CA3665B5ull},
    {"ZYNM11 grey", false, 5, 0x143DEA33CA3665B5ull},
    {"ZYNM11 grey", false, 6, 0x143DEA33CA3665B5ull},
    {"ZYNM11 grey", false, 7, 0x143DEA33CA3665B5ull},
    {"ZYNM11 grey", false, 8, 0x143DEA33CA3665B5ull},
    {"ZYNM11 grey", false, 9, 0x143DEA33CA3665B5ull},
    {"ZYNM11 grey", false, 10, 0x143DEA33CA3665B5ull},
    {"ZYNM11 grey", false, 11, 0x143DEA33CA3665B5ull},
    {"ZYNM11 grey", false, 12, 0x143DEA33CA3665B5ull},
    {"ZYNM11 grey", false, 13, 0x143DEA33CA3665B5ull},
    {"ZYNM11 grey", false, 14, 0x143DEA33CA3665B5ull},
    {"ZYNM11 grey", false, 15, 0x320422FFEBCEBF55ull},
    {"ZYNM11 grey", false, 16, 0xF92EC0AA70715365ull},
    {"ZYNM11 grey", false, 17, 0x39490A536DDDC285ull},
    {"ZYNM11 grey", false, 18, 0x39490A536DDDC285ull},
    {"ZYNM11 grey", false, 19, 0x39490A536DDDC285ull},
    {"ZYNM11 grey", false, 20, 0x39490A536DDDC285ull},
    {"ZYNM11 grey", true, 0, 0x74B5D06740554055ull},
    {"ZYNM11 grey", true, 2, 0x07BBD46BC72A8B8Dull},
    {"ZYNM11 grey", true, 3, 0xAF7BA9C0BB3D78ADull},
    {"ZYNM11 grey", true, 4, 0x143DEA33CA3665B5ull},
    {"ZYNM11 grey", true, 5, 0x143DEA33CA3665B5ull},
    {"ZYNM11 grey", true, 6, 0x143DEA33CA3665B5ull},
    {"ZYNM11 grey", true, 7, 0x143DEA33CA3665B5ull},
    {"ZYNM11 grey", true, 8, 0x143DEA33CA3665B5ull},
    {"ZYNM11 grey", true, 9, 0x143DEA33CA3665B5ull},
    {"ZYNM11 grey", true, 10, 0x143DEA33CA3665B5ull},
    {"ZYNM11 grey", true, 11, 0x143DEA33CA3665B5ull},
    {"ZYNM11 grey", true, 12, 0x143DEA33CA3665B5ull},
    {"ZYNM11 grey", true, 13, 0x143DEA33CA3665B5ull},
    {"ZYNM11 grey", true, 14, 0x143DEA33CA3665B5ull},
    {"ZYNM11 grey", true, 15, 0x320422FFEBCEBF55ull},
    {"ZYNM11 grey", true, 16, 0xF92EC0AA70715365ull},
    {"ZYNM11 grey", true, 17, 0x39490A536DDDC285ull},
    {"ZYNM11 grey", true, 18, 0x39490A536DDDC285ull},
    {"ZYNM11 grey", true, 19, 0x39490A536DDDC285ull},
    {"ZYNM11 grey", true, 20, 0x39490A536DDDC285ull},
};
// clang-format on

constexpr int16_t kSubsamples[] = {1, 2, 4, 8};
constexpr float kRotations[] = {0.0f, 90.0f, 180.0f, 270.0f};

class RenderHashTest : public RawImageTest, public ::testing::WithParamInterface<unsigned> {
protected:
    // The same bytes whatever the worker pool's lanes.
    void SetUp() override {
        RawImageTest::SetUp();
        lumora::WorkerPool::Shared().SetLanes(GetParam());
    }
    void TearDown() override {
        lumora::WorkerPool::Shared().SetLanes(lumora::ProcessorCount());
        RawImageTest::TearDown();
    }
    // One render's status, geometry and bytes into the hash.
    void RenderInto(Fnv64& hash, uint32_t type, int16_t subsample, float rotation) {
        hash.Add32(VqSetImageType(&info_, type));
        hash.Add32(VqSetSubSample(&info_, subsample));
        hash.Add32(VqSetRotateType(&info_, rotation));
        const ImageGeometry& g = info_.geometry;
        for (int32_t v : {g.outputWidth, g.outputHeight, g.channels, g.bytesPerSample}) hash.Add32(uint32_t(v));
        std::vector<uint8_t> strips;
        hash.Add32(RenderInStrips(strips));
        hash.Add32(uint32_t(strips.size()));
        hash.Add(strips.data(), strips.size());
    }
};

TEST_P(RenderHashTest, EveryTypeSubsampleAndRotationRendersAsBefore) {
    size_t checked = 0;
    struct File {
        const char* model;
        bool colour;
    };
    for (const File& file : {File{"ZYNM11", true}, File{"ZYNM16", true}, File{"ZYNM11", false}}) {
        for (bool ljpeg : {false, true}) {
            ZyrSampleOptions o = Options(file.model);
            o.colour = file.colour;
            o.ljpegSensor = ljpeg;
            // Large enough for several strips and every demosaicing border.
            o.sensorWidth = 200;
            o.sensorHeight = 136;
            const std::string model = std::string(file.model) + (file.colour ? "" : " grey");
            ASSERT_EQ(Open(o), 0u) << model << (ljpeg ? " lossless JPEG" : " plain");
            for (uint32_t type = VQ_TYPE_RAW; type <= VQ_TYPE_LAST; ++type) {
                if (type == 1) continue;  // not a type
                Fnv64 hash;
                for (int16_t subsample : kSubsamples)
                    for (float rotation : kRotations) RenderInto(hash, type, subsample, rotation);
                const Expected* want = nullptr;
                for (const Expected& e : kExpected)
                    if (e.model == model && e.ljpeg == ljpeg && e.type == type) want = &e;
                char line[96];
                std::snprintf(line, sizeof line, "{\"%s\", %s, %u, 0x%016" PRIX64 "ull},", model.c_str(),
                              ljpeg ? "true" : "false", type, hash.value());
                if (!want) {
                    ADD_FAILURE() << "no stored hash for " << line;
                    continue;
                }
                EXPECT_EQ(hash.value(), want->hash) << "render changed: " << line;
                ++checked;
            }
        }
    }
    EXPECT_EQ(checked, std::size(kExpected)) << "a stored hash was not rendered";
}

INSTANTIATE_TEST_SUITE_P(Lanes, RenderHashTest, ::testing::Values(1u, 2u, 8u));

} // namespace
