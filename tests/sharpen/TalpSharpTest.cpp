// TalpSharp's filter preparation, levels, colour tags and loads.
#include "FiltHost.h"
#include "TalpColorSpaces.h"
#include "TalpFilters.h"

#include "BuiltInFilters.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

namespace {

TEST(TalpSharp, LevelsOfTheAmount) {
    EXPECT_DOUBLE_EQ(TalpLevel(20, 3.0), 3.0);
    EXPECT_DOUBLE_EQ(TalpLevel(10, 3.0), 1.5);
    EXPECT_NEAR(TalpLevel(1, 3.0), 0.15, 1e-12);
    EXPECT_DOUBLE_EQ(TalpLevel(40, 3.0), 3.0);
    EXPECT_DOUBLE_EQ(TalpLevel(-5, 3.0), 0.0);
    uint8_t table[256];
    TalpBuildGainTable(1.5, table);
    EXPECT_EQ(table[0], 1);
    EXPECT_EQ(table[1], 4);
    EXPECT_EQ(table[63], 251);
    EXPECT_EQ(table[64], 255);
    EXPECT_EQ(table[255], 255);
}

TEST(TalpSharp, PreparedKernelSizes) {
    PSFCaller caller = 0;
    ASSERT_EQ(PSFInitialize(&caller), PSFSuccess);
    std::string why;
    const auto sharp = filtergen::BuiltInFilter(2005, why), resampler = filtergen::BuiltInFilter(2004, why);
    const struct {
        uint32_t radius;
        int32_t maxSize, taps;
    } cases[] = {{10, 15, 7}, {100, -1, 71}, {100, 15, 15}};
    for (const auto& c : cases) {
        TalpSharpInstance in{};
        in.caller = caller;
        in.setupVersion = 3;
        in.amount = 10;
        in.maxKernelSize = c.maxSize;
        in.ratio = c.radius / 10.0;
        ASSERT_EQ(TalpPrepareFilter(in, sharp.data(), uint32_t(sharp.size()), resampler.data(),
                                    uint32_t(resampler.size())),
                  PSFSuccess);
        PSFAttributeValue v{};
        ASSERT_EQ(PSFGetFilterAttribute(in.prepared, PSFAttrTaps, &v), PSFSuccess);
        EXPECT_EQ(v.value.integer, c.taps) << c.radius;
        PSFFreeFilter(in.prepared);
    }
    PSFTerminate(caller);
}

TEST(TalpSharp, ColourTags) {
    const struct {
        uint32_t tag;
        int32_t known, sharpen, count;
    } cases[] = {{VXFILT_TAG('L', 'a', 'b', ' '), 1, 0, 3},  {VXFILT_TAG('G', 'R', 'A', 'Y'), 1, -1, 1},
                 {VXFILT_TAG('R', 'G', 'B', ' '), 1, -1, 3}, {VXFILT_TAG('5', 'C', 'L', 'R'), 1, 2, 5},
                 {VXFILT_TAG('F', 'C', 'L', 'R'), 1, 2, 15}, {VXFILT_TAG('M', 'C', 'H', '8'), 1, -1, 8},
                 {VXFILT_TAG('C', 'M', 'Y', 'K'), 1, -1, 4}, {VXFILT_TAG('2', 'C', 'L', 'R'), 0, -1, 0},
                 {VXFILT_TAG('M', 'C', 'H', '9'), 0, -1, 0}, {VXFILT_TAG('a', 'b', 'c', 'd'), 0, -1, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(TalpCheckColorSpace(c.tag) & 1, c.known) << std::hex << c.tag;
        EXPECT_EQ(TalpChannelCount(c.tag), c.count) << std::hex << c.tag;
        if (c.known) {
EXPECT_EQ(TalpChannelToSharpen(c.tag, 2), c.sharpen) << std::hex << c.tag;
}
    }
}

// A plug-in load set up for a colour tag, sharpening a small picture.
struct Load {
    Load() { EXPECT_EQ(FiltHostLoadPlugIn("TalpSharp", &h, &procs, &info), VxFiltSuccess); }
    ~Load() {
        if (h) {
EXPECT_EQ(FiltHostUnloadPlugIn(h), VxFiltSuccess);
}
    }
    VxFiltStatus setup(uint32_t tag, int32_t channel) {
        VxFiltSharpenParams p{20, 15, tag, channel, 1000, 1000, 300, 300, 0, 1};
        const VxFiltSetupBlock block{3, 10, &p};
        return procs.setup(h, &block);
    }
    VxFiltPlugIn h = 0;
    VxFiltProcs procs{};
    VxFiltInfo info{};
};

constexpr int32_t kSide = 24;

// Runs one strip over a picture of n planes (interleaved or separate planes
// of the given sample type) and answers which planes changed and which equal
// the source.
VxFiltStatus run(Load& load, int32_t planes, bool interleaved, int32_t type, std::vector<int>& changed,
                 std::vector<int>& copied) {
    const int32_t size = type == PSFSample8 ? 1 : 2;
    const int32_t step = interleaved ? planes * size : size;
    const int64_t planeBytes = int64_t(kSide) * kSide * step;
    std::vector<uint8_t> src(size_t(planeBytes * (interleaved ? 1 : planes)));
    for (size_t i = 0; i < src.size(); ++i) src[i] = uint8_t(((i / 7) % 3) * 80 + (i * 37) % 11);
    std::vector<uint8_t> dst(src.size(), 0), work(src.size() * 2 + 64, 0);
    PSFRect whole{0, 0, kSide, kSide};
    PSFRect s{}, s2{}, w{};
    uint16_t flag = 0;
    EXPECT_EQ(load.procs.stripBegin(load.h, &whole), 1);
    EXPECT_EQ(load.procs.rectangles(load.h, &s, &s2, &w, &whole, &flag, 1, 0), 1);
    PSFPicture S{}, D{}, Wk{};
    S.rect = D.rect = whole;
    S.width = D.width = kSide;
    S.height = D.height = kSide;
    Wk.rect = w;
    Wk.width = w.x1;
    Wk.height = w.y1;
    S.planeCount = D.planeCount = Wk.planeCount = planes;
    for (int32_t i = 0; i < planes; ++i) {
        const int64_t offset = interleaved ? int64_t(i) * size : i * planeBytes;
        S.planes[i] = PSFPlane{kSide, step, kSide, kSide * step, type, src.data() + offset};
        D.planes[i] = PSFPlane{kSide, step, kSide, kSide * step, type, dst.data() + offset};
        Wk.planes[i] = PSFPlane{w.x1, step, w.y1, w.x1 * step, type,
                                work.data() + (interleaved ? int64_t(i) * size : int64_t(i) * w.x1 * w.y1 * step)};
    }
    const VxFiltStatus status = load.procs.process(load.h, &S, nullptr, &Wk, 0, nullptr, nullptr, &D);
    EXPECT_EQ(load.procs.stripEnd(load.h), 1);
    changed.assign(size_t(planes), 0);
    copied.assign(size_t(planes), 1);
    for (int32_t i = 0; i < planes; ++i)
        for (int32_t y = 0; y < kSide; ++y)
            for (int32_t x = 0; x < kSide; ++x) {
                const int64_t at = (interleaved ? int64_t(i) * size : i * planeBytes) + (int64_t(y) * kSide + x) * step;
                if (std::memcmp(&src[size_t(at)], &dst[size_t(at)], size_t(size))) {
                    changed[size_t(i)] = 1;
                    copied[size_t(i)] = 0;
                }
            }
    return status;
}

TEST(TalpSharp, ChannelsSharpenedAndCopied) {
    Load load;
    std::vector<int> changed, copied;
    ASSERT_EQ(load.setup(VXFILT_TAG('L', 'a', 'b', ' '), 0), 1);
    ASSERT_EQ(run(load, 3, true, PSFSample16b, changed, copied), 1);
    EXPECT_EQ(changed, (std::vector<int>{1, 0, 0}));
    EXPECT_EQ(copied, (std::vector<int>{0, 1, 1}));

    ASSERT_EQ(load.setup(VXFILT_TAG('G', 'R', 'A', 'Y'), 0), 1);
    ASSERT_EQ(run(load, 1, false, PSFSample16b, changed, copied), 1);
    EXPECT_EQ(changed, (std::vector<int>{1}));

    ASSERT_EQ(load.setup(VXFILT_TAG('R', 'G', 'B', ' '), 0), 1);
    ASSERT_EQ(run(load, 3, true, PSFSample16b, changed, copied), 1);
    EXPECT_EQ(changed, (std::vector<int>{1, 1, 1}));

    ASSERT_EQ(load.setup(VXFILT_TAG('5', 'C', 'L', 'R'), 2), 1);
    ASSERT_EQ(run(load, 5, false, PSFSample8, changed, copied), 1);
    EXPECT_EQ(changed, (std::vector<int>{0, 0, 1, 0, 0}));
    EXPECT_EQ(copied, (std::vector<int>{1, 1, 0, 1, 1}));

    ASSERT_EQ(load.setup(VXFILT_TAG('a', 'b', 'c', 'd'), 0), 1);
    EXPECT_EQ(run(load, 3, true, PSFSample16b, changed, copied), 2029);
}

TEST(TalpSharp, MissingResourceIsReported) {
    TalpFilterResources r;
    EXPECT_FALSE(TalpLoadFilterResources(nullptr, TalpResource7Tap, r));
    EXPECT_EQ(r.sharpening, 0u);
}

TEST(TalpSharp, SecondLoadAttachesAndFirstUnloadOnlyDetaches) {
    auto first = std::make_unique<Load>();
    Load second;
    ASSERT_NE(first->h, 0u);
    ASSERT_NE(second.h, 0u);
    first.reset();
    std::vector<int> changed, copied;
    ASSERT_EQ(second.setup(VXFILT_TAG('L', 'a', 'b', ' '), 0), 1);
    ASSERT_EQ(run(second, 3, true, PSFSample16b, changed, copied), 1);
    EXPECT_EQ(changed, (std::vector<int>{1, 0, 0}));
}

} // namespace
