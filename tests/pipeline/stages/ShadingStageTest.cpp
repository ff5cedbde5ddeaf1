// Shading correction: polynomial gains against a direct evaluation, calibration
// files of both layouts, the checks, and images wider or taller than the data.
#include "CalibrationShading.h"
#include "PolynomialShading.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <functional>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

using namespace lumora;
namespace fs = std::filesystem;

namespace {

// The gain of one channel as a plain evaluation (values small enough that no
// intermediate leaves 32 bits).
int32_t modelCorrect(const int32_t* k, int32_t x, int32_t y, int32_t v, int32_t maxv) {
    const int64_t p = ((int64_t(k[0]) * x * x + int64_t(k[2]) * y * y) >> 10) + int64_t(k[1]) * x + int64_t(k[3]) * y + k[4];
    const int64_t g = (p - 0x100000) >> 4;
    const int64_t out = v + ((v * g + 0x7fff) >> 16);
    return int32_t(std::min<int64_t>(std::max<int64_t>(out, 0), maxv));
}

std::vector<uint16_t> randomPlane(size_t n, uint32_t seed, uint16_t maxv = 4095) {
    std::mt19937 rng(seed);
    std::vector<uint16_t> v(n);
    for (auto& s : v) s = uint16_t(rng() % (maxv + 1u));
    return v;
}

} // namespace

TEST(PolynomialShading, CfaStripMatchesDirectEvaluationPerColour) {
    PolynomialShading s;
    // Distinct channels and x/y terms so a swapped colour or axis shows.
    const std::array<int32_t, 10> k = {3, 40, 5, -25, 0x110000, -2, -30, 4, 60, 0xF0000};
    const uint16_t W = 64, maxv = 4095;
    ASSERT_EQ(s.SetPolynomial(k, W, maxv), VQ_OK);
    s.SetMode(ShadingStage::CfaStrip);
    const int32_t x0 = 100, y0 = 36, rows = 6;
    auto in = randomPlane(size_t(W) * rows, 1, 5000);
    std::vector<uint16_t> out(in.size());
    ASSERT_EQ(s.Apply(x0, y0, in.data(), out.data(), rows), VQ_OK);
    for (int32_t r = 0; r < rows; ++r)
        for (int32_t j = 0; j < W; ++j) {
            const int32_t x = x0 + j, y = y0 + r;
            const int32_t v = in[size_t(r) * W + j];
            int32_t want;
            if ((r & 1) == (j & 1)) want = std::min<int32_t>(v, maxv);           // green
            else if ((r & 1) == 0) want = modelCorrect(k.data(), x, y, v, maxv);  // even-row colour
            else want = modelCorrect(k.data() + 5, x, y, v, maxv);                // odd-row colour
            ASSERT_EQ(out[size_t(r) * W + j], want) << "row " << r << " col " << j;
        }
    // In place gives the same.
    ASSERT_EQ(s.Apply(x0, y0, in.data(), in.data(), rows), VQ_OK);
    EXPECT_EQ(in, out);
}

TEST(PolynomialShading, UnitAndDoubleGains) {
    PolynomialShading s;
    const uint16_t W = 8;
    std::vector<uint16_t> in = {100, 200, 300, 400, 500, 600, 4000, 4095, 10, 20, 30, 40, 50, 60, 3000, 65535};
    std::vector<uint16_t> out(in.size());
    ASSERT_EQ(s.SetPolynomial({0, 0, 0, 0, 0x100000, 0, 0, 0, 0, 0x100000}, W, 4095), VQ_OK);
    ASSERT_EQ(s.ApplyCfa(0, 0, in.data(), out.data(), 2), VQ_OK);
    for (size_t i = 0; i < in.size(); ++i) EXPECT_EQ(out[i], std::min<uint16_t>(in[i], 4095));
    // Gain 2.0: colours double (limited), greens stay; a 16-bit colour sample
    // saturates instead of wrapping.
    ASSERT_EQ(s.SetPolynomial({0, 0, 0, 0, 0x200000, 0, 0, 0, 0, 0x200000}, W, 65535), VQ_OK);
    ASSERT_EQ(s.ApplyCfa(0, 0, in.data(), out.data(), 2), VQ_OK);
    const std::vector<uint16_t> want = {100, 400, 300, 800, 500, 1200, 4000, 8190, 20, 20, 60, 40, 100, 60, 6000, 65535};
    EXPECT_EQ(out, want);
    in[1] = 60000;
    ASSERT_EQ(s.ApplyCfa(0, 0, in.data(), out.data(), 2), VQ_OK);
    EXPECT_EQ(out[1], 65535);
}

