// The Review dialog's logic: its geometry, the navigation table with Enter's
// default button, which render each slide gets, the counter and caption, the
// tag, and slides whose window went away while the dialog was open.
#include "ReviewLayout.h"
#include "ReviewPresenter.h"

#include "ResolutionsImage.h"
#include "FakeShell.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using NimbalCore::ImageRendering;
using NimbalCore::NbRect;

using ReviewImage = ResolutionsImage;

class FakeReviewView : public ReviewView {
public:
    struct Render {
        ImageRendering* rendering;
        NimbalCore::Image* image;
        int reduction;
        NimbalCore::ImageProcessParam params;
        std::vector<bool> navEnabled; // First, Prev, Next, Last while rendering
    };
    std::string GetItemText(int id) override { return table.GetItemText(id); }
    void SetItemText(int id, const std::string& text) override { table.SetItemText(id, text); }
    void EnableItem(int id, bool enable) override { table.EnableItem(id, enable); }
    bool IsItemEnabled(int id) override { return table.IsItemEnabled(id); }
    void ShowItem(int id, bool show) override { table.ShowItem(id, show); }
    int GetCheck(int id) override { return table.GetCheck(id); }
    void SetCheck(int id, int check) override { table.SetCheck(id, check); }
    void FocusItem(int id) override { table.FocusItem(id); }
    void SetCaption(const std::string& caption) override { table.SetCaption(caption); }
    void ClearList(int id) override { table.ClearList(id); }
    void AddListItem(int id, const std::string& text) override { table.AddListItem(id, text); }
    int GetListSelection(int id) override { return table.GetListSelection(id); }
    void SetListSelection(int id, int index) override { table.SetListSelection(id, index); }
    std::string GetListItemText(int id, int index) override { return table.GetListItemText(id, index); }
    int GetListCount(int id) override { return table.GetListCount(id); }
    void EndAsCancel() override { table.EndAsCancel(); }

    void SetDefaultButton(int id) override { defaultButton = id; }
    void RenderPicture(ImageRendering* rendering, int reduction) override {
        renders.push_back({rendering, rendering->GetImage()->Get(), reduction, rendering->GetProcessParam(), Nav()});
    }
    void RepaintPicture() override { ++repaints; }
    void SetMinTrackSize(int width, int height) override { minTrack = {width, height}; }

    std::vector<bool> Nav() {
        return {table.IsItemEnabled(kReviewFirst), table.IsItemEnabled(kReviewPrev), table.IsItemEnabled(kReviewNext),
                table.IsItemEnabled(kReviewLast)};
    }

    FakeDialogView table;
    int defaultButton = 0;
    int repaints = 0;
    std::pair<int, int> minTrack{0, 0};
    std::vector<Render> renders;
};

// Three slides (or n) over images of their own, held only by the test's
// renderings and the dialog's copies.
struct Sheet {
    explicit Sheet(int n = 3) {
        for (int i = 0; i < n; ++i) {
            auto* image = new ReviewImage("/photos/IMG_000" + std::to_string(i + 1) + ".zyr", 3000, 2000);
            images.push_back(image);
            renderings.push_back(std::make_unique<ImageRendering>(NimbalCore::ImageRef(image), NimbalCore::ImageProcessParam()));
            present.push_back(true);
        }
    }
    // What the dialog takes at opening: a counted copy of each rendering.
    std::vector<ReviewPresenter::Slide> Slides() {
        std::vector<ReviewPresenter::Slide> out;
        for (size_t i = 0; i < renderings.size(); ++i)
            out.push_back({std::make_unique<ImageRendering>(*renderings[i]), [this, i] { return bool(present[i]); }});
        return out;
    }
    std::vector<ReviewImage*> images;
    std::vector<std::unique_ptr<ImageRendering>> renderings;
    std::vector<char> present;
};

const IntRect kFrame{10, 10, 610, 410}; // 600 x 400

