#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <set>
#include <utility>
#include <vector>

#include "LutStage.h"
#include "RawUnpackStage.h"
#include "RendererImage.h"
#include "SdkRenderer.h"
#include "VqOutputTypes.h"

using namespace lumora;

namespace {

// An image whose file is a byte vector; it records every read.
class FakeImage : public RendererImage {
public:
    std::vector<uint8_t> file;
    std::vector<std::pair<uint64_t, uint32_t>> reads;
    VqStatus failWith = VQ_OK;

    VqStatus ReadFileBytes(void* dst, uint64_t offset, uint32_t count, uint32_t) override {
        reads.emplace_back(offset, count);
        if (failWith != VQ_OK) return failWith;
        if (offset + count > file.size()) return 38; // reading past the end of the file
        std::memcpy(dst, file.data() + offset, count);
        return VQ_OK;
    }
    VqStatus OnImageTypeChanged(uint32_t, uint32_t*, int32_t*) override { return VQ_OK; }
};

template <typename T>
void setParam(SdkRenderer& r, uint32_t id, T value) {
    std::memcpy(r.Parameter(id), &value, sizeof value);
    ASSERT_EQ(r.ParameterChanged(id), VQ_OK);
}

// An engine that marks its cache decoded, as the engines' DecodeCache does.
struct DecodingRenderer : SdkRenderer {
    VqStatus DecodeCache(void*, int32_t, int32_t, int32_t) override {
        cacheDecoded_ = 1;
        return VQ_OK;
    }
};

} // namespace

TEST(SdkRendererParameters, EveryIdHasItsOwnCellAndSubsampleStartsAtOne) {
    SdkRenderer r;
    std::set<void*> cells;
    for (uint32_t id = 0; id < RP_PARAMETER_COUNT; ++id) {
        ASSERT_NE(r.Parameter(id), nullptr) << id;
        cells.insert(r.Parameter(id));
    }
    EXPECT_EQ(cells.size(), size_t(RP_PARAMETER_COUNT));
    EXPECT_EQ(r.Parameter(RP_PARAMETER_COUNT), nullptr);
    EXPECT_EQ(*static_cast<int16_t*>(r.Parameter(RP_SUBSAMPLE)), 1);
    EXPECT_EQ(*static_cast<int32_t*>(r.Parameter(RP_OUTPUT_TYPE)), 0);
}

// Each cell records its size; no cell reaches into another.
TEST(SdkRendererParameters, EveryCellHasItsSize) {
    SdkRenderer r;
    struct Case {
        uint32_t id;
        size_t bytes;
    };
    for (const Case& c : {Case{RP_SUBSAMPLE, 2}, Case{RP_PAD_BYTES, 1}, Case{RP_OUTPUT_TYPE, 4},
                          Case{RP_ROTATION, 4}, Case{RP_OUTPUT_WINDOW, 8}, Case{RP_WHITE_BALANCE, 6},
                          Case{RP_SHADING_POLY_1, 20}, Case{RP_PROCESSING_DIRECTORY, 260},
                          Case{RP_MODEL_NAME, 260}, Case{RP_THUMBNAIL_INFO, 32}, Case{RP_COLOR_MATRIX, 72},
                          Case{RP_UNPACK_TABLE, sizeof(void*)}, Case{RP_LINEAR_GAIN, 4},
                          Case{RP_BALANCE_STATE, 20}, Case{RP_SHARPEN_KERNEL, 56}, Case{RP_SHARPEN_5, 4},
                          Case{RP_CFA_TABLE_SIZE, 2}, Case{RP_DEMOSAIC_THRESHOLD, 2}})
        EXPECT_EQ(r.ParameterSize(c.id), c.bytes) << c.id;
    EXPECT_EQ(r.ParameterSize(RP_PARAMETER_COUNT), 0u);

    std::vector<std::pair<uintptr_t, uintptr_t>> ranges;
    for (uint32_t id = 0; id < RP_PARAMETER_COUNT; ++id) {
        ASSERT_GT(r.ParameterSize(id), 0u) << id;
        const uintptr_t at = reinterpret_cast<uintptr_t>(r.Parameter(id));
        ranges.emplace_back(at, at + r.ParameterSize(id));
    }
    std::sort(ranges.begin(), ranges.end());
    for (size_t i = 1; i < ranges.size(); ++i) EXPECT_LE(ranges[i - 1].second, ranges[i].first) << i;
}

// The base renderer's own pipeline over a small colour file of 8-bit codes.
struct BaseRendererFixture {
    SdkRenderer r;
    FakeImage image;
    std::vector<uint16_t> table = std::vector<uint16_t>(256);
    uint16_t tone[32768];
    uint16_t gamma[4096];

