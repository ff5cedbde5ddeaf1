// The Lumora program as a user starts it, on a display of its own
// (Xvfb, 1600 x 1200): the main frame with its bars and the sample folder's
// contact sheet, the hand-over of a second start, a start after the first
// was killed, the hidden automation start, the settings written at close and
// read at the next start, and the installation check of a program folder
// that lacks a driver library.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

fs::path BuildDir() { return Env("LUMORA_BUILD_DIR"); }
fs::path BinDir() { return BuildDir() / "bin"; }

// Runs a shell command; its standard output.
std::string Capture(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
        pclose(pipe);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
    return out;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

struct Process {
    pid_t pid = -1;
    fs::path stderrFile;
};

// The display, settings and runtime folders of one test.
class ProgramTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        xvfb_ = fork();
        if (xvfb_ == 0) {
            close(fds[0]);
            const std::string fd = std::to_string(fds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1600x1200x24", "-nolisten", "tcp",
                   static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        // The server writes its display number and a newline once it is
        // ready (possibly in pieces); the pipe stays open until then.
        std::string number;
        char c = 0;
        while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        close(fds[0]);
        ASSERT_FALSE(number.empty()) << "Xvfb did not start";
        display_ = ":" + number;
        setenv("DISPLAY", display_.c_str(), 1);
    }

    static void TearDownTestSuite() {
        if (xvfb_ > 0) {
            kill(xvfb_, SIGTERM);
            waitpid(xvfb_, nullptr, 0);
        }
    }

    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        out_ = BuildDir() / "tests" / "output" / "program" / info->name();
        fs::remove_all(out_);
        fs::create_directories(out_);
        root_ = fs::temp_directory_path() / ("lumora-program-" + std::to_string(getpid()) + "-" + info->name());
        fs::remove_all(root_);
        fs::create_directories(root_ / "config");
        fs::create_directories(root_ / "runtime");
        fs::permissions(root_ / "runtime", fs::perms::owner_all);
        sample_ = root_ / "Sample Folder";
        ASSERT_EQ(std::system(("bash '" + std::string(LUMORA_SOURCE_DIR) + "/scripts/sample-folder' '" +
                               BuildDir().string() + "' '" + sample_.string() + "'")
                                  .c_str()),
                  0);
    }

    void TearDown() override {
        for (Process& p : started_) {
            if (p.pid > 0 && kill(p.pid, 0) == 0) {
                kill(p.pid, SIGKILL);
                waitpid(p.pid, nullptr, 0);
            }
        }
        fs::remove_all(root_);
    }

    fs::path SettingsFile() const { return root_ / "config" / "Orvex" / "Lumora.conf"; }

    // Starts the program with the arguments from a working folder.
    Process Start(const std::vector<std::string>& args, const fs::path& cwd = {},
                  const std::map<std::string, std::string>& extraEnv = {}, const fs::path& program = {}) {
        Process p;
        p.stderrFile = out_ / ("stderr-" + std::to_string(started_.size()) + ".txt");
        p.pid = fork();
        if (p.pid == 0) {
            if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
            setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
            setenv("XDG_RUNTIME_DIR", (root_ / "runtime").c_str(), 1);
            unsetenv("LUMORA_CONFIG_FILE");
            setenv("NO_AT_BRIDGE", "1", 1);
            // The toolkit's caches live until the process ends (a
            // sanitizer build would report them as leaks at exit).
            setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
            for (const auto& [k, v] : extraEnv) setenv(k.c_str(), v.c_str(), 1);
            FILE* err = fopen(p.stderrFile.c_str(), "w");
            if (err) dup2(fileno(err), 2);
            const std::string exe = program.empty() ? (BinDir() / "Lumora").string() : program.string();
            std::vector<char*> argv{const_cast<char*>(exe.c_str())};
            for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(exe.c_str(), argv.data());
            _exit(127);
        }
        started_.push_back(p);
        return p;
    }

    // The exit status, or -1 when the process still runs after the time.
    static int WaitExit(Process& p, std::chrono::milliseconds limit) {
        const auto end = std::chrono::steady_clock::now() + limit;
        for (;;) {
            int status = 0;
            const pid_t r = waitpid(p.pid, &status, WNOHANG);
            if (r == p.pid) {
                p.pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            if (std::chrono::steady_clock::now() > end) return -1;
            std::this_thread::sleep_for(20ms);
        }
    }

    // The visible window whose name matches, waiting up to the time; "" when
    // none appears.
    static std::string FindWindow(const std::string& namePattern, int seconds = 15) {
        return Capture("timeout " + std::to_string(seconds) + " xdotool search --sync --onlyvisible --name '" +
                       namePattern + "' 2>/dev/null | head -1");
    }
    static std::string WindowName(const std::string& id) { return Capture("xdotool getwindowname " + id); }
    // Waits until the window's name matches exactly.
    static bool WaitForName(const std::string& id, const std::string& name, int seconds = 10) {
        for (int i = 0; i < seconds * 10; ++i) {
            if (WindowName(id) == name) return true;
            std::this_thread::sleep_for(100ms);
        }
        return false;
    }
    static bool IsVisible(const std::string& namePattern) {
        return !Capture("xdotool search --onlyvisible --name '" + namePattern + "' 2>/dev/null | head -1").empty();
    }

    // A value of the settings file's section.
    std::string Setting(const std::string& section, const std::string& name) const {
        std::istringstream in(ReadFile(SettingsFile()));
        std::string line, current;
        while (std::getline(in, line)) {
            if (!line.empty() && line.front() == '[') {
                current = line.substr(1, line.find(']') - 1);
                continue;
            }
            const size_t eq = line.find('=');
            if (eq == std::string::npos || current != section) continue;
            std::string key = line.substr(0, eq);
            // The writer escapes spaces in names.
            std::string plain;
            for (size_t i = 0; i < key.size(); ++i) {
                if (key[i] == '\\' && i + 1 < key.size()) ++i;
                plain += key[i];
            }
            if (plain == name) return line.substr(eq + 1);
        }
        return "";
    }
    std::string Section(const std::string& name) const {
        std::string escaped;
        for (char c : name) {
            if (c == ' ') escaped += "\\ ";
            else escaped += c;
        }
        return escaped;
    }

    static std::string xvfbDisplay() { return display_; }

    inline static pid_t xvfb_ = -1;
    inline static std::string display_;
    fs::path out_, root_, sample_;
    std::vector<Process> started_;
};

// A later start hands over within five seconds; a sanitizer build starts
// its processes several times slower.
#if defined(__SANITIZE_ADDRESS__)
constexpr auto kHandOver = 25s;
#else
constexpr auto kHandOver = 5s;
#endif

// The whole screen's picture has content: many colours, not one flat fill.
int ColourCount(const fs::path& png) {
    return std::atoi(Capture("identify -format %k '" + png.string() + "'").c_str());
}

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
