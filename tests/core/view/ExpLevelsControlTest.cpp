// The control with draggable handles and the exposure-and-levels control
// built on it: handle codes, hit tests and drags, the levels and their
// limits, the drawing of a fixed histogram and curve as recorded device
// operations (also on a 120-dots-per-inch screen), and the level messages.
#include "CheckToneLevels.h"
#include "ControlBase.h"
#include "ControlDrawContext.h"
#include "CoreTestSupport.h"
#include "ExpLevelsControlBase.h"
#include "FakeImage.h"
#include "ImagePool.h"
#include "ImageRendering.h"
#include "LocalizedStrings.h"
#include "PixelArray.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

using namespace NimbalCore;
using coretest::FakeImage;
using coretest::Utf16Bytes;

namespace {

// One device operation: its name, its text (DrawText) and its numbers.
struct Op {
    std::string name;
    std::vector<int32_t> v;
    std::string text;
    std::string Show() const {
        std::string s = name;
        if (!text.empty()) s += " \"" + text + "\"";
        for (int32_t n : v) s += " " + std::to_string(n);
        return s;
    }
};

Op Color(int r, int g, int b) { return {"color", {r, g, b}, ""}; }
Op Move(int x, int y) { return {"move", {x, y}, ""}; }
Op Line(int x, int y) { return {"line", {x, y}, ""}; }
Op Fill(int l, int t, int r, int b) { return {"fill", {l, t, r, b}, ""}; }
Op Erase(int l, int t, int r, int b) { return {"erase", {l, t, r, b}, ""}; }
Op Text(const std::string& s, int l, int t, int r, int b) { return {"text", {l, t, r, b, 1}, s}; }

// The same operation on a device scaled by (sx, sy).
Op Scaled(Op op, double sx, double sy) {
    if (op.name == "color") return op;
    for (size_t i = 0; i < op.v.size() && i < 4; ++i) op.v[i] = int32_t(std::trunc(op.v[i] * (i % 2 ? sy : sx)));
    return op;
}

std::vector<std::string> Shown(const std::vector<Op>& ops) {
    std::vector<std::string> out;
    for (const Op& op : ops) out.push_back(op.Show());
    return out;
}

class RecordingDevice : public ControlDrawDevice {
public:
    bool SetColor(uint8_t r, uint8_t g, uint8_t b) override { return Note(Color(r, g, b)); }
    bool MoveTo(int32_t x, int32_t y) override { return Note(Move(x, y)); }
    bool LineTo(int32_t x, int32_t y) override { return Note(Line(x, y)); }
    bool FillRect(const NbRect& r) override { return Note(Fill(r.left, r.top, r.right, r.bottom)); }
    bool EraseRect(const NbRect& r) override { return Note(Erase(r.left, r.top, r.right, r.bottom)); }
    bool DrawText(const std::string& text, const NbRect& r, int alignment) override {
        return Note({"text", {r.left, r.top, r.right, r.bottom, alignment}, text});
    }
    std::vector<Op> ops;

private:
    bool Note(const Op& op) {
        ops.push_back(op);
        return true;
    }
};

// An image whose thumbnail is one flat 16-bit value and whose exposure
// table steps from 0 to 4095 at one entry; without a colour transform the
// luminance is the value itself. Its level axis runs from 0 to 2.5 stops
// over sample values 4000 and up.
class LevelsImage : public FakeImage {
public:
    explicit LevelsImage(int32_t thumbWidth = 16, int32_t thumbHeight = 19) : FakeImage("/lv/L.ZYR", 400, 300) {
        thumbnailRect_ = NbRect(0, 0, thumbWidth - 1, thumbHeight - 1);
        levelsOption_ = 4000;
        levelsLimits_[0] = 0.0f;
        levelsLimits_[1] = 1.0f;
        levelsLimits_[2] = 2.5f;
        levelsMinimumGap_ = 0.3f;
        exposureTable.assign(4096, 0);
        std::fill(exposureTable.begin() + 4071, exposureTable.end(), uint16_t(4095));
    }
    void RenderThumbnail(const ImageProcessParam&, PixelArray& destination) override {
        const NbRect b = destination.GetBounds();
        for (int32_t y = 0; y <= b.bottom; ++y)
            for (int32_t x = 0; x <= b.right; ++x)
                for (int32_t c = 0; c < destination.GetChannels(); ++c)
                    std::memcpy(destination.GetPixelAddress(x, y) + 2 * c, &sample, 2);
    }
    ValidationCodes ValidateLevels(float s, float m, float h) override {
        return verdict >= 0 ? ValidationCodes(verdict) : Image::ValidateLevels(s, m, h);
    }
    // Luminance 4060: level index 35, the third of the 256 columns.
    uint16_t sample = 64960;
    int verdict = -1;
};

class TestControl : public ControlBase {
public:
    void Draw(ControlDrawContext&) override {}
    int HandleMoved(const ControlHandle& handle, NbPoint from, NbPoint to) override {
        moves.push_back({handle.id, handle.position, from.x, from.y, to.x, to.y});
        return 40 + handle.id;
    }
    std::vector<std::vector<int32_t>> moves;
};

ControlHandle Handle(int32_t id, int32_t min, int32_t max, int32_t axis, NbRect hit, int32_t ox = 0, int32_t oy = 0) {
    ControlHandle h;
    h.id = id;
    h.min = min;
    h.max = max;
    h.dragAxis = axis;
    h.hitRect = hit;
    h.originX = ox;
    h.originY = oy;
    return h;
}

class LevelsControlTest : public ::testing::Test {
protected:
    void TearDown() override {
        LoadLocalizedStrings(FilePathSpec(temp_.write("empty.u16", Utf16Bytes(u"", false))), kColumnEnglish);
        renderings_.clear();
        ImagePool::DeleteInstance();
    }
    ImageRendering* Rendering(LevelsImage* image, float shadow, float midtone, float highlight) {
        ImageProcessParam params;
        params.levels[0] = shadow;
        params.levels[1] = midtone;
        params.levels[2] = highlight;
        renderings_.push_back(std::make_unique<ImageRendering>(ImageRef(image), params));
        return renderings_.back().get();
    }
    static std::vector<int32_t> Positions(const ControlBase& control) {
        std::vector<int32_t> p;
        for (int32_t id : {1, 2, 3}) {
            int32_t v = -1;
            control.GetHandlePosition(id, v);
            p.push_back(v);
        }
        return p;
    }
    static std::vector<int32_t> Range(const ControlBase& control, int32_t id) {
        ControlHandle h;
        EXPECT_TRUE(control.GetHandle(id, h));
        return {h.min, h.max};
    }

