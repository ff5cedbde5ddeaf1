// Two journeys through the program: a file of the open folder renamed from
// its preview (Edit > Rename) while its contact sheet stays open, then the
// sheet shown and painted again; and a large JPEG file opened into a
// preview, which shows the whole picture.
#include "ProgramFixture.h"

#include <cmath>
#include <cstdio>

namespace {

struct Colour {
    int r = 0, g = 0, b = 0;
};

int Distance(const Colour& a, const Colour& b) {
    return std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b);
}

// The mean colour of a picture file, or of a box of it.
Colour MeanColour(const fs::path& png, const std::string& crop = "") {
    const std::string text =
        Capture("convert '" + png.string() + "' " + (crop.empty() ? "" : "-crop " + crop + " +repage ") +
                "-resize '1x1!' -format '%[fx:int(255*r)] %[fx:int(255*g)] %[fx:int(255*b)]' info:");
    Colour c;
    std::sscanf(text.c_str(), "%d %d %d", &c.r, &c.g, &c.b);
    return c;
}

struct Box {
    int w = 0, h = 0, x = 0, y = 0;
};

// The bounding box of the screen's pixels near one pure colour, within a
// window (the floating bars beside it show coloured texts of their own).
Box ColourBox(const fs::path& png, const std::string& colour, const WindowBox& within) {
    const std::string crop = std::to_string(within.width) + "x" + std::to_string(within.height) + "+" +
                             std::to_string(within.x) + "+" + std::to_string(within.y);
    const std::string text = Capture("convert '" + png.string() + "' -crop " + crop + " +repage -fuzz 12% -fill black +opaque '" +
                                     colour + "' -fill white -opaque '" + colour + "' -format '%@' info:");
    Box box;
    std::sscanf(text.c_str(), "%dx%d+%d+%d", &box.w, &box.h, &box.x, &box.y);
    return box;
}

void Keys(const std::string& window, const std::string& keys) {
    std::system(("xdotool windowfocus --sync " + window + " key --delay 150 " + keys).c_str());
    std::this_thread::sleep_for(500ms);
}

// Test names stay short: the program's socket lives in a folder named after
// the test, and a socket path has at most 107 characters.
using SheetRenameJourney = ProgramTest;

TEST_F(SheetRenameJourney, RenameFromThePreview) {
    Process first;
    const std::string frame = StartOnSampleFolder(first);
    ASSERT_FALSE(frame.empty());
    // The program answers later starts once its frame and bars are up.
    EXPECT_FALSE(FindWindow("^Output Histogram$", 10).empty());
    std::this_thread::sleep_for(1s);

    // A later start with the file opens its preview in the running program.
    Process open = Start({(sample_ / "PICTURE01.JPG").string()});
    EXPECT_EQ(WaitExit(open, kHandOver), 0) << ReadFile(open.stderrFile);
    ASSERT_TRUE(WaitForName(frame, "Zyn Lumora - PICTURE01.JPG")) << WindowName(frame);

    // Edit > Rename, a new name that sorts last, the Rename button.
    Keys(frame, "alt+e Return");
    const std::string dialog = FindWindow("^Rename$", 10);
    ASSERT_FALSE(dialog.empty());
    std::system(("xdotool windowfocus --sync " + dialog + " key ctrl+a type --delay 30 ZEBRA.JPG").c_str());
    const WindowBox size = WindowGeometry(dialog).value_or(WindowBox{});
    std::system(("xdotool mousemove --window " + dialog + " " + std::to_string(size.width - 146) + " " +
                 std::to_string(size.height - 28) + " click 1")
                    .c_str());
    for (int i = 0; i < 50 && IsVisible("^Rename$"); ++i) std::this_thread::sleep_for(100ms);
    ASSERT_FALSE(IsVisible("^Rename$"));
    ASSERT_TRUE(fs::exists(sample_ / "ZEBRA.JPG"));
    EXPECT_FALSE(fs::exists(sample_ / "PICTURE01.JPG"));
    // The preview's document, and with it the frame's title, has the new name.
    EXPECT_TRUE(WaitForName(frame, "Zyn Lumora - ZEBRA.JPG")) << WindowName(frame);
    const fs::path preview = out_ / "preview-renamed.png";
    Shoot(preview, 500ms);

    // The folder's tab, then a dialog opened and cancelled over the sheet
    // (Help > About): the sheet paints again.
    const WindowBox at = WindowGeometry(frame).value_or(WindowBox{});
    std::system(
        ("xdotool mousemove " + std::to_string(at.x + 60) + " " + std::to_string(at.y + 83) + " click 1").c_str());
    ASSERT_TRUE(WaitForName(frame, "Zyn Lumora - Sample Folder")) << WindowName(frame);
    Keys(frame, "alt+h Down Return");
    const std::string about = FindWindow("^About", 10);
    EXPECT_FALSE(about.empty());
    if (!about.empty()) Keys(about, "Escape");
    for (int i = 0; i < 30 && IsVisible("^About"); ++i) std::this_thread::sleep_for(100ms);
    const fs::path sheet = out_ / "sheet-after-rename.png";
    Shoot(sheet, 500ms);
    EXPECT_EQ(WaitExit(first, 0ms), -1) << "the program ended: " << ReadFile(first.stderrFile);

    // Six slides in a row, 162 pixels apart: the renamed picture's slide is
    // the last (sorted by name), the others keep their order.
    const Colour renamed = MeanColour(sample_ / "ZEBRA.JPG");
    std::vector<int> distances;
    for (int i = 0; i < 6; ++i)
        distances.push_back(Distance(MeanColour(sheet, "80x60+" + std::to_string(at.x + 41 + 162 * i) + "+" +
                                                          std::to_string(at.y + 150)),
                                     renamed));
    const size_t closest = size_t(std::min_element(distances.begin(), distances.end()) - distances.begin());
    EXPECT_EQ(closest, 5u) << ::testing::PrintToString(distances);
    EXPECT_LT(distances[5], 60) << ::testing::PrintToString(distances);
}

