// The scale plug-in binding and the image scaler, through the real TalpScale
// module: loading and its failures, set-up, rectangles, strips with their
// alignment and refusals, cancel, and export-like runs against one
// whole-picture resampling with Kestra.
#include "BuiltInFilters.h"
#include "ExportScaler.h"
#include "ImageScaler.h"
#include "Kestra.h"
#include "NbErrorCodes.h"
#include "ScalePlugIn.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace NimbalCore {
namespace {

// The process's plug-in created for one test and released after it.
class WithPlugIn : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(ScalePlugIn::CreateWithPool(), 0); }
    void TearDown() override { EXPECT_EQ(ScalePlugIn::ReleaseWithPool(), 0); }
};

short goOn(int, void*) { return 1; }
int gCalls;
short stopAtSecond(int, void*) { return ++gCalls < 2 ? 1 : 0; }

// Interleaved samples with their plane set.
struct Strip {
    int32_t columns = 0, rows = 0, channels = 1, bytes = 1;
    std::vector<uint8_t> data;

    Strip() = default;
    Strip(int32_t c, int32_t r, int32_t ch, int32_t b, size_t extra = 0)
        : columns(c), rows(r), channels(ch), bytes(b), data(size_t(c) * r * ch * b + extra, 0) {}
    int32_t rowStride() const { return columns * channels * bytes; }
    VrelSharpenPlanes planes(uint8_t* first) const {
        VrelSharpenPlanes p{};
        p.channels = channels;
        p.bitsPerSample = bytes * 8;
        p.pixelStride = channels * bytes;
        p.rowStride = rowStride();
        p.rows = rows;
        p.columns = columns;
        for (int32_t c = 0; c < channels; ++c) p.plane[c] = first + c * bytes;
        return p;
    }
    uint8_t* at(int32_t x, int32_t y, int32_t c = 0) {
        return data.data() + int64_t(y) * rowStride() + (int64_t(x) * channels + c) * bytes;
    }
    int32_t get(int32_t x, int32_t y, int32_t c = 0) {
        const uint8_t* s = at(x, y, c);
        return bytes == 1 ? s[0] : s[0] | (s[1] << 8);
    }
    void set(int32_t x, int32_t y, int32_t c, int32_t v) {
        uint8_t* s = at(x, y, c);
        s[0] = uint8_t(v);
        if (bytes == 2) s[1] = uint8_t(v >> 8);
    }
};

TEST(ScalePlugInLoad, SecondLoadKeepsTheFirst) {
    ScalePlugIn p;
    ASSERT_EQ(p.Load(), 0);
    const VxFiltPlugIn h = p.Handle();
    EXPECT_STREQ(p.Info().name, "TALPScale");
    EXPECT_EQ(p.Load(), NbErrScalerNotLoaded);
    EXPECT_EQ(p.Handle(), h);
    EXPECT_NE(p.Procs().process, nullptr);
    EXPECT_EQ(p.Unload(), 0);
    EXPECT_EQ(p.Unload(), NbErrScalerNotLoaded);
}

TEST(ScalePlugInLoad, MissingLibrary) {
    ScalePlugIn missing("TalpScaleNotThere");
    EXPECT_EQ(missing.Load(), NbErrScalerMissing);
    EXPECT_FALSE(missing.IsLoaded());
    EXPECT_EQ(missing.Unload(), NbErrScalerNotLoaded);
    // Without a loaded plug-in in the process a scaler cannot be set up.
    ASSERT_EQ(ScalePlugIn::Get(), nullptr);
    ImageScaler s;
    EXPECT_EQ(s.Setup(false, NbRect(0, 0, 99, 99), NbRect(0, 0, 49, 49), 1, 3, 1, 2), NbErrScalerNotSetUp);
    NbRect a, b(0, 0, 9, 9), c;
    EXPECT_EQ(s.GetSourceRect(&a, &b, &c), NbErrScalerRectanglesFailed);
}

