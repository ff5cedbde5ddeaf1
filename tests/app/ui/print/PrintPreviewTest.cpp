// The print preview over test printouts of one and three pages: its picture
// buttons, the one / two pages switch as it looks on screen, the failure
// message; and the Print Setup command of the main frame.
#include "CMainFrame.h"
#include "CMappedBitmapButton.h"
#include "CPrintPreviewView.h"
#include "FakeShell.h"
#include "FrenchTable.h"
#include "GuiTest.h"
#include "PrintPreviewFrame.h"
#include "PrintSetup.h"
#include "WxCommandId.h"

#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/docview.h>
#include <wx/menu.h>
#include <wx/print.h>
#include <wx/tooltip.h>

#include <dlfcn.h>
#include <glib-object.h>

#include <vector>

namespace {

// Page n filled with its own colour, so the screen tells which pages show.
const wxColour kPageColours[] = {{200, 30, 30}, {30, 160, 30}, {30, 30, 200}};

class TestPrintout : public wxPrintout {
public:
    explicit TestPrintout(int pages) : wxPrintout("test"), pages_(pages) {}
    bool HasPage(int page) override { return page >= 1 && page <= pages_; }
    void GetPageInfo(int* minPage, int* maxPage, int* from, int* to) override {
        *minPage = *from = 1;
        *maxPage = *to = pages_;
    }
    bool OnPrintPage(int page) override {
        wxDC* dc = GetDC();
        if (!dc) return false;
        FitThisSizeToPaper(wxSize(100, 100));
        dc->SetPen(*wxTRANSPARENT_PEN);
        dc->SetBrush(wxBrush(kPageColours[(page - 1) % 3]));
        dc->DrawRectangle(0, 0, 100, 100);
        return true;
    }

private:
    int pages_;
};

// A printout without a page: the preview cannot be made.
class FailingPrintout : public TestPrintout {
public:
    FailingPrintout() : TestPrintout(0) {}
};

// The toolkit's printing dialogs are native ones that never show as windows
// of the toolkit's own: they are cancelled by Escape once they are up.
class NativeDialogCancel : public wxModalDialogHook {
public:
    explicit NativeDialogCancel(bool& opened) : opened_(opened) { Register(); }
    ~NativeDialogCancel() override { Unregister(); }
    int Enter(wxDialog* dialog) override {
        opened_ = true;
        dialog->CallAfter([] {
            gui::Settle(200);
            gui::KeyHere(WXK_ESCAPE);
        });
        return wxID_NONE;
    }
    void Exit(wxDialog*) override {}

private:
    bool& opened_;
};

// The toolkit's print back-ends narrowed to the one that asks no printer
// server (which would keep a printing dialog waiting seconds).
void UseFilePrintBackendOnly() {
    using SettingsGetter = GObject* (*)();
    if (auto get = reinterpret_cast<SettingsGetter>(dlsym(RTLD_DEFAULT, "gtk_settings_get_default")))
        if (GObject* gtk = get()) g_object_set(gtk, "gtk-print-backends", "file", nullptr);
}

class PrintPreviewTest : public ::testing::Test {
protected:
    void TearDown() override {
        if (frame_) {
            frame_->Destroy();
            frame_ = nullptr;
        }
        gui::Settle();
    }
    void Open(int pages) {
        frame_ = RunPrintPreview(nullptr, new TestPrintout(pages), new TestPrintout(pages), "Preview");
        ASSERT_NE(frame_, nullptr);
        ASSERT_TRUE(gui::OnScreen(frame_));
        bar_ = frame_->ToolBar();
        gui::Settle(200);
        bar_->UpdateButtons();
    }
    CMappedBitmapButton* NumPage() { return bar_->Button(kPreviewNumPage); }
    // The pages on the canvas's middle row from left to right, by their
    // colours; a page cut by the canvas's edge counts as not fitted.
    std::vector<int> PagesOnScreen() {
        wxPreviewCanvas* canvas = bar_->GetPrintPreview()->GetCanvas();
        gui::Settle(300);
        canvas->Update();
        const wxSize size = canvas->GetClientSize();
        wxBitmap shot(size);
        {
            wxClientDC from(canvas);
            wxMemoryDC to(shot);
            to.Blit(0, 0, size.x, size.y, &from, 0, 0);
        }
        const wxImage image = shot.ConvertToImage();
        const int y = size.y / 2;
        auto pageAt = [&](int x) {
            const wxColour c(image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y));
            for (int p = 0; p < 3; ++p)
                if (c == kPageColours[p]) return p + 1;
            return 0;
        };
        fitted_ = pageAt(0) == 0 && pageAt(size.x - 1) == 0;
        std::vector<int> found;
        for (int x = 0, last = 0; x < size.x; ++x) {
            const int page = pageAt(x);
            if (page != 0 && page != last) found.push_back(page);
            last = page;
        }
        return found;
    }
    bool fitted_ = false;
    PrintPreviewFrame* frame_ = nullptr;
    CPrintPreviewView* bar_ = nullptr;
};