TEST(PolynomialShading, ChecksAndModes) {
    PolynomialShading s;
    std::vector<uint16_t> buf(16, 7);
    EXPECT_EQ(s.SetPolynomial({}, 7, 4095), VQ_ERR_SHADING_ODD_WIDTH);
    ASSERT_EQ(s.SetPolynomial({0, 0, 0, 0, 0x100000, 0, 0, 0, 0, 0x100000}, 8, 4095), VQ_OK);
    EXPECT_EQ(s.ApplyCfa(0, 0, buf.data(), buf.data(), 1), VQ_ERR_SHADING_ODD_WIDTH);
    EXPECT_EQ(s.ApplyCfa(0, 1, buf.data(), buf.data(), 2), VQ_ERR_SHADING_ODD_START);
    EXPECT_EQ(s.ApplyCfa(0, 0, nullptr, buf.data(), 2), VQ_ERR_SHADING_NULL);
    EXPECT_EQ(s.ApplyCfa(0, 0, buf.data(), buf.data(), 0), VQ_OK);
    // An odd width set directly would step past the row: refused.
    s.SetWidth(7);
    EXPECT_EQ(s.ApplyCfa(0, 0, buf.data(), buf.data(), 2), VQ_ERR_SHADING_ODD_WIDTH);
    s.SetWidth(8);
    // Monochrome planes are left untouched.
    std::vector<uint16_t> other(16, 9);
    EXPECT_EQ(s.ApplyPlane(0, 0, buf.data(), other.data(), 2), VQ_OK);
    EXPECT_EQ(s.ApplyPlaneSubsampled(buf.data(), other.data(), 3, 4, 2, 2), VQ_OK);
    EXPECT_EQ(other, std::vector<uint16_t>(16, 9));
    s.SetMode(ShadingStage::CopyOnly);
    EXPECT_EQ(s.Apply(0, 0, buf.data(), other.data(), 2), VQ_OK);
    EXPECT_EQ(other, buf);
    EXPECT_EQ(s.CopyThrough(0, 0, nullptr, other.data(), 2), VQ_ERR_UNPACK_NULL);
    s.SetMode(5);
    EXPECT_EQ(s.Apply(0, 0, buf.data(), other.data(), 2), VQ_ERR_BAD_STAGE_MODE);
    int32_t len = -1;
    EXPECT_EQ(s.GetFileName(&len, nullptr, 0), VQ_OK);
    EXPECT_EQ(len, 0);
    EXPECT_EQ(s.CheckSource(), VQ_OK);
}

TEST(PolynomialShading, ThreePlanesOnTheSubsampledGrid) {
    PolynomialShading s;
    const std::array<int32_t, 10> k = {2, 10, 3, -7, 0x120000, 1, -12, 2, 9, 0xE8000};
    ASSERT_EQ(s.SetPolynomial(k, 40, 4000), VQ_OK);
    const int32_t x0 = 3, y0 = 4, extent = 20, step = 4;
    const size_t n = 10 * 5; // x = 3, 7, … 39; y = 4, 8, … 20
    auto a = randomPlane(n, 2), g = randomPlane(n, 3), b = randomPlane(n, 4);
    std::vector<uint16_t> da(n), dg(n), db(n);
    ASSERT_EQ(s.ApplyThreePlanes(a.data(), g.data(), b.data(), da.data(), dg.data(), db.data(), x0, y0, extent, step), VQ_OK);
    size_t i = 0;
    for (int32_t y = y0; y < y0 + extent; y += step)
        for (int32_t x = x0; x < x0 + 40; x += step, ++i) {
            EXPECT_EQ(dg[i], std::min<uint16_t>(g[i], 4000));
            EXPECT_EQ(da[i], modelCorrect(k.data(), x, y, a[i], 4000));
            EXPECT_EQ(db[i], modelCorrect(k.data() + 5, x, y, b[i], 4000));
        }
    ASSERT_EQ(i, n);
    EXPECT_EQ(s.ApplyThreePlanes(a.data(), g.data(), nullptr, da.data(), dg.data(), db.data(), 3, 4, 20, 4), VQ_ERR_SHADING_NULL);
    EXPECT_EQ(s.ApplyThreePlanes(a.data(), g.data(), b.data(), da.data(), dg.data(), db.data(), 3, 4, 20, 0), VQ_ERR_BAD_SUBSAMPLE);
}

