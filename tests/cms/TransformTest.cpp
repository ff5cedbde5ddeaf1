// Transforms: agreement with LittleCMS's own transicc, chains through looks,
// Lab and device links, every pixel layout, and sharing between threads.
#include "CmsTestSupport.h"
#include "TempFolder.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>
#include <unistd.h>

using namespace cmstest;

namespace {

struct Chain {
    std::vector<std::pair<std::string, int32_t>> profiles; // path, kind
};

// A combined transform of the chain, or a single one for one profile.
SpXform makeTransform(SpInstance inst, const Chain& chain) {
    std::vector<SpXform> parts;
    for (const auto& [path, kind] : chain.profiles) {
        SpProfile p = load(inst, path);
        SpXform x = 0;
        EXPECT_EQ(SpXformGet(p, 1, kind, &x), SpStatSuccess) << path;
        EXPECT_EQ(SpProfileFree(&p), SpStatSuccess); // the transform keeps what it needs
        parts.push_back(x);
    }
    if (parts.size() == 1) return parts[0];
    SpXform combined = 0;
    int32_t failed = -1;
    EXPECT_EQ(SpCombineXforms(int32_t(parts.size()), parts.data(), &combined, &failed, nullptr, nullptr),
              SpStatSuccess);
    for (auto& x : parts) SpXformFree(&x);
    return combined;
}

// Interleaved pixels of one sample size.
template <typename T>
SpPixelLayout interleaved(std::vector<T>& pixels, int32_t channels, int32_t type, int32_t columns, int32_t rows) {
    SpPixelLayout l{};
    l.sampleType = type;
    l.columns = columns;
    l.rows = rows;
    l.columnOffset = int32_t(sizeof(T)) * channels;
    l.rowOffset = l.columnOffset * columns;
    l.channels = channels;
    for (int32_t k = 0; k < channels; ++k) l.base[k] = pixels.data() + k;
    return l;
}

// A file name of our own for the length of a test.
class TempFile {
public:
    const std::string& path() const { return path_; }

private:
    lumora::test::TempFolder folder_;
    std::string path_ = folder_.file("data");
};

std::string quoted(const std::string& s) { return "'" + s + "'"; }

// Runs transicc once with the given profile arguments (relative colorimetric,
// no precalculation, floating point) over colours in transicc's text units.
std::vector<double> transicc(const std::string& profileArgs, const std::vector<double>& input) {
    TempFile file;
    std::ostringstream text;
    text.precision(10);
    for (size_t i = 0; i < input.size(); i += 3) text << input[i] << " " << input[i + 1] << " " << input[i + 2] << "\n";
    std::ofstream(file.path()) << text.str();
    const std::string output =
        RunCommand("transicc -t1 -c0 -n " + profileArgs + " < " + quoted(file.path()) + " 2>/dev/null");
    std::istringstream parse(output);
    std::vector<double> values;
    double v;
    while (parse >> v) values.push_back(v);
    return values;
}

// The colours compared: every channel at the levels 0, 15, 30 … 255. Each
// level is a whole number of steps at 8 bits (v) and at 16 bits (257 v), so
// both sample sizes carry exactly the same colours; a device link with a
// table of kLevels points a side has its nodes at exactly these levels.
constexpr int kLevels = 18;

std::vector<double> grid() {
    std::vector<double> g;
    for (int r = 0; r < kLevels; ++r)
        for (int gr = 0; gr < kLevels; ++gr)
            for (int b = 0; b < kLevels; ++b)
                for (int v : {r, gr, b}) g.push_back(255.0 * v / (kLevels - 1));
    return g;
}

// What our encoding of a transicc result is: RGB 0..255, Lab L* a* b*.
double encoded(bool lab, int channel, double value, double fullScale) {
    if (!lab) return value / 255.0 * fullScale;
    const double fraction = channel == 0 ? value / 100.0 : (value + 128.0) * 257.0 / 65535.0;
    return std::clamp(fraction, 0.0, 1.0) * fullScale;
}

// How transicc gets the same transform in one call: two profiles directly;
// a longer chain as a device link that linkicc builds from the same profiles
// in the same order with the same intent (LittleCMS picks each profile's
// direction by the rule our chains follow). The link holds the chain as a
// table of 16-bit values sampled at its nodes; the colours compared are its
// nodes, so what transicc answers for them is the chain itself rounded once
// to 16 bits, with nothing interpolated or rounded in between.
// Answers an empty string when the link cannot be made.
std::string transiccArguments(const std::vector<std::string>& profiles, const TempFile& link) {
    if (profiles.size() == 2) return "-i" + quoted(profiles[0]) + " -o" + quoted(profiles[1]);
    std::string command = "linkicc -t1 -n" + std::to_string(kLevels) + " -o" + quoted(link.path());
    for (const auto& p : profiles) command += " " + quoted(p);
    if (std::system((command + " >/dev/null 2>&1").c_str()) != 0) return {};
    return "-l" + quoted(link.path());
}

void expectAgreement(const Chain& chain, bool labOut) {
    std::vector<std::string> profiles;
    for (const auto& [path, kind] : chain.profiles) profiles.push_back(path);
    if (!HaveTool("transicc")) GTEST_SKIP() << "transicc is not installed";
    if (profiles.size() > 2 && !HaveTool("linkicc")) GTEST_SKIP() << "linkicc is not installed";
    TempFile link;
    const std::string arguments = transiccArguments(profiles, link);
    ASSERT_FALSE(arguments.empty()) << "linkicc could not link the chain";

    Instance inst;
    SpXform x = makeTransform(inst.get(), chain);
    for (int bits : {8, 16}) {
        const double full = bits == 8 ? 255.0 : 65535.0;
        // A grid of samples, and the same values as transicc reads them (0..255).
        const auto levels = grid();
        std::vector<uint16_t> samples(levels.size());
        std::vector<double> input(levels.size());
        for (size_t i = 0; i < levels.size(); ++i) {
            samples[i] = uint16_t(std::lround(levels[i] / 255.0 * full));
            input[i] = samples[i] * 255.0 / full;
        }
        const std::vector<double> expected = transicc(arguments, input);
        ASSERT_EQ(expected.size(), input.size());

        const int32_t pixels = int32_t(input.size() / 3);
        std::vector<uint16_t> src16(samples), dst16(input.size());
        std::vector<uint8_t> src8(samples.begin(), samples.end()), dst8(input.size());
        SpPixelLayout s = bits == 8 ? interleaved(src8, 3, SpSample8, pixels, 1)
                                    : interleaved(src16, 3, SpSample16, pixels, 1);
        SpPixelLayout d = bits == 8 ? interleaved(dst8, 3, SpSample8, pixels, 1)
                                    : interleaved(dst16, 3, SpSample16, pixels, 1);
        ASSERT_EQ(SpEvaluate(x, &s, &d, nullptr, nullptr), SpStatSuccess);
        double worst = 0;
        size_t worstAt = 0;
        for (size_t i = 0; i < input.size(); ++i) {
            const double ours = bits == 8 ? dst8[i] : dst16[i];
            const double theirs = encoded(labOut, int(i % 3), expected[i], full);
            if (std::fabs(ours - theirs) > worst) {
                worst = std::fabs(ours - theirs);
                worstAt = i;
            }
        }
        const size_t px = worstAt / 3 * 3;
        EXPECT_LE(worst, 1.0) << bits << "-bit samples differ from transicc by up to " << worst
                              << " steps, in channel " << worstAt % 3 << " of " << input[px] << " "
                              << input[px + 1] << " " << input[px + 2];
    }
    SpXformFree(&x);
}

} // namespace

