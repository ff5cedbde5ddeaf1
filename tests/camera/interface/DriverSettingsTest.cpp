#include "DriverSettings.h"
#include "TempFolder.h"
#include "VqStatus.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

using namespace lumora;
using namespace lumora::vq;

namespace {

template <size_t N>
std::vector<int> ints(const int16_t (&field)[N]) {
    return std::vector<int>(field, field + N);
}
template <size_t N>
std::vector<double> reals(const double (&field)[N]) {
    return std::vector<double>(field, field + N);
}

struct GroupDefaults {
    SensorGroup group;
    std::vector<int> hiSat, loSat, daylight, tungsten, fluorescent, flash, tStart, sStart;
    double secondGamma;
};

const GroupDefaults kDefaults[] = {
    {SensorGroup::M3, {15, 12, 5, 6, 29, -3, -12, -1, 45}, {13, 13, 6, 7, 29, -4, -19, 2, 49},
     {135, 235, 80}, {154, 179, 64}, {134, 229, 63}, {130, 232, 82}, {25, 19}, {1995, 2277}, 1.35},
    {SensorGroup::M5, {16, 12, 4, 5, 36, -9, -29, -7, 68}, {14, 13, 5, 5, 33, -6, -26, 1, 57},
     {147, 235, 99}, {183, 199, 88}, {152, 239, 86}, {112, 187, 81}, {25, 19}, {1995, 2277}, 1.35},
    {SensorGroup::M6, {16, 12, 4, 4, 36, -8, -28, -7, 67}, {15, 12, 5, 6, 33, -7, -27, -6, 65},
     {145, 233, 97}, {205, 250, 97}, {141, 211, 79}, {155, 250, 105}, {25, 13}, {1122, 1768}, 1.8},
};

void expectFactory(const DriverSettings& s, bool loSatFromHi = false) {
    for (const auto& d : kDefaults) {
        SCOPED_TRACE(int(d.group));
        const SensorGroupSettings& g = s.Group(d.group);
        EXPECT_EQ(ints(g.hiSatMatrix), d.hiSat);
        EXPECT_EQ(ints(g.loSatMatrix), loSatFromHi ? d.hiSat : d.loSat);
        EXPECT_EQ(ints(g.rgbMatrix), (std::vector<int>{90, -41, -17, -33, 64, 1, 3, -9, 38}));
        for (const double* pair : {g.mono, g.color, g.irMono, g.others}) {
            EXPECT_EQ(pair[0], 1.8);
            EXPECT_EQ(pair[1], d.secondGamma);
        }
        EXPECT_EQ(ints(g.daylight), d.daylight);
        EXPECT_EQ(ints(g.tungsten), d.tungsten);
        EXPECT_EQ(ints(g.fluorescent), d.fluorescent);
        EXPECT_EQ(ints(g.flash), d.flash);
        EXPECT_EQ(ints(g.none), (std::vector<int>{240, 240, 240}));
        EXPECT_EQ(ints(g.tStart), d.tStart);
        EXPECT_EQ(ints(g.tStop), (std::vector<int>{1, 1}));
        EXPECT_EQ(ints(g.cCenter), (std::vector<int>{0, 0}));
        EXPECT_EQ(ints(g.sStart), d.sStart);
        EXPECT_EQ(ints(g.sStop), (std::vector<int>{8700, 4095}));
    }
}

bool parse(DriverSettings& s, const std::string& text) {
    return s.Parse(ByteView(text.data(), text.size()));
}

// A settings object with the factory values, as Open leaves it before the file.
DriverSettings factory() {
    DriverSettings s;
    s.ApplyDefaults();
    return s;
}

class SystemFolder : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("LUMORA_SYSTEM_DIR", dir.path().c_str(), 1); }
    void TearDown() override { ::unsetenv("LUMORA_SYSTEM_DIR"); }
    lumora::test::TempFolder dir;
};

} // namespace