class CalibrationShadingTest : public ::testing::Test {
protected:
    // A calibration file for model "TESTCAM1" of the given size; byte i of the
    // file is fill(i).
    void writeFile(size_t size, const std::function<uint8_t(size_t)>& fill) {
        std::vector<uint8_t> bytes(size);
        for (size_t i = 0; i < size; ++i) bytes[i] = fill(i);
        std::ofstream(dir_ / "TESTCAM1.cal", std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(size));
    }
    CalibrationShading stage(uint16_t width, uint16_t maxv = 65535) {
        CalibrationShading s;
        EXPECT_EQ(s.SetCalibrationSource(dir_.c_str(), "TESTCAM1-extra", width, maxv), VQ_OK);
        return s;
    }
    lumora::test::TempFolder folder_;
    fs::path dir_ = folder_.path();
};

TEST_F(CalibrationShadingTest, FileNamesFromModelTexts) {
    struct Case { const char* model; const char* name; };
    for (const Case c : {Case{"ZYNM07 Sensor", "ZYN07 Se.cal"}, Case{"ZYNX09abcdefg", "ZYN09abc.cal"},
                         Case{"Other Model", "Other Mo.cal"}, Case{"AB", "AB.cal"}, Case{"ZYNM", "ZYN.cal"}}) {
        EXPECT_EQ(CalibrationShading::FileNameForModel(c.model), c.name);
    }
    CalibrationShading s;
    ASSERT_EQ(s.SetCalibrationSource("/some/folder", "Other Model", 8, 4095), VQ_OK);
    EXPECT_EQ(s.folder(), "/some/folder/");
    char name[60];
    int32_t len = 0;
    ASSERT_EQ(s.GetFileName(&len, name, sizeof name), VQ_OK);
    EXPECT_EQ(len, 12);
    EXPECT_STREQ(name, "Other Mo.cal");
}

TEST_F(CalibrationShadingTest, MissingFileAnswersTheOpenStatus) {
    auto s = stage(8);
    std::vector<uint16_t> buf(16, 100);
    EXPECT_EQ(s.CheckSource(), 2u); // file not found
    EXPECT_EQ(s.ApplyPlane(0, 0, buf.data(), buf.data(), 2), 2u);
    EXPECT_EQ(s.ApplyCfa(0, 0, buf.data(), buf.data(), 2), 2u);
    EXPECT_EQ(buf, std::vector<uint16_t>(16, 100));
    CalibrationShading t;
    t.SetCalibrationSource((dir_ / "no-such-folder").c_str(), "TESTCAM1", 8, 4095);
    EXPECT_EQ(t.CheckSource(), 3u); // path not found
    // Checks come before the file is read.
    EXPECT_EQ(s.ApplyThreePlanes(buf.data(), buf.data(), buf.data(), buf.data(), buf.data(), buf.data(), 2, 4, 4, 2),
              VQ_ERR_CALIBRATION_EVEN_START_COLUMN);
    EXPECT_EQ(s.ApplyPlaneSubsampled(buf.data(), buf.data(), 4, 4, 4, 2), VQ_ERR_CALIBRATION_EVEN_START_COLUMN);
    EXPECT_EQ(s.ApplyPlane(0, 0, buf.data(), buf.data(), 3), VQ_ERR_CALIBRATION_ODD_HEIGHT);
    EXPECT_EQ(s.ApplyCfa(0, 1, buf.data(), buf.data(), 2), VQ_ERR_CALIBRATION_ODD_START);
    EXPECT_EQ(s.ApplyCfa(0, 0, buf.data(), nullptr, 2), VQ_ERR_CALIBRATION_NULL);
}