TEST(CmsTransform, MatrixShaperPairAgreesWithTransicc) {
    expectAgreement({{{staticProfile("ZynRGB.icm"), 1}, {staticProfile("ORVEX_sRGB.icm"), 2}}}, false);
}

TEST(CmsTransform, ChainThroughAnInputLookAgreesWithTransicc) {
    // Lighting source to the reference space, the look from there, out to a wide working space.
    expectAgreement({{{staticProfile("ZynAukCDaylightSource.icm"), 1},
                      {staticProfile("ERIMM_PCS3.icm"), 2},
                      {staticProfile("ZynProductLook.icm"), 2},
                      {staticProfile("ProPhotoRGB.icm"), 2}}},
                    false);
}

TEST(CmsTransform, LabOutputAgreesWithTransicc) {
    expectAgreement({{{staticProfile("ZynRGB.icm"), 1}, {staticProfile("lab8_mft2.icm"), 2}}}, true);
}

TEST(CmsTransform, ChannelCountsOfSingleAndCombinedTransforms) {
    Instance inst;
    struct Case {
        Chain chain;
        int32_t in, out;
    };
    const Case cases[] = {
        {{{{staticProfile("ZynRGB.icm"), 1}}}, 3, 3},                                   // RGB to XYZ
        {{{{staticProfile("ORVEX_sRGB.icm"), 2}}}, 3, 3},                               // XYZ to RGB
        {{{{staticProfile("ZynRGB.icm"), 1}, {testProfile("BWNormalLink.icm"), 2}}}, 0, 0}, // cannot join
        {{{{staticProfile("ZynRGB.icm"), 1}, {staticProfile("ProPhotoRGB.icm"), 2},
           {testProfile("BWNormalLink.icm"), 2}, {staticProfile("ORVEX_sRGB.icm"), 1}}}, 3, 3},
    };
    for (const auto& c : cases) {
        if (c.in == 0) {
            // A device link that starts in RGB cannot follow a connection space.
            std::vector<SpXform> parts;
            for (const auto& [path, kind] : c.chain.profiles) {
                SpProfile p = load(inst.get(), path);
                SpXform x = 0;
                ASSERT_EQ(SpXformGet(p, 1, kind, &x), SpStatSuccess);
                SpProfileFree(&p);
                parts.push_back(x);
            }
            SpXform combined = 77;
            int32_t failed = -1;
            EXPECT_EQ(SpCombineXforms(2, parts.data(), &combined, &failed, nullptr, nullptr), SpStatCombineFailed);
            EXPECT_EQ(combined, 0u);
            EXPECT_EQ(failed, 1);
            for (auto& x : parts) SpXformFree(&x);
            continue;
        }
        SpXform x = makeTransform(inst.get(), c.chain);
        int32_t in = 0, out = 0;
        ASSERT_EQ(SpXformGetChannels(x, &in, &out), SpStatSuccess);
        EXPECT_EQ(in, c.in);
        EXPECT_EQ(out, c.out);
        SpXformFree(&x);
    }
}