TEST_F(SystemFolder, NoFileKeepsTheFactoryValuesOfEveryGroup) {
    DriverSettings s;
    EXPECT_EQ(s.Open(0), VQ_ERR_DEFAULTS_KEPT);
    expectFactory(s);
}

TEST_F(SystemFolder, VersionAloneIsReadAndCopiesHighIntoLowSaturation) {
    dir.write("VqAPI.prf", "[VERSION] 1.0\n");
    DriverSettings s;
    EXPECT_EQ(s.Open(1), VQ_ERR_PREFS_READ);
    EXPECT_EQ(s.Flags(), 1u);
    expectFactory(s, /*loSatFromHi=*/true);
}

TEST_F(SystemFolder, RejectedFilesLeaveEveryDefaultInPlace) {
    const std::string rejected[] = {
        "[VERSION] 2.0\n[M3DAY] 1 2 3\n",      // wrong version, even after other keys took values
        "[M3DAY] 1 2 3\n[VERSION]\n",           // empty version reads 0
        "[M3DAY] 100 200 300",                  // last line without a line feed
        "",                                     // empty file
    };
    for (const auto& text : rejected) {
        SCOPED_TRACE(text);
        dir.write("VqAPI.prf", text);
        DriverSettings s;
        EXPECT_EQ(s.Open(0), VQ_ERR_DEFAULTS_KEPT);
        expectFactory(s);
    }
}

TEST_F(SystemFolder, AFolderInPlaceOfTheFileKeepsTheDefaults) {
    std::filesystem::create_directory(dir.path() / "VqAPI.prf");
    DriverSettings s;
    EXPECT_EQ(s.Open(0), VQ_ERR_DEFAULTS_KEPT);
    expectFactory(s);
}

TEST_F(SystemFolder, EachLoadFailureHasItsOwnReason) {
    DriverSettings s;
    EXPECT_EQ(s.LoadFile(dir.path() / "VqAPI.prf"), 2u);                // no file
    EXPECT_EQ(s.LoadFile(dir.path() / "missing" / "VqAPI.prf"), 3u);    // no folder
    dir.write("empty.prf", "");
    EXPECT_EQ(s.LoadFile(dir.path() / "empty.prf"), VQ_ERR_PREFS_FILE_EMPTY);
    dir.write("open.prf", "[M3DAY] 1 2 3");
    EXPECT_EQ(s.LoadFile(dir.path() / "open.prf"), VQ_ERR_BAD_FILE);  // last line without a line feed
    dir.write("good.prf", "[M3DAY] 1 2 3\n");
    EXPECT_EQ(s.LoadFile(dir.path() / "good.prf"), 0u);
}

