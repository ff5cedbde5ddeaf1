// The Image menu in the running program: a slide of the sample folder
// selected by a click, turned clockwise with Ctrl+R, and the menu opened
// from the menu bar with its balance, lighting, noise, rotation and tag
// items.
#include "ProgramFixture.h"

namespace {

TEST_F(ProgramTest, ImageMenuTurnsASlide) {
    Process p;
    const std::string frame = StartOnSampleFolder(p);
    ASSERT_FALSE(frame.empty());
    const std::optional<WindowBox> box = WindowGeometry(frame);
    ASSERT_TRUE(box);
    fs::create_directories("/work/shots");
    // The watcher's first scan fills the sheet.
    Shoot("/work/shots/commands-1-sheet.png", 3000ms);

    ASSERT_EQ(std::system(("xdotool mousemove " + std::to_string(box->x + 80) + " " + std::to_string(box->y + 180) +
                           " click 1")
                              .c_str()),
              0);
    Shoot("/work/shots/commands-2-selected.png", 500ms);

    ASSERT_EQ(std::system(("xdotool key --window " + frame + " ctrl+r").c_str()), 0);
    Shoot("/work/shots/commands-3-turned.png", 1000ms);
    EXPECT_GT(ColourCount("/work/shots/commands-3-turned.png"), 64);

    ASSERT_EQ(std::system(("xdotool key --window " + frame + " alt+i").c_str()), 0);
    Shoot("/work/shots/commands-4-menu.png", 700ms);
    ASSERT_EQ(std::system("xdotool key Escape"), 0);
    EXPECT_EQ(WaitExit(p, 0ms), -1) << ReadFile(p.stderrFile);
}

} // namespace