    explicit BaseRendererFixture(int32_t group = 2, int32_t w = 64, int32_t h = 48, uint8_t code = 100) {
        for (uint32_t i = 0; i < 256; ++i) table[i] = uint16_t(i * 4095 / 255);
        for (uint32_t i = 0; i < 32768; ++i) tone[i] = uint16_t(std::min<uint32_t>(i, 4095));
        for (uint32_t i = 0; i < 4096; ++i) gamma[i] = uint16_t(i * 16);
        image.file.assign(16 + size_t(w) * size_t(h), code);
        setParam(r, RP_IS_COLOR, int32_t(1));
        setParam(r, RP_SENSOR_GROUP, group);
        setParam<RendererImage*>(r, RP_IMAGE, &image);
        setParam(r, RP_OUTPUT_WINDOW, SdkRect{0, 0, int16_t(w), int16_t(h)});
        const uint16_t balance[3] = {256, 256, 256};
        std::memcpy(r.Parameter(RP_WHITE_BALANCE), balance, sizeof balance);
        std::memcpy(r.Parameter(RP_SAMPLE_BALANCE), balance, sizeof balance);
        setParam<uint16_t*>(r, RP_UNPACK_TABLE, table.data());
        setParam(r, RP_RAW_WIDTH, w);
        setParam(r, RP_RAW_HEIGHT, h);
        setParam(r, RP_MAX_VALUE, uint16_t(4095));
        const int32_t unit[5] = {0, 0, 0, 0, 0x100000};
        std::memcpy(r.Parameter(RP_SHADING_POLY_1), unit, sizeof unit);
        std::memcpy(r.Parameter(RP_SHADING_POLY_2), unit, sizeof unit);
        setParam(r, RP_DATA_OFFSET, int32_t(16));
        setParam(r, RP_DATA_SIZE, w * h);
        setParam<uint16_t*>(r, RP_TONE_CURVE, tone);
        setParam<uint16_t*>(r, RP_OUTPUT_CURVE, gamma);
        setParam(r, RP_OUTPUT_CURVE_SIZE, int32_t(4096));
        setParam(r, RP_SUBSAMPLE, int16_t(1));
        RationalValue identity[9];
        for (int i = 0; i < 9; ++i) identity[i] = {i % 4 == 0 ? 32 : 0, 32};
        std::memcpy(r.Parameter(RP_COLOR_MATRIX), identity, sizeof identity);
        std::memcpy(r.Parameter(RP_COLOR_MATRICES), identity, sizeof identity);
    }
};

TEST(SdkRendererBasePipeline, PrepareStagesOnceAndByGroup) {
    BaseRendererFixture f(0);
    ASSERT_EQ(f.r.PrepareStages(), VQ_OK);
    ASSERT_NE(f.r.UnpackStage(), nullptr);
    ASSERT_NE(f.r.SampleStage(), nullptr);
    ASSERT_NE(f.r.Shading(), nullptr);
    const auto* unpack = f.r.UnpackStage();
    const auto* shading = f.r.Shading();
    // A second call changes nothing, even after parameters changed.
    setParam(f.r, RP_UNPACK_OFFSET, uint16_t(20));
    EXPECT_EQ(f.r.PrepareStages(), VQ_OK);
    EXPECT_EQ(f.r.UnpackStage(), unpack);
    EXPECT_EQ(f.r.Shading(), shading);
    EXPECT_EQ(f.r.UnpackStage()->offset, 0);
    // The offset reaches the stages with the next change of the table.
    ASSERT_EQ(f.r.ParameterChanged(RP_UNPACK_TABLE), VQ_OK);
    EXPECT_EQ(f.r.UnpackStage()->offset, 20);
    EXPECT_EQ(f.r.SampleStage()->offset, 20);

    BaseRendererFixture bad(3);
    EXPECT_EQ(bad.r.PrepareStages(), VQ_ERR_BAD_STAGE_MODE);
    EXPECT_EQ(bad.r.Shading(), nullptr);

    // Without stages there is nothing to render with.
    BaseRendererFixture none(0);
    ImageBufferRecord buffer{};
    uint8_t byte = 0;
    buffer.buffer = &byte;
    EXPECT_EQ(none.r.RenderImage(&buffer, nullptr), VQ_ERR_BAD_STAGE_MODE);
    EXPECT_EQ(none.r.DecodeCache(nullptr, 1, 1, 0), VQ_OK);
}

void* NullAfterFirst(void*, uint32_t, int32_t) { return nullptr; }
void* SameBuffer(void* buffer, uint32_t, int32_t) { return buffer; }
std::vector<std::pair<int32_t, int32_t>> gProgress;
int32_t RecordProgress(int32_t state, int32_t percent, int32_t, int32_t) {
    gProgress.emplace_back(state, percent);
    return 1;
}
int32_t gStopAt = 0;
int32_t StopProgress(int32_t state, int32_t percent, int32_t, int32_t) {
    gProgress.emplace_back(state, percent);
    return int32_t(gProgress.size()) < gStopAt;
}

