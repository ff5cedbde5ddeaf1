#include "PasteSpecialPresenter.h"

#include "BusyDialog.h"
#include "FakeShell.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

// The dialog window: records whether it was disabled, and whether it was
// the busy dialog, while the document worked.
class FakeWindow : public EnableTarget {
public:
    bool IsEnabled() const override { return enabled; }
    void Enable(bool enable) override { enabled = enable; }
    bool enabled = true;
};

// Records every call with the dialog's state at the time; can throw.
class FakeDocument : public SettingsDocument {
public:
    explicit FakeDocument(FakeWindow& window) : window_(window) {}
    std::vector<NimbalCore::ImageRendering*> GetSelectedImages() override { return {}; }
    bool GetFocusedImage(NimbalCore::ImageRendering**) override { return false; }
    void BeginUndo(int, int, bool, bool, bool, bool, bool) override { Record("begin"); }
    void EndUndo() override { Record("end"); }
    void DiscardLastUndo() override { Record("discard"); }
    void Undo() override {}
    void Redo() override {}
    int GetUndoTextId() override { return 0; }
    int GetRedoTextId() override { return 0; }
    bool PasteSettings(const std::vector<int>& groups) override {
        std::string call = "paste";
        for (int g : groups) call += " " + std::to_string(g);
        Record(call);
        return true;
    }
    void RevertLastUndo(bool pop) override { Record(pop ? "revert pop" : "revert"); }
    void RevertGroupsOfLastUndo(const std::vector<int>& groups) override {
        std::string call = "revert groups";
        for (int g : groups) call += " " + std::to_string(g);
        Record(call);
    }
    void SetDialogActive(bool) override {}

    std::vector<std::string> calls;
    bool busyDuringEveryCall = true;
    bool throwNext = false;

private:
    void Record(const std::string& call) {
        calls.push_back(call);
        if (window_.enabled || BusyDialog != &window_) busyDuringEveryCall = false;
        if (throwNext) {
            throwNext = false;
            throw std::runtime_error("render failed");
        }
    }
    FakeWindow& window_;
};

class PasteSpecial : public ::testing::Test {
protected:
    PasteSpecialPresenter& Open(SettingsDocument* doc) {
        presenter_ = std::make_unique<PasteSpecialPresenter>(view, window, doc);
        presenter_->InitDialog();
        return *presenter_;
    }
    void Click(int id) {
        view.SetCheck(id, view.GetCheck(id) ? 0 : 1);
        if (id == kPastePreview) presenter_->OnPreviewClicked();
        else presenter_->OnGroupClicked(id);
    }
    std::vector<int> Ticked() {
        std::vector<int> ids;
        for (const auto& box : PasteSpecialPresenter::GroupBoxes())
            if (view.GetCheck(box.boxId)) ids.push_back(box.boxId);
        return ids;
    }

    FakeProfileStore store;
    FakeDialogView view;
    FakeWindow window;
    FakeDocument document{window};
    std::unique_ptr<PasteSpecialPresenter> presenter_;
};

TEST_F(PasteSpecial, FirstOpeningTicksNothingAndOkWithCropAndLookIsReopenedWithoutPreview) {
    view.SetCheck(kPastePreview, 1);
    PasteSpecialPresenter& first = Open(&document);
    EXPECT_TRUE(Ticked().empty());
    EXPECT_EQ(view.GetCheck(kPastePreview), 0);
    EXPECT_TRUE(store.writes.empty());

    Click(kPasteLook);
    Click(kPasteCrop);
    Click(kPastePreview);
    document.calls.clear();
    first.OnOK();
    EXPECT_EQ(first.groups, (std::vector<int>{0, 5}));
    EXPECT_TRUE(document.calls.empty());
    EXPECT_EQ(store.Value("Paste Special Preview"), "1");
    EXPECT_EQ(store.Value("Paste Special Crop"), "1");
    EXPECT_EQ(store.Value("Paste Special Look"), "1");
    EXPECT_EQ(store.Value("Paste Special Tone"), "0");
    EXPECT_EQ(store.writes.size(), 12u);

    FakeDialogView again;
    FakeWindow window2;
    PasteSpecialPresenter second(again, window2, nullptr);
    second.InitDialog();
    EXPECT_EQ(again.GetCheck(kPasteCrop), 1);
    EXPECT_EQ(again.GetCheck(kPasteLook), 1);
    EXPECT_EQ(again.GetCheck(kPasteRotation), 0);
    // The stored Preview choice is never offered again.
    EXPECT_EQ(again.GetCheck(kPastePreview), 0);
}

TEST_F(PasteSpecial, GroupsComeInScreenOrderNotIdOrder) {
    PasteSpecialPresenter& p = Open(&document);
    p.OnSelectAll();
    EXPECT_TRUE(document.calls.empty()) << "Preview is cleared: nothing reaches the document";
    p.OnOK();
    EXPECT_EQ(p.groups, (std::vector<int>{0, 1, 2, 3, 4, 10, 5, 6, 7, 8, 9}));
}

TEST_F(PasteSpecial, PreviewPastesAndRevertsThroughTheDocument) {
    Open(&document);
    Click(kPasteTone);
    Click(kPasteLook);
    EXPECT_TRUE(document.calls.empty()) << "without Preview a click only changes the box";
    Click(kPastePreview);
    Click(kPasteLook);  // cleared: only the look group goes back
    Click(kPasteLook);  // ticked again: every ticked group is pasted again
    presenter_->OnSelectNone();
    presenter_->OnSelectAll();
    Click(kPastePreview);  // cleared: the whole step goes back
    EXPECT_EQ(document.calls, (std::vector<std::string>{"paste 3 5", "revert groups 5", "paste 3 5", "revert",
                                                        "paste 0 1 2 3 4 10 5 6 7 8 9", "revert"}));
    EXPECT_TRUE(document.busyDuringEveryCall);
    EXPECT_TRUE(window.enabled);
    EXPECT_EQ(BusyDialog, nullptr);
    // The previews leave nothing behind for OK's list.
    EXPECT_TRUE(presenter_->groups.empty());
}

TEST_F(PasteSpecial, WithoutADocumentTheBoxesWorkAndNothingIsDisabled) {
    PasteSpecialPresenter& p = Open(nullptr);
    Click(kPastePreview);
    Click(kPasteTone);
    p.OnSelectAll();
    p.OnSelectNone();
    EXPECT_TRUE(Ticked().empty());
    EXPECT_TRUE(window.enabled);
    EXPECT_EQ(BusyDialog, nullptr);
}

TEST_F(PasteSpecial, AFailingDocumentCallReachesTheCallerWithTheDialogGivenBack) {
    Open(&document);
    Click(kPasteTone);
    Click(kPastePreview);
    const std::vector<std::function<void()>> actions = {
        [&] { Click(kPasteLook); },               // paste
        [&] { Click(kPasteLook); },               // revert one group
        [&] { presenter_->OnSelectNone(); },      // revert all
        [&] { presenter_->OnSelectAll(); },       // paste
    };
    for (size_t i = 0; i < actions.size(); ++i) {
        SCOPED_TRACE(i);
        document.throwNext = true;
        EXPECT_THROW(actions[i](), std::runtime_error);
        EXPECT_TRUE(window.enabled);
        EXPECT_EQ(BusyDialog, nullptr);
        EXPECT_TRUE(presenter_->groups.empty());
    }
    EXPECT_TRUE(store.writes.empty());
}

} // namespace