    lumora::test::TempFolder temp_;
    std::vector<std::unique_ptr<ImageRendering>> renderings_;
};

TEST_F(LevelsControlTest, HandleCodes) {
    TestControl control;
    int32_t position = 0;
    EXPECT_EQ(control.SetHandlePosition(1, 0), ControlBase::kNoSuchHandle) << "no handles at all";
    EXPECT_EQ(control.AddHandle(Handle(1, 0, 100, 2, NbRect(0, 0, 5, 10))), 0);
    EXPECT_EQ(control.AddHandle(Handle(1, 0, 9, 1, NbRect())), ControlBase::kDuplicateHandle);
    EXPECT_EQ(control.GetHandlePosition(2, position), ControlBase::kNoSuchHandle);
    EXPECT_EQ(control.SetHandlePosition(1, 101), ControlBase::kPositionOutOfRange);
    EXPECT_EQ(control.SetHandlePosition(1, -1), ControlBase::kPositionOutOfRange);
    EXPECT_EQ(control.SetHandlePosition(1, 100), 0);
    EXPECT_EQ(control.GetHandlePosition(1, position), 0);
    EXPECT_EQ(position, 100);
    ControlHandle copy;
    EXPECT_FALSE(control.GetHandle(7, copy));
    EXPECT_EQ(control.DragTo(7, NbPoint{0, 0}, NbPoint{1, 1}), ControlBase::kNoSuchHandle);
}

TEST_F(LevelsControlTest, TheFirstHandleHitWinsEdgesIncluded) {
    TestControl control;
    control.AddHandle(Handle(1, 0, 100, 2, NbRect(0, 0, 5, 10), 5, 5));
    control.AddHandle(Handle(2, 0, 100, 2, NbRect(3, 0, 9, 10), 5, 5));
    int32_t id = 0;
    struct Case {
        int32_t x, y, id;
    };
    const Case cases[] = {{9, 8, 1}, {10, 15, 1}, {5, 5, 1}, {11, 5, 2}, {14, 15, 2}, {15, 5, -1}, {6, 16, -1}, {4, 5, -1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.x) + ", " + std::to_string(c.y));
        EXPECT_EQ(control.BeginDrag(c.x, c.y, id), c.id > 0);
        EXPECT_EQ(id, c.id > 0 ? c.id : ControlBase::kNoSuchHandle);
    }
}