TEST(SdkRendererBasePipeline, RendersStripsWithCallbacksAndProgress) {
    BaseRendererFixture f(0);
    ASSERT_EQ(f.r.PrepareStages(), VQ_OK);
    setParam(f.r, RP_OUTPUT_TYPE, int32_t(VQ_TYPE_RGB8));
    setParam(f.r, RP_OUTPUT_WINDOW, SdkRect{6, 6, 52, 36});
    // One strip: the progress callback runs once for the start and six times
    // after, the last time with the final state at 100.
    std::vector<uint8_t> out(52 * 36 * 3, 0xEE);
    ImageBufferRecord buffer{};
    buffer.buffer = out.data();
    buffer.bufferBytes = uint32_t(out.size());
    ProgressRecord progress{};
    progress.callback = &RecordProgress;
    gProgress.clear();
    ASSERT_EQ(f.r.RenderImage(&buffer, &progress), VQ_OK);
    ASSERT_EQ(gProgress.size(), 7u);
    EXPECT_EQ(gProgress.front(), std::make_pair(0, 0));
    EXPECT_EQ(gProgress.back(), std::make_pair(2, 100));
    for (size_t i = 3; i < out.size(); i += 3) ASSERT_TRUE(std::equal(out.begin(), out.begin() + 3, out.begin() + i)) << i;
    // Several strips: one report per strip, only the last one final.
    buffer.bufferBytes = 52 * 3 * 12;
    buffer.stripCallback = &SameBuffer;
    gProgress.clear();
    ASSERT_EQ(f.r.RenderImage(&buffer, &progress), VQ_OK);
    ASSERT_GT(gProgress.size(), 2u);
    EXPECT_EQ(gProgress.back(), std::make_pair(2, 100));
    for (size_t i = 1; i + 1 < gProgress.size(); ++i) EXPECT_EQ(gProgress[i].first, 1) << i;
    const size_t strips = gProgress.size() - 1;
    // A stop asked for in the second strip ends the rendering there.
    gProgress.clear();
    gStopAt = 3;
    progress.callback = &StopProgress;
    EXPECT_EQ(f.r.RenderImage(&buffer, &progress), VQ_ERR_CANCELLED);
    EXPECT_EQ(gProgress.size(), 3u);
    EXPECT_LT(gProgress.size(), strips + 1);
    // A strip callback that answers null stops the rendering.
    buffer.stripCallback = &NullAfterFirst;
    EXPECT_EQ(f.r.RenderImage(&buffer, nullptr), VQ_ERR_BAD_HANDLE);
}

TEST(SdkRendererBasePipeline, SampleWhiteBalance) {
    BaseRendererFixture f(0);
    ASSERT_EQ(f.r.PrepareStages(), VQ_OK);
    SdkRect area{8, 8, 16, 16};
    uint16_t rgb[3] = {};
    ASSERT_EQ(f.r.SampleWhiteBalance(&area, rgb, 0, nullptr), VQ_OK);
    const uint16_t v = uint16_t(100 * 4095 / 255);
    EXPECT_EQ(rgb[0], v);
    EXPECT_EQ(rgb[1], v);
    EXPECT_EQ(rgb[2], v);
    // One saturated byte inside the area.
    f.image.file[16 + 10 * 64 + 12] = 255;
    EXPECT_EQ(f.r.SampleWhiteBalance(&area, rgb, 0, nullptr), VQ_ERR_SAMPLE_SATURATED);
    // An area off the sensor is refused before anything is read.
    SdkRect outside{60, 8, 16, 16};
    EXPECT_EQ(f.r.SampleWhiteBalance(&outside, rgb, 0, nullptr), VQ_ERR_BAD_ARGUMENT);
}

TEST(SdkRendererFormat, OutputFormatOfEveryType) {
    SdkRenderer r;
    struct Row { uint32_t type; int32_t bytes, channels; VqStatus status; };
    const Row rows[] = {
        {0, 1, 1, 0}, {1, 0, 0, VQ_ERR_BAD_IMAGE_TYPE}, {2, 1, 1, 0}, {3, 2, 1, 0}, {4, 1, 3, 0},
        {5, 1, 4, 0}, {6, 2, 3, 0}, {7, 2, 4, 0}, {8, 1, 3, 0}, {9, 1, 4, 0}, {10, 2, 3, 0},
        {11, 2, 4, 0}, {12, 1, 3, 0}, {13, 2, 3, 0}, {14, 2, 3, 0}, {15, 1, 1, 0}, {16, 2, 1, 0},
        {17, 1, 4, 0}, {18, 2, 4, 0}, {19, 1, 3, 0}, {20, 2, 3, 0},
        {21, 0, 0, VQ_ERR_BAD_IMAGE_TYPE}, {0xFFFFFFFF, 0, 0, VQ_ERR_BAD_IMAGE_TYPE}};
    for (const Row& row : rows) {
        int32_t b = -1, c = -1;
        EXPECT_EQ(r.GetOutputFormat(row.type, &b, &c), row.status) << row.type;
        EXPECT_EQ(b, row.bytes) << row.type;
        EXPECT_EQ(c, row.channels) << row.type;
    }
}

