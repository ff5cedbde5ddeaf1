// An image's colour-managed transform through the real colour-management
// module and the generated profiles, checked against LittleCMS's own transicc
// on the same profiles over a grid of colours.
#include "ColorTransformStage.h"
#include "OcmsSession.h"
#include "ShellCommand.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const std::string kColour = LUMORA_COLOUR_FOLDER;

// transicc's answers for 16-bit triples, as 16-bit values (it reads and
// writes RGB as 0..255 in floating point).
std::vector<double> Transicc(const std::string& in, const std::string& out, int intent,
                             const std::vector<uint16_t>& rgb) {
    const lumora::test::TempFolder folder;
    const std::string inputPath = folder.file("input.txt");
    {
        std::ofstream input(inputPath);
        input.precision(10);
        for (size_t i = 0; i < rgb.size(); i += 3)
            input << rgb[i] / 257.0 << ' ' << rgb[i + 1] / 257.0 << ' ' << rgb[i + 2] / 257.0 << '\n';
    }
    const std::string command = "transicc -n -t" + std::to_string(intent) + " -i '" + in + "' -o '" + out +
                                "' < " + inputPath + " 2>/dev/null";
    std::vector<double> values;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        double v = 0;
        while (std::fscanf(pipe, "%lf", &v) == 1) values.push_back(v * 257.0);
        pclose(pipe);
    }
    return values;
}

class OcmsTransiccTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("LUMORA_PROGRAM_DIR", LUMORA_MODULE_DIR, 1);
        session = OcmsSession::Instance();
        ASSERT_NE(session, nullptr);
        uint32_t library = 0, status = 1;
        ASSERT_EQ(session->Open(&library, &status), 0u);
        ASSERT_EQ(status, 0u);
    }
    void TearDown() override {
        uint32_t status = 0;
        if (OcmsSession::IsOpen()) session->Close(OcmsSession::LibraryHandle(), &status);
        OcmsSession::Destroy();
    }

    uint32_t Load(const std::string& file, int slot, int intent) {
        char name[kOcmsNameBytes] = {};
        const std::string path = kColour + "/" + file;
        std::strncpy(name, path.c_str(), sizeof name - 1);
        OcmsProfileInfo info{};
        uint32_t entry = 0;
        EXPECT_EQ(session->LoadProfile(name, slot, intent, &info, nullptr, &entry), 0u) << file;
        return entry;
    }

    OcmsSession* session = nullptr;
};

} // namespace

TEST_F(OcmsTransiccTest, CameraToOutputMatchesTransiccOnAGrid) {
    if (!lumora::test::HaveTool("transicc")) GTEST_SKIP() << "transicc (liblcms2-utils) is not installed";

    // Every level of a 9-step grid per channel, in one strip with skipped
    // samples on both sides of each row.
    std::vector<uint16_t> rgb;
    for (int r = 0; r < 9; ++r)
        for (int g = 0; g < 9; ++g)
            for (int b = 0; b < 9; ++b)
                for (int v : {r, g, b}) rgb.push_back(uint16_t(std::min(65535, v * 8192)));
    const int pixels = int(rgb.size() / 3);
    const int width = 81, height = pixels / width, left = 2, right = 3, stride = left + width + right;

    struct Chain {
        const char* source;
        const char* output;
        int intent;
        uint32_t mode;
    } chains[] = {
        {"ZynCorvidDaylight.icm", "ORVEX_sRGB.icm", 1, 2},
        {"ZynAukCTungstenSource.icm", "ProPhotoRGB.icm", 0, 3},
        {"ZynRGB.icm", "ORVEX_sRGB.icm", 3, 2},
    };
    for (const Chain& chain : chains) {
        SCOPED_TRACE(std::string(chain.source) + " -> " + chain.output);
        OcmsImageRecord record;
        record.mode = chain.mode;
        record.slots[3] = Load(chain.source, 3, chain.intent);
        record.slots[chain.mode == 2 ? 4 : 5] = Load(chain.output, chain.mode == 2 ? 4 : 5, chain.intent);

        std::vector<int16_t> planes[3];
        for (auto& p : planes) p.assign(size_t(stride) * height, 0x5A5A);
        for (int i = 0; i < pixels; ++i) {
            const size_t at = size_t(i / width) * stride + left + i % width;
            for (int k = 0; k < 3; ++k) planes[k][at] = int16_t(rgb[3 * size_t(i) + k]);
        }

        ColorTransformStage stage;
        stage.mode = ColorTransformStage::ModeColourManaged;
        stage.transformRecord = &record;
        stage.width = int16_t(width);
        stage.height = int16_t(height);
        stage.leftSkip = left;
        stage.rightSkip = right;
        stage.workingMaximum = 0x7FFF;
        ASSERT_EQ(stage.Prepare(), 0u) << std::hex << record.lastStatus;
        ASSERT_EQ(stage.Run(planes[0].data(), planes[1].data(), planes[2].data(), nullptr), 0u);
        EXPECT_EQ(stage.Release(), 0u);

        const std::vector<double> expected = Transicc(kColour + "/" + chain.source, kColour + "/" + chain.output,
                                                      chain.intent, rgb);
        ASSERT_EQ(expected.size(), rgb.size());
        int worst = 0, moved = 0;
        for (int i = 0; i < pixels; ++i) {
            const size_t at = size_t(i / width) * stride + left + i % width;
            for (int k = 0; k < 3; ++k) {
                const double want = std::clamp(expected[3 * size_t(i) + k], 0.0, 65535.0);
                const int got = uint16_t(planes[k][at]);
                // Both run LittleCMS in floating point; transicc prints four
                // decimals of a 0..255 value and the module rounds to 16 bits.
                EXPECT_NEAR(got, want, 1.0) << "pixel " << i << " channel " << k;
                worst = std::max(worst, int(std::lround(std::abs(got - want))));
                if (std::abs(got - int(rgb[3 * size_t(i) + k])) > 1000) ++moved;
            }
        }
        RecordProperty(std::string("worst_") + chain.source, worst);
        EXPECT_GT(moved, pixels / 4) << "the profiles change the colours";
    }
}
