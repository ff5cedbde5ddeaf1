// The Lumora program as a user starts it, on a display of its own
// (Xvfb, 1600 x 1200): the main frame with its bars and the sample folder's
// contact sheet, the hand-over of a second start, a start after the first
// was killed, the hidden automation start, the settings written at close and
// read at the next start, and the installation check of a program folder
// that lacks a driver library.
#include "ProgramFixture.h"

namespace {

TEST_F(ProgramTest, ShowsTheFrameWithItsBarsAndTheFolderAndHandsOverLaterStarts) {
    Process first = Start({sample_.string()});
    const std::string frame = FindWindow("^Zyn Lumora");
    ASSERT_FALSE(frame.empty()) << ReadFile(first.stderrFile);
    EXPECT_TRUE(WaitForName(frame, "Zyn Lumora - Sample Folder")) << WindowName(frame);
    for (const char* bar : {"^Image Info$", "^Image Controls$", "^Output Histogram$"})
        EXPECT_FALSE(FindWindow(bar, 5).empty()) << bar;
    // The bars float at the screen's right edge in a cascade.
    std::this_thread::sleep_for(700ms);
    const fs::path shot = out_ / "frame.png";
    ASSERT_EQ(std::system(("import -window root '" + shot.string() + "'").c_str()), 0);
    EXPECT_GT(ColourCount(shot), 64);
    const std::string info = FindWindow("^Image Info$", 2);
    const std::string geometry = Capture("xdotool getwindowgeometry " + info);
    EXPECT_NE(geometry.find("Position: 1300,100"), std::string::npos) << geometry;

    // A second start from another folder: a relative and an absolute path.
    fs::create_directories(root_ / "elsewhere" / "sub");
    fs::create_directories(root_ / "other");
    fs::copy_file(sample_ / "PICTURE01.JPG", root_ / "other" / "PICTURE01.JPG");
    const auto began = std::chrono::steady_clock::now();
    Process second = Start({"sub"}, root_ / "elsewhere");
    EXPECT_EQ(WaitExit(second, kHandOver), 0) << ReadFile(second.stderrFile);
    EXPECT_TRUE(WaitForName(frame, "Zyn Lumora - sub")) << WindowName(frame);
    Process third = Start({"sub", (root_ / "other").string()}, root_ / "elsewhere");
    EXPECT_EQ(WaitExit(third, kHandOver), 0) << ReadFile(third.stderrFile);
    EXPECT_LT(std::chrono::steady_clock::now() - began, 2 * kHandOver);
    EXPECT_TRUE(WaitForName(frame, "Zyn Lumora - other")) << WindowName(frame);
    EXPECT_EQ(Setting("Last Used", "LastFileOpenDialogPath"), (root_ / "other").string());

    // Without arguments a later start only brings the first forward.
    Process fourth = Start({});
    EXPECT_EQ(WaitExit(fourth, kHandOver), 0) << ReadFile(fourth.stderrFile);
    EXPECT_EQ(WindowName(frame), "Zyn Lumora - other");
    EXPECT_EQ(WaitExit(first, 0ms), -1) << "the first instance ended";
}

TEST_F(ProgramTest, StartsAnewAfterTheFirstWasKilled) {
    Process first = Start({sample_.string()});
    ASSERT_FALSE(FindWindow("^Zyn Lumora").empty()) << ReadFile(first.stderrFile);
    kill(first.pid, SIGKILL);
    WaitExit(first, 5s);
    // Its lock and socket stay behind.
    ASSERT_TRUE(fs::exists(root_ / "runtime" / "lumora" / "Lumora"));
    Process next = Start({sample_.string()});
    const std::string frame = FindWindow("^Zyn Lumora");
    ASSERT_FALSE(frame.empty()) << ReadFile(next.stderrFile);
    EXPECT_EQ(WaitExit(next, 0ms), -1) << "the new start ended instead of showing its frame";
}

TEST_F(ProgramTest, AnAutomationStartStaysHiddenUntilAFolderIsForwarded) {
    Process hidden = Start({"--automation"});
    // Started (its server answers) but no frame shows.
    for (int i = 0; i < 50 && !fs::exists(root_ / "runtime" / "lumora" / "Lumora"); ++i)
        std::this_thread::sleep_for(100ms);
    std::this_thread::sleep_for(1500ms);
    EXPECT_FALSE(IsVisible("^Zyn Lumora"));
    EXPECT_FALSE(IsVisible("^Image Info$"));
    EXPECT_EQ(WaitExit(hidden, 0ms), -1) << ReadFile(hidden.stderrFile);

    Process forward = Start({sample_.string()});
    EXPECT_EQ(WaitExit(forward, kHandOver), 0) << ReadFile(forward.stderrFile);
    const std::string frame = FindWindow("^Zyn Lumora", 5);
    ASSERT_FALSE(frame.empty());
    EXPECT_TRUE(WaitForName(frame, "Zyn Lumora - Sample Folder")) << WindowName(frame);
    EXPECT_FALSE(FindWindow("^Image Info$", 5).empty());
}

TEST_F(ProgramTest, ClosingWritesTheSettingsAndTheNextStartRestoresThem) {
    // A minimised placement, a crop mode and a custom ratio of 1.5 : 2.
    fs::create_directories(SettingsFile().parent_path());
    {
        std::ofstream settings(SettingsFile());
        settings << "[MainFrame Position]\nwp.showCmd=2\nwp.flags=0\nwp.left=100\nwp.top=80\nwp.right=1100\n"
                    "wp.bottom=780\n[Last Used]\nCrop Mode=3\nConstrained Crop Height X 10000=15000\n"
                    "Constrained Crop Width X 10000=20000\n";
    }
    Process first = Start({sample_.string()});
    std::string frame = FindWindow("^Zyn Lumora");
    ASSERT_FALSE(frame.empty()) << ReadFile(first.stderrFile);
    std::string geometry = Capture("xdotool getwindowgeometry " + frame);
    EXPECT_NE(geometry.find("Geometry: 1000x700"), std::string::npos) << geometry;

    ASSERT_EQ(std::system((BinDir() / "wmdelete").string().append(" " + frame).c_str()), 0);
    EXPECT_EQ(WaitExit(first, 10s), 0) << ReadFile(first.stderrFile);
    // Its server went with it.
    EXPECT_FALSE(fs::exists(root_ / "runtime" / "lumora" / "Lumora"));
    EXPECT_EQ(Setting("MainFrame Position", "wp.showCmd"), "1");
    EXPECT_EQ(Setting("MainFrame Position", "wp.right"), "1100");
    EXPECT_EQ(Setting("Last Used", "Crop Mode"), "3");
    EXPECT_EQ(Setting("Last Used", "Constrained Crop Height X 10000"), "15000");
    EXPECT_EQ(Setting("Last Used", "Constrained Crop Width X 10000"), "20000");
    // The close-up cascade of a first run at width 1600, right and bottom
    // one further.
    EXPECT_EQ(Setting("Last Used", "CloseupPosition"), "1275 150 1539 438");
    EXPECT_EQ(Setting("Last Used", "ToolBarIsFloating"), "0");
    EXPECT_EQ(Setting("Last Used", "ToolBarFrameSide"), "59419");
    for (const char* item : {"Last Thumbnail Sort Order", "LastThumbnailViewSize", "Thumbnail Info State"})
        EXPECT_EQ(Setting("Last Used", item), "0") << item;
    EXPECT_FALSE(Setting("ControlBar States", "Layout").empty());
    EXPECT_EQ(Setting("ControlBar States-Summary", "Bars"), "4");

    // The next start comes back where the first was.
    Process next = Start({sample_.string()});
    frame = FindWindow("^Zyn Lumora");
    ASSERT_FALSE(frame.empty()) << ReadFile(next.stderrFile);
    geometry = Capture("xdotool getwindowgeometry " + frame);
    EXPECT_NE(geometry.find("Geometry: 1000x700"), std::string::npos) << geometry;
    EXPECT_FALSE(FindWindow("^Image Controls$", 5).empty());
}

// A program folder that lacks a driver library, or the language table the
// main frame loads first, stops with the installation message.
TEST_F(ProgramTest, AProgramFolderWithoutADriverLibraryOrLanguageTableStopsWithTheInstallationMessage) {
    for (const char* missing : {"ZynWren3.so", "LumoraUIStrings.u16"}) {
        SCOPED_TRACE(missing);
        const fs::path copy = root_ / "program" / missing;
        fs::create_directories(copy);
        for (const auto& entry : fs::directory_iterator(BinDir())) {
            if (entry.path().filename() == missing || entry.is_directory()) continue;
            std::error_code ec;
            fs::create_hard_link(entry.path(), copy / entry.path().filename(), ec);
            if (ec) fs::copy_file(entry.path(), copy / entry.path().filename());
        }
        if (fs::exists(BinDir() / "PlugIns"))
            fs::copy(BinDir() / "PlugIns", copy / "PlugIns", fs::copy_options::recursive);
        Process p = Start({sample_.string()}, {},
                          {{"LUMORA_PROGRAM_DIR", copy.string()},
                           {"LUMORA_SYSTEM_DIR", (BuildDir() / "share" / "lumora" / "system").string()}},
                          copy / "Lumora");
        // The message box waits for an answer; closing it ends the start-up.
        const std::string box = FindWindow("^Zyn Lumora$", 15);
        ASSERT_FALSE(box.empty()) << ReadFile(p.stderrFile);
        std::system((BinDir() / "wmdelete").string().append(" " + box).c_str());
        EXPECT_EQ(WaitExit(p, 10s), 1) << ReadFile(p.stderrFile);
        EXPECT_NE(ReadFile(p.stderrFile).find("Lumora is not properly installed."), std::string::npos)
            << ReadFile(p.stderrFile);
        EXPECT_FALSE(IsVisible("^Zyn Lumora - "));
    }
}

} // namespace
