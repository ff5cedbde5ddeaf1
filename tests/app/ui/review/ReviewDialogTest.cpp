// The Review dialog in a real window over three slides of a contact sheet:
// the counter and caption, fast and full-quality renders, the tag, what the
// close box, Done and Esc keep, the crop outline in the painted pixels, a
// slide that goes away while the dialog is open, slow renders behind a
// progress window, and the command that opens it from the main frame.
#include "CContactSheetDoc.h"
#include "CMainFrame.h"
#include "CProgressDlg.h"
#include "CReviewDialog.h"
#include "CSlideMountView.h"
#include "ExportImageArray.h"
#include "ColorEngine.h"
#include "GuiTest.h"
#include "ImagePool.h"
#include "ImageRendering.h"
#include "InstalledImageKinds.h"
#include "LumoraDocManager.h"
#include "ProfileItemManager.h"
#include "ReviewLayout.h"
#include "Watchdog.h"
#include "WxCommandId.h"
#include "ProgramFrame.h"

#include "ResolutionsImage.h"
#include "SheetSlides.h"

#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/frame.h>
#include <wx/menu.h>
#include <wx/panel.h>
#include <wx/stattext.h>
#include <wx/timer.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

namespace {

using NimbalCore::ImageRendering;
using NimbalCore::NbRect;

// An image that offers the reduced resolutions a test chooses and may take
// its time, reporting progress as it goes.
class ReviewImage : public ResolutionsImage {
public:
    using ResolutionsImage::ResolutionsImage;
    void RenderImage(const NimbalCore::ImageProcessParam& params, NimbalCore::PixelArray& destination, bool useCrop,
                     NimbalCore::ProgressCB* progress, int renderScale) override {
        if (auto* window = dynamic_cast<CProgressDlg*>(progress)) {
            progressShown = progressShown || window->IsShown();
            wxWindow* cancel = window->FindWindow(wxID_CANCEL);
            cancelShown = cancelShown || (cancel && cancel->IsShown());
        }
        if (failure) throw int(failure);
        for (int step = 1; step <= slowSteps; ++step) {
            wxMilliSleep(50);
            if (progress) progress->Progress(step * 100 / slowSteps);
        }
        FakeImage::RenderImage(params, destination, useCrop, progress, renderScale);
        // The picture is black where this image has no pixels of its own.
        if (pixels.empty())
            if (auto* array = dynamic_cast<NimbalCore::ExportImageArray*>(&destination))
                std::memset(array->GetData(), 0, size_t(array->GetSize()));
    }
    int LastScale() const { return resolutionDivisor_; }