TEST(ReviewLayout, MinimumSizeFollowsTheImagesShape) {
    EXPECT_EQ(ReviewLayout::MinTrackSize(NbRect(0, 0, 2999, 1999)), std::make_pair(500, 370));
    EXPECT_EQ(ReviewLayout::MinTrackSize(NbRect(0, 0, 1999, 2999)), std::make_pair(400, 500));
    EXPECT_EQ(ReviewLayout::MinTrackSize(NbRect(0, 0, 99, 99)), std::make_pair(400, 500));
}

TEST(ReviewLayout, PictureIsCentredAndNeverEnlarged) {
    struct Row {
        int64_t w, h;
        double scale;
        IntRect dest;
    } rows[] = {
        // Smaller than the frame: its own size, centred.
        {200, 100, 1.0, {210, 160, 410, 260}},
        // Larger: scaled to fit, proportions kept.
        {3000, 2000, 0.2, {10, 10, 610, 410}},
        {1000, 2000, 0.2, {210, 10, 410, 410}},
        {1201, 400, 600.0 / 1201.0, {10, 110, 610, 310}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.w);
        const double scale = ReviewLayout::DisplayScale(r.w, r.h, kFrame);
        EXPECT_DOUBLE_EQ(scale, r.scale);
        EXPECT_EQ(ReviewLayout::Destination(r.w, r.h, scale, kFrame), r.dest);
    }
    EXPECT_EQ(ReviewLayout::DisplayScale(3000, 2000, IntRect{5, 5, 5, 90}), 0.0);
    EXPECT_EQ(ReviewLayout::DisplayScale(0, 2000, kFrame), 0.0);
}

TEST(ReviewLayout, CropOutlineOnlyForACropInsideThePicture) {
    const IntRect dest{10, 10, 610, 410};
    // The whole image (inclusive ends) covers the picture: no outline.
    EXPECT_FALSE(ReviewLayout::CropOutline(NbRect(0, 0, 2999, 1999), 0.2, dest));
    // Nothing to outline.
    EXPECT_FALSE(ReviewLayout::CropOutline(NbRect(), 0.2, dest));
    EXPECT_FALSE(ReviewLayout::CropOutline(NbRect(50, 50, 10, 10), 0.2, dest));
    // Inside: scaled with rounding and moved onto the picture.
    const auto inner = ReviewLayout::CropOutline(NbRect(502, 502, 1497, 1002), 0.2, dest);
    ASSERT_TRUE(inner);
    EXPECT_EQ(*inner, (IntRect{110, 110, 309, 210}));
    // As wide as the picture but lower: outlined.
    EXPECT_TRUE(ReviewLayout::CropOutline(NbRect(0, 500, 2999, 1999), 0.2, dest));
}

TEST(ReviewLayout, OutlineInvertsEachPixelUnderTheLineOnce) {
    const int w = 8, h = 6;
    std::vector<uint8_t> pixels(size_t(w * h * 3));
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint8_t(i * 7);
    const std::vector<uint8_t> before = pixels;
    ReviewLayout::InvertOutline(pixels.data(), w, h, w * 3, IntRect{1, 1, 6, 5});
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const bool line = (x >= 1 && x <= 5 && (y == 1 || y == 4)) || (y >= 1 && y <= 4 && (x == 1 || x == 5));
            for (int k = 0; k < 3; ++k) {
                const size_t i = size_t((y * w + x) * 3 + k);
                EXPECT_EQ(pixels[i], line ? uint8_t(~before[i]) : before[i]) << x << "," << y;
            }
        }
    // A rectangle reaching past the pixels changes only what lies inside.
    pixels = before;
    ReviewLayout::InvertOutline(pixels.data(), w, h, w * 3, IntRect{-3, 2, 20, 40});
    for (int x = 0; x < w; ++x) EXPECT_EQ(pixels[size_t((2 * w + x) * 3)], uint8_t(~before[size_t((2 * w + x) * 3)]));
    EXPECT_EQ(pixels[size_t((3 * w + 4) * 3)], before[size_t((3 * w + 4) * 3)]);
}