TEST_F(LevelsControlTest, DragsFollowTheAxisWithinTheRange) {
    TestControl control;
    control.AddHandle(Handle(1, 0, 100, ControlHandle::kDragHorizontal, NbRect(), 5, 5));
    control.AddHandle(Handle(2, 10, 50, ControlHandle::kDragVertical, NbRect(), 0, 20));
    control.AddHandle(Handle(3, -5, 5, 0, NbRect()));
    control.AddHandle(Handle(4, 30, 20, ControlHandle::kDragHorizontal, NbRect()));
    struct Case {
        int32_t id, toX, toY, position;
    };
    const Case cases[] = {
        {1, 60, 7, 55},  {1, -40, 0, 0},  {1, 500, 0, 100},  // along x, kept in 0..100
        {2, 3, 45, 25},  {2, 3, 5, 10},                        // along y, from origin y 20
        {3, 99, 99, 0},                                        // fixed: always 0
        {4, 25, 0, 0},   // range upside down: the top wins, and is refused
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        EXPECT_EQ(control.DragTo(c.id, NbPoint{10, 5}, NbPoint{c.toX, c.toY}), 40 + c.id);
        int32_t position = -1;
        control.GetHandlePosition(c.id, position);
        EXPECT_EQ(position, c.position);
    }
    // The hook gets the points relative to the handle's origin.
    EXPECT_EQ(control.moves[0], (std::vector<int32_t>{1, 55, 5, 0, 55, 2}));
    EXPECT_EQ(control.moves[3], (std::vector<int32_t>{2, 25, 10, -15, 3, 25}));
}

TEST_F(LevelsControlTest, HandlesGoToTheRenderingsLevelsAndKeepTheGap) {
    auto* image = new LevelsImage;
    ImageRendering* rendering = Rendering(image, 0.5f, 1.0f, 2.0f);
    ExpLevelsControlBase control;
    EXPECT_EQ(Positions(control), (std::vector<int32_t>{0, 0, 0}));
    int32_t id = 0;
    EXPECT_TRUE(control.BeginDrag(7, 50, id));
    EXPECT_EQ(id, ExpLevelsControlBase::ShadowHandle) << "all three overlap at column 0: the first wins";

    control.SetImageRendering(rendering, true);
    EXPECT_EQ(Positions(control), (std::vector<int32_t>{51, 102, 204}));
    EXPECT_EQ(control.GetMinimumGapColumns(), 31) << "0.3 stops of 2.5 over 256 columns, rounded up";
    EXPECT_EQ(Range(control, 1), (std::vector<int32_t>{0, 71}));
    EXPECT_EQ(Range(control, 2), (std::vector<int32_t>{82, 173}));
    EXPECT_EQ(Range(control, 3), (std::vector<int32_t>{133, 255}));

    // The midtone dragged past the highlight stops the gap short of it;
    // the shadow dragged left of the control stops at column 0.
    EXPECT_TRUE(control.BeginDrag(107, 60, id));
    EXPECT_EQ(id, ExpLevelsControlBase::MidtoneHandle);
    control.DragTo(id, NbPoint{107, 60}, NbPoint{400, 60});
    EXPECT_TRUE(control.BeginDrag(56, 60, id));
    control.DragTo(id, NbPoint{56, 60}, NbPoint{-30, 60});
    EXPECT_EQ(Positions(control), (std::vector<int32_t>{0, 173, 204}));
    float s = -1, m = -1, h = -1;
    control.GetLevels(s, m, h);
    EXPECT_FLOAT_EQ(s, 0.0f);
    EXPECT_NEAR(m, 2.5 * 173 / 255, 1e-5);
    EXPECT_NEAR(h, 2.0, 1e-5);

    // Levels out of order are refused and leave the handles.
    EXPECT_FALSE(control.SetLevels(1.0f, 1.0f, 2.0f));
    EXPECT_EQ(Positions(control), (std::vector<int32_t>{0, 173, 204}));
    EXPECT_TRUE(control.SetLevels(0.5f, 1.0f, 2.0f));
    EXPECT_EQ(Positions(control), (std::vector<int32_t>{51, 102, 204}));
}

