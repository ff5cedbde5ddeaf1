#include "CapabilityImage.h"
#include "LocalizedText.h"
#include "MainFrameLayout.h"
#include "ToolBarButtons.h"
#include "ToolBarStates.h"

#include <gtest/gtest.h>

namespace {

std::vector<int> Commands(const ToolBarTable& table) {
    std::vector<int> out;
    for (const ToolBarButton& b : table.buttons) out.push_back(b.command);
    return out;
}

TEST(ToolBars, TablesInOrderWithTheirPrompts) {
    const ToolBarTable& tools = ToolsBarTable();
    EXPECT_EQ(Commands(tools), (std::vector<int>{32847, 32848, 32846, 33178, 33177, 0, 32855, 32856, 0, 32838, 32837}));
    EXPECT_EQ(tools.bitmapId, 146);
    EXPECT_EQ(tools.imageCount, 11);
    for (size_t i = 0; i < 5; ++i) EXPECT_EQ(tools.buttons[i].style, ToolBarButton::kCheckGroup);
    EXPECT_EQ(tools.buttons[5].style, ToolBarButton::kSeparator);
    EXPECT_EQ(tools.buttons[10].image, 8);
    EXPECT_EQ(Commands(SoundBarTable()), (std::vector<int>{1055, 1056}));
    EXPECT_EQ(SoundBarTable().buttonWidth, 28);
    EXPECT_EQ(Commands(AutoAtCaptureBarTable()), (std::vector<int>{32803, 0, 32807}));
    EXPECT_EQ(AutoAtCaptureBarTable().buttons[2].image, 1);
    EXPECT_EQ(AutoAtCaptureBarTable().bitmapWidth, 32);
    EXPECT_EQ(Commands(AutoExposureBarTable()), (std::vector<int>{33131}));

    // Every button has its prompt and tooltip.
    for (const ToolBarTable* t : {&ToolsBarTable(), &SoundBarTable(), &AutoAtCaptureBarTable(), &AutoExposureBarTable()})
        for (const ToolBarButton& b : t->buttons) {
            if (!b.command) continue;
            EXPECT_NE(LoadUntranslatedString(b.command).find('\n'), std::string::npos) << b.command;
        }
    EXPECT_EQ(TranslatedPrompt(32838), "Rotate the image 90 degrees clockwise");
}

int StateOf(const ButtonStates& states, int command) {
    for (const auto& [c, s] : states)
        if (c == command) return s;
    return -1;
}

TEST(ToolBars, NoImageShowsTheCurrentToolGreyedAndPressed) {
    int tool = 32848;
    ButtonStates states = ToolsBarClearStates(&tool);
    EXPECT_EQ(states, (ButtonStates{{32847, 16}, {32848, 17}, {32846, 16}, {33178, 16}, {33177, 16},
                                    {32855, 16}, {32856, 16}, {32838, 16}, {32837, 16}}));
    tool = 32846;
    states = ToolsBarClearStates(&tool);
    for (const auto& [command, state] : states) EXPECT_EQ(state, 16) << command;
    // Without a main frame no tool is pressed.
    states = ToolsBarClearStates(nullptr);
    for (const auto& [command, state] : states) EXPECT_EQ(state, 16) << command;
}

TEST(ToolBars, ImageThatCannotClickBalanceKeepsTheToolPressed) {
    CapabilityImage image;
    image.clickBalance = false;
    int tool = 32846;
    const ButtonStates states = ToolsBarStatesFor(image, &tool);
    EXPECT_EQ(states, (ButtonStates{{32847, 4}, {32848, 4}, {32846, 17}, {33178, 4}, {33177, 4},
                                    {32855, 4}, {32856, 4}, {32838, 4}, {32837, 4}}));
    image.clickBalance = true;
    EXPECT_EQ(StateOf(ToolsBarStatesFor(image, &tool), 32846), 5);
    image.available = false;
    EXPECT_EQ(StateOf(ToolsBarStatesFor(image, &tool), 32838), 16);
}

TEST(ToolBars, UnknownToolBecomesSelection) {
    CapabilityImage image;
    int tool = 0;
    EXPECT_EQ(StateOf(ToolsBarStatesFor(image, &tool), 32847), 5);
    EXPECT_EQ(tool, 32847);
    tool = 12345;
    EXPECT_EQ(StateOf(ToolsBarClearStates(&tool), 32847), 17);
    EXPECT_EQ(tool, 32847);
}

TEST(ToolBars, AutomaticSettingsButtons) {
    CapabilityImage image;
    // Balance type 5 without automatic parameters still offers 32803.
    image.balanceTypes = {0, 5};
    image.autoParams = false;
    image.atCapture = false;
    EXPECT_EQ(AutoAtCaptureStatesFor(image), (ButtonStates{{32803, 4}, {32807, 16}}));
    EXPECT_EQ(AutoExposureStatesFor(image), (ButtonStates{{33131, 16}}));
    image.balanceTypes = {0};
    EXPECT_EQ(AutoAtCaptureStatesFor(image), (ButtonStates{{32803, 16}, {32807, 16}}));
    image.autoParams = true;
    image.atCapture = true;
    EXPECT_EQ(AutoAtCaptureStatesFor(image), (ButtonStates{{32803, 4}, {32807, 4}}));
    EXPECT_EQ(AutoExposureStatesFor(image), (ButtonStates{{33131, 4}}));
    EXPECT_EQ(AutoAtCaptureIndeterminate(), (ButtonStates{{32803, 16}, {32807, 16}}));
    EXPECT_EQ(AutoExposureIndeterminate(), (ButtonStates{{33131, 16}}));
    EXPECT_EQ(SoundBarStates(0x10004, 16), (ButtonStates{{1055, 4}, {1056, 16}}));
}

} // namespace
