// The Lumora program started as a user starts it, on a display of its own
// (Xvfb, 1600 x 1200), with settings and runtime folders of its own test and
// a generated sample folder; the helpers find its windows with xdotool.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

inline std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

inline fs::path BuildDir() { return Env("LUMORA_BUILD_DIR"); }
inline fs::path BinDir() { return BuildDir() / "bin"; }

// Runs a shell command; its standard output.
inline std::string Capture(const std::string& command) {
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

// A window's place and size on the screen, from xdotool; nothing when there
// is no such window.
struct WindowBox {
    int x = 0, y = 0, width = 0, height = 0;
};
inline std::optional<WindowBox> WindowGeometry(const std::string& id) {
    const std::string g = Capture("xdotool getwindowgeometry --shell " + id + " 2>/dev/null");
    const auto value = [&g](const char* key) -> std::optional<int> {
        const size_t at = g.find(std::string("\n") + key + "=");
        if (at == std::string::npos) return std::nullopt;
        return std::atoi(g.c_str() + at + std::strlen(key) + 2);
    };
    const auto x = value("X"), y = value("Y"), w = value("WIDTH"), h = value("HEIGHT");
    if (!x || !y || !w || !h) return std::nullopt;
    return WindowBox{*x, *y, *w, *h};
}

inline std::string ReadFile(const fs::path& path) {
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

    // Starts the program on the sample folder and waits until its frame
    // names the folder: the frame's window id, or "" when it does not come
    // (the test has then failed).
    std::string StartOnSampleFolder(Process& p) {
        p = Start({sample_.string()});
        const std::string frame = FindWindow("^Zyn Lumora");
        if (frame.empty()) {
            ADD_FAILURE() << "no frame: " << ReadFile(p.stderrFile);
            return "";
        }
        if (!WaitForName(frame, "Zyn Lumora - Sample Folder")) {
            ADD_FAILURE() << "the frame reads " << WindowName(frame);
            return "";
        }
        return frame;
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

// A picture of the whole display, taken after the time the program is given
// to finish drawing.
inline void Shoot(const fs::path& png, std::chrono::milliseconds settle = 0ms) {
    std::this_thread::sleep_for(settle);
    ASSERT_EQ(std::system(("import -window root '" + png.string() + "'").c_str()), 0);
}

// The whole screen's picture has content: many colours, not one flat fill.
inline int ColourCount(const fs::path& png) {
    return std::atoi(Capture("identify -format %k '" + png.string() + "'").c_str());
}