TEST_F(LevelsControlTest, LevelsAreRoundedToOneDecimalButZeroStaysZero) {
    ExpLevelsControlBase control;
    control.SetImageRendering(Rendering(new LevelsImage, 0.0f, 0.26f, 1.0f), true);
    // 0.3 lies on column 31, 0.26 unrounded would be column 27.
    EXPECT_EQ(Positions(control), (std::vector<int32_t>{0, 31, 102}));
}

TEST_F(LevelsControlTest, AnImageWithoutToneLimitsGetsNoGapAndKeepsItsHandlesInRange) {
    auto* image = new LevelsImage;
    image->levelsLimits_[0] = image->levelsLimits_[1] = image->levelsLimits_[2] = 0.0f;
    image->levelsOption_ = 0;
    ExpLevelsControlBase control;
    control.SetImageRendering(Rendering(image, 0.5f, 1.0f, 2.0f), true);
    EXPECT_EQ(control.GetMinimumGapColumns(), 0);
    for (int32_t id : {1, 2, 3}) {
        ControlHandle h;
        ASSERT_TRUE(control.GetHandle(id, h));
        EXPECT_GE(h.position, 0);
        EXPECT_LE(h.position, 255);
        EXPECT_GE(h.max, 0);
        EXPECT_LE(h.max, 255);
    }
}

TEST_F(LevelsControlTest, SetLevelsLaysOutAHandleTheLimitsRefuse) {
    ExpLevelsControlBase control;
    control.SetImageRendering(Rendering(new LevelsImage, 0.5f, 1.0f, 2.0f), true);
    // 0.1 stops apart: closer than the gap, so the shadow's new column is
    // outside its new range. It stays there and is drawn there, so it must
    // catch the mouse there, not at its old column 51.
    EXPECT_TRUE(control.SetLevels(0.9f, 1.0f, 2.0f));
    EXPECT_EQ(Positions(control), (std::vector<int32_t>{92, 102, 204}));
    int32_t id = 0;
    EXPECT_TRUE(control.BeginDrag(97, 60, id));
    EXPECT_EQ(id, ExpLevelsControlBase::ShadowHandle);
    EXPECT_FALSE(control.BeginDrag(56, 60, id));
}