    int slowSteps = 0;
    int failure = 0; // thrown as the kind's own error
    bool progressShown = false;
    bool cancelShown = false;
};

class ReviewDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        settings_.Install();
        top_ = new wxFrame(nullptr, wxID_ANY, "Sheet", wxDefaultPosition, wxSize(500, 300));
        wxTheApp->SetTopWindow(top_);
        sheet_ = new wxPanel(top_);
        doc_ = std::make_unique<CContactSheetDoc>();
        top_->Show();
    }
    void TearDown() override {
        slides_.clear();
        doc_.reset();
        wxTheApp->SetTopWindow(nullptr);
        top_->Destroy();
        gui::Settle();
    }
    ReviewImage* AddSlide(const std::string& name, int32_t width = 600, int32_t height = 400,
                          const NimbalCore::ImageProcessParam& params = {}) {
        auto* image = new ReviewImage("/photos/" + name, width, height);
        const NimbalCore::ImageRef held(image);
        image->SetProcessParams(params);
        // The image reaches the sheet as the watcher's scan hands it over.
        EXPECT_EQ(doc_->Sheet().ImageFound(held), 0);
        for (const SheetDocument::SlidePtr& slide : doc_->Sheet().GetSlides())
            if (slide->GetRendering()->GetImage()->Get() == image) slides_.push_back(slide);
        doc_->Sheet().SelectSlide(slides_.back());
        return image;
    }
    static CReviewDialog* Review(wxDialog* d) {
        auto* review = dynamic_cast<CReviewDialog*>(d);
        EXPECT_NE(review, nullptr);
        return review;
    }
    // Waits until the current slide's picture is rendered.
    static bool Rendered(CReviewDialog* d) {
        return gui::WaitFor([d] { return !d->Presenter().NeedsRender() && !d->IsRendering(); }, 10000) &&
               (gui::Settle(), true);
    }
    static std::string Text(wxDialog* d, int id) { return d->FindWindow(id)->GetLabel().utf8_string(); }
    static void Press(wxDialog* d, int id) {
        gui::Click(d->FindWindow(id));
        gui::Settle(100);
    }
    // Ends a dialog a key or click failed to end, so that a failing test
    // does not hang.
    static void EnsureEnded(wxDialog* d, int code) {
        if (d->IsModal()) gui::WaitFor([d] { return !d->IsModal(); }, 3000);
        if (d->IsModal()) {
            ADD_FAILURE() << "the dialog did not end";
            d->EndModal(code);
        }
    }
    std::string ItemTen() {
        int mode = -7;
        ProfileItemManager().GetInt(PI_REVIEW_RENDER_MODE, mode);
        return std::to_string(mode);
    }

    gui::TempSettings settings_;
    wxFrame* top_ = nullptr;
    wxPanel* sheet_ = nullptr;
    std::unique_ptr<CContactSheetDoc> doc_;
    std::vector<SheetDocument::SlidePtr> slides_;
};

TEST_F(ReviewDialogTest, StepsThroughThreeSlidesRendersByModeTagsAndTheCloseBoxKeepsThePlacement) {
    std::vector<ReviewImage*> images;
    for (const char* name : {"IMG_0001.zyr", "IMG_0002.zyr", "IMG_0003.zyr"}) {
        images.push_back(AddSlide(name));
        images.back()->factors = {1, 2, 4};
    }
    std::vector<std::string> counters, captions;
    std::vector<int> scales;
    bool nextIsDefault = false;
    gui::ModalScenario scenario([&](wxDialog* d) {
        CReviewDialog* review = Review(d);
        ASSERT_TRUE(Rendered(review));
        counters.push_back(Text(d, kReviewCounter));
        captions.push_back(d->GetTitle().utf8_string());
        scales.push_back(images[0]->LastScale()); // Faster: the largest factor
        auto* next = dynamic_cast<wxButton*>(d->FindWindow(kReviewNext));
        nextIsDefault = next && d->GetDefaultItem() == next;
        Press(d, kReviewBetter);
        Rendered(review);
        scales.push_back(images[0]->LastScale());
        Press(d, kReviewTag);
        Press(d, kReviewNext);
        Rendered(review);
        counters.push_back(Text(d, kReviewCounter));
        captions.push_back(d->GetTitle().utf8_string());
        scales.push_back(images[1]->LastScale());
        d->Close(); // the close box
        EnsureEnded(d, wxID_CANCEL);
    });
    {
        CReviewDialog dialog(doc_.get(), top_);
        EXPECT_EQ(dialog.ShowModal(), wxID_OK);
        EXPECT_NE(settings_.Read().find("[Review Position]"), std::string::npos);
    }
    EXPECT_EQ(counters, (std::vector<std::string>{"1 of 3", "2 of 3"}));
    EXPECT_EQ(captions, (std::vector<std::string>{"Review of Image \"IMG_0001.zyr\"", "Review of Image \"IMG_0002.zyr\""}));
    EXPECT_EQ(scales, (std::vector<int>{4, 1, 1}));
    EXPECT_TRUE(nextIsDefault);
    EXPECT_TRUE(images[0]->IsTagged());
    EXPECT_FALSE(images[1]->IsTagged());
    EXPECT_EQ(ItemTen(), "1");
}