TEST(DriverSettings, FlagsOtherThanZeroAndOneChangeNothing) {
    DriverSettings s = factory();
    ASSERT_TRUE(parse(s, "[M3DAY] 1 2 3\n"));
    EXPECT_EQ(s.Open(2), VQ_ERR_BAD_ARGUMENT);
    EXPECT_EQ(s.Open(0x80000001u), VQ_ERR_BAD_ARGUMENT);
    EXPECT_EQ(ints(s.Group(SensorGroup::M3).daylight), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(s.Flags(), 0u);
}

TEST(DriverSettings, ValuesOfTheKeyLine) {
    struct Case {
        const char* text;
        std::vector<int> m3Daylight;
    };
    const Case cases[] = {
        {"[M3DAY] 100 200 300\n", {100, 200, 300}},
        {"[M3DAY]\n100 200 300\n", {0, 0, 0}},            // numbers on the next line are not the value
        {"[m3day] 100 200 300\n", {135, 235, 80}},        // keys are case-sensitive
        {"[M3DAY] 1,2,3\n", {1, 0, 0}},                   // a comma ends the numbers
        {"[M3DAY]\t7\t-8 +9\r\n", {7, -8, 9}},            // tabs, signs, a carriage return
        {"[M3DAY] 5\n", {5, 0, 0}},                       // missing values read 0
        {"[M3DAY] 1 2 3\n[M3DAY] 4 5 6\n", {4, 5, 6}},    // a later line wins
        {"free text [M3DAY] 1 2 3\ncomment [NOPE] x\n", {1, 2, 3}},
        {"[M3DAY] 70000 -32769 99999999999\n", {4464, 32767, -1}},  // low 16 bits of the 32-bit value
        {"[VERSION] 1\n[M3DAY]", {135, 235, 80}},         // a final key without a value ends the file
        {"[M3DAY] 1 2 3\n[", {1, 2, 3}},                  // a bracket that never closes ends the file
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        DriverSettings s = factory();
        ASSERT_TRUE(parse(s, c.text));
        EXPECT_EQ(ints(s.Group(SensorGroup::M3).daylight), c.m3Daylight);
        EXPECT_EQ(ints(s.Group(SensorGroup::M5).daylight), (std::vector<int>{147, 235, 99}));
        EXPECT_EQ(ints(s.Group(SensorGroup::M6).daylight), (std::vector<int>{145, 233, 97}));
    }
}

TEST(DriverSettings, RealsInDecimalAndExponentNotation) {
    DriverSettings s = factory();
    ASSERT_TRUE(parse(s, "[VERSION] 1e0\n[M6MONO] 2.5e1 -1.25\n[M5COLOR] .5 3.\n[M3IRMONO] 1e999 1e-999\n"
                         "[M3OTHERS] 2.2x 9\n"));
    EXPECT_EQ(reals(s.Group(SensorGroup::M6).mono), (std::vector<double>{25.0, -1.25}));
    EXPECT_EQ(reals(s.Group(SensorGroup::M5).color), (std::vector<double>{0.5, 3.0}));
    EXPECT_EQ(reals(s.Group(SensorGroup::M3).irMono), (std::vector<double>{HUGE_VAL, 0.0}));
    EXPECT_EQ(reals(s.Group(SensorGroup::M3).others), (std::vector<double>{2.2, 0.0}));
    EXPECT_TRUE(s.KeyRead(0));
}

TEST(DriverSettings, EveryKeyReachesItsField) {
    const char* groups[] = {"M3", "M5", "M6"};
    std::string text;
    for (int g = 0; g < 3; ++g) {
        const std::string p = groups[g];
        const int b = 100 * (g + 1);
        auto n = [&](int k) { return std::to_string(b + k); };
        text += "[" + p + "HI-SATMATRIX] " + n(1) + " 0 0 0 0 0 0 0 " + n(9) + "\n";
        text += "[" + p + "LO-SATMATRIX] " + n(2) + " 0 0 0 0 0 0 0 " + n(8) + "\n";
        text += "[" + p + "RGBMATRIX] " + n(3) + " 0 0 0 0 0 0 0 " + n(7) + "\n";
        text += "[" + p + "MONO] " + n(4) + ".5 1\n[" + p + "COLOR] " + n(5) + " 2\n";
        text += "[" + p + "IRMONO] " + n(6) + " 3\n[" + p + "OTHERS] " + n(7) + " 4\n";
        text += "[" + p + "DAY] " + n(10) + " 1 1\n[" + p + "TUNG] " + n(11) + " 1 1\n";
        text += "[" + p + "FLUOR] " + n(12) + " 1 1\n[" + p + "FLASH] " + n(13) + " 1 1\n";
        text += "[" + p + "NONE] " + n(14) + " 1 1\n[" + p + "TSTRTXY] " + n(15) + " 1\n";
        text += "[" + p + "TSTOPXY] " + n(16) + " 1\n[" + p + "CCENTER] " + n(17) + " 1\n";
        text += "[" + p + "SSTRTXY] " + n(18) + " 1\n[" + p + "SSTOPXY] " + n(19) + " 1\n";
    }
    DriverSettings s = factory();
    ASSERT_TRUE(parse(s, text));
    for (int g = 0; g < 3; ++g) {
        SCOPED_TRACE(groups[g]);
        const SensorGroupSettings& v = s.Group(SensorGroup(g));
        const int b = 100 * (g + 1);
        EXPECT_EQ(v.hiSatMatrix[0], b + 1);
        EXPECT_EQ(v.hiSatMatrix[8], b + 9);
        EXPECT_EQ(v.loSatMatrix[0], b + 2);  // stated, so not copied from the high matrix
        EXPECT_EQ(v.loSatMatrix[8], b + 8);
        EXPECT_EQ(v.rgbMatrix[0], b + 3);
        EXPECT_EQ(v.rgbMatrix[8], b + 7);
        EXPECT_EQ(v.mono[0], b + 4.5);
        EXPECT_EQ(v.color[0], b + 5);
        EXPECT_EQ(v.irMono[0], b + 6);
        EXPECT_EQ(v.others[0], b + 7);
        EXPECT_EQ(v.others[1], 4.0);
        EXPECT_EQ(v.daylight[0], b + 10);
        EXPECT_EQ(v.tungsten[0], b + 11);
        EXPECT_EQ(v.fluorescent[0], b + 12);
        EXPECT_EQ(v.flash[0], b + 13);
        EXPECT_EQ(v.none[0], b + 14);
        EXPECT_EQ(v.tStart[0], b + 15);
        EXPECT_EQ(v.tStop[0], b + 16);
        EXPECT_EQ(v.cCenter[0], b + 17);
        EXPECT_EQ(v.sStart[0], b + 18);
        EXPECT_EQ(v.sStop[0], b + 19);
    }
    for (int k = 1; k < DriverSettings::kKeyCount; ++k) EXPECT_TRUE(s.KeyRead(k)) << k;
    EXPECT_FALSE(s.KeyRead(0));
}

TEST(DriverSettings, LowSaturationFollowsTheHighMatrixOfTheMomentUnlessStated) {
    DriverSettings s = factory();
    ASSERT_TRUE(parse(s, "[M5HI-SATMATRIX] 1 2 3 4 5 6 7 8 9\n"));
    EXPECT_EQ(ints(s.Group(SensorGroup::M5).loSatMatrix), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(ints(s.Group(SensorGroup::M3).loSatMatrix), kDefaults[0].hiSat);
    EXPECT_EQ(ints(s.Group(SensorGroup::M6).loSatMatrix), kDefaults[2].hiSat);
}

TEST(DriverSettings, KeysAndValuesLongerThan254BytesAreHandledWhole) {
    const std::string longKey(300, 'A');
    const std::string blanks(400, ' ');
    DriverSettings s = factory();
    ASSERT_TRUE(parse(s, "[" + longKey + "] 1 2 3\n"               // unknown key, skipped
                         "[M3DAY" + blanks + "] 9 9 9\n"           // not M3DAY: keys compare exactly
                         "[M5DAY]" + blanks + "11 12 13\n"          // numbers after a long run of blanks
                         "[M6DAY] " + std::string(600, '7') + " 5 6\n"));  // one huge number saturates
    EXPECT_EQ(ints(s.Group(SensorGroup::M3).daylight), (std::vector<int>{135, 235, 80}));
    EXPECT_EQ(ints(s.Group(SensorGroup::M5).daylight), (std::vector<int>{11, 12, 13}));
    EXPECT_EQ(ints(s.Group(SensorGroup::M6).daylight), (std::vector<int>{-1, 5, 6}));
}

TEST(DriverSettings, SensorGroupBySensorSize) {
    EXPECT_EQ(DriverSettings::GroupForSensor(1280, 1024), SensorGroup::M3);
    EXPECT_EQ(DriverSettings::GroupForSensor(1536, 1024), SensorGroup::M5);
    EXPECT_EQ(DriverSettings::GroupForSensor(1024, 1280), SensorGroup::M6);
    EXPECT_EQ(DriverSettings::GroupForSensor(4096, 4096), SensorGroup::M6);
    EXPECT_EQ(DriverSettings::GroupForSensor(0, 0), SensorGroup::M6);
}