TEST(ReviewLayout, ControlsFollowTheBottomAndRightEdges) {
    ReviewLayout layout;
    const IntRect window{0, 0, 740, 500};
    layout.Measure(window, IntRect{10, 10, 600, 490},
                   {{kReviewDone, {620, 460, 700, 483}}, {kReviewNext, {620, 100, 700, 123}},
                    {kReviewFaster, {630, 30, 690, 45}}},
                   {kReviewBetter, kReviewFaster});
    const IntRect grown{0, 0, 940, 650};
    EXPECT_EQ(layout.FrameRect(grown), (IntRect{10, 10, 800, 640}));
    const std::vector<ReviewLayout::Placed> placed = layout.ControlRects(grown);
    ASSERT_EQ(placed.size(), 3u);
    // Same size and bottom offset; right edge 7 inside the window.
    EXPECT_EQ(placed[0].rect, (IntRect{853, 610, 933, 633}));
    EXPECT_EQ(placed[1].rect, (IntRect{853, 250, 933, 273}));
    // Faster keeps its own distance from the right edge.
    EXPECT_EQ(placed[2].rect, (IntRect{830, 180, 890, 195}));
}

TEST(ReviewPresenter, OpeningFillsTheControlsAndRendersNothing) {
    FakeProfileStore store;
    store.Set("Review Render Mode", "1");
    Sheet sheet;
    FakeReviewView view;
    ReviewPresenter presenter(view);
    presenter.Open(sheet.Slides());
    EXPECT_EQ(view.GetItemText(kReviewCounter), "1 of 3");
    EXPECT_EQ(view.table.caption, "Review of Image \"IMG_0001.zyr\"");
    EXPECT_EQ(view.GetCheck(kReviewBetter), 1);
    EXPECT_EQ(view.GetCheck(kReviewFaster), 0);
    EXPECT_TRUE(view.renders.empty());
    EXPECT_TRUE(presenter.NeedsRender());
    EXPECT_TRUE(store.writes.empty());
    // The render mode is written at the end, whatever it is then.
    presenter.Faster();
    presenter.SaveRenderMode();
    EXPECT_EQ(store.Value("Review Render Mode"), "0");
}

TEST(ReviewPresenter, NavigationTableAndEntersDefault) {
    FakeProfileStore store;
    struct Row {
        int slides, index;
        std::vector<bool> enabled; // First, Prev, Next, Last
        int defaultButton;
    } rows[] = {
        {1, 0, {false, false, false, false}, kReviewNext},
        {3, 0, {false, false, true, true}, kReviewNext},
        {3, 2, {true, true, false, false}, kReviewPrev},
        {3, 1, {true, true, true, true}, kReviewNext},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::to_string(r.slides) + "/" + std::to_string(r.index));
        Sheet sheet(r.slides);
        FakeReviewView view;
        ReviewPresenter presenter(view);
        presenter.Open(sheet.Slides());
        if (r.index == r.slides - 1 && r.slides > 1) presenter.Last();
        else for (int i = 0; i < r.index; ++i) presenter.Next();
        presenter.RenderCurrent();
        EXPECT_EQ(presenter.CurrentIndex(), r.index);
        EXPECT_EQ(view.Nav(), r.enabled);
        EXPECT_EQ(view.defaultButton, r.defaultButton);
    }
}

TEST(ReviewPresenter, DisablingANavigationButtonMovesTheDefault) {
    FakeProfileStore store;
    Sheet sheet;
    FakeReviewView view;
    ReviewPresenter presenter(view);
    presenter.Open(sheet.Slides());
    const std::pair<int, int> rows[] = {
        {kReviewNext, kReviewPrev}, {kReviewPrev, kReviewNext}, {kReviewFirst, kReviewFirst}, {kReviewLast, kReviewLast}};
    for (const auto& [disabled, expected] : rows) {
        view.EnableItem(disabled, true);
        presenter.DisableNavButton(disabled);
        EXPECT_FALSE(view.IsItemEnabled(disabled));
        EXPECT_EQ(view.table.focus, disabled);
        EXPECT_EQ(view.defaultButton, expected);
    }
}