TEST(CmsTransform, BadArgumentsAreRefused) {
    Instance inst;
    SpProfile p = load(inst.get(), staticProfile("ORVEX_sRGB.icm"));
    SpXform x = 5;
    EXPECT_EQ(SpXformGet(p, 7, 1, &x), SpStatBadRenderMode);
    EXPECT_EQ(x, 0u);
    EXPECT_EQ(SpXformGet(p, 1, 3, &x), SpStatBadArgument);
    EXPECT_EQ(SpXformGet(999999, 1, 1, &x), SpStatBadProfile);
    ASSERT_EQ(SpXformGet(p, 4, 1, &x), SpStatSuccess);
    const SpXform bad[2] = {x, 424242};
    SpXform combined = 0;
    int32_t failed = -1;
    EXPECT_EQ(SpCombineXforms(2, bad, &combined, &failed, nullptr, nullptr), SpStatBadXform);
    EXPECT_EQ(failed, 1);

    std::vector<uint8_t> px(12);
    SpPixelLayout l = interleaved(px, 3, SpSample8, 4, 1);
    SpPixelLayout wrong = l;
    wrong.sampleType = 2;
    EXPECT_EQ(SpEvaluate(x, &wrong, &l, nullptr, nullptr), SpStatBadSampleType);
    wrong = l;
    wrong.channels = 4;
    EXPECT_EQ(SpEvaluate(x, &wrong, &l, nullptr, nullptr), SpStatLayoutMismatch);
    wrong = l;
    wrong.columns = 3;
    EXPECT_EQ(SpEvaluate(x, &l, &wrong, nullptr, nullptr), SpStatLayoutMismatch);
    wrong = l;
    wrong.base[1] = nullptr;
    EXPECT_EQ(SpEvaluate(x, &wrong, &l, nullptr, nullptr), SpStatBadArgument);
    EXPECT_EQ(SpEvaluate(x, nullptr, &l, nullptr, nullptr), SpStatBadArgument);
    EXPECT_EQ(SpXformFree(&x), SpStatSuccess);
    EXPECT_EQ(SpXformFree(&x), SpStatBadXform);
    SpProfileFree(&p);
}

