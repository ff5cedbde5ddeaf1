// The Lumora program driven by keys and clicks as a user drives it: the crop
// ratio dialog from the View menu and from the Image Controls bar, the Open
// dialog's name field, and a session of a folder and three images that
// leaves standard error empty.
#include "ProgramFixture.h"

namespace {

class DialogsJourney : public ProgramTest {
protected:
    // Keys go to the window that has the input focus; without a window
    // manager nobody gives it to a new window, so the journey does.
    static void KeysTo(const std::string& window, const std::string& keys) {
        std::system(("xdotool windowfocus --sync " + window + " >/dev/null 2>&1").c_str());
        std::this_thread::sleep_for(200ms);
        std::system(("xdotool " + keys).c_str());
        std::this_thread::sleep_for(400ms);
    }
    // Keys to whatever has the focus (an open menu keeps it).
    static void Keys(const std::string& keys) {
        std::system(("xdotool " + keys).c_str());
        std::this_thread::sleep_for(400ms);
    }
    // Clicks at a point of a window, counted from its top-left corner.
    static void ClickAt(const std::string& window, int dx, int dy) {
        const std::optional<WindowBox> box = WindowGeometry(window);
        if (!box) {
            ADD_FAILURE() << "no window " << window << " to click";
            return;
        }
        const int px = dx >= 0 ? box->x + dx : box->x + box->width + dx;
        const int py = dy >= 0 ? box->y + dy : box->y + box->height + dy;
        std::system(("xdotool mousemove " + std::to_string(px) + " " + std::to_string(py) + " click 1").c_str());
        std::this_thread::sleep_for(500ms);
    }
    void Shot(const std::string& name) {
        std::this_thread::sleep_for(300ms);
        const fs::path shot = out_ / (name + ".png");
        EXPECT_EQ(std::system(("import -window root '" + shot.string() + "'").c_str()), 0) << name;
    }
    // The bars float in a cascade over one another; the two above the
    // Image Controls bar step aside.
    static void UncoverImageControls() {
        for (const char* bar : {"^Output Histogram$", "^Image Info$"}) {
            const std::string id = FindWindow(bar, 5);
            if (!id.empty()) std::system(("xdotool windowmove " + id + " 700 700").c_str());
        }
        std::this_thread::sleep_for(300ms);
    }
    // Closes the program as the window manager would and waits for its end.
    void CloseProgram(Process& p, const std::string& frame) {
        ASSERT_EQ(std::system((BinDir() / "wmdelete").string().append(" " + frame).c_str()), 0);
        EXPECT_EQ(WaitExit(p, 10s), 0) << ReadFile(p.stderrFile);
    }
};

// The ratio dialog's parts are width then height; a part of 0 keeps OK
// disabled; the menu and the bar show the whole label; choosing "Other" in
// the bar again reopens the dialog.
TEST_F(DialogsJourney, CropRatioWidthFirstAndReopenedFromTheBar) {
    Process p;
    const std::string frame = StartOnSampleFolder(p);
    ASSERT_FALSE(frame.empty());
    UncoverImageControls();

    // View > Crop Mode > Other...
    KeysTo(frame, "key alt+v");
    Keys("key r");
    Keys("key o");
    // The toolkit may open the submenu without entering it.
    if (FindWindow("^Crop Aspect Ratio$", 1).empty()) {
        Keys("key Right");
        Keys("key o");
    }
    std::string dialog = FindWindow("^Crop Aspect Ratio$", 5);
    ASSERT_FALSE(dialog.empty()) << "the menu did not open the dialog";
    KeysTo(dialog, "key ctrl+a type 16");
    KeysTo(dialog, "key Tab ctrl+a type 0");
    Shot("crop-zero-keeps-ok-disabled");
    // OK is the right-hand button; a click on it while disabled does nothing.
    ClickAt(dialog, -64, -28);
    EXPECT_TRUE(IsVisible("^Crop Aspect Ratio$")) << "OK took a part of 0";
    KeysTo(dialog, "key ctrl+a type 9");
    Shot("crop-16-by-9-typed");
    ClickAt(dialog, -64, -28);
    EXPECT_FALSE(IsVisible("^Crop Aspect Ratio$")) << "OK did not end the dialog";

    // The menu's item reads the ratio width first.
    KeysTo(frame, "key alt+v");
    Keys("key r");
    Shot("crop-menu-other-16-by-9");
    Keys("key Escape");
    Keys("key Escape");
    Shot("crop-bar-other-16-by-9");

    // The bar's crop choice shows "Other" already; a click opens its list
    // on that item and Enter chooses it again.
    const std::string controls = FindWindow("^Image Controls$", 5);
    ASSERT_FALSE(controls.empty());
    ClickAt(controls, 135, 88);
    Shot("crop-bar-list-open");
    Keys("key Return");
    dialog = FindWindow("^Crop Aspect Ratio$", 5);
    EXPECT_FALSE(dialog.empty()) << "choosing Other again in the bar did not open the dialog";
    if (!dialog.empty()) {
        Shot("crop-dialog-reopened-from-bar");
        KeysTo(dialog, "key Escape");
    }
    if (IsVisible("^Crop Aspect Ratio$")) ClickAt(FindWindow("^Crop Aspect Ratio$", 1), -150, -28);

    CloseProgram(p, frame);
    EXPECT_EQ(Setting("Last Used", "Crop Mode"), "8");
    EXPECT_EQ(Setting("Last Used", "Constrained Crop Width X 10000"), "160000");
    EXPECT_EQ(Setting("Last Used", "Constrained Crop Height X 10000"), "90000");
    EXPECT_EQ(ReadFile(p.stderrFile), "");
}

// Enter in the Open dialog's name field opens the file it names; the next
// Open starts in that file's folder, so a bare name of that folder opens,
// and the settings keep the folder.
TEST_F(DialogsJourney, OpenByEnterThenStartInTheFilesFolder) {
    const fs::path other = root_ / "Other Folder";
    fs::create_directories(other);
    fs::copy_file(sample_ / "PICTURE01.JPG", other / "ELSEWHERE.JPG");
    fs::copy_file(sample_ / "PICTURE02.JPG", other / "SECOND.JPG");
    Process p;
    const std::string frame = StartOnSampleFolder(p);
    ASSERT_FALSE(frame.empty());

    KeysTo(frame, "key ctrl+o");
    std::string open = FindWindow("^Open Zyn Lumora", 5);
    ASSERT_FALSE(open.empty()) << "no Open dialog";
    // The tree has the focus first; Tab leads to the name field.
    KeysTo(open, "key Tab");
    KeysTo(open, "type '" + (other / "ELSEWHERE.JPG").string() + "'");
    Shot("open-full-path-typed");
    KeysTo(open, "key Return");
    EXPECT_TRUE(WaitForName(frame, "Zyn Lumora - ELSEWHERE.JPG")) << WindowName(frame);
    EXPECT_FALSE(IsVisible("^Open Zyn Lumora")) << "Enter did not end the Open dialog";
    if (IsVisible("^Open Zyn Lumora")) KeysTo(open, "key Escape");

    KeysTo(frame, "key ctrl+o");
    open = FindWindow("^Open Zyn Lumora", 5);
    ASSERT_FALSE(open.empty()) << "no second Open dialog";
    Shot("open-starts-in-the-files-folder");
    KeysTo(open, "key Tab");
    KeysTo(open, "type SECOND.JPG");
    KeysTo(open, "key Return");
    EXPECT_TRUE(WaitForName(frame, "Zyn Lumora - SECOND.JPG")) << WindowName(frame);
    if (IsVisible("^Open Zyn Lumora")) KeysTo(open, "key Escape");

    CloseProgram(p, frame);
    EXPECT_EQ(Setting("Last Used", "LastFileOpenDialogPath"), other.string());
    EXPECT_EQ(ReadFile(p.stderrFile), "");
}

// A folder and three images (two finished files and a raw file) opened and
// closed again: the program writes nothing to standard error.
TEST_F(DialogsJourney, FolderAndThreeImagesLeaveStderrEmpty) {
    Process p;
    const std::string frame = StartOnSampleFolder(p);
    ASSERT_FALSE(frame.empty());
    std::vector<Process> handOvers;
    for (const char* name : {"PICTURE01.JPG", "SAMPLE01.ZYR", "PICTURE02.JPG"}) {
        Process later = Start({(sample_ / name).string()});
        EXPECT_EQ(WaitExit(later, kHandOver), 0) << ReadFile(later.stderrFile);
        EXPECT_TRUE(WaitForName(frame, std::string("Zyn Lumora - ") + name)) << WindowName(frame);
        handOvers.push_back(later);
    }
    std::this_thread::sleep_for(1s);
    Shot("quiet-folder-and-three-images");
    // File > Close, once for each image and once for the folder.
    for (const char* next : {"SAMPLE01.ZYR", "PICTURE01.JPG", "Sample Folder"}) {
        KeysTo(frame, "key alt+f");
        Keys("key c");
        EXPECT_TRUE(WaitForName(frame, std::string("Zyn Lumora - ") + next)) << WindowName(frame);
    }
    KeysTo(frame, "key alt+f");
    Keys("key c");
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(WindowName(frame).find("Sample Folder"), std::string::npos) << WindowName(frame);
    Shot("quiet-all-closed");
    CloseProgram(p, frame);
    EXPECT_EQ(ReadFile(p.stderrFile), "");
    for (const Process& later : handOvers) EXPECT_EQ(ReadFile(later.stderrFile), "");
}

} // namespace