TEST(ScalePlugInLoad, FailedDescriptionUnloadsThePlugIn) {
    // The host hands back a plug-in whose description failed still bound.
    setenv("FAKE_PLUGIN_LOG", "", 1);
    ScalePlugIn p("FakePlugInOTHERPROCESS");
    EXPECT_EQ(p.Load(), NbErrScalerNotLoaded);
    EXPECT_FALSE(p.IsLoaded());
    EXPECT_STREQ(std::getenv("FAKE_PLUGIN_LOG"), "info;unload;");
    unsetenv("FAKE_PLUGIN_LOG");
}

TEST(ScalePlugInLoad, PoolInstallsTheExportersFactory) {
    EXPECT_EQ(MakeExportScaler(), nullptr);
    ASSERT_EQ(ScalePlugIn::CreateWithPool(), 0);
    std::unique_ptr<ExportScaler> s = MakeExportScaler();
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->Setup(false, NbRect(0, 0, 99, 99), NbRect(0, 0, 49, 49), 1, 3, 1, 2), 0);
    s.reset();
    EXPECT_EQ(ScalePlugIn::ReleaseWithPool(), 0);
    EXPECT_EQ(MakeExportScaler(), nullptr);
    EXPECT_EQ(ScalePlugIn::Get(), nullptr);
}

TEST_F(WithPlugIn, SetUpRefusals) {
    ImageScaler s;
    EXPECT_EQ(s.Setup(false, NbRect(0, 0, -1, 9), NbRect(0, 0, 9, 9), 1, 3, 1, 1), NbErrScalerEmptyRect);
    EXPECT_EQ(s.Setup(false, NbRect(0, 0, 9, 9), NbRect(0, 0, 9, 9), 1, 3, 0, 1), NbErrScalerEmptyRect);
    EXPECT_EQ(s.Setup(false, NbRect(0, 0, 9, 9), NbRect(0, 0, 9, 9), 3, 3, 1, 1), NbErrBadArgument);
    EXPECT_EQ(s.Setup(false, NbRect(0, 0, 9, 9), NbRect(0, 0, 9, 9), 1, 2, 1, 1), NbErrBadArgument);
    size_t w, d;
    EXPECT_EQ(s.GetBufferSizes(&w, &d), NbErrScalerNotSetUp);
    EXPECT_EQ(s.GetBufferSizes(nullptr, &d), NbErrBadArgument);
    ASSERT_EQ(s.Setup(false, NbRect(0, 0, 99, 49), NbRect(0, 0, 49, 24), 2, 1, 1, 2), 0);
    // Rectangles are only known inside a strip bracket.
    NbRect src, dst(0, 0, 49, 24), second;
    EXPECT_EQ(s.GetSourceRect(&src, &dst, &second), NbErrScalerRectanglesFailed);
    ASSERT_EQ(s.StripBegin(), 0);
    EXPECT_EQ(s.GetSourceRect(&src, &dst, &second), 0);
    EXPECT_EQ(src.left, 0);
    EXPECT_EQ(src.right, 99);
    EXPECT_EQ(src.bottom, 49);
    ASSERT_EQ(s.GetBufferSizes(&w, &d), 0);
    EXPECT_EQ(d, size_t(50 * 25 * 2 + 20));
    EXPECT_GT(w, size_t(20));
    EXPECT_EQ(s.StripEnd(), 0);
}

// One strip covering the whole picture.
int32_t processWhole(ImageScaler& s, Strip& src, Strip& dst, uint8_t* dstFirst, VrelSharpenPlanes& dstPlanes,
                     std::vector<uint8_t>& work, ExportScalerProgress progress = goOn) {
    NbRect sr, dr(0, 0, dst.columns - 1, dst.rows - 1), second;
    if (const int32_t r = s.GetSourceRect(&sr, &dr, &second)) return r;
    size_t w = 0, d = 0;
    if (const int32_t r = s.GetBufferSizes(&w, &d)) return r;
    work.assign(w, 0);
    VrelSharpenPlanes sp = src.planes(src.at(sr.left, sr.top));
    dstPlanes = dst.planes(dstFirst);
    int user = 0;
    return s.ProcessStrip(work.data(), sr, &sp, dr, &dstPlanes, progress, &user);
}

