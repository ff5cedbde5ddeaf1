#include "RenamePresenter.h"

#include "FakeShell.h"
#include "LocalizedText.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <map>
#include <string>

namespace {

class FakeFields : public EditFieldView {
public:
    explicit FakeFields(FakeDialogView& view) : view_(view) {}
    void SetTextLimit(int id, int characters) override { limits[id] = characters; }
    int GetNumber(int id) override { return std::atoi(view_.GetItemText(id).c_str()); }
    void SetNumberQuietly(int id, int value) override { view_.SetItemText(id, std::to_string(value)); }
    void SetNumberValid(int id, bool valid) override { this->valid[id] = valid; }

    std::map<int, int> limits;
    std::map<int, bool> valid;

private:
    FakeDialogView& view_;
};

class FakeAsker : public MessageBoxService {
public:
    FakeAsker() { MessageBoxService::SetCurrent(this); }
    ~FakeAsker() override { MessageBoxService::SetCurrent(nullptr); }
    int Show(const std::string& text, const std::string&, Buttons buttons) override {
        asked.push_back(text);
        EXPECT_EQ(buttons, kOkCancel);
        return answer;
    }
    std::vector<std::string> asked;
    int answer = kAnswerCancel;
};

class RenameDialog : public ::testing::Test {
protected:
    RenamePresenter& Open(int count, const std::string& name, const std::string& extension) {
        presenter_ = std::make_unique<RenamePresenter>(view, fields, count, name, extension);
        presenter_->InitDialog();
        return *presenter_;
    }
    void TypeDigits(const std::string& text) {
        view.SetItemText(kRenameDigits, text);
        presenter_->OnNumberChanged();
    }
    void TypeStart(const std::string& text) {
        view.SetItemText(kRenameStart, text);
        presenter_->OnNumberChanged();
    }
    void TypeName(const std::string& text) {
        view.SetItemText(kRenameBaseName, text);
        presenter_->OnBaseNameChanged();
    }
    std::string Message() { return view.GetItemText(kRenameMessage); }
    bool RenameEnabled() { return view.IsItemEnabled(kRenameButton); }

    FakeProfileStore store;
    FakeDialogView view;
    FakeFields fields{view};
    std::unique_ptr<RenamePresenter> presenter_;
};

TEST_F(RenameDialog, NumberingPutsThePaddedNumberAtTheStarOrAtTheEnd) {
    struct Row {
        int digits, start;
        const char* name;
        const char* expected;
    } rows[] = {
        {3, 7, "Wedding", "Wedding007"},
        {3, 7, "Party*A", "Party007A"},
        {3, 7, "*", "007"},
        {3, 7, "", "007"},
        {2, 123, "x", "x123"},  // longer than the width when the value needs it
        {1, 0, "a*b*c", "a0b*c"},  // only the first star
        {9, 12, "Wedding_*_final", "Wedding_000000012_final"},
    };
    FakeDialogView v;
    FakeFields f{v};
    RenamePresenter several(v, f, 3, "", "");
    RenamePresenter one(v, f, 1, "", "");
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(several.ApplyNumbering(r.digits, r.start, r.name), r.expected);
        EXPECT_EQ(one.ApplyNumbering(r.digits, r.start, r.name), r.name);
    }
    // A long name is cut to leave room for the number within 234 characters,
    // counting characters, not bytes.
    const std::string longName(240, 'n');
    EXPECT_EQ(several.ApplyNumbering(3, 7, longName), std::string(231, 'n') + "007");
    std::string accented;
    for (int i = 0; i < 240; ++i) accented += "\xC3\xA9";
    const std::string cut = several.ApplyNumbering(4, 1, accented);
    EXPECT_EQ(cut.size(), 230u * 2 + 4);
    EXPECT_EQ(cut.substr(cut.size() - 4), "0001");
}