namespace {
struct PlanCase {
    const char* what;
    uint32_t buffer;
    int32_t w, h;
    int16_t subsample;
    float rotation;
    uint8_t pad;
    uint32_t type;
    int32_t isColour;
    VqStatus status;
    StripPlan plan; // rowMargin, colMargin, stripSize, stripWidth, stripCount, lastRows, lastWidth
};
} // namespace

TEST(SdkRendererStrips, PlansForSizesSubsamplesAndRotations) {
    const PlanCase cases[] = {
        {"10 rows, buffer of 8 rows: lowered to 2", 8 * 30, 10, 10, 1, 0, 0, 4, 1,
         VQ_ERR_STRIP_TOO_SMALL, {}},
        {"10 rows, buffer of 10 rows: one strip", 10 * 30, 10, 10, 1, 0, 0, 4, 1, 0,
         {4, 4, 10, 10, 1, 10, 10}},
        {"last strip kept at 6 rows or more", 16 * 30, 10, 20, 1, 0, 0, 4, 1, 0,
         {4, 4, 14, 10, 2, 6, 10}},
        {"odd row count from the buffer is made even", 9 * 30, 10, 18, 1, 0, 0, 4, 1, 0,
         {4, 4, 6, 10, 3, 6, 10}},
        {"pad bytes count in every row", 10 * 12, 10, 10, 1, 180, 2, 2, 1, 0,
         {4, 4, 10, 10, 1, 10, 10}},
        {"rotation 90: 40-column strips over 100 columns", 40 * 60, 100, 20, 1, 90, 0, 4, 1, 0,
         {4, 4, 20, 40, 3, 20, 20}},
        {"subsample 2: strip a multiple of the factor", 3 * 150, 100, 50, 2, 0, 0, 4, 1, 0,
         {4, 0, 6, 100, 9, 2, 100}},
        {"subsample 4: one output row", 1 * 75, 100, 50, 4, 0, 0, 4, 1, 0,
         {4, 0, 4, 100, 12, 4, 100}},
        {"subsample 2: window cut to a multiple of the factor", 5 * 150, 101, 51, 2, 0, 0, 4, 1, 0,
         {4, 0, 10, 100, 5, 10, 100}},
        {"subsample 2: buffer below one row plus pad", 150, 100, 50, 2, 0, 1, 4, 1,
         VQ_ERR_STRIP_TOO_SMALL, {}},
        {"monochrome file has context rows but no margin columns", 10 * 10, 10, 10, 1, 0, 0, 2, 0, 0,
         {4, 0, 10, 10, 1, 10, 10}},
        {"type 1 is not a type", 10000, 10, 10, 1, 0, 0, 1, 1, VQ_ERR_BAD_IMAGE_TYPE, {}},
        {"huge buffer, window of 4 rows", 0xFFFFFFFFu, 10, 4, 1, 0, 0, 4, 1,
         VQ_ERR_STRIP_TOO_SMALL, {}},
        {"huge buffer, window of 8 rows: one strip of 8", 0xFFFFFFFFu, 10, 8, 1, 0, 0, 4, 1, 0,
         {4, 4, 8, 10, 1, 8, 10}},
        {"huge buffer, window of 9 rows: one strip of 10", 0xFFFFFFFFu, 10, 9, 1, 0, 0, 4, 1, 0,
         {4, 4, 10, 10, 1, 9, 10}},
        {"huge buffer at subsample 2: one strip of the window", 0xFFFFFFFFu, 100, 50, 2, 0, 0, 4, 1, 0,
         {4, 0, 50, 100, 1, 50, 100}},
        {"huge buffer, rotation 90: one strip of every column", 0xFFFFFFFFu, 100, 20, 1, 90, 0, 4, 1, 0,
         {4, 4, 20, 100, 1, 20, 100}},
    };
    for (const PlanCase& c : cases) {
        SdkRenderer r;
        *static_cast<int16_t*>(r.Parameter(RP_SUBSAMPLE)) = c.subsample;
        *static_cast<int32_t*>(r.Parameter(RP_IS_COLOR)) = c.isColour;
        *static_cast<int32_t*>(r.Parameter(RP_OUTPUT_TYPE)) = int32_t(c.type);
        StripPlan plan;
        const VqStatus s = r.ConfigureOutput(c.buffer, 0, 0, c.w, c.h, &plan, c.rotation, c.pad, c.type);
        EXPECT_EQ(s, c.status) << c.what;
        if (s != VQ_OK || c.status != VQ_OK) continue;
        EXPECT_EQ(plan.rowMargin, c.plan.rowMargin) << c.what;
        EXPECT_EQ(plan.colMargin, c.plan.colMargin) << c.what;
        EXPECT_EQ(plan.stripSize, c.plan.stripSize) << c.what;
        EXPECT_EQ(plan.stripWidth, c.plan.stripWidth) << c.what;
        EXPECT_EQ(plan.stripCount, c.plan.stripCount) << c.what;
        EXPECT_EQ(plan.lastRows, c.plan.lastRows) << c.what;
        EXPECT_EQ(plan.lastWidth, c.plan.lastWidth) << c.what;
        if (c.subsample > 1) EXPECT_EQ(plan.stripSize % c.subsample, 0) << c.what;
        else EXPECT_TRUE(plan.stripSize % 2 == 0 && plan.stripSize >= 6) << c.what;
    }
}