TEST_F(CalibrationShadingTest, SinglePlaneFileIsPlacedOneBandIn) {
    // 197,888 bytes: band b of the single-plane layout starts at file offset
    // 256 + 3072·b. Gains 128 (unchanged), 255 (nearly double), 0 (black), 64 (half).
    const uint8_t gains[4] = {128, 255, 0, 64};
    writeFile(CalibrationShading::kSinglePlaneFile, [&](size_t i) {
        if (i < 256) return uint8_t(0xEE);
        const size_t band = (i - 256) / 3072, col = (i - 256) % 3072;
        return band == 1 ? gains[col % 4] : uint8_t(128 + band);
    });
    auto s = stage(8);
    std::vector<uint16_t> in = {1000, 1000, 1000, 1000, 1000, 1000, 1000, 1000,
                                4001, 4001, 4001, 4001, 4001, 4001, 4001, 4001};
    std::vector<uint16_t> out(16);
    ASSERT_EQ(s.ApplyPlane(0, 32, in.data(), out.data(), 2), VQ_OK); // band 1
    EXPECT_EQ(std::vector<uint16_t>(out.begin(), out.begin() + 4), (std::vector<uint16_t>{1000, 1992, 0, 500}));
    EXPECT_EQ(out[9], (255 * 4001 + 64) >> 7);
    ASSERT_EQ(s.ApplyPlane(0, 64, in.data(), out.data(), 2), VQ_OK); // band 2: gain 130
    EXPECT_EQ(out[0], (130 * 1000 + 64) >> 7);
    // Subsampled plane: odd x0 required; gains of (x, y) on the grid.
    std::vector<uint16_t> sub(4, 1000), subOut(4);
    ASSERT_EQ(s.ApplyPlaneSubsampled(sub.data(), subOut.data(), 1, 32, 2, 2), VQ_OK); // x = 1, 3, 5, 7
    EXPECT_EQ(subOut, (std::vector<uint16_t>{1992, 500, 1992, 500}));
}

TEST_F(CalibrationShadingTest, CfaCellsTakeTheirFourGainBytes) {
    // Any other size: the area starts at file offset 256; band b of the
    // colour layout at area offset 6144·(b + 1), two bytes per column.
    writeFile(256 + 6144 * 3, [](size_t i) {
        if (i < 256) return uint8_t(0);
        const size_t a = i - 256;
        if (a < 6144) return uint8_t(0); // unused first band
        return uint8_t(a % 4 == 0 ? 128 : a % 4 == 1 ? 64 : a % 4 == 2 ? 192 : 32);
    });
    auto s = stage(4, 4095);
    std::vector<uint16_t> in(8, 1000), out(8);
    ASSERT_EQ(s.ApplyCfa(0, 0, in.data(), out.data(), 2), VQ_OK);
    // Top row: TL (128), TR (32); bottom row: BL (64), BR (192).
    EXPECT_EQ(out, (std::vector<uint16_t>{1000, 250, 1000, 250, 500, 1500, 500, 1500}));
    // Three planes at odd x: colour gain of column x, green and colour of column x + 1.
    std::vector<uint16_t> p1(2, 1000), p2(2, 1000), p3(2, 1000), d1(2), d2(2), d3(2);
    ASSERT_EQ(s.ApplyThreePlanes(p1.data(), p2.data(), p3.data(), d1.data(), d2.data(), d3.data(), 1, 0, 1, 2), VQ_OK);
    EXPECT_EQ(d1, (std::vector<uint16_t>{250, 250})); // column 1: byte 3 → 32
    EXPECT_EQ(d2, (std::vector<uint16_t>{1000, 1000})); // column 2: byte 4 → 128
    EXPECT_EQ(d3, (std::vector<uint16_t>{500, 500}));   // column 2: byte 5 → 64
}