TEST_F(RenameDialog, OneImageShowsTheWholeNameWithoutTheNumberFields) {
    Open(1, "IMG_0001.ZYR", ".ZYR");
    EXPECT_EQ(view.GetItemText(kRenameBaseName), "IMG_0001.ZYR");
    for (int id : {kRenameDigits, kRenameStart, kRenameDigitsLabel, kRenameStartLabel, kRenameNumberGroup})
        EXPECT_FALSE(view.IsItemEnabled(id)) << id;
    EXPECT_EQ(fields.limits[kRenameBaseName], 234);
    EXPECT_TRUE(RenameEnabled());
    EXPECT_EQ(Message(), "");
    EXPECT_EQ(presenter_->PreviewName(), "IMG_0001.ZYR.ZYR") << "the preview adds the extension as it stands";
    // Nothing read from or written to the settings for one image.
    EXPECT_TRUE(store.reads.empty());

    TypeName("");
    EXPECT_EQ(Message(), LoadTranslatedString(IDS_RENAME_NO_BASE_NAME));
    EXPECT_FALSE(RenameEnabled());
    TypeName("a*b");
    EXPECT_TRUE(RenameEnabled()) << "one star is allowed";
    TypeName("a*b*");
    EXPECT_EQ(Message(), LoadTranslatedString(IDS_RENAME_STARS));
}

TEST_F(RenameDialog, AHundredAndFiftyImagesRaiseTheDigitsAndTypingTwoDoesNotFit) {
    store.Set("Save As Basename", "Shoot");
    store.Set("Save As Num Digits", "2");
    store.Set("Save As Start From", "1");
    Open(150, "DSC0001", ".ZYR");
    EXPECT_EQ(view.GetItemText(kRenameDigits), "3");
    EXPECT_EQ(presenter_->GetNumDigits(), 3);
    EXPECT_EQ(view.GetItemText(kRenameStart), "1");
    EXPECT_EQ(view.GetItemText(kRenameBaseName), "Shoot") << "the stored base name replaces the image's";
    EXPECT_EQ(fields.limits[kRenameDigits], 1);
    EXPECT_EQ(fields.limits[kRenameStart], 2);
    EXPECT_EQ(fields.limits[kRenameBaseName], 231);
    EXPECT_EQ(view.GetItemText(kRenamePreview), "Shoot001.ZYR");
    for (int id : {kRenamePreviewLabel, kRenamePreview, kRenameDigits, kRenameStart, kRenameNumberGroup})
        EXPECT_TRUE(view.controls[id].shown) << id;
    EXPECT_TRUE(RenameEnabled());

    TypeDigits("2");
    EXPECT_EQ(Message(), LoadTranslatedString(IDS_RENAME_DIGITS_FOR_COUNT));
    EXPECT_FALSE(fields.valid[kRenameDigits]);
    EXPECT_TRUE(fields.valid[kRenameStart]);
    EXPECT_FALSE(RenameEnabled());
    EXPECT_EQ(view.GetItemText(kRenamePreview), "Shoot001.ZYR");

    TypeDigits("4");
    EXPECT_EQ(Message(), "");
    EXPECT_TRUE(fields.valid[kRenameDigits]);
    EXPECT_TRUE(RenameEnabled());
    EXPECT_EQ(fields.limits[kRenameStart], 4);
    EXPECT_EQ(fields.limits[kRenameBaseName], 230);
    EXPECT_EQ(view.GetItemText(kRenamePreview), "Shoot0001.ZYR");
    EXPECT_TRUE(store.writes.empty());
}

TEST_F(RenameDialog, StartTooLargeForTheDigitsShowsTheLaterMessageWithBothFieldsRed) {
    store.Set("Save As Num Digits", "3");
    store.Set("Save As Start From", "100");
    Open(5, "DSC0001", ".jpg");
    EXPECT_TRUE(RenameEnabled());
    EXPECT_EQ(view.GetItemText(kRenamePreview), "100.jpg") << "an empty base name is allowed for several";
    TypeDigits("2");
    EXPECT_EQ(Message(), LoadTranslatedString(IDS_RENAME_DIGITS_FOR_START));
    EXPECT_FALSE(fields.valid[kRenameDigits]);
    EXPECT_FALSE(fields.valid[kRenameStart]);
    EXPECT_FALSE(RenameEnabled());

    // The digit-range check wins over both when it fails too.
    TypeDigits("0");
    EXPECT_EQ(Message(), LoadTranslatedString(IDS_RENAME_DIGITS_RANGE));
    TypeDigits("3");
    EXPECT_EQ(Message(), "");
    EXPECT_TRUE(fields.valid[kRenameDigits]);
    EXPECT_TRUE(fields.valid[kRenameStart]);
}