TEST_F(ReviewDialogTest, DoneKeepsThePlacementWhichTheNextOpeningRestoresAndTheLayoutFollowsTheSize) {
    AddSlide("A.zyr");
    AddSlide("B.zyr", 400, 600);
    wxSize kept;
    std::vector<int> rightGaps;
    int doneBottomMoved = -1;
    int frameGrowth = 0;
    gui::ModalScenario scenario([&](wxDialog* d) {
        CReviewDialog* review = Review(d);
        Rendered(review);
        // Landscape first: the window may shrink to 500 x 370.
        EXPECT_EQ(d->GetMinSize(), wxSize(500, 370));
        Press(d, kReviewLast);
        Rendered(review);
        EXPECT_EQ(d->GetMinSize(), wxSize(400, 500));
        wxWindow* frame = d->FindWindow(kReviewPictureFrame);
        const int frameWidth = frame->GetSize().x;
        const int doneBottomGap = d->GetClientSize().y - d->FindWindow(wxID_OK)->GetRect().GetBottom();
        d->SetSize(d->GetSize() + wxSize(120, 80));
        gui::WaitFor([&] { return frame->GetSize().x != frameWidth; }, 3000);
        gui::Settle(100);
        frameGrowth = frame->GetSize().x - frameWidth;
        for (int id : {int(wxID_OK), int(kReviewNext), int(kReviewCounter)}) {
            const wxRect r = d->FindWindow(id)->GetRect();
            rightGaps.push_back(d->GetClientSize().x - (r.x + r.width));
        }
        doneBottomMoved = d->GetClientSize().y - d->FindWindow(wxID_OK)->GetRect().GetBottom() - doneBottomGap;
        kept = d->GetSize();
        Press(d, wxID_OK);
        EnsureEnded(d, wxID_CANCEL);
    });
    {
        CReviewDialog dialog(doc_.get(), top_);
        EXPECT_EQ(dialog.ShowModal(), wxID_OK);
    }
    EXPECT_EQ(frameGrowth, 120);
    EXPECT_EQ(rightGaps, (std::vector<int>{7, 7, 7}));
    EXPECT_EQ(doneBottomMoved, 0);
    EXPECT_NE(settings_.Read().find("[Review Position]"), std::string::npos);
    EXPECT_EQ(ItemTen(), "0");
    // The next opening comes back at the kept size.
    wxSize restored;
    gui::ModalScenario again([&](wxDialog* d) {
        restored = d->GetSize();
        d->Close();
        EnsureEnded(d, wxID_CANCEL);
    });
    CReviewDialog second(doc_.get(), top_);
    second.ShowModal();
    EXPECT_EQ(restored, kept);
}

TEST_F(ReviewDialogTest, EscKeepsOnlyTheRenderModeAndTheSettingsFileIsOtherwiseUnchanged) {
    ReviewImage* image = AddSlide("A.zyr");
    image->factors = {1, 2, 4};
    AddSlide("B.zyr");
    ProfileItemManager().SetInt(PI_REVIEW_RENDER_MODE, 1);
    ProfileItemManager().SetInt(PI_JPEG_IMAGE_QUALITY, 3);
    const std::string before = settings_.Read();
    ASSERT_NE(before.find("Review Render Mode=1"), std::string::npos);
    int scale = 0;
    gui::ModalScenario scenario([&](wxDialog* d) {
        CReviewDialog* review = Review(d);
        Rendered(review);
        Press(d, kReviewFaster);
        Rendered(review);
        scale = image->LastScale();
        gui::Key(d->FindWindow(kReviewTag), WXK_ESCAPE);
        EnsureEnded(d, 99);
    });
    {
        CReviewDialog dialog(doc_.get(), top_);
        EXPECT_EQ(dialog.ShowModal(), wxID_CANCEL);
    }
    EXPECT_EQ(scale, 4);
    std::string after = settings_.Read();
    EXPECT_EQ(after.find("[Review Position]"), std::string::npos);
    const size_t at = after.find("Review Render Mode=0");
    ASSERT_NE(at, std::string::npos);
    after.replace(at, 20, "Review Render Mode=1");
    EXPECT_EQ(after, before);
}

