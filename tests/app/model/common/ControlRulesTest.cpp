#include "ComboNavigation.h"
#include "EditFilters.h"
#include "SaveQuestion.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(EditFilters, NumericEditTakesDigitsControlsAndOneMinus) {
    struct Row {
        char32_t typed;
        const char* text;
        bool accepted;
    } rows[] = {
        {U'5', "", true},   {U'-', "12", true}, {U'-', "-12", false}, {U'-', "1-2", false}, {U'a', "12", false},
        {U'.', "12", false}, {8, "12", true} /* backspace */, {3, "12", true} /* Ctrl+C */, {U' ', "", false},
        {U'\u0663', "", false} /* an Arabic-Indic three */,
    };
    for (const Row& r : rows) EXPECT_EQ(NumericEditAccepts(r.typed, r.text), r.accepted) << int(r.typed) << r.text;
}

TEST(EditFilters, HostFolderEditRefusesEightCharacters) {
    for (char32_t c : std::u32string(U"\"/:<>?\\|")) EXPECT_FALSE(HostFolderEditAccepts(c)) << char(c);
    for (char32_t c : std::u32string(U"*.a- _é")) EXPECT_TRUE(HostFolderEditAccepts(c)) << int(c);
}

TEST(ComboNavigation, KeysSkipDisabledItems) {
    // Items 0 and 3 and 5 are enabled.
    const std::vector<bool> enabled = {true, false, false, true, false, true, false};
    auto isEnabled = [&](int i) { return enabled.at(size_t(i)); };
    const int n = int(enabled.size());
    struct Row {
        ComboKey key;
        int current, expected;
    } rows[] = {
        {ComboKey::Home, 5, 0},   {ComboKey::PageUp, -1, 0}, {ComboKey::End, 0, 5},  {ComboKey::PageDown, 3, 5},
        {ComboKey::Down, 0, 3},   {ComboKey::Right, 3, 5},   {ComboKey::Down, 5, -1}, {ComboKey::Down, -1, -1},
        {ComboKey::Up, 5, 3},     {ComboKey::Left, 3, 0},    {ComboKey::Up, 0, -1},  {ComboKey::Up, -1, -1},
        {ComboKey::Up, 2, 0},     {ComboKey::Down, 1, 3},
    };
    for (const Row& r : rows)
        EXPECT_EQ(NavigateEnabledItem(r.key, r.current, n, isEnabled), r.expected)
            << int(r.key) << " from " << r.current;
}

TEST(ComboNavigation, NoEnabledItemIgnoresEveryKey) {
    auto none = [](int) { return false; };
    for (ComboKey k : {ComboKey::PageUp, ComboKey::Home, ComboKey::PageDown, ComboKey::End, ComboKey::Up,
                       ComboKey::Left, ComboKey::Down, ComboKey::Right})
        EXPECT_EQ(NavigateEnabledItem(k, 1, 4, none), -1);
    EXPECT_EQ(NavigateEnabledItem(ComboKey::Home, -1, 0, none), -1);
}

TEST(ComboNavigation, TypedCharacterNeverChoosesADisabledItem) {
    auto evenEnabled = [](int i) { return i % 2 == 0; };
    EXPECT_EQ(CharToEnabledItem(-1, evenEnabled), -1);
    EXPECT_EQ(CharToEnabledItem(2, evenEnabled), 2);
    EXPECT_EQ(CharToEnabledItem(3, evenEnabled), -2);
}

TEST(SaveQuestion, Answers) {
    int yesToAll = 0;
    EXPECT_EQ(SaveQuestionAnswer(kSaveQuestionYes, yesToAll), 1);
    EXPECT_EQ(yesToAll, 0);
    EXPECT_EQ(SaveQuestionAnswer(kSaveQuestionNo, yesToAll), 2);
    EXPECT_EQ(yesToAll, 0);
    EXPECT_EQ(SaveQuestionAnswer(kSaveQuestionYesToAll, yesToAll), 1);
    EXPECT_EQ(yesToAll, 1);
}

} // namespace