TEST(SdkRendererStrips, RawOutputTypeHasNoMargins) {
    SdkRenderer r;
    *static_cast<int32_t*>(r.Parameter(RP_IS_COLOR)) = 1;
    StripPlan plan;
    ASSERT_EQ(r.ConfigureOutput(10 * 10, 0, 0, 10, 10, &plan, 0, 0, 0), VQ_OK);
    EXPECT_EQ(plan.rowMargin, 0);
    EXPECT_EQ(plan.colMargin, 0);
}

TEST(SdkRendererStrips, FitStripHeightGuards) {
    SdkRenderer r;
    uint32_t n = 5;
    EXPECT_EQ(r.FitStripHeight(1, &n, 13), VQ_ERR_STRIP_TOO_SMALL);
    n = 7; // odd heights lowered past 1 must stop, not wrap
    EXPECT_EQ(r.FitStripHeight(1, &n, 9), VQ_ERR_STRIP_TOO_SMALL);
    n = 7; // an odd count can never reach a multiple of an even factor
    EXPECT_EQ(r.FitStripHeight(4, &n, 100), VQ_ERR_STRIP_TOO_SMALL);
    n = 8;
    EXPECT_EQ(r.FitStripHeight(3, &n, 100), VQ_OK);
    EXPECT_EQ(n, 6u);
    n = 4;
    EXPECT_EQ(r.FitStripHeight(3, &n, 100), VQ_ERR_STRIP_TOO_SMALL);
    *static_cast<int16_t*>(r.Parameter(RP_SUBSAMPLE)) = 0;
    StripPlan plan;
    EXPECT_EQ(r.ConfigureOutput(1000, 0, 0, 10, 10, &plan, 0, 0, 4), VQ_ERR_BAD_SUBSAMPLE);
}

TEST(SdkRendererStrips, SourceRectanglesFollowTheRotation) {
    SdkRenderer r;
    *static_cast<int32_t*>(r.Parameter(RP_IS_COLOR)) = 1;
    *static_cast<int32_t*>(r.Parameter(RP_OUTPUT_TYPE)) = 4;
    StripPlan plan;
    ASSERT_EQ(r.ConfigureOutput(40 * 60, 10, 20, 100, 20, &plan, 90, 0, 4), VQ_OK);
    ClipRecord clip;
    struct Want { float rotation; int32_t strip; SdkRect rect; };
    const Want wants[] = {
        {90, 0, {6, 16, 48, 28}},  {90, 1, {46, 16, 48, 28}},  {90, 2, {86, 16, 28, 28}},
        {270, 0, {86, 16, 28, 28}}, {270, 1, {46, 16, 48, 28}}, {270, 2, {6, 16, 48, 28}},
    };
    for (const Want& w : wants) {
        SdkRect rect{};
        ASSERT_EQ(r.SourceRectForRotation(w.strip, plan, 10, 20, 100, 20, &rect, w.rotation, &clip), VQ_OK);
        EXPECT_EQ(rect.x, w.rect.x) << w.rotation << " " << w.strip;
        EXPECT_EQ(rect.y, w.rect.y);
        EXPECT_EQ(rect.width, w.rect.width) << w.rotation << " " << w.strip;
        EXPECT_EQ(rect.height, w.rect.height);
    }

    ASSERT_EQ(r.ConfigureOutput(16 * 30, 0, 0, 10, 20, &plan, 180, 0, 4), VQ_OK); // strips 14, 6
    clip.extraRowMargin = 2;
    SdkRect rect{};
    ASSERT_EQ(r.SourceRectForRotation(0, plan, 0, 0, 10, 20, &rect, 180, &clip), VQ_OK);
    EXPECT_EQ(rect.y, 14 - 2 - 4); // far end first
    EXPECT_EQ(rect.height, 6 + 2 * (4 + 2));
    ASSERT_EQ(r.SourceRectForRotation(0, plan, 0, 0, 10, 20, &rect, 0, &clip), VQ_OK);
    EXPECT_EQ(rect.y, -6);
    EXPECT_EQ(rect.height, 14 + 12);
    EXPECT_EQ(r.SourceRectForRotation(0, plan, 0, 0, 10, 20, &rect, 45, &clip), VQ_ERR_BAD_ROTATION);
}