TEST_F(LevelsControlTest, TheDrawingOfAFixedHistogramAndCurve) {
    ExpLevelsControlBase control;
    control.SetControlRect(NbRect(0, 0, 265, 170));
    control.SetImageRendering(Rendering(new LevelsImage, 0.5f, 1.0f, 2.0f), true);
    const Histogram* histogram = control.GetHistogram();
    ASSERT_NE(histogram, nullptr);
    ASSERT_EQ(histogram->GetPixelCount(), 304u);
    ASSERT_EQ(histogram->GetShadowIndex(), 2);
    ASSERT_EQ(histogram->GetHighlightIndex(), 2);
    ASSERT_EQ(histogram->GetCurveEnd(), 3);

    // 304 pixels in bin 2, smoothed over columns 0 to 5 as 3 3 5 3 3 1;
    // 1.5 % of 304 is 4, so a count of 3 is 96 high and 5 is clipped at 128.
    // Columns outside the curve's flat ends (both at column 2) are dark red.
    const std::vector<Op> expected{
        Erase(0, 0, 265, 170),
        Color(128, 64, 64), Move(5, 37), Line(5, 133), Move(6, 37), Line(6, 133),
        Color(128, 128, 128), Move(7, 5), Line(7, 133),
        Color(128, 64, 64), Move(8, 37), Line(8, 133), Move(9, 37), Line(9, 133), Move(10, 101), Line(10, 133),
        // The curve: 0 up to column 1, 4095 (127 high) from column 2 to its
        // end at 3, then flat to the highlight handle.
        Color(0, 0, 0), Move(5, 133), Line(6, 133), Line(7, 6), Line(8, 6), Line(209, 6),
        // The scale from 0 to 2.5 stops: columns 0, 51, 102, 153, 204.
        Color(0, 0, 0), Move(5, 134), Line(261, 134),
        Move(5, 134), Line(5, 141), Text("0", -6, 141, 16, 153),
        Move(56, 134), Line(56, 137),
        Move(107, 134), Line(107, 141), Text("1", 96, 141, 118, 153),
        Move(158, 134), Line(158, 137),
        Move(209, 134), Line(209, 141), Text("2", 198, 141, 220, 153),
        Text("EV", 111, 155, 155, 167),
        // Handles at columns 51, 102 and 204.
        Color(255, 0, 0), Move(56, 5), Line(56, 137), Color(0, 0, 0), Fill(53, 53, 60, 65),
        Color(0, 0, 0), Fill(54, 54, 59, 64),
        Color(255, 0, 0), Move(107, 5), Line(107, 137), Color(0, 0, 0), Fill(104, 53, 111, 65),
        Color(127, 127, 127), Fill(105, 54, 110, 64),
        Color(255, 0, 0), Move(209, 5), Line(209, 137), Color(0, 0, 0), Fill(206, 53, 213, 65),
        Color(255, 255, 255), Fill(207, 54, 212, 64),
    };
    RecordingDevice device;
    ControlDrawContext context(&device);
    control.Paint(context);
    EXPECT_EQ(Shown(device.ops), Shown(expected));

    // 120 dots per inch: every coordinate times 1.25, truncated.
    RecordingDevice fine;
    ControlDrawContext scaled = ControlDrawContext::ForDotsPerInch(&fine, 120, 120);
    control.Paint(scaled);
    std::vector<Op> expectedFine;
    for (const Op& op : expected) expectedFine.push_back(Scaled(op, 1.25, 1.25));
    EXPECT_EQ(Shown(fine.ops), Shown(expectedFine));
    EXPECT_EQ(fine.ops[0].Show(), "erase 0 0 331 212");
    bool labelled = false;
    for (const Op& op : fine.ops)
        if (op.name == "text" && op.text == "0") labelled = op.Show() == "text \"0\" -7 176 20 191 1";
    EXPECT_TRUE(labelled);
}

TEST_F(LevelsControlTest, FewerThan67PixelsDrawEveryColumnFullHeight) {
    // 66 pixels: 1.5 % of them is 0. An empty histogram, before any
    // rendering, is drawn the same way.
    ExpLevelsControlBase sparse, empty;
    sparse.SetImageRendering(Rendering(new LevelsImage(6, 11), 0.5f, 1.0f, 2.0f), true);
    ASSERT_EQ(sparse.GetHistogram()->GetPixelCount(), 66u);
    for (ExpLevelsControlBase* control : {&sparse, &empty}) {
        RecordingDevice device;
        ControlDrawContext context(&device);
        control->Paint(context);
        std::vector<int32_t> columns;
        for (size_t i = 0; i + 1 < device.ops.size(); ++i)
            if (device.ops[i].name == "move" && device.ops[i + 1].name == "line" && device.ops[i].v[1] == 5 &&
                device.ops[i + 1].v[1] == 133)
                columns.push_back(device.ops[i].v[0] - 5);
        ASSERT_EQ(columns.size(), 256u);
        EXPECT_EQ(columns.front(), 0);
        EXPECT_EQ(columns.back(), 255);
    }
}