// One image held in different ways gives the same pixels.
TEST(CmsTransform, EveryLayoutGivesTheSamePixels) {
    Instance inst;
    SpXform x = makeTransform(inst.get(), {{{staticProfile("ZynRGB.icm"), 1},
                                            {staticProfile("ZynPortraitLook.icm"), 2},
                                            {staticProfile("ORVEX_sRGB.icm"), 2}}});
    const int32_t cols = 7, rows = 5;
    std::vector<uint16_t> src(size_t(cols) * rows * 3);
    for (size_t i = 0; i < src.size(); ++i) src[i] = uint16_t((i * 7919u) % 65536u);
    std::vector<uint16_t> reference(src.size());
    {
        auto s = interleaved(src, 3, SpSample16, cols, rows);
        auto d = interleaved(reference, 3, SpSample16, cols, rows);
        ASSERT_EQ(SpEvaluate(x, &s, &d, nullptr, nullptr), SpStatSuccess);
    }
    auto at = [&](const std::vector<uint16_t>& v, int32_t r, int32_t c, int32_t k) {
        return v[(size_t(r) * cols + size_t(c)) * 3 + size_t(k)];
    };

    // Planar, bottom-up and right-to-left (negative steps), blue first.
    std::vector<uint16_t> planes(src.size()), out(src.size());
    const size_t plane = size_t(cols) * rows;
    for (int32_t r = 0; r < rows; ++r)
        for (int32_t c = 0; c < cols; ++c)
            for (int32_t k = 0; k < 3; ++k)
                planes[size_t(2 - k) * plane + size_t(rows - 1 - r) * cols + size_t(cols - 1 - c)] = at(src, r, c, k);
    SpPixelLayout s{};
    s.sampleType = SpSample16;
    s.columns = cols;
    s.rows = rows;
    s.columnOffset = -2;
    s.rowOffset = -2 * cols;
    s.channels = 3;
    for (int32_t k = 0; k < 3; ++k) s.base[k] = &planes[size_t(2 - k) * plane + plane - 1];
    SpPixelLayout d = s;
    for (int32_t k = 0; k < 3; ++k) d.base[k] = &out[size_t(2 - k) * plane + plane - 1];
    ASSERT_EQ(SpEvaluate(x, &s, &d, nullptr, nullptr), SpStatSuccess);
    for (int32_t r = 0; r < rows; ++r)
        for (int32_t c = 0; c < cols; ++c)
            for (int32_t k = 0; k < 3; ++k)
                ASSERT_EQ(out[size_t(2 - k) * plane + size_t(rows - 1 - r) * cols + size_t(cols - 1 - c)],
                          at(reference, r, c, k));

    // In place, four samples per pixel (the fourth left alone).
    std::vector<uint16_t> four(plane * 4, 0x1234);
    for (size_t i = 0; i < plane; ++i)
        for (int k = 0; k < 3; ++k) four[i * 4 + size_t(k)] = src[i * 3 + size_t(k)];
    SpPixelLayout q = interleaved(four, 3, SpSample16, cols, rows);
    q.columnOffset = 8;
    q.rowOffset = 8 * cols;
    ASSERT_EQ(SpEvaluate(x, &q, &q, nullptr, nullptr), SpStatSuccess);
    for (size_t i = 0; i < plane; ++i) {
        for (int k = 0; k < 3; ++k) ASSERT_EQ(four[i * 4 + size_t(k)], reference[i * 3 + size_t(k)]);
        ASSERT_EQ(four[i * 4 + 3], 0x1234);
    }

    // 12-bit samples in 16-bit words agree with the 16-bit results.
    std::vector<uint16_t> src12(src.size()), dst12(src.size());
    std::vector<uint16_t> src16(src.size()), dst16(src.size());
    for (size_t i = 0; i < src.size(); ++i) {
        src12[i] = uint16_t(src[i] >> 4);
        src16[i] = uint16_t(std::lround(src12[i] * 65535.0 / 4095.0));
    }
    auto s12 = interleaved(src12, 3, SpSample12in16, cols, rows);
    auto d12 = interleaved(dst12, 3, SpSample12in16, cols, rows);
    auto s16 = interleaved(src16, 3, SpSample16, cols, rows);
    auto d16 = interleaved(dst16, 3, SpSample16, cols, rows);
    ASSERT_EQ(SpEvaluate(x, &s12, &d12, nullptr, nullptr), SpStatSuccess);
    ASSERT_EQ(SpEvaluate(x, &s16, &d16, nullptr, nullptr), SpStatSuccess);
    for (size_t i = 0; i < src.size(); ++i) {
        ASSERT_LE(dst12[i], 4095);
        ASSERT_LE(std::fabs(dst12[i] - dst16[i] * 4095.0 / 65535.0), 1.0) << i;
    }

    // 12-bit values above 4095 are held at 4095, never read as more.
    std::vector<uint16_t> over{0xFFFF, 0xFFFF, 0xFFFF}, top{4095, 4095, 4095}, a(3), b(3);
    auto so = interleaved(over, 3, SpSample12in16, 1, 1), st = interleaved(top, 3, SpSample12in16, 1, 1);
    auto da = interleaved(a, 3, SpSample12in16, 1, 1), db = interleaved(b, 3, SpSample12in16, 1, 1);
    ASSERT_EQ(SpEvaluate(x, &so, &da, nullptr, nullptr), SpStatSuccess);
    ASSERT_EQ(SpEvaluate(x, &st, &db, nullptr, nullptr), SpStatSuccess);
    EXPECT_EQ(a, b);
    SpXformFree(&x);
}