TEST_F(PrintPreviewTest, OnePageShowsTheOnePagePictureDisabledAndTheButtonsTheirTips) {
    Open(1);
    EXPECT_EQ(NumPage()->BitmapId(), kBitmapOnePage);
    EXPECT_FALSE(NumPage()->IsEnabled());
    const std::pair<int, int> buttons[] = {{kPreviewPrint, 300},   {kPreviewNext, 297},   {kPreviewPrevious, 299},
                                           {kPreviewNumPage, 301}, {kPreviewZoomIn, 294}, {kPreviewZoomOut, 293}};
    int left = -1;
    for (const auto& [command, bitmap] : buttons) {
        CMappedBitmapButton* button = bar_->Button(command);
        ASSERT_NE(button, nullptr) << command;
        EXPECT_EQ(button->GetId(), CPrintPreviewView::WxId(command));
        EXPECT_EQ(button->BitmapId(), bitmap);
        EXPECT_EQ(button->ImageCount(), 4u) << command;
        ASSERT_NE(button->GetToolTip(), nullptr);
        EXPECT_FALSE(button->GetToolTip()->GetTip().empty()) << command;
        // Left to right in the toolbar's order.
        EXPECT_GT(button->GetPosition().x, left) << command;
        left = button->GetPosition().x;
    }
    EXPECT_EQ(bar_->Button(kPreviewPrint)->GetToolTip()->GetTip(), "Print");
    EXPECT_EQ(bar_->CloseButton()->GetLabel(), "&Close");
    EXPECT_GT(bar_->CloseButton()->GetPosition().x, left);
    EXPECT_FALSE(bar_->Button(kPreviewNext)->IsEnabled());
    EXPECT_FALSE(bar_->Button(kPreviewPrevious)->IsEnabled());
    EXPECT_TRUE(bar_->Button(kPreviewPrint)->IsEnabled());
    EXPECT_EQ(PagesOnScreen(), (std::vector<int>{1}));
}

TEST_F(PrintPreviewTest, TooltipsAndCloseAreTranslatedAndCut) {
    const std::string longTip(100, 'z');
    FrenchTable french(std::vector<std::pair<std::string, std::string>>{
        {"&Close", "&Fermer"}, {"Next Page", "Page suivante"}, {"Zoom In", longTip}});
    ASSERT_TRUE(french.ok());
    Open(1);
    EXPECT_EQ(bar_->CloseButton()->GetLabel(), "&Fermer");
    EXPECT_EQ(bar_->Button(kPreviewNext)->GetToolTip()->GetTip(), "Page suivante");
    EXPECT_EQ(bar_->Button(kPreviewZoomIn)->GetToolTip()->GetTip(), std::string(79, 'z'));
    EXPECT_EQ(bar_->Button(kPreviewPrint)->GetToolTip()->GetTip(), "Print");
}