TEST_F(ReviewDialogTest, TheCropIsOutlinedByInvertingThePicturesPixelsUnlessItCoversThePicture) {
    struct Row {
        NbRect crop;
        bool outlined;
    } rows[] = {{NbRect(150, 100, 449, 299), true}, {NbRect(0, 0, 599, 399), false}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.outlined);
        slides_.clear();
        doc_ = std::make_unique<CContactSheetDoc>();
        NimbalCore::ImageProcessParam params;
        params.crop = r.crop;
        AddSlide("Crop.zyr", 600, 400, params);
        int white = 0, black = 0, inside = 0;
        bool onLine = false, insideBlack = false;
        gui::ModalScenario scenario([&](wxDialog* d) {
            CReviewDialog* review = Review(d);
            Rendered(review);
            // The picture renders black; the outline turns what it covers
            // white and leaves the inside as it was.
            const wxImage pixels = review->ComposeFrame();
            const wxRect fr = d->FindWindow(kReviewPictureFrame)->GetRect();
            const IntRect frame{fr.x, fr.y, fr.x + fr.width, fr.y + fr.height};
            const double scale = review->Presenter().DisplayScale();
            const IntRect dest = ReviewLayout::Destination(600, 400, scale, frame);
            for (int y = dest.top; y < dest.bottom; ++y)
                for (int x = dest.left; x < dest.right; ++x) {
                    const unsigned char* p = pixels.GetData() + (int64_t(y - fr.y) * pixels.GetWidth() + (x - fr.x)) * 3;
                    if (p[0] == 255 && p[1] == 255 && p[2] == 255) ++white;
                    else if (p[0] == 0 && p[1] == 0 && p[2] == 0) ++black;
                }
            if (const auto outline = ReviewLayout::CropOutline(r.crop, scale, dest)) {
                auto at = [&](int x, int y) {
                    return pixels.GetData() + (int64_t(y - fr.y) * pixels.GetWidth() + (x - fr.x)) * 3;
                };
                const int midY = (outline->top + outline->bottom) / 2;
                onLine = at(outline->left, midY)[0] == 255 && at(outline->right - 1, midY)[1] == 255;
                insideBlack = at(outline->left + 1, midY)[2] == 0 && at(outline->left + 5, outline->top + 3)[0] == 0;
                inside = (outline->right - outline->left) * 2 + (outline->bottom - outline->top - 2) * 2;
            }
            d->Close();
            EnsureEnded(d, wxID_OK);
        });
        CReviewDialog dialog(doc_.get(), top_);
        dialog.ShowModal();
        if (r.outlined) {
            EXPECT_TRUE(onLine);
            EXPECT_TRUE(insideBlack);
            EXPECT_EQ(white, inside);
        } else {
            EXPECT_EQ(white, 0);
        }
        EXPECT_GT(black, 10000);
    }
}

