// The sample folder's sheet in the program: Select All (Ctrl+A) selects
// every slide, Select Inverse (Ctrl+B) then leaves none selected, and the
// Edit menu lists the selection commands with their keys.
#include "ProgramFixture.h"

namespace {

TEST_F(ProgramTest, SelectKeys) {
    Process p;
    const std::string frame = StartOnSampleFolder(p);
    ASSERT_FALSE(frame.empty());
    std::this_thread::sleep_for(2s);
    fs::create_directories("/work/shots");
    // A click on the sheet's empty part gives it the keyboard.
    const std::optional<WindowBox> box = WindowGeometry(frame);
    ASSERT_TRUE(box);
    ASSERT_EQ(std::system(("xdotool mousemove " + std::to_string(box->x + 700) + " " + std::to_string(box->y + 600) +
                           " click 1")
                              .c_str()),
              0);
    const auto key = [](const std::string& keys) { return std::system(("xdotool key " + keys).c_str()); };
    ASSERT_EQ(key("ctrl+a"), 0);
    const fs::path all = "/work/shots/select-all.png";
    Shoot(all, 700ms);
    EXPECT_GT(ColourCount(all), 1000);
    ASSERT_EQ(key("ctrl+b"), 0);
    const fs::path none = "/work/shots/select-inverse.png";
    Shoot(none, 700ms);
    EXPECT_GT(ColourCount(none), 1000);
    ASSERT_EQ(key("alt+e"), 0);
    const fs::path menu = "/work/shots/select-edit-menu.png";
    Shoot(menu, 700ms);
    key("Escape");
    EXPECT_EQ(WaitExit(p, 0ms), -1) << "the program ended";
}

} // namespace
