#include "ProgressPresenter.h"

#include "BusyDialog.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class FakeWindow : public EnableTarget {
public:
    explicit FakeWindow(bool enabled) : enabled_(enabled) {}
    bool IsEnabled() const override { return enabled_; }
    void Enable(bool enable) override { enabled_ = enable; }

private:
    bool enabled_;
};

class FakeProgressView : public ProgressView {
public:
    void PumpMessages() override { ++pumps; }
    void SetBarRange(int l, int h) override { low = l, high = h; }
    void SetBarStep(int s) override { step = s; }
    int SetBarPos(int p) override {
        const int old = pos;
        pos = p;
        return old;
    }
    int StepBar() override {
        const int old = pos;
        pos += step;
        if (pos > high) pos = low + (pos - high);  // the bar wraps
        return old;
    }
    std::string GetPercentText() override { return text; }
    void SetPercentText(const std::string& t) override {
        text = t;
        texts.push_back(t);
    }
    void Pause(int ms) override { pauses.push_back(ms); }
    bool HasWindow() override { return window; }
    void CloseWindow() override {
        window = false;
        ++destroyed;
        if (onDestroy) onDestroy();
    }

    int pumps = 0, low = 0, high = 100, step = 10, pos = 0, destroyed = 0;
    bool window = true;
    std::string text = " 0 %";
    std::vector<std::string> texts;
    std::vector<int> pauses;
    std::function<void()> onDestroy;
};

TEST(ProgressPresenter, TitleZeroKeepsRenderingImage) {
    EXPECT_EQ(ProgressPresenter(0).TitleId(), 103);
    EXPECT_EQ(ProgressPresenter(59511).TitleId(), 59511);
    ProgressPresenter p;
    EXPECT_EQ(p.RangeLow(), 0);
    EXPECT_EQ(p.RangeHigh(), 100);
    EXPECT_EQ(p.StepSize(), 10);
}

TEST(ProgressPresenter, CountingFourImagesShowsQuartersWithoutPause) {
    FakeProgressView view;
    ProgressPresenter p;
    p.SetView(&view);
    p.SetRange(0, 4);
    p.SetStep(1);
    for (int i = 0; i < 4; ++i) p.StepIt();
    EXPECT_EQ(view.texts, (std::vector<std::string>{"25%", "50%", "75%", "100%"}));
    EXPECT_TRUE(view.pauses.empty());
    EXPECT_EQ(view.pumps, 4);
}

TEST(ProgressPresenter, PositionOneHundredPausesAndTextsStayInRange) {
    FakeProgressView view;
    ProgressPresenter p;
    p.SetView(&view);
    EXPECT_EQ(p.SetPos(45), 0);
    EXPECT_EQ(view.text, "45%");
    EXPECT_TRUE(view.pauses.empty());
    EXPECT_EQ(p.SetPos(100), 45);
    EXPECT_EQ(view.text, "100%");
    EXPECT_EQ(view.pauses, std::vector<int>{125});
    // The same text is not set again.
    const size_t before = view.texts.size();
    p.SetPos(100);
    EXPECT_EQ(view.texts.size(), before);

    struct Row {
        int position, low, high;
        const char* text;
    } rows[] = {{150, 0, 100, "50%"}, {200, 0, 100, "0%"}, {5, 0, 10, "50%"}, {7, 7, 7, "0%"}, {3, 5, 5, "0%"}};
    for (const Row& r : rows) EXPECT_EQ(ProgressPresenter::PercentText(r.position, r.low, r.high), r.text);
}

TEST(ProgressPresenter, StepTextFollowsThePreviousPositionNotTheWrappedBar) {
    FakeProgressView view;
    ProgressPresenter p;
    p.SetView(&view);
    p.SetRange(0, 100);
    p.SetStep(30);
    for (int i = 0; i < 3; ++i) p.StepIt();
    EXPECT_EQ(view.text, "90%");
    p.StepIt();  // the bar wraps to 20; the text is from 90 + 30
    EXPECT_EQ(view.text, "20%");
    EXPECT_EQ(view.pauses, std::vector<int>{125});
}

TEST(ProgressPresenter, CancelStopsProgressAndGivesEverythingBack) {
    FakeWindow owner(true), busy(true);
    BusyDialog = &busy;
    {
        FakeProgressView view;
        ProgressPresenter p;
        EXPECT_FALSE(busy.IsEnabled());
        p.SetView(&view);
        p.TakeOwner(&owner);
        EXPECT_FALSE(owner.IsEnabled());
        view.onDestroy = [&] { p.WindowClosing(); };
        EXPECT_TRUE(p.Progress(10));
        p.Cancel();
        EXPECT_FALSE(p.Progress(50));
        EXPECT_EQ(view.destroyed, 1);
        EXPECT_TRUE(owner.IsEnabled());
        EXPECT_TRUE(busy.IsEnabled());
        EXPECT_EQ(BusyDialog, &busy);  // the pointer is its owner's to clear
        EXPECT_FALSE(p.Progress(60));
        EXPECT_EQ(view.destroyed, 1);
    }
    ReenableBusyDialog();
    EXPECT_EQ(BusyDialog, nullptr);
}

TEST(ProgressPresenter, CheckCancelButtonAnswersOnce) {
    FakeProgressView view;
    ProgressPresenter p;
    p.SetView(&view);
    EXPECT_EQ(p.CheckCancelButton(), 0);
    p.Cancel();
    EXPECT_EQ(p.CheckCancelButton(), 1);
    EXPECT_EQ(p.CheckCancelButton(), 0);
}

TEST(ProgressPresenter, OwnerDisabledBySomeoneElseStaysDisabled) {
    FakeWindow owner(false);
    ProgressPresenter p;
    p.TakeOwner(&owner);
    EXPECT_FALSE(p.OwnerDisabled());
    p.WindowClosing();
    EXPECT_FALSE(owner.IsEnabled());

    FakeWindow mine(true);
    ProgressPresenter q;
    q.TakeOwner(&mine);
    q.ReleaseOwner();  // the window could not be made
    EXPECT_TRUE(mine.IsEnabled());
    EXPECT_FALSE(q.OwnerDisabled());
}

} // namespace