TEST_F(SheetRenameJourney, LargeJpegShowsWhole) {
    // 3000 x 2000 pixels in four quarters of their own colour.
    const fs::path folder = root_ / "Large";
    fs::create_directories(folder);
    const fs::path large = folder / "QUARTERS.JPG";
    ASSERT_EQ(std::system(("convert -size 1500x1000 xc:red xc:lime +append \\( xc:blue xc:yellow +append \\) "
                           "-append -quality 90 '" + large.string() + "'")
                              .c_str()),
              0);
    Process first;
    const std::string frame = StartOnSampleFolder(first);
    ASSERT_FALSE(frame.empty());
    EXPECT_FALSE(FindWindow("^Output Histogram$", 10).empty());
    std::this_thread::sleep_for(1s);
    Process open = Start({large.string()});
    EXPECT_EQ(WaitExit(open, kHandOver), 0) << ReadFile(open.stderrFile);
    ASSERT_TRUE(WaitForName(frame, "Zyn Lumora - QUARTERS.JPG", 30)) << WindowName(frame);
    std::this_thread::sleep_for(1s);
    const fs::path shot = out_ / "large-preview.png";
    Shoot(shot, 500ms);

    // Each quarter shows, in its place, each a quarter of a 3 : 2 picture.
    const WindowBox at = WindowGeometry(frame).value_or(WindowBox{0, 0, 1600, 1200});
    const Box red = ColourBox(shot, "rgb(255,0,0)", at), lime = ColourBox(shot, "rgb(0,255,0)", at),
              blue = ColourBox(shot, "rgb(0,0,255)", at), yellow = ColourBox(shot, "rgb(255,255,0)", at);
    for (const Box& b : {red, lime, blue, yellow}) {
        EXPECT_GT(b.w, 200);
        EXPECT_NEAR(double(b.w) / std::max(b.h, 1), 1.5, 0.1) << b.w << "x" << b.h;
        EXPECT_NEAR(b.w, red.w, 4);
        EXPECT_NEAR(b.h, red.h, 4);
    }
    EXPECT_NEAR(lime.x, red.x + red.w, 4);
    EXPECT_NEAR(lime.y, red.y, 4);
    EXPECT_NEAR(blue.x, red.x, 4);
    EXPECT_NEAR(blue.y, red.y + red.h, 4);
    EXPECT_NEAR(yellow.x, lime.x, 4);
    EXPECT_NEAR(yellow.y, blue.y, 4);
    EXPECT_EQ(WaitExit(first, 0ms), -1) << "the program ended: " << ReadFile(first.stderrFile);
}

} // namespace