TEST_F(WithPlugIn, ThreeChannelsAndGrey) {
    for (int32_t channels : {3, 1}) {
        SCOPED_TRACE(channels);
        Strip src(40, 30, channels, 1), dst(20, 15, channels, 1, 20);
        std::fill(src.data.begin(), src.data.end(), 90);
        ImageScaler s;
        ASSERT_EQ(s.Setup(false, NbRect(0, 0, 39, 29), NbRect(0, 0, 19, 14), 1, channels, 1, 2), 0);
        ASSERT_EQ(s.StripBegin(), 0);
        VrelSharpenPlanes dp;
        std::vector<uint8_t> work;
        ASSERT_EQ(processWhole(s, src, dst, dst.data.data(), dp, work), 0);
        const uint8_t* first = static_cast<uint8_t*>(dp.plane[0]);
        for (int32_t i = 0; i < 20 * 15 * channels; ++i) ASSERT_EQ(first[i], 90) << i;
        for (int32_t c = 0; c < 3; ++c) EXPECT_EQ(dp.plane[c] != nullptr, c < channels);
        // A plane set of another channel count is refused.
        Strip other(40, 30, 4 - channels, 1);
        VrelSharpenPlanes op = other.planes(other.data.data()), dp2 = dst.planes(dst.data.data());
        int user = 0;
        EXPECT_EQ(s.ProcessStrip(work.data(), NbRect(0, 0, 39, 29), &op, NbRect(0, 0, 19, 14), &dp2, goOn, &user),
                  NbErrScalerFormatMismatch);
    }
}

TEST_F(WithPlugIn, DestinationAlignedToTwoModuloFour) {
    Strip src(40, 30, 3, 2), dst(20, 15, 3, 2, 24);
    ImageScaler s;
    ASSERT_EQ(s.Setup(false, NbRect(0, 0, 39, 29), NbRect(0, 0, 19, 14), 2, 3, 1, 2), 0);
    ASSERT_EQ(s.StripBegin(), 0);
    // A buffer whose address has remainder 0 modulo 4.
    uint8_t* base = dst.data.data();
    while (reinterpret_cast<uintptr_t>(base) % 4 != 0) ++base;
    VrelSharpenPlanes dp;
    std::vector<uint8_t> work;
    ASSERT_EQ(processWhole(s, src, dst, base, dp, work), 0);
    EXPECT_EQ(static_cast<uint8_t*>(dp.plane[0]), base + 2);
    EXPECT_EQ(static_cast<uint8_t*>(dp.plane[1]), base + 4);
    EXPECT_EQ(static_cast<uint8_t*>(dp.plane[2]), base + 6);
}

TEST_F(WithPlugIn, MismatchesAndMissingArguments) {
    Strip src(40, 30, 3, 2), dst(20, 15, 3, 2, 20);
    ImageScaler s;
    ASSERT_EQ(s.Setup(false, NbRect(0, 0, 39, 29), NbRect(0, 0, 19, 14), 1, 3, 1, 2), 0);
    ASSERT_EQ(s.StripBegin(), 0);
    std::vector<uint8_t> work(100000);
    VrelSharpenPlanes sp = src.planes(src.data.data()), dp = dst.planes(dst.data.data());
    int user = 0;
    const NbRect sr(0, 0, 39, 29), dr(0, 0, 19, 14);
    EXPECT_EQ(s.ProcessStrip(work.data(), sr, &sp, dr, &dp, goOn, &user), NbErrScalerFormatMismatch); // 16-bit sets
    EXPECT_EQ(s.ProcessStrip(work.data(), sr, &sp, dr, &dp, nullptr, &user), NbErrScalerNoProgress);
    EXPECT_EQ(s.ProcessStrip(work.data(), sr, &sp, dr, &dp, goOn, nullptr), NbErrScalerNoProgress);
    EXPECT_EQ(s.ProcessStrip(nullptr, sr, &sp, dr, &dp, goOn, &user), NbErrScalerNoBuffers);
    EXPECT_EQ(s.ProcessStrip(work.data(), sr, nullptr, dr, &dp, goOn, &user), NbErrScalerNoBuffers);
    Strip s8(40, 30, 3, 1);
    VrelSharpenPlanes sp8 = s8.planes(s8.data.data()), dp8 = dst.planes(dst.data.data());
    sp8.plane[2] = nullptr;
    EXPECT_EQ(s.ProcessStrip(work.data(), sr, &sp8, dr, &dp8, goOn, &user), NbErrScalerNoBuffers);
    EXPECT_TRUE(s.IsSetUp()) << "refused arguments leave the job open";
}