TEST(SdkRendererStrips, StripBufferSizes) {
    SdkRenderer r;
    *static_cast<int32_t*>(r.Parameter(RP_IS_COLOR)) = 1;
    StripBufferSizes sizes;
    ASSERT_EQ(r.GetStripBufferSizes(&sizes, 18, 14, 2, 1), VQ_OK);
    EXPECT_EQ(sizes.windowBytes, 18u * 14);
    EXPECT_EQ(sizes.unpackedBytes, 18u * 14 * 2);
    EXPECT_EQ(sizes.firstPlaneBytes, 9u * (7 + 2) * 2);
    EXPECT_EQ(sizes.thirdPlaneBytes, sizes.firstPlaneBytes);
    *static_cast<int32_t*>(r.Parameter(RP_IS_COLOR)) = 0;
    ASSERT_EQ(r.GetStripBufferSizes(&sizes, 18, 14, 1, 1), VQ_OK);
    EXPECT_EQ(sizes.secondPlaneBytes, 0u);
    EXPECT_EQ(sizes.thirdPlaneBytes, 0u);
    EXPECT_EQ(r.GetStripBufferSizes(&sizes, 18, 14, 0, 1), VQ_ERR_BAD_SUBSAMPLE);
}

namespace {
std::vector<uint8_t> pattern(size_t n) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = uint8_t(i * 7 + (i >> 8));
    return v;
}
} // namespace

TEST(SdkRendererCache, LoadsIn64KSteps) {
    SdkRenderer r;
    FakeImage image;
    image.file = pattern(200000);
    setParam<RendererImage*>(r, RP_IMAGE, &image);
    setParam<int32_t>(r, RP_RAW_WIDTH, 400);
    setParam<int32_t>(r, RP_RAW_HEIGHT, 500);
    setParam<int32_t>(r, RP_DATA_OFFSET, 0);
    setParam<int32_t>(r, RP_DATA_SIZE, 200000);
    std::vector<int32_t> dones;
    for (int call = 0; call < 4; ++call) {
        int32_t done = -1;
        ASSERT_EQ(r.LoadCache(nullptr, 1, &done, 1), VQ_OK);
        dones.push_back(done);
    }
    EXPECT_EQ(dones, (std::vector<int32_t>{0, 0, 0, 1}));
    ASSERT_EQ(image.reads.size(), 4u);
    EXPECT_EQ(image.reads[3], (std::pair<uint64_t, uint32_t>{196608, 3392}));
    EXPECT_EQ(r.LoadedBytes(), 200000u);
    EXPECT_EQ(std::memcmp(r.Cache(), image.file.data(), 200000), 0);
    int32_t done = 0;
    ASSERT_EQ(r.LoadCache(nullptr, 1, &done, 1), VQ_OK); // nothing left: no read
    EXPECT_EQ(done, 1);
    EXPECT_EQ(image.reads.size(), 4u);
}

TEST(SdkRendererCache, StoredDataLargerThanSensorIsHeldWhole) {
    SdkRenderer r;
    FakeImage image;
    image.file = pattern(1000 + 5000);
    setParam<RendererImage*>(r, RP_IMAGE, &image);
    setParam<int32_t>(r, RP_RAW_WIDTH, 10);
    setParam<int32_t>(r, RP_RAW_HEIGHT, 10);
    setParam<int32_t>(r, RP_DATA_OFFSET, 1000);
    setParam<int32_t>(r, RP_DATA_SIZE, 5000);
    int32_t done = 0;
    ASSERT_EQ(r.LoadCache(nullptr, 0, &done, 2), VQ_OK);
    EXPECT_EQ(done, 1);
    EXPECT_EQ(r.CacheBytes(), 6000u);
    EXPECT_EQ(std::memcmp(r.Cache(), image.file.data(), 6000), 0);

    // The sensor larger than the stored data: room for the whole sensor, zeroed.
    SdkRenderer s;
    setParam<RendererImage*>(s, RP_IMAGE, &image);
    setParam<int32_t>(s, RP_RAW_WIDTH, 100);
    setParam<int32_t>(s, RP_RAW_HEIGHT, 100);
    setParam<int32_t>(s, RP_DATA_OFFSET, 1000);
    setParam<int32_t>(s, RP_DATA_SIZE, 100);
    ASSERT_EQ(s.LoadCache(nullptr, 0, &done, 1), VQ_OK);
    EXPECT_EQ(s.CacheBytes(), 11000u);
    EXPECT_EQ(s.Cache()[10999], 0);

    // Data that grows after the cache was made is refused, not read past it.
    setParam<int32_t>(r, RP_DATA_SIZE, 9000);
    EXPECT_EQ(r.LoadCache(nullptr, 0, &done, 2), VQ_ERR_READ_PAST_BUFFER);
    EXPECT_EQ(done, 0);
}

