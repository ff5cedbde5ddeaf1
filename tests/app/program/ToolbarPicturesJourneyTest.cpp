// The program's toolbars as a user sees them: the main frame with its bars
// shows drawn button pictures, and resting the pointer on a main-toolbar
// button brings up that button's tooltip.
#include "ProgramFixture.h"

namespace {

// The visible windows on the screen, one id a line.
std::string VisibleWindows() { return Capture("xdotool search --onlyvisible --name '' 2>/dev/null | sort"); }

// Ids of the first list that the second lacks.
std::vector<std::string> NewWindows(const std::string& after, const std::string& before) {
    std::vector<std::string> found;
    std::istringstream in(after);
    std::string id;
    while (std::getline(in, id))
        if (!id.empty() && ("\n" + before + "\n").find("\n" + id + "\n") == std::string::npos) found.push_back(id);
    return found;
}

TEST_F(ProgramTest, TheBarsShowDrawnButtonsAndAMainToolbarButtonShowsItsTooltip) {
    Process program;
    const std::string frame = StartOnSampleFolder(program);
    ASSERT_FALSE(frame.empty());
    for (const char* bar : {"^Image Info$", "^Image Controls$", "^Output Histogram$"})
        EXPECT_FALSE(FindWindow(bar, 5).empty()) << bar;
    // The bars start in a cascade, each hiding the top of the one below;
    // the user pulls them apart so that every bar's buttons show, and
    // widens Image Controls until its tools bar holds all its buttons.
    const std::pair<const char*, std::pair<int, int>> places[] = {
        {"^Image Controls$", {1200, 20}}, {"^Image Info$", {1230, 600}}, {"^Output Histogram$", {960, 900}}};
    for (const auto& [bar, at] : places) {
        const std::string id = FindWindow(bar, 2);
        ASSERT_FALSE(id.empty()) << bar;
        Capture("xdotool windowmove " + id + " " + std::to_string(at.first) + " " + std::to_string(at.second));
    }
    const std::string controls = FindWindow("^Image Controls$", 2);
    const std::optional<WindowBox> controlsBox = WindowGeometry(controls);
    ASSERT_TRUE(controlsBox) << controls;
    Capture("xdotool windowsize " + controls + " 390 " + std::to_string(controlsBox->height));
    std::this_thread::sleep_for(1500ms);
    const fs::path bars = out_ / "frame-and-bars.png";
    Shoot(bars);
    EXPECT_GT(ColourCount(bars), 64);

    // The pointer rests on the main toolbar's first button (Open), just
    // right of the toolbar's gripper below the menu bar: a tooltip window
    // comes up beside it.
    const std::optional<WindowBox> frameBox = WindowGeometry(frame);
    ASSERT_TRUE(frameBox) << frame;
    const int fx = frameBox->x, fy = frameBox->y;
    Capture("xdotool mousemove " + std::to_string(fx + 300) + " " + std::to_string(fy + 400));
    std::this_thread::sleep_for(300ms);
    const std::string before = VisibleWindows();
    Capture("xdotool mousemove " + std::to_string(fx + 32) + " " + std::to_string(fy + 47));
    std::vector<std::string> tips;
    for (int i = 0; i < 50 && tips.empty(); ++i) {
        std::this_thread::sleep_for(100ms);
        tips = NewWindows(VisibleWindows(), before);
    }
    ASSERT_FALSE(tips.empty()) << "no tooltip came up";
    std::this_thread::sleep_for(500ms);
    const fs::path tip = out_ / "toolbar-tooltip.png";
    Shoot(tip);
    // The tooltip (its window and the toolkit's inner one) stands just
    // below the button.
    bool below = false;
    std::string where;
    for (const std::string& id : tips) {
        const std::optional<WindowBox> tip = WindowGeometry(id);
        if (!tip) continue;
        const int tx = tip->x, ty = tip->y;
        where += std::to_string(tx) + "," + std::to_string(ty) + " ";
        below = below || (std::abs(tx - (fx + 32)) < 120 && ty > fy + 47 && ty < fy + 120);
    }
    EXPECT_TRUE(below) << where;
    EXPECT_EQ(WaitExit(program, 0ms), -1) << ReadFile(program.stderrFile);
}

} // namespace
