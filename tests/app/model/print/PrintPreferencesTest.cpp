#include "PrintPreferencesPresenter.h"

#include "FakeShell.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

const int kSizes[] = {kPrintSizeSameAsView, kPrintSizeSmall, kPrintSizeMedium, kPrintSizeLarge};

std::vector<int> SizeChecks(FakeDialogView& view) {
    std::vector<int> checks;
    for (int id : kSizes) checks.push_back(view.GetCheck(id));
    return checks;
}

TEST(PrintPreferences, OpeningShowsTheStoredValuesAndWritesNothing) {
    struct Row {
        const char* size;    // null: absent
        const char* docking; // null: absent
        std::vector<int> checks;
        int docked;
    } rows[] = {
        {nullptr, nullptr, {1, 0, 0, 0}, 1},
        {"0", "1", {1, 0, 0, 0}, 1},
        {"2", "0", {0, 0, 1, 0}, 0},
        {"3", "1", {0, 0, 0, 1}, 1},
        {"1", "5", {0, 1, 0, 0}, 1},
        // A size that names no button selects none.
        {"9", "0", {0, 0, 0, 0}, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.size ? r.size : "absent");
        FakeProfileStore store;
        if (r.size) store.Set("Contact Sheet Printing Size", r.size);
        if (r.docking) store.Set("Allow Docking", r.docking);
        FakeDialogView view;
        for (int id : kSizes) view.SetCheck(id, 1);
        PrintPreferencesPresenter presenter(view);
        int applied = -1;
        presenter.SetDockingApplier([&](int allow) { applied = allow; });
        presenter.InitDialog();
        EXPECT_EQ(SizeChecks(view), r.checks);
        EXPECT_EQ(view.GetCheck(kPrintAllowDocking), r.docked);
        // Opening and cancelling stores nothing and leaves the frame alone.
        EXPECT_TRUE(store.writes.empty());
        EXPECT_EQ(applied, -1);
    }
}

TEST(PrintPreferences, OkStoresBothItemsAndAppliesTheDockingAtOnce) {
    struct Row {
        int pick;
        int docking;
        const char* storedSize;
    } rows[] = {{0, 1, "0"}, {1, 0, "1"}, {2, 1, "2"}, {3, 0, "3"}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.pick);
        FakeProfileStore store;
        FakeDialogView view;
        PrintPreferencesPresenter presenter(view);
        std::vector<int> applied;
        presenter.SetDockingApplier([&](int allow) {
            // The frame reads the stored item: it must be there before.
            EXPECT_EQ(store.Value("Allow Docking"), std::to_string(allow));
            applied.push_back(allow);
        });
        presenter.InitDialog();
        for (int i = 0; i < 4; ++i) view.SetCheck(kSizes[i], i == r.pick);
        view.SetCheck(kPrintAllowDocking, r.docking);
        presenter.OnOK();
        EXPECT_EQ(store.Value("Contact Sheet Printing Size"), r.storedSize);
        EXPECT_EQ(store.Value("Allow Docking"), std::to_string(r.docking));
        EXPECT_EQ(applied, std::vector<int>{r.docking});
    }
}

TEST(PrintPreferences, OkKeepsAStoredSizeThatNamesNoButton) {
    FakeProfileStore store;
    store.Set("Contact Sheet Printing Size", "9");
    FakeDialogView view;
    PrintPreferencesPresenter presenter(view);
    presenter.InitDialog();
    view.SetCheck(kPrintAllowDocking, 0);
    presenter.OnOK();
    EXPECT_EQ(store.Value("Contact Sheet Printing Size"), "9");
    EXPECT_EQ(store.Value("Allow Docking"), "0");
}

} // namespace