TEST(SdkRendererCache, FailedReadForgetsTheCacheAndLentBuffersAreNotFreed) {
    SdkRenderer r;
    FakeImage image;
    image.file = pattern(300000);
    setParam<RendererImage*>(r, RP_IMAGE, &image);
    setParam<int32_t>(r, RP_RAW_WIDTH, 500);
    setParam<int32_t>(r, RP_RAW_HEIGHT, 500);
    setParam<int32_t>(r, RP_DATA_SIZE, 250000);
    int32_t done = 0;
    ASSERT_EQ(r.LoadCache(nullptr, 1, &done, 1), VQ_OK);
    image.failWith = 5;
    EXPECT_EQ(r.LoadCache(nullptr, 1, &done, 1), 5u);
    EXPECT_EQ(r.Cache(), nullptr);
    EXPECT_EQ(r.LoadedBytes(), 0u);

    std::vector<uint8_t> lent(250000, 0xEE);
    image.failWith = VQ_OK;
    ASSERT_EQ(r.LoadCache(lent.data(), 0, &done, 1), VQ_OK);
    EXPECT_EQ(r.Cache(), lent.data());
    EXPECT_EQ(lent[1234], image.file[1234]);
    r.FreeCache(); // must not free the caller's buffer
    EXPECT_EQ(r.Cache(), nullptr);

    SdkRenderer noImage;
    setParam<int32_t>(noImage, RP_DATA_SIZE, 10);
    EXPECT_EQ(noImage.LoadCache(nullptr, 0, &done, 1), VQ_ERR_BAD_HANDLE);
    setParam<int32_t>(noImage, RP_DATA_SIZE, -10);
    EXPECT_EQ(noImage.LoadCache(nullptr, 0, &done, 1), VQ_ERR_BAD_FILE);
}

TEST(SdkRendererCache, CopyWindowClipsRowsAndColumns) {
    SdkRenderer r;
    FakeImage image;
    // 6 x 4 raw bytes after a 3-byte header; sample = 10 * row + column.
    image.file = {0xAA, 0xBB, 0xCC};
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) image.file.push_back(uint8_t(10 * y + x));
    setParam<RendererImage*>(r, RP_IMAGE, &image);
    setParam<int32_t>(r, RP_RAW_WIDTH, 6);
    setParam<int32_t>(r, RP_RAW_HEIGHT, 4);
    setParam<int32_t>(r, RP_DATA_OFFSET, 3);
    setParam<int32_t>(r, RP_DATA_SIZE, 24);
    int32_t done = 0;
    ASSERT_EQ(r.LoadCache(nullptr, 0, &done, 1), VQ_OK);

    // Window x -2 .. 5 (8 columns), y -1 .. 4 (6 rows): one row above, one below.
    std::vector<uint8_t> out(8 * 6, 0x77);
    ClipRecord clip;
    ASSERT_EQ(r.CopyWindow(-2, -1, 8, 6, out.data(), 1, 1, 3, &clip), VQ_OK);
    EXPECT_EQ(clip.rowsAbove, 1);
    EXPECT_EQ(clip.rowsBelow, 1);
    const std::vector<uint8_t> want = {
        0x77, 0x77, 0x77, 0x77, 0x77, 0x77, 0x77, 0x77, // above: untouched
        0, 0, 0, 1, 2, 3, 4, 5,                         // edge column repeated to the left
        10, 10, 10, 11, 12, 13, 14, 15,
        20, 20, 20, 21, 22, 23, 24, 25,
        30, 30, 30, 31, 32, 33, 34, 35,
        0x77, 0x77, 0x77, 0x77, 0x77, 0x77, 0x77, 0x77}; // below: untouched
    EXPECT_EQ(out, want);

    std::vector<uint8_t> right(4 * 2, 0);
    ASSERT_EQ(r.CopyWindow(4, 3, 4, 2, right.data(), 1, 1, 3, &clip), VQ_OK);
    EXPECT_EQ(right[0], 34);
    EXPECT_EQ(right[1], 35);
    EXPECT_EQ(right[2], 35); // past the right edge: repeated, not the next row
    EXPECT_EQ(right[3], 35);

    std::vector<uint8_t> wide(2 * 2 * 2, 0);
    ASSERT_EQ(r.CopyWindow(1, 1, 2, 2, wide.data(), 1, 2, 3, &clip), VQ_OK);
    uint16_t samples[4];
    std::memcpy(samples, wide.data(), 8);
    EXPECT_EQ(samples[0], 11);
    EXPECT_EQ(samples[1], 12);
    EXPECT_EQ(samples[2], 21);
    EXPECT_EQ(samples[3], 22);
}

TEST(SdkRendererTypes, ColourManagedTypesFollowTheProfile) {
    SdkRenderer r;
    OcmsImageRecord record;
    setParam<OcmsImageRecord*>(r, RP_CMS_TRANSFORM, &record);
    record.mode = 1;
    record.channels = 4;
    EXPECT_EQ(r.MapColorManagedType(6), 6u); // mode 1: no colour management
    record.mode = 2;
    EXPECT_EQ(r.MapColorManagedType(6), VQ_TYPE_CMYK16);
    EXPECT_EQ(r.MapColorManagedType(8), VQ_TYPE_CMYK8);
    EXPECT_EQ(r.MapColorManagedType(2), 2u);
    record.channels = 3;
    record.colourSpace = 0x4C616220; // "Lab "
    EXPECT_EQ(r.MapColorManagedType(4), VQ_TYPE_LAB8);
    EXPECT_EQ(r.MapColorManagedType(10), VQ_TYPE_LAB16);
    EXPECT_EQ(r.MapColorManagedType(5), 5u);
    EXPECT_EQ(r.MapColorManagedType(7), 7u);
    record.colourSpace = 0x73524742; // "sRGB"
    EXPECT_EQ(r.MapColorManagedType(4), 4u);
}