TEST_F(WithPlugIn, CancelClosesTheJob) {
    Strip src(400, 300, 3, 2), dst(200, 150, 3, 2, 20);
    ImageScaler s;
    ASSERT_EQ(s.Setup(false, NbRect(0, 0, 399, 299), NbRect(0, 0, 199, 149), 2, 3, 1, 2), 0);
    ASSERT_EQ(s.StripBegin(), 0);
    VrelSharpenPlanes dp;
    std::vector<uint8_t> work;
    gCalls = 0;
    EXPECT_EQ(processWhole(s, src, dst, dst.data.data(), dp, work, stopAtSecond), NbErrScalerCancelled);
    EXPECT_FALSE(s.IsSetUp());
    EXPECT_FALSE(s.InStrip());
    size_t w, d;
    EXPECT_EQ(s.GetBufferSizes(&w, &d), NbErrScalerNotSetUp);
}

// The same resampling done by Kestra in one call over the whole picture.
Strip kestraWhole(Strip& src, int32_t dw, int32_t dh, double scale) {
    Strip out(dw, dh, src.channels, src.bytes);
    PSFCaller caller = 0;
    EXPECT_EQ(PSFInitialize(&caller), PSFSuccess);
    std::string why;
    const std::vector<uint8_t> bytes = filtergen::BuiltInFilter(2004, why);
    PSFFilter f = 0;
    EXPECT_EQ(PSFLoadFilterFromBuffer(caller, bytes.data(), uint32_t(bytes.size()), &f), PSFSuccess);
    const double m[4] = {scale, 0, 0, scale}, o[2] = {(scale - 1) / 2, (scale - 1) / 2};
    EXPECT_EQ(PSFAffineSetup(f, m, o), PSFSuccess);
    auto picture = [](Strip& s) {
        PSFPicture p{};
        p.rect = PSFRect{0, 0, s.columns, s.rows};
        p.width = s.columns;
        p.height = s.rows;
        p.planeCount = s.channels;
        for (int32_t c = 0; c < s.channels; ++c)
            p.planes[c] = PSFPlane{s.columns, s.channels * s.bytes, s.rows, s.rowStride(),
                                   s.bytes == 1 ? int32_t(PSFSample8) : int32_t(PSFSample16b), s.at(0, 0, c)};
        return p;
    };
    PSFPicture S = picture(src), D = picture(out), W{};
    PSFRect source = S.rect, second{}, aux{}, reachable{};
    uint16_t flag = 0;
    EXPECT_EQ(PSFRectangles(f, &source, &second, &aux, &reachable, &flag, 0, 1), PSFSuccess);
    EXPECT_EQ(PSFAllocPicture(&D, &aux, &W), PSFSuccess);
    int32_t edges[16];
    for (int i = 0; i < 8; ++i) edges[2 * i] = 1, edges[2 * i + 1] = 0;
    EXPECT_EQ(PSFScale(f, &S, &W, &D, edges, nullptr, nullptr), PSFSuccess);
    PSFFreePicture(&W);
    PSFFreeFilter(f);
    PSFTerminate(caller);
    return out;
}

// An exporter's run: one bracket, then per destination strip of 256 rows the
// source rows it needs, the buffer sizes and the strip.
Strip exportRun(Strip& src, int32_t dw, int32_t dh) {
    Strip out(dw, dh, src.channels, src.bytes);
    ImageScaler s;
    EXPECT_EQ(s.Setup(false, NbRect(0, 0, src.columns - 1, src.rows - 1), NbRect(0, 0, dw - 1, dh - 1), src.bytes,
                      src.channels, dw, src.columns),
              0);
    EXPECT_EQ(s.StripBegin(), 0);
    std::vector<uint8_t> work, strip;
    for (int32_t y = 0; y < dh; y += 256) {
        NbRect sr, dr(0, y, dw - 1, std::min(dh, y + 256) - 1), second;
        EXPECT_EQ(s.GetSourceRect(&sr, &dr, &second), 0);
        size_t w = 0, d = 0;
        EXPECT_EQ(s.GetBufferSizes(&w, &d), 0);
        work.resize(w);
        strip.resize(d);
        const int32_t rows = int32_t(dr.Height());
        Strip shape(dw, rows, src.channels, src.bytes);
        VrelSharpenPlanes sp = src.planes(src.at(sr.left, sr.top));
        VrelSharpenPlanes dp = shape.planes(strip.data());
        int user = 0;
        EXPECT_EQ(s.ProcessStrip(work.data(), sr, &sp, dr, &dp, goOn, &user), 0);
        const uint8_t* first = static_cast<uint8_t*>(dp.plane[0]);
        std::memcpy(out.at(0, y), first, size_t(shape.rowStride()) * rows);
    }
    return out;
}