TEST_F(PrintPreviewTest, ThreePagesSwitchedToTwoAndBack) {
    Open(3);
    EXPECT_EQ(NumPage()->BitmapId(), kBitmapOnePage);
    EXPECT_TRUE(NumPage()->IsEnabled());
    EXPECT_EQ(PagesOnScreen(), (std::vector<int>{1}));
    EXPECT_TRUE(fitted_);

    gui::Click(NumPage());
    ASSERT_TRUE(gui::WaitFor([&] { return NumPage()->BitmapId() == kBitmapTwoPages; }, 3000));
    EXPECT_TRUE(NumPage()->IsEnabled());
    EXPECT_EQ(PagesOnScreen(), (std::vector<int>{1, 2}));
    EXPECT_TRUE(fitted_);

    // Next shows pages 2 and 3, after which there is no next.
    gui::Click(bar_->Button(kPreviewNext));
    EXPECT_EQ(bar_->GetPrintPreview()->GetCurrentPage(), 2);
    EXPECT_EQ(PagesOnScreen(), (std::vector<int>{2, 3}));
    EXPECT_TRUE(fitted_);
    bar_->UpdateButtons();
    EXPECT_FALSE(bar_->Button(kPreviewNext)->IsEnabled());

    // Zoomed in: one page, the button disabled and still showing two.
    gui::Click(bar_->Button(kPreviewZoomIn));
    bar_->UpdateButtons();
    EXPECT_FALSE(NumPage()->IsEnabled());
    EXPECT_EQ(NumPage()->BitmapId(), kBitmapTwoPages);
    EXPECT_EQ(PagesOnScreen(), (std::vector<int>{2}));
    EXPECT_FALSE(fitted_);  // twice the fitted size
    gui::Click(bar_->Button(kPreviewZoomOut));
    bar_->UpdateButtons();
    ASSERT_TRUE(NumPage()->IsEnabled());

    gui::Click(NumPage());
    ASSERT_TRUE(gui::WaitFor([&] { return NumPage()->BitmapId() == kBitmapOnePage; }, 3000));
    EXPECT_EQ(PagesOnScreen(), (std::vector<int>{2}));
}

TEST_F(PrintPreviewTest, PrintOpensThePrintDialogAndCancelKeepsThePreview) {
    UseFilePrintBackendOnly();
    Open(3);
    bool opened = false;
    {
        NativeDialogCancel cancel(opened);
        gui::Click(bar_->Button(kPreviewPrint));
        gui::Settle(300);
    }
    EXPECT_TRUE(opened);
    EXPECT_TRUE(frame_->IsShown());
    EXPECT_EQ(PagesOnScreen(), (std::vector<int>{1}));
}

TEST_F(PrintPreviewTest, CloseEndsThePreview) {
    Open(3);
    wxWeakRef<wxFrame> alive(frame_);
    gui::Click(bar_->CloseButton());
    EXPECT_TRUE(gui::WaitFor([&] { return !alive; }, 3000));
    if (!alive) frame_ = nullptr;
}

TEST_F(PrintPreviewTest, APreviewThatCannotBeMadeShowsTheMessage) {
    const std::string message = "Print Preview failed. Please make sure your printer is properly connected.";
    {
        FakeMessageBoxes boxes;
        EXPECT_EQ(RunPrintPreview(nullptr, new FailingPrintout, new FailingPrintout, "Preview"), nullptr);
        EXPECT_EQ(boxes.shown, std::vector<std::string>{message});
    }
    {
        FakeMessageBoxes boxes;
        EXPECT_EQ(RunPrintPreview(nullptr, nullptr, new TestPrintout(1), "Preview"), nullptr);
        EXPECT_EQ(boxes.shown, std::vector<std::string>{message});
    }
    for (wxWindow* window : wxTopLevelWindows) EXPECT_EQ(dynamic_cast<wxPreviewFrame*>(window), nullptr);
}

} // namespace

namespace {

class PrintSetupTest : public ::testing::Test {
protected:
    void SetUp() override {
        UseFilePrintBackendOnly();
        settings_.Install();
        frame_ = new CMainFrame(&manager_);
        ASSERT_TRUE(frame_->CreateFrame());
        frame_->Show();
        gui::OnScreen(frame_);
    }
    void TearDown() override {
        frame_->Destroy();
        gui::Settle();
    }
    gui::TempSettings settings_;
    wxDocManager manager_;
    CMainFrame* frame_ = nullptr;
};

TEST_F(PrintSetupTest, FileMenuRunsThePageSetupAndCancelChangesNothing) {
    wxMenuItem* item = frame_->GetMenuBar()->FindItem(ToWxId(57606));
    ASSERT_NE(item, nullptr);
    const std::string before = settings_.Read();
    const wxPrintData kept = ProgramPrintDialogData().GetPrintData();
    bool opened = false;
    NativeDialogCancel cancel(opened);
    wxCommandEvent command(wxEVT_MENU, ToWxId(57606));
    frame_->GetEventHandler()->ProcessEvent(command);
    EXPECT_TRUE(opened);
    EXPECT_EQ(settings_.Read(), before);
    EXPECT_EQ(ProgramPrintDialogData().GetPrintData().GetPaperId(), kept.GetPaperId());
    EXPECT_EQ(ProgramPrintDialogData().GetPrintData().GetOrientation(), kept.GetOrientation());
}

} // namespace