TEST(SdkRendererTypes, PipelineModesByType) {
    SdkRenderer r;
    OcmsImageRecord record;
    setParam<OcmsImageRecord*>(r, RP_CMS_TRANSFORM, &record);
    struct Row { uint32_t type; int32_t colour, look; uint32_t cmsMode; VqStatus status; PipelineModes m; };
    // unpack, shading, passThrough, demosaic, transform, subsampled, lut
    const Row rows[] = {
        {0, 1, 0, 1, 0, {0, 0, 1, 1, 2, 0, 2}},
        {0, 0, 0, 1, 0, {1, 1, 1, 1, 2, 0, 2}},
        {4, 1, 0, 1, 0, {0, 0, 0, 0, 0, 0, 2}},
        {4, 1, 1, 1, 0, {0, 0, 0, 0, 3, 0, 2}},
        {9, 1, 0, 3, 0, {0, 0, 0, 1, 4, 0, 0}},
        {2, 0, 0, 1, 0, {1, 1, 0, 0, 1, 0, 0}},
        {13, 1, 0, 1, 0, {0, 0, 0, 1, 2, 0, 0}},
        {13, 1, 0, 2, VQ_ERR_OCMS_TYPE_CONFLICT, {0, 0, 0, 1, 2, 0, 0}},
        {15, 1, 0, 1, VQ_ERR_BAD_IMAGE_TYPE, {0, 0, 0, 0, 2, 0, 0}},
        {1, 1, 0, 1, VQ_ERR_BAD_IMAGE_TYPE, {0, 0, 0, 0, 2, 0, 0}},
    };
    for (const Row& row : rows) {
        record.mode = row.cmsMode;
        PipelineModes m;
        EXPECT_EQ(r.ConfigurePipeline(row.type, row.colour, &m, 1, row.look), row.status) << row.type;
        EXPECT_EQ(*static_cast<int32_t*>(r.Parameter(RP_LOOK)), row.look);
        EXPECT_EQ(m.unpackMode, row.m.unpackMode) << row.type;
        EXPECT_EQ(m.shadingMode, row.m.shadingMode) << row.type;
        EXPECT_EQ(m.passThrough, row.m.passThrough) << row.type;
        EXPECT_EQ(m.demosaicMode, row.m.demosaicMode) << row.type;
        EXPECT_EQ(m.transformMode, row.m.transformMode) << row.type;
        EXPECT_EQ(m.subsampled, 0);
        EXPECT_EQ(m.lutMode, row.m.lutMode) << row.type;
    }
    PipelineModes m;
    r.ConfigurePipeline(4, 1, &m, 2, 0);
    EXPECT_EQ(m.subsampled, 1);
}

TEST(SdkRendererTypes, LinearLutSpreadsTheMaximumOverSixteenBits) {
    SdkRenderer r;
    setParam<uint16_t>(r, RP_MAX_VALUE, 4095);
    LutStage lut;
    ASSERT_EQ(r.PrepareLinearLut(lut, 0), VQ_OK);
    EXPECT_EQ(lut.size, 4096u);
    ASSERT_NE(lut.table, nullptr);
    EXPECT_EQ(lut.table[0], 0);
    EXPECT_EQ(lut.table[2048], 32776);
    EXPECT_EQ(lut.table[4095], 65535);
    LutStage off;
    ASSERT_EQ(r.PrepareLinearLut(off, 2), VQ_OK);
    EXPECT_EQ(off.mode, 2);
    EXPECT_EQ(off.table, nullptr);
}

TEST(SdkRendererCache, ResetKeepsTheBufferButForgetsTheContents) {
    DecodingRenderer r;
    FakeImage image;
    image.file = pattern(5000);
    setParam<RendererImage*>(r, RP_IMAGE, &image);
    setParam<int32_t>(r, RP_DATA_SIZE, 5000);
    int32_t done = 0;
    ASSERT_EQ(r.LoadCache(nullptr, 0, &done, 1), VQ_OK);
    const uint8_t* cache = r.Cache();
    ASSERT_EQ(r.ResetCacheState(), VQ_OK); // not decoded: nothing changes
    EXPECT_EQ(r.LoadedBytes(), 5000u);
    ASSERT_EQ(r.DecodeCache(nullptr, 0, 0, 0), VQ_OK);
    ASSERT_EQ(r.ResetCacheState(), VQ_OK);
    EXPECT_EQ(r.LoadedBytes(), 0u);
    EXPECT_EQ(r.CacheDecoded(), 0);
    EXPECT_EQ(r.Cache(), cache);
    ASSERT_EQ(r.LoadCache(nullptr, 0, &done, 1), VQ_OK); // reloaded into the same buffer
    EXPECT_EQ(r.Cache(), cache);
    EXPECT_EQ(done, 1);
}