TEST_F(WithPlugIn, RatioOneCopies) {
    Strip src(300, 520, 3, 2);
    for (size_t i = 0; i < src.data.size(); ++i) src.data[i] = uint8_t(i * 7 + i / 900);
    const Strip out = exportRun(src, 300, 520);
    EXPECT_TRUE(out.data == src.data);
}

struct ExportCase {
    int32_t w, h, channels, bytes, dw, dh;
};

class ExportRuns : public WithPlugIn, public ::testing::WithParamInterface<ExportCase> {};

TEST_P(ExportRuns, ConstantRampAndWholePicture) {
    const ExportCase c = GetParam();
    const double scale = double(c.dw) / c.w;
    Strip flat(c.w, c.h, c.channels, c.bytes), ramp(c.w, c.h, c.channels, c.bytes);
    const int32_t level = c.bytes == 1 ? 173 : 44321;
    for (int32_t y = 0; y < c.h; ++y)
        for (int32_t x = 0; x < c.w; ++x)
            for (int32_t ch = 0; ch < c.channels; ++ch) {
                flat.set(x, y, ch, level);
                // The steepest slope is 16 per sample; 8-bit pictures wrap
                // it, so only the 16-bit ones are judged as ramps.
                ramp.set(x, y, ch, (1000 + 16 * x * c.w / 3000 + 8 * y * c.h / 2000 + 100 * ch) & 0xFFFF);
            }
    const Strip a = exportRun(flat, c.dw, c.dh);
    for (size_t i = 0; i < a.data.size(); i += size_t(c.bytes)) {
        const int32_t v = c.bytes == 1 ? a.data[i] : a.data[i] | (a.data[i + 1] << 8);
        ASSERT_EQ(v, level) << i;
    }
    Strip b = exportRun(ramp, c.dw, c.dh);
    EXPECT_TRUE(b.data == kestraWhole(ramp, c.dw, c.dh, scale).data) << "strips differ from one whole resampling";
    if (c.bytes == 2) {
        const int32_t border = scale > 1 ? int32_t(16 * scale) + 2 : 18;
        for (int32_t y = border; y < c.dh - border; y += 7)
            for (int32_t x = border; x < c.dw - border; x += 5) {
                const double sx = (x + 0.5) / scale - 0.5, sy = (y + 0.5) / scale - 0.5;
                const double want = 1000 + 16.0 * sx * c.w / 3000 + 8.0 * sy * c.h / 2000;
                ASSERT_NEAR(b.get(x, y), want, 4) << x << "," << y;
            }
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, ExportRuns,
                         ::testing::Values(ExportCase{3000, 2000, 3, 2, 1500, 1000}, ExportCase{3000, 2000, 3, 2, 4500, 3000},
                                           ExportCase{3000, 2000, 3, 1, 1500, 1000}, ExportCase{3000, 2000, 3, 1, 4500, 3000},
                                           ExportCase{3000, 2000, 1, 2, 1500, 1000}, ExportCase{3000, 2000, 1, 2, 4500, 3000},
                                           ExportCase{3000, 2000, 1, 1, 1500, 1000}, ExportCase{3000, 2000, 1, 1, 4500, 3000}),
                         [](const ::testing::TestParamInfo<ExportCase>& i) {
                             const ExportCase& c = i.param;
                             return std::string(c.channels == 3 ? "Rgb" : "Grey") + (c.bytes == 1 ? "8" : "16") + "To" +
                                    std::to_string(c.dw) + "x" + std::to_string(c.dh);
                         });

} // namespace
} // namespace NimbalCore