TEST_F(CalibrationShadingTest, GainsOutsideTheDataAreNeutralAndProductsSaturate) {
    // A file holding one band of colour data (rows 0..31).
    writeFile(256 + 6144 * 2, [](size_t i) { return uint8_t(i < 256 + 6144 ? 0 : 255); });
    // 3100 columns: beyond 3072 the band has no gains; rows 32.. have no band.
    auto s = stage(3100, 65535);
    std::vector<uint16_t> in(size_t(3100) * 2, 40000), out(in.size());
    ASSERT_EQ(s.ApplyCfa(0, 0, in.data(), out.data(), 2), VQ_OK);
    EXPECT_EQ(out[0], 65535);   // 255 × 40000 saturates instead of wrapping
    EXPECT_EQ(out[3071], 65535);
    EXPECT_EQ(out[3072], 40000); // no gain data for this column
    EXPECT_EQ(out[3100 + 3099], 40000);
    ASSERT_EQ(s.ApplyCfa(0, 64, in.data(), out.data(), 2), VQ_OK);
    EXPECT_EQ(out, in);
    // Single plane on the same file: band 1 and beyond hold nothing.
    s.SetWidth(4);
    ASSERT_EQ(s.ApplyPlane(0, 32 * 40, in.data(), out.data(), 2), VQ_OK);
    EXPECT_EQ(std::vector<uint16_t>(out.begin(), out.begin() + 8), std::vector<uint16_t>(8, 40000));
}

TEST_F(CalibrationShadingTest, FileShorterThanItsHeaderIsRefused) {
    writeFile(100, [](size_t) { return uint8_t(1); });
    auto s = stage(4);
    std::vector<uint16_t> buf(8, 77);
    EXPECT_EQ(s.CheckSource(), VQ_OK);
    EXPECT_EQ(s.ApplyCfa(0, 0, buf.data(), buf.data(), 2), VQ_ERR_BAD_FILE);
    EXPECT_EQ(buf, std::vector<uint16_t>(8, 77));
}

TEST(PolynomialShading, FastStripAgreesWithThePlainEvaluationForAnyCoefficients) {
    // Ordinary coefficients take the 64-bit strip loop; extreme ones (and far
    // positions) the wide evaluation. Both must give correct()'s samples.
    std::mt19937 rng(77);
    const std::array<int32_t, 10> ordinary = {3, 40, 5, -25, 0x110000, -2, -30, 4, 60, 0xF0000};
    const std::array<int32_t, 10> extreme = {INT32_MAX, INT32_MIN, -INT32_MAX, 12345678, INT32_MAX,
                                             INT32_MIN, 7, INT32_MAX, -99999, INT32_MIN};
    struct Case { std::array<int32_t, 10> k; int32_t x0, y0; };
    for (const Case& c : {Case{ordinary, 0, 0}, Case{ordinary, 60000, 40000}, Case{extreme, 10, 2},
                          Case{ordinary, -2000000000, 2000000000}, Case{{0, 0, 0, 0, 0x100000, 1 << 20, 0, 0, 0, 0}, 5, 6}}) {
        PolynomialShading s;
        const uint16_t W = 32;
        ASSERT_EQ(s.SetPolynomial(c.k, W, 65535), VQ_OK);
        auto in = randomPlane(size_t(W) * 4, rng(), 65535);
        std::vector<uint16_t> out(in.size());
        ASSERT_EQ(s.ApplyCfa(c.x0, c.y0, in.data(), out.data(), 4), VQ_OK);
        for (int32_t r = 0; r < 4; ++r)
            for (int32_t j = 0; j < W; ++j) {
                const size_t i = size_t(r) * W + j;
                const int64_t x = int64_t(c.x0) + j, y = int64_t(c.y0) + r;
                uint16_t want = in[i];
                if ((r & 1) == 0 && (j & 1) == 1) want = s.correct(1, x, y, in[i]);
                if ((r & 1) == 1 && (j & 1) == 0) want = s.correct(2, x, y, in[i]);
                ASSERT_EQ(out[i], want) << "x0 " << c.x0 << " row " << r << " col " << j;
            }
    }
}