TEST(ReviewPresenter, NextAndPrevWrapAndRenderAtOnce) {
    FakeProfileStore store;
    Sheet sheet;
    FakeReviewView view;
    ReviewPresenter presenter(view);
    presenter.Open(sheet.Slides());
    presenter.Last();
    EXPECT_EQ(view.GetItemText(kReviewCounter), "3 of 3");
    EXPECT_TRUE(view.renders.empty()); // the paint renders
    presenter.Next();
    EXPECT_EQ(presenter.CurrentIndex(), 0);
    EXPECT_EQ(view.GetItemText(kReviewCounter), "1 of 3");
    ASSERT_EQ(view.renders.size(), 1u);
    EXPECT_EQ(view.renders[0].image, sheet.images[0]);
    presenter.Prev();
    EXPECT_EQ(presenter.CurrentIndex(), 2);
    EXPECT_EQ(view.table.caption, "Review of Image \"IMG_0003.zyr\"");
    ASSERT_EQ(view.renders.size(), 2u);
    EXPECT_EQ(view.renders[1].image, sheet.images[2]);
    // Every render runs with the four navigation buttons disabled.
    for (const auto& r : view.renders) EXPECT_EQ(r.navEnabled, std::vector<bool>(4, false));
    EXPECT_FALSE(presenter.NeedsRender());
}

TEST(ReviewPresenter, FasterTakesTheLargestReductionOrDropsNoiseReduction) {
    FakeProfileStore store;
    struct Row {
        std::vector<int> factors;
        int mode;
        int reduction;
        bool copy; // a copy without noise reduction
    } rows[] = {
        {{1, 2, 4}, ReviewPresenter::kFaster, 4, false},
        {{1, 2, 4}, ReviewPresenter::kBetter, 1, false},
        {{1, 2}, ReviewPresenter::kFaster, 2, false},
        {{1}, ReviewPresenter::kFaster, 1, true},
        {{1}, ReviewPresenter::kBetter, 1, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::to_string(r.factors.size()) + " mode " + std::to_string(r.mode));
        Sheet sheet(1);
        sheet.images[0]->factors = r.factors;
        NimbalCore::ImageProcessParam params;
        params.noiseReductionMode = 3;
        params.noiseReductionStrength = 40;
        sheet.renderings[0]->SetProcessParam(params);
        FakeReviewView view;
        ReviewPresenter presenter(view);
        presenter.Open(sheet.Slides());
        if (r.mode == ReviewPresenter::kBetter) presenter.Better();
        else presenter.Faster();
        presenter.PaintPicture(kFrame);
        ASSERT_EQ(view.renders.size(), 1u);
        EXPECT_EQ(view.renders[0].reduction, r.reduction);
        EXPECT_EQ(view.renders[0].params.noiseReductionMode, r.copy ? 0 : 3);
        EXPECT_EQ(view.renders[0].params.noiseReductionStrength, r.copy ? 0 : 40);
        // The image drops its decoded data after each render; the slide's
        // own parameters are never changed.
        EXPECT_EQ(sheet.images[0]->frees, 1);
        EXPECT_EQ(sheet.renderings[0]->GetProcessParam().noiseReductionMode, 3);
        EXPECT_EQ(view.minTrack, std::make_pair(500, 370));
    }
}

