// Close-up views: which view a click re-targets, detaching for small
// images, pinned views, the models deleted when their last view leaves,
// placement of new windows, the preferred size, and the way back to the
// document that shows the image.
#include "CloseUp.h"
#include "CloseUpViewBase.h"
#include "ContactSheet.h"
#include "FakeImage.h"
#include "ImagePool.h"
#include "ImageRendering.h"
#include "Preview.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace NimbalCore;
using coretest::FakeImage;

namespace {

class TestView : public CloseUpViewBase {
public:
    explicit TestView(NbRect rect = NbRect()) : rect(rect) {}
    void CloseUpChanged() override { ++changes; }
    void ActivateView() override { ++activations; }
    NbRect GetViewRect() override { return rect; }
    void CloseUpReleased(CloseUp*) override {
        if (onReleased) onReleased();
    }

    NbRect rect;
    int changes = 0, activations = 0;
    std::function<void()> onReleased;
};

// A document that follows close-ups and, like the real ones, leaves a
// close-up that is closing.
class Document : public CloseUpEventCB {
public:
    void CloseUpRectChanged(CloseUp*) override { ++rectChanges; }
    void CloseUpClosing(CloseUp* c) override {
        ++closings;
        c->RemoveListener(this);
    }
    int rectChanges = 0, closings = 0;
};

class ActivatedPreview : public Preview {
public:
    void ActivateImage(const FilePathSpec& path) override { activated = path.GetPath(); }
    std::string activated;
};

class ActivatedSheet : public ContactSheet {
public:
    void ReportDropFailures(std::vector<std::string>) override {}
    void ActivateImage(const FilePathSpec& path) override { activated = path.GetPath(); }
    bool ContainsImage(const FilePathSpec& path) override { return path.IsSameFile(FilePathSpec(shows)); }
    std::string shows, activated;
};

class CloseUpViewBaseTest : public ::testing::Test {
protected:
    void TearDown() override {
        renderings_.clear();
        ImagePool::DeleteInstance();
    }
    ImageRendering* Rendering(const std::string& path, int32_t width, int32_t height, float rotation = 0) {
        ImageProcessParam params;
        params.rotation = rotation;
        renderings_.push_back(std::make_unique<ImageRendering>(ImageRef(new FakeImage(path, width, height)), params));
        return renderings_.back().get();
    }
    // A view pinned to the rendering's close-up.
    static void PinTo(TestView& view, ImageRendering* rendering) {
        view.AttachToCloseUp(CloseUp::GetCloseUpFor(rendering));
        view.Pin();
    }