TEST_F(RenameDialog, StartZeroAndOddStoredNumbersNeedNoLogarithmOfZero) {
    struct Row {
        const char* digits;
        const char* start;
        int count;
        int shownDigits;
        bool ok;
        const char* preview;
    } rows[] = {
        {"1", "0", 5, 1, true, "B0.tif"},
        {"0", "0", 2, 1, true, "B0.tif"},        // first use: nothing stored yet
        {"1", "-4", 3, 1, true, "B0.tif"},       // a negative start counts from 0
        {"1", "0", 10, 1, true, "B0.tif"},       // 0..9 fit one digit
        {"1", "0", 11, 2, true, "B00.tif"},
        {"12", "5", 3, 12, false, ""},           // more digits than the field takes
        {"-3", "2147483647", 3, 10, false, ""},  // the largest start
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.digits) + " " + r.start);
        store.Set("Save As Basename", "B");
        store.Set("Save As Num Digits", r.digits);
        store.Set("Save As Start From", r.start);
        view = FakeDialogView();
        Open(r.count, "x", ".tif");
        EXPECT_EQ(view.GetItemText(kRenameDigits), std::to_string(r.shownDigits));
        EXPECT_EQ(RenameEnabled(), r.ok);
        if (r.ok) {
            EXPECT_EQ(view.GetItemText(kRenamePreview), r.preview);
        }
    }
    // Typing a start of 0 by hand.
    store.Set("Save As Num Digits", "2");
    store.Set("Save As Start From", "5");
    Open(3, "x", ".tif");
    TypeStart("0");
    EXPECT_TRUE(RenameEnabled());
    EXPECT_EQ(view.GetItemText(kRenamePreview), "B00.tif");
}

TEST_F(RenameDialog, TwoStarsKeepTheLastValidPreview) {
    store.Set("Save As Num Digits", "3");
    store.Set("Save As Start From", "7");
    Open(4, "x", ".zyr");
    TypeName("a*b");
    EXPECT_EQ(view.GetItemText(kRenamePreview), "a007b.zyr");
    TypeName("a*b*c");
    EXPECT_EQ(Message(), LoadTranslatedString(IDS_RENAME_STARS));
    EXPECT_FALSE(RenameEnabled());
    EXPECT_EQ(view.GetItemText(kRenamePreview), "a007b.zyr");
    EXPECT_FALSE(presenter_->OnOK()) << "the default key does not get past a failed check";
}

TEST_F(RenameDialog, ChangingTheDigitsCutsALongBaseNameToTheRoomLeft) {
    store.Set("Save As Basename", std::string(240, 'q'));
    store.Set("Save As Num Digits", "1");
    store.Set("Save As Start From", "1");
    Open(2, "x", "");
    TypeDigits("9");
    EXPECT_EQ(view.GetItemText(kRenameBaseName), std::string(225, 'q'));
    EXPECT_EQ(presenter_->GetBaseName(), std::string(225, 'q'));
    EXPECT_EQ(fields.limits[kRenameBaseName], 225);
    EXPECT_EQ(view.GetItemText(kRenamePreview), std::string(225, 'q') + "000000001");
}

TEST_F(RenameDialog, OkAsksOnlyWhenOneImageChangesItsExtension) {
    struct Row {
        const char* typed;
        bool asks;
    } rows[] = {
        {"IMG_0001.tif", true},
        {"img_0001.zyr", false},
        {"other.ZyR", false},
        {"ZYR", true},  // shorter than the extension
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.typed);
        FakeAsker asker;
        Open(1, "IMG_0001.ZYR", ".ZYR");
        TypeName(r.typed);
        asker.answer = MessageBoxService::kAnswerCancel;
        EXPECT_EQ(presenter_->OnOK(), !r.asks);
        ASSERT_EQ(asker.asked.size(), r.asks ? 1u : 0u);
        if (r.asks) {
            EXPECT_EQ(asker.asked[0], LoadTranslatedString(IDS_RENAME_EXTENSION_CHANGE));
            asker.answer = MessageBoxService::kAnswerOk;
            EXPECT_TRUE(presenter_->OnOK());
        }
        EXPECT_EQ(presenter_->GetBaseName(), r.typed);
    }
    // Several images keep their own extensions: no question.
    FakeAsker asker;
    Open(3, "IMG_0001", ".ZYR");
    TypeName("Shoot");
    EXPECT_TRUE(presenter_->OnOK());
    EXPECT_TRUE(asker.asked.empty());
}

} // namespace