TEST(ReviewPresenter, PaintRendersOnceAndOutlinesTheCrop) {
    FakeProfileStore store;
    Sheet sheet(1);
    NimbalCore::ImageProcessParam params;
    params.crop = NbRect(502, 502, 1497, 1002);
    sheet.renderings[0]->SetProcessParam(params);
    sheet.images[0]->SetTagged(true);
    FakeReviewView view;
    ReviewPresenter presenter(view);
    presenter.Open(sheet.Slides());
    ReviewPresenter::Paint paint = presenter.PaintPicture(kFrame);
    EXPECT_TRUE(paint.draw);
    EXPECT_EQ(paint.destination, kFrame);
    ASSERT_TRUE(paint.cropOutline);
    EXPECT_EQ(*paint.cropOutline, (IntRect{110, 110, 309, 210}));
    EXPECT_EQ(view.GetCheck(kReviewTag), 1);
    presenter.PaintPicture(kFrame);
    EXPECT_EQ(view.renders.size(), 1u);
    // A crop the image cannot map leaves only the outline out.
    params.rotation = 45.0f;
    Sheet turned(1);
    turned.renderings[0]->SetProcessParam(params);
    FakeReviewView view2;
    ReviewPresenter presenter2(view2);
    presenter2.Open(turned.Slides());
    paint = presenter2.PaintPicture(kFrame);
    EXPECT_TRUE(paint.draw);
    EXPECT_FALSE(paint.cropOutline);
}

TEST(ReviewPresenter, TagTogglesTheImagesTag) {
    FakeProfileStore store;
    Sheet sheet;
    FakeReviewView view;
    ReviewPresenter presenter(view);
    presenter.Open(sheet.Slides());
    presenter.ToggleTag();
    EXPECT_TRUE(sheet.images[0]->IsTagged());
    EXPECT_EQ(view.GetCheck(kReviewTag), 1);
    EXPECT_TRUE(presenter.Tagged());
    presenter.ToggleTag();
    EXPECT_FALSE(sheet.images[0]->IsTagged());
    EXPECT_EQ(view.GetCheck(kReviewTag), 0);
    EXPECT_FALSE(sheet.images[1]->IsTagged());
}

TEST(ReviewPresenter, ASlideRemovedDuringTheDialogKeepsItsImageButLosesItsMenu) {
    FakeProfileStore store;
    const int deletedBefore = coretest::FakeImage::deleted;
    Sheet sheet;
    FakeReviewView view;
    ReviewPresenter presenter(view);
    presenter.Open(sheet.Slides());
    EXPECT_TRUE(presenter.OffersContextMenu());
    // The folder watcher drops the second slide: its window and its
    // rendering go, and with them the sheet's reference to the image.
    sheet.present[1] = false;
    sheet.renderings[1].reset();
    EXPECT_EQ(coretest::FakeImage::deleted, deletedBefore);
    presenter.Next();
    ASSERT_EQ(view.renders.size(), 1u);
    EXPECT_EQ(view.renders[0].image, sheet.images[1]);
    EXPECT_EQ(view.table.caption, "Review of Image \"IMG_0002.zyr\"");
    EXPECT_FALSE(presenter.OffersContextMenu());
    presenter.ToggleTag();
    EXPECT_TRUE(sheet.images[1]->IsTagged());
    presenter.Next();
    EXPECT_TRUE(presenter.OffersContextMenu());
}

TEST(ReviewPresenter, EmptySlidesDrawNothing) {
    FakeProfileStore store;
    FakeReviewView view;
    ReviewPresenter presenter(view);
    std::vector<ReviewPresenter::Slide> slides;
    slides.push_back({nullptr, nullptr});
    presenter.Open(std::move(slides));
    EXPECT_EQ(view.GetItemText(kReviewCounter), "1 of 1");
    EXPECT_FALSE(presenter.PaintPicture(kFrame).draw);
    presenter.ToggleTag();
    presenter.RenderCurrent();
    EXPECT_TRUE(view.renders.empty());
    EXPECT_FALSE(presenter.OffersContextMenu());
    EXPECT_EQ(view.Nav(), std::vector<bool>(4, false));
}

} // namespace
