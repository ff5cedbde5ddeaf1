// Opening a folder of 12 raw and 8 JPEG files with the program: one sheet
// opens at once (its watcher reads the images afterwards), the program keeps
// answering the window manager's pings within a second while the sheet
// fills, rescans and closes, and the close ends the program promptly. The
// screenshot shows the filled sheet with its counts pane.
#include "ProgramFixture.h"

#include <cstdio>

namespace {

// Writes the folder: raw files of several kinds of our own container, and
// finished JPEG pictures.
void WriteTwentyPictures(const fs::path& folder) {
    fs::create_directories(folder);
    const std::string zyr = (BinDir() / "zyrwrite").string();
    const char* variants[] = {"--tag-word 0", "--tag-word 1 --order MM", "--tag-word 0 --mono", "--tag-word 1"};
    for (int i = 0; i < 12; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "RAW%02d.ZYR", i + 1);
        const std::string command = zyr + " --sample '" + (folder / name).string() + "' --settings-data " +
                                    variants[i % 4] + " >/dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }
    const char* pictures[] = {"plasma:red-blue", "gradient:orange-navy", "plasma:green-yellow", "gradient:white-black"};
    for (int i = 0; i < 8; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "JPEG%02d.JPG", i + 1);
        const std::string command = "convert -size 320x240 -seed " + std::to_string(i + 1) + " " +
                                    pictures[i % 4] + " -quality 85 '" + (folder / name).string() + "'";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }
}

// The longest answer to the pings of `seconds`; -1 when none came back.
double LongestPingMs(const std::string& window, int seconds) {
    const std::string out =
        Capture((BinDir() / "wmping").string() + " " + window + " " + std::to_string(seconds));
    long sent = 0, answered = 0;
    double longest = -1;
    if (std::sscanf(out.c_str(), "pings %ld answered %ld longest-ms %lf", &sent, &answered, &longest) != 3 ||
        answered == 0)
        return -1;
    return longest;
}

} // namespace

TEST_F(ProgramTest, SheetOpensTwentyImages) {
    const fs::path folder = root_ / "Twenty";
    WriteTwentyPictures(folder);
    ASSERT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 20);

    Process p = Start({folder.string()});
    const std::string frame = FindWindow("^Zyn Lumora");
    ASSERT_FALSE(frame.empty()) << ReadFile(p.stderrFile);
    ASSERT_TRUE(WaitForName(frame, "Zyn Lumora - Twenty")) << WindowName(frame);

    // The open, the first scan and two rescans of the default period, while
    // pings measure how long the program's user-interface thread is away.
    const double longest = LongestPingMs(frame, 7);
    std::printf("longest wait for a ping's answer: %.0f ms\n", longest);
    EXPECT_GE(longest, 0) << "the program answered no ping";
    EXPECT_LT(longest, 1000) << longest << " ms";
    const fs::path sheet = out_ / "sheet-opened.png";
    Shoot(sheet);
    EXPECT_GT(ColourCount(sheet), 1000);

    // A click on the first slide selects and focuses it: its frame turns
    // yellow (the counts pane then reads one selected).
    const std::optional<WindowBox> box = WindowGeometry(frame);
    ASSERT_TRUE(box);
    ASSERT_EQ(std::system(("xdotool mousemove " + std::to_string(box->x + 80) + " " + std::to_string(box->y + 180) +
                           " click 1")
                              .c_str()),
              0);
    const fs::path selected = out_ / "sheet-first-selected.png";
    Shoot(selected, 500ms);
    const std::string yellow = Capture("convert '" + selected.string() + "' -crop 200x200+" +
                                       std::to_string(box->x) + "+" + std::to_string(box->y + 90) +
                                       " txt:- | grep -ci '#FFD200'");
    EXPECT_GT(std::atoi(yellow.c_str()), 200) << "no focus frame around the first slide";

    // The close stops the watcher, which answers at once.
    const auto closing = std::chrono::steady_clock::now();
    ASSERT_EQ(std::system((BinDir() / "wmdelete").string().append(" " + frame).c_str()), 0);
    EXPECT_EQ(WaitExit(p, 10s), 0) << ReadFile(p.stderrFile);
    EXPECT_LT(std::chrono::steady_clock::now() - closing, 3s);
}