TEST(CmsTransform, DeviceLinkAndLabChains) {
    Instance inst;
    // A gray device-link look in the middle of an RGB chain gives gray.
    SpXform gray = makeTransform(inst.get(), {{{staticProfile("ProPhotoRGB.icm"), 1},
                                               {staticProfile("ProPhotoRGB.icm"), 2},
                                               {testProfile("BWNormalLink.icm"), 2},
                                               {staticProfile("ProPhotoRGB.icm"), 1},
                                               {staticProfile("ProPhotoRGB.icm"), 2}}});
    std::vector<uint8_t> px{200, 40, 90};
    auto l = interleaved(px, 3, SpSample8, 1, 1);
    ASSERT_EQ(SpEvaluate(gray, &l, &l, nullptr, nullptr), SpStatSuccess);
    EXPECT_NEAR(px[0], px[1], 1);
    EXPECT_NEAR(px[1], px[2], 1);
    SpXformFree(&gray);

    // RGB to Lab and back through the Lab profile as a source.
    SpXform toLab = makeTransform(inst.get(), {{{staticProfile("ORVEX_sRGB.icm"), 1}, {staticProfile("lab8_mft2.icm"), 2}}});
    SpXform fromLab = makeTransform(inst.get(), {{{staticProfile("lab8_mft2.icm"), 1}, {staticProfile("ORVEX_sRGB.icm"), 2}}});
    std::vector<uint16_t> rgb{65535, 65535, 65535, 30000, 20000, 10000}, lab(6), back(6);
    auto sr = interleaved(rgb, 3, SpSample16, 2, 1), sl = interleaved(lab, 3, SpSample16, 2, 1),
         sb = interleaved(back, 3, SpSample16, 2, 1);
    ASSERT_EQ(SpEvaluate(toLab, &sr, &sl, nullptr, nullptr), SpStatSuccess);
    EXPECT_NEAR(lab[0], 65535, 2); // white: L* 100
    EXPECT_NEAR(lab[1], 32896, 40); // a* 0
    EXPECT_NEAR(lab[2], 32896, 40);
    ASSERT_EQ(SpEvaluate(fromLab, &sl, &sb, nullptr, nullptr), SpStatSuccess);
    for (size_t i = 0; i < 6; ++i) EXPECT_NEAR(back[i], rgb[i], 40) << i;
    SpXformFree(&toLab);
    SpXformFree(&fromLab);
}

