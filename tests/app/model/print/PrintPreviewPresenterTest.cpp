#include "PrintPreviewPresenter.h"

#include "FrenchTable.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// What the one / two pages button shows and whether it is enabled after
// each step; 0 in `loads` when the picture stays.
struct Shown {
    int loads;
    bool enabled;
    bool operator==(const Shown&) const = default;
};

Shown Update(PrintPreviewPresenter& p) {
    const PrintPreviewPresenter::NumPageUpdate u = p.UpdateNumPageChange();
    return {u.bitmap, u.enabled};
}

TEST(PrintPreviewPresenter, OnePageDocumentKeepsTheOnePagePictureAndDisablesTheButton) {
    PrintPreviewPresenter p;
    p.SetDocument(1, 1);
    EXPECT_EQ(PreviewButtonBitmap(kPreviewNumPage), kBitmapOnePage);
    EXPECT_EQ(Update(p), (Shown{0, false}));
    EXPECT_FALSE(p.TwoPageBitmapShown());
    // Repeated idle updates change nothing.
    EXPECT_EQ(Update(p), (Shown{0, false}));
}

TEST(PrintPreviewPresenter, SwitchingToTwoPagesAndBackSwapsThePicture) {
    PrintPreviewPresenter p;
    p.SetDocument(1, 3);
    EXPECT_EQ(Update(p), (Shown{0, true}));
    p.ToggleNumPages();
    EXPECT_EQ(p.PagesDisplayed(), 2);
    EXPECT_EQ(Update(p), (Shown{kBitmapTwoPages, true}));
    EXPECT_TRUE(p.TwoPageBitmapShown());
    EXPECT_EQ(Update(p), (Shown{0, true}));  // loaded once
    p.ToggleNumPages();
    EXPECT_EQ(Update(p), (Shown{kBitmapOnePage, true}));
    EXPECT_FALSE(p.TwoPageBitmapShown());
}

TEST(PrintPreviewPresenter, ZoomedInTheButtonIsDisabledAndStillShowsTheZoomedOutCount) {
    PrintPreviewPresenter p;
    p.SetDocument(1, 3);
    p.ToggleNumPages();
    Update(p);
    p.ZoomIn();
    EXPECT_EQ(p.PagesDisplayed(), 1);
    EXPECT_EQ(Update(p), (Shown{0, false}));
    EXPECT_TRUE(p.TwoPageBitmapShown());
    // The command does nothing while zoomed in.
    p.ToggleNumPages();
    p.ZoomOut();
    EXPECT_EQ(p.PagesDisplayed(), 2);
    EXPECT_EQ(Update(p), (Shown{0, true}));
}

TEST(PrintPreviewPresenter, EnablingRule) {
    struct Row {
        int lastPage;
        bool twoPages;
        int zoomIns;
        bool enabled;
    } rows[] = {
        {1, false, 0, false}, {2, false, 0, true}, {3, false, 0, true}, {3, true, 0, true},
        {3, false, 1, false}, {3, true, 2, false},
        // A document that shrank to one page while two were shown: the
        // button stays usable to go back to one.
        {1, true, 0, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.lastPage << " " << r.twoPages << " " << r.zoomIns);
        PrintPreviewPresenter p;
        p.SetDocument(1, 3);
        if (r.twoPages) p.ToggleNumPages();
        p.SetDocument(1, r.lastPage);
        for (int i = 0; i < r.zoomIns; ++i) p.ZoomIn();
        EXPECT_EQ(Update(p).enabled, r.enabled);
    }
}

TEST(PrintPreviewPresenter, PagingAndZoomLimits) {
    PrintPreviewPresenter p;
    p.SetDocument(1, 3);
    p.SetCurrentPage(1);
    EXPECT_TRUE(p.CanGoNext());
    EXPECT_FALSE(p.CanGoPrevious());
    p.ToggleNumPages();
    p.SetCurrentPage(2);  // pages 2 and 3 shown: nothing after them
    EXPECT_FALSE(p.CanGoNext());
    EXPECT_TRUE(p.CanGoPrevious());
    p.ZoomIn();  // one page on screen again
    EXPECT_TRUE(p.CanGoNext());

    PrintPreviewPresenter z;
    EXPECT_FALSE(z.CanZoomOut());
    const int fit = 40;
    std::vector<int> percents{z.ZoomPercent(fit)};
    while (z.CanZoomIn()) {
        z.ZoomIn();
        percents.push_back(z.ZoomPercent(fit));
    }
    EXPECT_EQ(percents, (std::vector<int>{40, 80, 160}));
    z.ZoomIn();  // past the last step: stays
    EXPECT_EQ(z.ZoomStep(), PrintPreviewPresenter::kZoomSteps - 1);
}

TEST(PrintPreviewPresenter, FitPercentFitsThePagesShownSideBySide) {
    // A5-like page 400 × 600 at 100 percent.
    EXPECT_EQ(PrintPreviewPresenter::FitPercent(800, 640, 400, 600, 1, 20), 100);  // height bound
    EXPECT_EQ(PrintPreviewPresenter::FitPercent(800, 640, 400, 600, 2, 20), 92);   // (800-60)/800
    // A window smaller than its margins, and a printer page of huge pixels.
    EXPECT_EQ(PrintPreviewPresenter::FitPercent(10, 10, 400, 600, 2, 20), 1);
    EXPECT_EQ(PrintPreviewPresenter::FitPercent(1000, 1000, 2000000000, 2000000000, 2, 20), 1);
    EXPECT_EQ(PrintPreviewPresenter::FitPercent(800, 600, 0, 0, 1, 20), 100);
}

TEST(PrintPreviewToolTip, TextAfterTheFirstNewlineTranslatedAndCutTo79Characters) {
    const std::string hundred(100, 'x');
    const std::string accented = "Aper\xc3\xa7u " + std::string(80, 'e');  // "ç" is one character
    struct Row {
        std::string resource, tip;
    } rows[] = {
        {"Print the previewed item\nPrint", "Print"},
        {"No second line", "No second line"},
        {"prompt\nfirst\nsecond", "first\nsecond"},
        {"prompt\n" + hundred, std::string(79, 'x')},
        {hundred, std::string(79, 'x')},
        {"p\n" + accented, accented.substr(0, 80)},  // 79 characters, 80 bytes
        {"", ""},
    };
    for (const Row& r : rows) EXPECT_EQ(PreviewToolTipFromResource(r.resource), r.tip) << r.resource;

    FrenchTable french(std::vector<std::pair<std::string, std::string>>{{"Next Page", "Page suivante"}});
    ASSERT_TRUE(french.ok());
    EXPECT_EQ(PreviewToolTip(kPreviewNext), "Page suivante");
    EXPECT_EQ(PreviewToolTip(kPreviewPrint), "Print");
    EXPECT_EQ(PreviewToolTip(0), "");
}

TEST(PrintPreviewToolTip, EveryButtonHasAPictureAndATip) {
    const std::pair<int, int> table[] = {{kPreviewPrint, 300},   {kPreviewNext, 297},   {kPreviewPrevious, 299},
                                         {kPreviewNumPage, 301}, {kPreviewZoomIn, 294}, {kPreviewZoomOut, 293}};
    for (const auto& [command, bitmap] : table) {
        EXPECT_EQ(PreviewButtonBitmap(command), bitmap) << command;
        EXPECT_FALSE(PreviewToolTip(command).empty()) << command;
    }
    EXPECT_EQ(PreviewButtonBitmap(kPreviewClose), 0);
}

} // namespace