    std::vector<std::unique_ptr<ImageRendering>> renderings_;
};

TEST_F(CloseUpViewBaseTest, AClickRetargetsTheFirstUnpinnedViewInCreationOrder) {
    ImageRendering* parked = Rendering("/cv/P.ZYR", 800, 800);
    ImageRendering* clicked = Rendering("/cv/A.ZYR", 600, 600);
    TestView pinned, first, second;
    PinTo(pinned, parked);
    EXPECT_EQ(CloseUpViewBase::FindUnpinnedView(), &first);
    Document document;

    EXPECT_TRUE(CloseUpViewBase::ShowCloseUpFor(&document, clicked));
    CloseUp* model = CloseUp::FindCloseUpFor(clicked);
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(first.GetCloseUp(), model);
    EXPECT_EQ(first.changes, 1);
    EXPECT_EQ(first.activations, 1);
    EXPECT_EQ(second.GetCloseUp(), nullptr);
    EXPECT_EQ(second.changes, 0);
    EXPECT_NE(pinned.GetCloseUp(), model);
    model->SetCentre(NbPoint{300, 300});
    EXPECT_EQ(document.rectChanges, 1) << "the document follows the model";

    // The same click again changes nothing.
    EXPECT_TRUE(CloseUpViewBase::ShowCloseUpFor(&document, clicked));
    EXPECT_EQ(first.changes, 1);
    model->RemoveListener(&document);
}

TEST_F(CloseUpViewBaseTest, AnImageTooSmallForACloseUpDetachesTheUnpinnedView) {
    ImageRendering* large = Rendering("/cv/L.ZYR", 513, 513);
    TestView view;
    Document document;
    ASSERT_TRUE(CloseUpViewBase::ShowCloseUpFor(&document, large));
    ASSERT_NE(view.GetCloseUp(), nullptr);

    // 512 pixels wide: right edge 511, a quarter of it short of 128.
    ImageRendering* narrow = Rendering("/cv/N.ZYR", 512, 4000);
    EXPECT_FALSE(CloseUpViewBase::ShowCloseUpFor(&document, narrow));
    EXPECT_EQ(view.GetCloseUp(), nullptr);
    EXPECT_EQ(view.changes, 2);
    EXPECT_EQ(CloseUp::FindCloseUpFor(large), nullptr) << "its last view left: the model is gone";
    EXPECT_EQ(document.closings, 1);
    EXPECT_EQ(CloseUp::FindCloseUpFor(narrow), nullptr) << "none is made for the small image";
}

TEST_F(CloseUpViewBaseTest, LargeEnoughMeansAQuarterOfAtLeast128BothWays) {
    struct Case {
        int32_t width, height;
        float rotation;
        bool large;
    };
    const Case cases[] = {{513, 513, 0, true}, {512, 600, 0, false}, {600, 512, 0, false},
                          {4000, 2000, 90, true}, {513, 512, 90, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
        EXPECT_EQ(IsLargeEnoughForCloseUp(Rendering("/cv/S.ZYR", c.width, c.height, c.rotation)), c.large);
    }
    EXPECT_FALSE(IsLargeEnoughForCloseUp(nullptr));
}

TEST_F(CloseUpViewBaseTest, WithEveryViewPinnedOnlyAViewShowingTheImageAnswers) {
    ImageRendering* shown = Rendering("/cv/A.ZYR", 600, 600);
    ImageRendering* other = Rendering("/cv/B.ZYR", 600, 600);
    ImageRendering* small = Rendering("/cv/C.ZYR", 300, 300);
    TestView view;
    PinTo(view, shown);
    ASSERT_TRUE(view.IsPinned());
    Document document;

    EXPECT_TRUE(CloseUpViewBase::ShowCloseUpFor(&document, other));
    EXPECT_FALSE(CloseUpViewBase::ShowCloseUpFor(&document, small));
    EXPECT_EQ(CloseUp::FindCloseUpFor(other), nullptr);
    EXPECT_EQ(view.activations, 0);
    EXPECT_EQ(view.changes, 1) << "only its own attach";

    // Its own image: brought forward, and the document follows the model.
    EXPECT_TRUE(CloseUpViewBase::ShowCloseUpFor(&document, shown));
    EXPECT_EQ(view.activations, 1);
    view.GetCloseUp()->SetCentre(NbPoint{10, 10});
    EXPECT_EQ(document.rectChanges, 1);
    view.GetCloseUp()->RemoveListener(&document);
}

TEST_F(CloseUpViewBaseTest, APinnedViewShowingTheImageComesForwardInsteadOfTheUnpinnedOne) {
    ImageRendering* shown = Rendering("/cv/A.ZYR", 600, 600);
    TestView pinned, loose;
    PinTo(pinned, shown);
    Document document;
    CloseUpViewBase::PointAtRendering(&document, shown);
    EXPECT_EQ(pinned.activations, 1);
    EXPECT_EQ(loose.GetCloseUp(), nullptr);
    EXPECT_EQ(loose.activations, 0);
    pinned.GetCloseUp()->SetCentre(NbPoint{10, 10});
    EXPECT_EQ(document.rectChanges, 0) << "nothing else happens";
    EXPECT_EQ(CloseUpViewBase::FindViewShowing(pinned.GetCloseUp()), &pinned);
    EXPECT_EQ(CloseUpViewBase::FindViewShowing(nullptr), nullptr);
}

TEST_F(CloseUpViewBaseTest, ALeavingViewMayDeleteItsModelAndTouchesItNoMore) {
    ImageRendering* a = Rendering("/cv/A.ZYR", 600, 600);
    ImageRendering* b = Rendering("/cv/B.ZYR", 600, 600);
    Document document;
    {
        TestView view;
        CloseUp* first = CloseUp::GetCloseUpFor(a);
        first->AddListener(&document);
        view.AttachToCloseUp(first);
        // Re-targeted: the old model's last view left, so it closes (its
        // document leaves it) and is deleted before the new one is shown.
        view.AttachToCloseUp(CloseUp::GetCloseUpFor(b));
        EXPECT_EQ(document.closings, 1);
        EXPECT_EQ(CloseUp::FindCloseUpFor(a), nullptr);
        EXPECT_EQ(view.GetCloseUp(), CloseUp::FindCloseUpFor(b));
        EXPECT_EQ(view.changes, 2);
    }
    EXPECT_EQ(CloseUp::FindCloseUpFor(b), nullptr) << "a destroyed view leaves its model too";

    // A view that closes itself when the model's last document leaves: the
    // deletion waits until the document's removal has returned.
    TestView view;
    CloseUp* model = CloseUp::GetCloseUpFor(a);
    model->AddListener(&document);
    view.AttachToCloseUp(model);
    view.onReleased = [&] { view.AttachToCloseUp(nullptr); };
    model->RemoveListener(&document);
    EXPECT_EQ(view.GetCloseUp(), nullptr);
    EXPECT_EQ(CloseUp::FindCloseUpFor(a), nullptr);
}

TEST_F(CloseUpViewBaseTest, NewWindowsCascadeFromTheOriginAndAreCentredWhenTheyWouldLeaveTheArea) {
    CloseUpViewBase::SetCascadeOrigin(NbRect(100, 100, 355, 355));
    CloseUpViewBase::SetPlacementArea(NbRect(0, 0, 399, 195));
    std::vector<std::unique_ptr<TestView>> views;
    std::vector<NbRect> placed;
    for (int i = 0; i < 5; ++i) {
        NbRect rect;
        CloseUpViewBase::PlaceNewView(rect);
        placed.push_back(rect);
        views.push_back(std::make_unique<TestView>(rect));
    }
    // The fourth corner (124, 172) leaves less than 24 pixels below it: the
    // window is centred on (200, 98); the fifth steps past the fourth.
    const std::vector<NbRect> expected{NbRect(100, 100, 355, 355), NbRect(108, 124, 363, 379),
                                       NbRect(116, 148, 371, 403), NbRect(72, -30, 327, 225),
                                       NbRect(80, -6, 335, 249)};
    EXPECT_EQ(placed, expected);

    // A window closed in the middle frees its place.
    views.erase(views.begin() + 1);
    NbRect rect;
    CloseUpViewBase::PlaceNewView(rect);
    EXPECT_EQ(rect, NbRect(108, 124, 363, 379));
}

TEST_F(CloseUpViewBaseTest, ThePreferredSizeIsAQuarterOfTheImageAsASquare) {
    TestView view;
    NbRect rect(30, 40, 99, 99);
    view.GetPreferredViewRect(rect);
    EXPECT_EQ(rect, NbRect(0, 0, 512, 512)) << "without a model";
    view.AttachToCloseUp(CloseUp::GetCloseUpFor(Rendering("/cv/W.ZYR", 4000, 2000)));
    rect = NbRect(30, 40, 99, 99);
    view.GetPreferredViewRect(rect);
    EXPECT_EQ(rect, NbRect(30, 40, 529, 539));
}

TEST_F(CloseUpViewBaseTest, TheParentImageIsShownByItsPreviewElseByItsContactSheet) {
    ImageRendering* rendering = Rendering("/cv/sheet/A.ZYR", 600, 600);
    TestView view;
    view.ShowParentImage();  // no model: nothing to show
    view.AttachToCloseUp(CloseUp::GetCloseUpFor(rendering));
    ActivatedSheet sheet;
    sheet.shows = "/cv/sheet/a.zyr";
    view.ShowParentImage();
    EXPECT_EQ(sheet.activated, "/cv/sheet/A.ZYR");
    sheet.activated.clear();
    {
        ActivatedPreview preview;
        preview.Initialize(*rendering);
        view.ShowParentImage();
        EXPECT_EQ(preview.activated, "/cv/sheet/A.ZYR");
        EXPECT_EQ(sheet.activated, "");
    }
    view.AttachToCloseUp(nullptr);
}

} // namespace