TEST(CmsTransform, OneTransformUsedByManyThreadsGivesTheSameResult) {
    Instance inst;
    SpXform x = makeTransform(inst.get(), {{{staticProfile("ZynKeelxTungstenSource.icm"), 1},
                                            {staticProfile("ERIMM_PCS3.icm"), 2},
                                            {staticProfile("ZynEventLook.icm"), 2},
                                            {staticProfile("ProPhotoRGB.icm"), 2}}});
    const int32_t cols = 4096;
    std::vector<uint16_t> src(size_t(cols) * 3);
    for (size_t i = 0; i < src.size(); ++i) src[i] = uint16_t((i * 40503u) & 0xFFFF);
    std::vector<uint16_t> reference(src.size());
    auto s = interleaved(src, 3, SpSample16, cols, 1);
    auto r = interleaved(reference, 3, SpSample16, cols, 1);
    ASSERT_EQ(SpEvaluate(x, &s, &r, nullptr, nullptr), SpStatSuccess);

    std::vector<std::vector<uint16_t>> outs(8, std::vector<uint16_t>(src.size()));
    std::vector<SpStatus> status(8, -1);
    std::vector<std::thread> threads;
    for (size_t t = 0; t < outs.size(); ++t)
        threads.emplace_back([&, t] {
            SpInitThread(inst.get(), nullptr, nullptr);
            auto d = interleaved(outs[t], 3, SpSample16, cols, 1);
            for (int round = 0; round < 10 && status[t] <= 0; ++round)
                status[t] = SpEvaluate(x, &s, &d, nullptr, nullptr);
            SpTermThread(inst.get());
        });
    for (auto& th : threads) th.join();
    for (size_t t = 0; t < outs.size(); ++t) {
        EXPECT_EQ(status[t], SpStatSuccess);
        EXPECT_EQ(outs[t], reference);
    }
    SpXformFree(&x);
}

TEST(CmsTransform, InstancesAndThreads) {
    SpInstance a = 0, b = 0;
    ASSERT_EQ(SpInitialize(&a, nullptr, nullptr), SpStatSuccess);
    ASSERT_EQ(SpInitialize(&b, nullptr, nullptr), SpStatSuccess);
    EXPECT_NE(a, 0u);
    EXPECT_NE(a, b);
    EXPECT_EQ(SpInitThread(a, nullptr, nullptr), SpStatSuccess);
    EXPECT_EQ(SpTermThread(a), SpStatSuccess);
    EXPECT_EQ(SpTermThread(a), SpStatBadInstance); // not attached any more
    EXPECT_EQ(SpTerminate(&a), SpStatSuccess);
    EXPECT_EQ(a, 0u);
    SpInstance gone = b;
    EXPECT_EQ(SpTerminate(&b), SpStatSuccess);
    EXPECT_EQ(SpTerminate(&gone), SpStatBadInstance);
    EXPECT_EQ(SpInitThread(gone, nullptr, nullptr), SpStatBadInstance);
    SpProfile p = 0;
    EXPECT_EQ(SpProfileLoadProfile(gone, staticProfile("ZynRGB.icm").c_str(), nullptr, &p), SpStatBadInstance);
}