TEST_F(ReviewDialogTest, ASlideRemovedWhileTheDialogIsOpenKeepsItsImageAndLosesItsMenu) {
    ReviewImage* first = AddSlide("IMG_0001.zyr");
    ReviewImage* second = AddSlide("IMG_0002.zyr");
    AddSlide("IMG_0003.zyr");
    const int deletedBefore = coretest::FakeImage::deleted;
    std::string caption;
    bool menuOnRemoved = true, menuOnFirst = false, secondTagged = false;
    std::vector<bool> lastMenu;
    gui::ModalScenario scenario([&](wxDialog* d) {
        CReviewDialog* review = Review(d);
        Rendered(review);
        menuOnFirst = review->BuildContextMenu() != nullptr;
        // The folder watcher takes the second image away: the sheet drops its
        // slide, and the selection forgets it.
        const NimbalCore::FilePathSpec gonePath = second->GetFilePathSpec();
        slides_.erase(slides_.begin() + 1);
        doc_->Sheet().ImageFileChanged(gonePath);
        doc_->Sheet().FolderContentsChanged();
        EXPECT_EQ(doc_->GetSelectionState().size(), 2u);
        gui::Settle();
        Press(d, kReviewNext);
        Rendered(review);
        caption = d->GetTitle().utf8_string();
        menuOnRemoved = review->BuildContextMenu() != nullptr;
        Press(d, kReviewTag);
        secondTagged = second->IsTagged();
        Press(d, kReviewNext);
        Rendered(review);
        if (std::unique_ptr<wxMenu> menu = review->BuildContextMenu())
            lastMenu = {menu->IsEnabled(kReviewPrev), menu->IsEnabled(kReviewNext), menu->IsChecked(kReviewTag)};
        gui::Key(d->FindWindow(kReviewTag), WXK_ESCAPE);
        EnsureEnded(d, wxID_CANCEL);
    });
    {
        CReviewDialog dialog(doc_.get(), top_);
        dialog.ShowModal();
        // The dialog's copy alone keeps the removed image.
        EXPECT_EQ(coretest::FakeImage::deleted, deletedBefore);
    }
    EXPECT_EQ(coretest::FakeImage::deleted, deletedBefore + 1);
    EXPECT_TRUE(menuOnFirst);
    EXPECT_EQ(caption, "Review of Image \"IMG_0002.zyr\"");
    EXPECT_FALSE(menuOnRemoved);
    EXPECT_TRUE(secondTagged);
    // The last slide: Prev offered, Next greyed, not tagged.
    EXPECT_EQ(lastMenu, (std::vector<bool>{true, false, false}));
    EXPECT_FALSE(first->IsTagged());
}

TEST_F(ReviewDialogTest, AnImageThatFailsToRenderLeavesAnEmptyPictureAndTheButtonsWorking) {
    AddSlide("Broken.zyr")->failure = 1707;
    AddSlide("Fine.zyr");
    std::string caption;
    bool nextEnabled = false;
    gui::ModalScenario scenario([&](wxDialog* d) {
        CReviewDialog* review = Review(d);
        Rendered(review);
        nextEnabled = d->FindWindow(kReviewNext)->IsEnabled();
        Press(d, kReviewNext);
        Rendered(review);
        caption = d->GetTitle().utf8_string();
        d->Close();
        EnsureEnded(d, wxID_CANCEL);
    });
    CReviewDialog dialog(doc_.get(), top_);
    EXPECT_EQ(dialog.ShowModal(), wxID_OK);
    EXPECT_TRUE(nextEnabled);
    EXPECT_EQ(caption, "Review of Image \"Fine.zyr\"");
}

// Steps a dialog from a timer of the dialog's own loop, so that its renders
// run as they do for the user, not inside a test's wait.
class TimerDriver : public wxTimer {
public:
    explicit TimerDriver(std::vector<std::function<bool()>> steps) : steps_(std::move(steps)) { Start(50); }
    void Notify() override {
        if (busy_ || next_ >= steps_.size()) return;
        busy_ = true;
        if (steps_[next_]()) ++next_;
        busy_ = false;
    }

private:
    std::vector<std::function<bool()>> steps_;
    size_t next_ = 0;
    bool busy_ = false;
};