TEST_F(LevelsControlTest, ColoursOutsideTheDeviceRangeChangeNothing) {
    RecordingDevice device;
    ControlDrawContext context(&device);
    EXPECT_TRUE(context.SetColor(ControlColor{255, 0, 12}));
    EXPECT_FALSE(context.SetColor(ControlColor{256, 0, 0}));
    EXPECT_EQ(Shown(device.ops), (std::vector<std::string>{"color 255 0 12"}));
    EXPECT_EQ(ControlDrawContext::Shrink(NbRect(10, 20, 30, 40), 1, 2), NbRect(11, 22, 29, 38));
}

TEST_F(LevelsControlTest, RefusedLevelsAreExplainedInTheUsersLanguage) {
    auto* image = new LevelsImage;
    ImageRendering* rendering = Rendering(image, 0.5f, 1.0f, 2.0f);
    struct Case {
        int code;
        std::string english, french;
    };
    const Case cases[] = {
        {26, "Some values are too close.", "Valeurs trop proches."},
        {27, "Shadow must be less than Midtone, and Midtone must be less than Highlight.", "Ordre des niveaux."},
        {28, "Shadow value is too low.", "Ombres trop basses."},
        {29, "Shadow value is too high.", "Ombres trop hautes."},
        {30, "Midtone value is too low.", "Tons moyens trop bas."},
        {31, "Midtone value is too high.", "Tons moyens trop hauts."},
        {32, "Highlight value is too low.", "Hautes lumieres trop basses."},
        {33, "Highlight value is too high.", "Hautes lumieres trop hautes."},
    };
    std::u16string table;
    int row = 1;
    for (const Case& c : cases) {
        const std::u16string english(c.english.begin(), c.english.end());
        const std::u16string french(c.french.begin(), c.french.end());
        table += std::u16string(u"") + char16_t(u'0' + row++) + u"\t" + english + u"\tlevels\t" + english + u"\t\t" +
                 french + u"\r\n";
    }
    table += u"9\tEV\tcaption\tEV\t\tIL\r\n";

    for (bool translated : {false, true}) {
        SCOPED_TRACE(translated ? "French" : "English");
        if (translated)
            LoadLocalizedStrings(FilePathSpec(temp_.write("LumoraUIStrings.u16", Utf16Bytes(table, false))),
                                 LocalizedColumnForLanguage("French"));
        for (const Case& c : cases) {
            SCOPED_TRACE(c.code);
            image->verdict = c.code;
            std::string message = "untouched";
            EXPECT_FALSE(CheckToneLevels(rendering, 0.5f, 1.0f, 2.0f, message));
            EXPECT_EQ(message, translated ? c.french : c.english);
        }
    }
    // Accepted, and refused for another reason: the message stays.
    std::string message = "untouched";
    image->verdict = 0;
    EXPECT_TRUE(CheckToneLevels(rendering, 0.5f, 1.0f, 2.0f, message));
    image->verdict = ImageProcessParam::CannotAdjustTone;
    EXPECT_FALSE(CheckToneLevels(rendering, 0.5f, 1.0f, 2.0f, message));
    EXPECT_EQ(message, "untouched");
    // Through the image's own check: the shadow below the axis.
    image->verdict = -1;
    EXPECT_FALSE(CheckToneLevels(rendering, -1.0f, 1.0f, 2.0f, message));
    EXPECT_EQ(message, "Ombres trop basses.");

    // The scale's caption is translated too.
    ExpLevelsControlBase control;
    RecordingDevice device;
    ControlDrawContext context(&device);
    control.Paint(context);
    bool captioned = false;
    for (const Op& op : device.ops) captioned = captioned || (op.name == "text" && op.text == "IL");
    EXPECT_TRUE(captioned);
}

} // namespace