TEST_F(ReviewDialogTest, SlowRendersShowTheirProgressWindowAndTheProgramStaysResponsive) {
    ReviewImage* slow = AddSlide("Slow.zyr");
    slow->slowSteps = 24; // 1.2 s
    ReviewImage* other = AddSlide("Other.zyr");
    other->slowSteps = 24;
    CReviewDialog dialog(doc_.get(), top_);
    auto rendered = [&] { return dialog.IsShown() && !dialog.Presenter().NeedsRender() && !dialog.IsRendering(); };
    TimerDriver driver({rendered,
                        [&] {
                            wxCommandEvent next(wxEVT_BUTTON, kReviewNext);
                            dialog.ProcessWindowEvent(next);
                            return true;
                        },
                        rendered,
                        [&] {
                            dialog.EndModal(wxID_CANCEL);
                            return true;
                        }});
    // Whatever happens, the test ends.
    wxTimer guard;
    guard.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        ADD_FAILURE() << "the dialog did not end";
        if (dialog.IsModal()) dialog.EndModal(99);
    });
    guard.StartOnce(20000);
    gui::Watchdog watchdog;
    dialog.ShowModal();
    watchdog.Stop();
    guard.Stop();
    EXPECT_EQ(slow->renders, 1);
    EXPECT_EQ(other->renders, 1);
    EXPECT_TRUE(slow->progressShown);
    EXPECT_TRUE(other->progressShown);
    EXPECT_FALSE(slow->cancelShown || other->cancelShown);
    EXPECT_LT(watchdog.longest, gui::kLongestGap)
        << std::chrono::duration_cast<std::chrono::milliseconds>(watchdog.longest).count() << " ms";
}

TEST(ReviewCommand, TheViewMenuOpensItOnTheActiveSheetsSelection) {
    namespace fs = std::filesystem;
    gui::TempSettings settings;
    settings.Install();
    const fs::path folder = settings.Dir() / "Sheet";
    fs::create_directories(folder);
    for (const char* name : {"P1.JPG", "P2.JPG"})
        ASSERT_EQ(std::system(("convert -size 120x80 xc:gray50 '" + (folder / name).string() + "'").c_str()), 0);
    LumoraDocManager* manager = nullptr;
    CMainFrame* frame = gui::StartProgramFrame(manager, true);
    ASSERT_NE(frame, nullptr);
    auto* doc = dynamic_cast<CContactSheetDoc*>(
        manager->CreateDocument(wxString::FromUTF8(folder.string()), wxDOC_SILENT));
    ASSERT_NE(doc, nullptr);
    gui::WaitForSlides(frame, 2);
    gui::Settle(300);
    ASSERT_NE(frame->GetMenuBar()->FindItem(ToWxId(kReviewCommand)), nullptr);

    wxUpdateUIEvent nothingSelected(ToWxId(kReviewCommand));
    frame->ProcessWindowEvent(nothingSelected);
    EXPECT_FALSE(nothingSelected.GetEnabled());

    std::function<void(wxWindow*)> collect = [&](wxWindow* w) {
        for (wxWindow* child : w->GetChildren()) {
            if (auto* slide = dynamic_cast<CSlideMountView*>(child)) doc->Sheet().SelectSlide(slide->Slide());
            collect(child);
        }
    };
    collect(frame);
    ASSERT_EQ(doc->GetSelectionState().size(), 2u);
    wxUpdateUIEvent selected(ToWxId(kReviewCommand));
    frame->ProcessWindowEvent(selected);
    EXPECT_TRUE(selected.GetEnabled());

    std::string counter;
    gui::ModalScenario scenario([&](wxDialog* d) {
        if (auto* review = dynamic_cast<CReviewDialog*>(d))
            gui::WaitFor([review] { return !review->Presenter().NeedsRender() && !review->IsRendering(); });
        counter = d->FindWindow(kReviewCounter)->GetLabel().utf8_string();
        gui::Key(d->FindWindow(kReviewTag), WXK_ESCAPE);
        if (d->IsModal()) gui::WaitFor([d] { return !d->IsModal(); }, 3000);
        if (d->IsModal()) d->EndModal(wxID_CANCEL);
    });
    wxCommandEvent review(wxEVT_MENU, ToWxId(kReviewCommand));
    frame->ProcessWindowEvent(review);
    EXPECT_EQ(counter, "1 of 2");
    frame->Close(true);
    gui::Settle(300);
    wxTheApp->SetTopWindow(nullptr);
    delete manager;
    NimbalCore::ImagePool::DeleteInstance();
}

} // namespace
