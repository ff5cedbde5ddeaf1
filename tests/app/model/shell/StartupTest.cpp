#include "AutomationServer.h"
#include "CommandLine.h"
#include "FakeShell.h"
#include "InstallationCheck.h"
#include "RuntimeFolder.h"
#include "SecondInstance.h"
#include "ShutdownSequence.h"
#include "StartupSequence.h"
#include "YlmErrp.h"
#include "YlmError.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <functional>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// Message boxes that record the text and the icon.
class RecordingBoxes : public MessageBoxService {
public:
    int Show(const std::string& text, const std::string&, Buttons) override {
        shown.push_back(text);
        icons.push_back(kNoIcon);
        return kAnswerOk;
    }
    int ShowWithIcon(const std::string& text, const std::string&, Buttons, Icon icon) override {
        shown.push_back(text);
        icons.push_back(icon);
        return kAnswerOk;
    }
    std::vector<std::string> shown;
    std::vector<Icon> icons;
};

TEST(CommandLine, FlagsPrintsAndPaths) {
    const CommandLine line = ParseCommandLine(
        {"--automation", "sub", "/abs/other", "--register", "--print", "a.zyr", "--print-to", "/b.tif", "Office",
         "--unregister", "../up/x.jpg", "", "--frobnicate", "./dot/"},
        "/home/ann/photos");
    EXPECT_TRUE(line.automation);
    EXPECT_FALSE(line.embedding);
    EXPECT_TRUE(line.StartsHidden());
    // Relative paths are made absolute here: the first instance has its own
    // working folder.
    EXPECT_EQ(line.paths, (std::vector<std::string>{"/home/ann/photos/sub", "/abs/other", "/home/ann/up/x.jpg",
                                                     "/home/ann/photos/--frobnicate", "/home/ann/photos/dot"}));
    EXPECT_EQ(line.prints, (std::vector<PrintRequest>{{"/home/ann/photos/a.zyr", ""}, {"/b.tif", "Office"}}));
    EXPECT_TRUE(line.error.empty());

    EXPECT_TRUE(ParseCommandLine({"--embedding"}, "/").embedding);
    EXPECT_FALSE(ParseCommandLine({"--print"}, "/").error.empty());
    EXPECT_FALSE(ParseCommandLine({"--print-to", "a.tif"}, "/").error.empty());
    EXPECT_TRUE(ParseCommandLine({}, "/").paths.empty());
}

class TempDir {
public:
    TempDir() {
        path = fs::temp_directory_path() / ("lumora-rt-" + std::to_string(::getpid()) + "-" + std::to_string(++count));
        fs::create_directories(path);
    }
    ~TempDir() { fs::remove_all(path); }
    fs::path path;
    static inline int count = 0;
};

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    ::lstat(path.c_str(), &st);
    return st.st_mode & 0777;
}

TEST(RuntimeFolder, PrivateFolderMadeAndChecked) {
    TempDir xdg, tmp;
    const uid_t me = ::getuid();
    RuntimeFolder folder = ResolveRuntimeFolder(xdg.path.c_str(), tmp.path.c_str(), me);
    EXPECT_EQ(folder.path, (xdg.path / "lumora").string());
    EXPECT_EQ(ModeOf(folder.path), 0700u);
    // Again: the folder is there and is ours.
    EXPECT_EQ(ResolveRuntimeFolder(xdg.path.c_str(), tmp.path.c_str(), me).path, folder.path);

    // Without XDG_RUNTIME_DIR: a folder of this user in TMPDIR.
    folder = ResolveRuntimeFolder("", tmp.path.c_str(), me);
    EXPECT_EQ(folder.path, (tmp.path / ("lumora-" + std::to_string(me))).string());
    EXPECT_EQ(ModeOf(folder.path), 0700u);

    // One that others may enter, or that belongs to someone else, or a
    // link, is refused.
    ::chmod(folder.path.c_str(), 0755);
    RuntimeFolder open = ResolveRuntimeFolder(nullptr, tmp.path.c_str(), me);
    EXPECT_TRUE(open.path.empty());
    EXPECT_NE(open.error.find("other users"), std::string::npos);
    ::chmod(folder.path.c_str(), 0700);
    // Asked for another user, this user's folder is not theirs.
    fs::rename(folder.path, tmp.path / ("lumora-" + std::to_string(me + 1)));
    RuntimeFolder other = ResolveRuntimeFolder(nullptr, tmp.path.c_str(), me + 1);
    EXPECT_TRUE(other.path.empty());
    EXPECT_NE(other.error.find("another user"), std::string::npos);
    fs::create_directory(tmp.path / "elsewhere", tmp.path);
    ::chmod((tmp.path / "elsewhere").c_str(), 0700);
    fs::create_directory_symlink(tmp.path / "elsewhere", tmp.path / ("lumora-" + std::to_string(me + 2)));
    EXPECT_TRUE(ResolveRuntimeFolder(nullptr, tmp.path.c_str(), me + 2).path.empty());
    EXPECT_TRUE(ResolveRuntimeFolder(nullptr, (tmp.path / "missing" / "deeper").c_str(), me).path.empty());

    EXPECT_EQ(AutomationSocketPath("/run/user/1000/lumora"), "/run/user/1000/lumora/Lumora");
    EXPECT_EQ(AutomationSocketPath(""), "");
    EXPECT_EQ(AutomationSocketPath("/" + std::string(120, 'x')), "");
}

// A first instance as the second one sees it: a script of lock answers and
// a server that becomes ready after a number of polls.
class ScriptedTransport : public InstanceTransport {
public:
    class Connection : public InstanceConnection {
    public:
        explicit Connection(ScriptedTransport& t) : t_(t) {}
        bool Request(const std::string& item, std::string& answer) override {
            t_.log.push_back("Request " + item);
            if (t_.failAt == t_.log.size()) return false;
            if (item == "Ready") answer = t_.polls >= t_.readyAfter ? "1" : "0";
            else if (item == "Visible") answer = t_.visible ? "1" : "0";
            return true;
        }
        bool Poke(const std::string& item, const std::string& value) override {
            t_.log.push_back("Poke " + item + " " + value);
            if (t_.failAt == t_.log.size()) return false;
            if (item == "Visible") t_.visible = value == "1";
            return true;
        }
        bool Execute(const std::string& command) override {
            t_.log.push_back("Execute " + command);
            return t_.failAt != t_.log.size();
        }

    private:
        ScriptedTransport& t_;
    };

    bool TryTakeLock() override {
        if (lockFreeAfter >= 0 && polls >= lockFreeAfter) return true;
        return false;
    }
    std::unique_ptr<InstanceConnection> Connect() override {
        ++polls;
        if (polls <= refuseConnections) return nullptr;
        return std::make_unique<Connection>(*this);
    }
    void SleepMs(int ms) override { slept.push_back(ms); }

    int polls = 0;
    int readyAfter = 0;
    int refuseConnections = 0;
    int lockFreeAfter = -1;  // never
    size_t failAt = 0;       // the log entry that fails (1-based); 0 none
    bool visible = true;
    std::vector<std::string> log;
    std::vector<int> slept;
};

TEST(SecondInstance, WaitsForReadyThenForwardsEveryPath) {
    ScriptedTransport t;
    t.refuseConnections = 1;  // the server is not up yet
    t.readyAfter = 3;
    t.visible = false;  // an automation start
    RecordingBoxes boxes;
    const SecondInstanceResult r = RunSecondInstance(t, "/run/lumora/Lumora", {"/home/ann/sub", "/abs/other"}, boxes);
    EXPECT_EQ(r.outcome, SecondInstanceResult::kForwarded);
    EXPECT_EQ(t.slept, (std::vector<int>{100, 100}));
    EXPECT_EQ(t.log, (std::vector<std::string>{"Request Ready", "Request Ready", "Execute Raise", "Request Visible",
                                                "Poke Visible 1", "Poke OpenFolder /home/ann/sub", "Request Visible",
                                                "Poke OpenFolder /abs/other"}));
    EXPECT_TRUE(boxes.shown.empty());

    // No paths: only brought forward.
    ScriptedTransport plain;
    EXPECT_EQ(RunSecondInstance(plain, "/s", {}, boxes).outcome, SecondInstanceResult::kForwarded);
    EXPECT_EQ(plain.log, (std::vector<std::string>{"Request Ready", "Execute Raise"}));
}

TEST(SecondInstance, FreeLockMeansStartingAsTheFirst) {
    // The first instance failed its start-up (never ready) and then ended:
    // the wait stops as soon as the lock is free.
    ScriptedTransport t;
    t.readyAfter = 1000000;
    t.lockFreeAfter = 5;
    RecordingBoxes boxes;
    EXPECT_EQ(RunSecondInstance(t, "/s", {"/a"}, boxes).outcome, SecondInstanceResult::kStartAsFirst);
    EXPECT_EQ(t.polls, 5);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST(SecondInstance, Failures) {
    RecordingBoxes boxes;
    ScriptedTransport t;
    SecondInstanceResult r = RunSecondInstance(t, "", {"/a"}, boxes);
    EXPECT_EQ(r.outcome, SecondInstanceResult::kFailed);
    EXPECT_EQ(r.message, "IDS_ERR_LOOKUP_PROGID");
    EXPECT_TRUE(t.log.empty());

    // The connection breaks after Ready: nothing more is sent.
    for (size_t failAt : {2u, 4u, 5u}) {
        ScriptedTransport broken;
        broken.failAt = failAt;
        broken.visible = false;
        r = RunSecondInstance(broken, "/s", {"/a", "/b"}, boxes);
        EXPECT_EQ(r.outcome, SecondInstanceResult::kFailed) << failAt;
        EXPECT_EQ(r.message, "IDS_ERR_NO_LM_EXE");
        EXPECT_EQ(broken.log.size(), failAt);
    }
    EXPECT_EQ(boxes.shown.back(), "IDS_ERR_NO_LM_EXE");
}

class FakeTarget : public AutomationTarget {
public:
    bool IsMainFrameVisible() override { return visible; }
    void ShowMainFrame(bool show) override {
        visible = show;
        log.push_back(show ? "show" : "hide");
    }
    void OpenDocument(const std::string& path) override { log.push_back("open " + path); }
    void BringForward() override { log.push_back("raise"); }
    bool visible = false;
    std::vector<std::string> log;
};

TEST(AutomationServer, Items) {
    FakeProfileStore store;
    FakeTarget target;
    AutomationServer server(target);
    std::string answer;
    EXPECT_TRUE(server.OnRequest("Ready", answer));
    EXPECT_EQ(answer, "0");
    server.SetReady();
    EXPECT_TRUE(server.OnRequest("Ready", answer));
    EXPECT_EQ(answer, "1");
    EXPECT_TRUE(server.OnRequest("Visible", answer));
    EXPECT_EQ(answer, "0");
    EXPECT_FALSE(server.OnRequest("Nothing", answer));

    EXPECT_TRUE(server.OnPoke("Visible", "0"));  // already hidden: nothing
    EXPECT_TRUE(server.OnPoke("Visible", "1"));
    EXPECT_TRUE(server.OnPoke("Visible", "1"));
    EXPECT_FALSE(server.OnPoke("Visible", "yes"));
    EXPECT_TRUE(server.OnPoke("OpenFolder", "/home/ann/sub"));
    EXPECT_FALSE(server.OnPoke("OpenFolder", ""));
    EXPECT_TRUE(server.OnExecute("Raise"));
    EXPECT_FALSE(server.OnExecute("Quit"));
    EXPECT_EQ(target.log, (std::vector<std::string>{"show", "open /home/ann/sub", "raise"}));
    EXPECT_EQ(store.Value("LastFileOpenDialogPath"), "/home/ann/sub");
}

TEST(InstallationCheck, Table) {
    struct Case {
        const char* what;
        std::function<void(InstallationStatus&)> set;
        InstallationVerdict verdict;
        const char* message;
    } cases[] = {
        {"all well", [](InstallationStatus&) {}, InstallationVerdict::kOk, nullptr},
        {"no core", [](InstallationStatus& s) { s.havePool = false; s.wren3Driver = 5; }, InstallationVerdict::kNoCore, nullptr},
        {"Wren3", [](InstallationStatus& s) { s.wren3Driver = 1303; }, InstallationVerdict::kNotInstalled, "60047"},
        {"Wren4", [](InstallationStatus& s) { s.wren4Driver = -1; }, InstallationVerdict::kNotInstalled, "60047"},
        {"Plover", [](InstallationStatus& s) { s.ploverDriver = 2; }, InstallationVerdict::kNotInstalled, "60047"},
        {"sharpen", [](InstallationStatus& s) { s.sharpenLibrary = 2; }, InstallationVerdict::kNotInstalled, "60047"},
        {"scale", [](InstallationStatus& s) { s.scalePlugIn = 2; }, InstallationVerdict::kNotInstalled, "60047"},
        {"colour engine", [](InstallationStatus& s) { s.colorEngine = 1731; }, InstallationVerdict::kNotInstalled, "60047"},
        {"profile", [](InstallationStatus& s) { s.missingProfiles = {"ORVEX sRGB.icc"}; }, InstallationVerdict::kNotInstalled, "60047"},
        {"both", [](InstallationStatus& s) { s.cameraInterface = 3; s.scalePlugIn = 2; }, InstallationVerdict::kNotInstalled, "60047"},
        {"older cameras", [](InstallationStatus& s) { s.cameraInterface = 3; }, InstallationVerdict::kOlderCameraInterface, "60046"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        InstallationStatus status;
        status.havePool = true;
        c.set(status);
        RecordingBoxes boxes;
        std::string english;
        EXPECT_EQ(CheckInstallation(status, boxes, &english), c.verdict);
        if (!c.message) {
            EXPECT_TRUE(boxes.shown.empty());
            continue;
        }
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(english, boxes.shown[0]);
        if (std::string(c.message) == "60047") {
            EXPECT_EQ(english, "Lumora is not properly installed.\nFiles needed by Lumora are missing.\nPlease use "
                               "the installer to correct this problem.");
            EXPECT_EQ(boxes.icons[0], MessageBoxService::kStop);
        } else {
            EXPECT_NE(english.find("older camera models"), std::string::npos);
        }
    }
}

// The program's steps, recorded.
class RecordingSteps : public StartupSteps {
public:
    void OpenSettings() override { log.push_back("settings"); }
    bool RunSplash() override {
        log.push_back("splash");
        return frameMade;
    }
    void SetAppName(const std::string& name) override { log.push_back("name " + name); }
    void LoadRecentFiles() override { log.push_back("recent"); }
    void RegisterTemplates() override { log.push_back("templates"); }
    bool LoadMainFrame() override {
        log.push_back("frame");
        return frameLoads;
    }
    void StartAutomationServer() override { log.push_back("server"); }
    void CreateCore() override {
        log.push_back("core");
        if (coreThrows) coreThrows();
    }
    InstallationStatus ReadInstallation() override {
        log.push_back("check");
        return installation;
    }
    void AddToRecentFiles(const std::string& path) override { log.push_back("mru " + path); }
    void SetUserControl(bool user) override { log.push_back(user ? "user" : "no user"); }
    bool OpenDocument(const std::string& path) override {
        log.push_back("open " + path);
        return opens;
    }
    bool PrintDocument(const PrintRequest& r) override {
        log.push_back("print " + r.path + " " + r.printer);
        return true;
    }
    void ShowMainFrame() override { log.push_back("show"); }
    void SetReady() override { log.push_back("ready"); }
    void UpdateSendToMenuItem() override { log.push_back("send to"); }

    bool frameMade = true, frameLoads = true, opens = true;
    std::function<void()> coreThrows;
    InstallationStatus installation = [] {
        InstallationStatus s;
        s.havePool = true;
        return s;
    }();
    std::vector<std::string> log;
};

class FirstTransport : public ScriptedTransport {
public:
    bool TryTakeLock() override { return true; }
};

TEST(Startup, FirstInstanceInOrder) {
    RecordingSteps steps;
    FirstTransport lock;
    RecordingBoxes boxes;
    std::ostringstream err;
    const StartupResult r = RunStartup(steps, lock, {"sub"}, "/home/ann", "/run/lumora/Lumora", boxes, err);
    EXPECT_TRUE(r.run);
    EXPECT_TRUE(r.firstInstance);
    EXPECT_EQ(steps.log, (std::vector<std::string>{"settings", "splash", "name Zyn Lumora", "recent", "templates",
                                                    "frame", "server", "core", "check", "mru /home/ann/sub",
                                                    "open /home/ann/sub", "user", "show", "ready", "send to"}));
    EXPECT_TRUE(err.str().empty());
}

TEST(Startup, AutomationStartStaysHidden) {
    RecordingSteps steps;
    FirstTransport lock;
    RecordingBoxes boxes;
    std::ostringstream err;
    const StartupResult r = RunStartup(steps, lock, {"--automation"}, "/", "/s", boxes, err);
    EXPECT_TRUE(r.run);
    EXPECT_EQ(steps.log.back(), "no user");
    for (const std::string& step : steps.log) EXPECT_NE(step, "show");
}

TEST(Startup, PrintingEndsTheProgram) {
    RecordingSteps steps;
    FirstTransport lock;
    RecordingBoxes boxes;
    std::ostringstream err;
    const StartupResult r = RunStartup(steps, lock, {"--print-to", "a.tif", "Office"}, "/p", "/s", boxes, err);
    EXPECT_FALSE(r.run);
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(steps.log.back(), "print /p/a.tif Office");
}

TEST(Startup, CoreThatThrowsIsReported) {
    struct Case {
        const char* what;
        std::function<void()> thrower;
        const char* code;
    } cases[] = {
        {"core error", [] { YLM_THROW("ImagePool::Instance", 1303); }, "error 1303"},
        {"bare int", [] { throw 1711; }, "error 1711"},
        {"anything", [] { throw std::runtime_error("bad_alloc"); }, "error bad_alloc"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RecordingSteps steps;
        steps.coreThrows = c.thrower;
        FirstTransport lock;
        RecordingBoxes boxes;
        std::ostringstream err;
        const StartupResult r = RunStartup(steps, lock, {}, "/", "/s", boxes, err);
        EXPECT_FALSE(r.run);
        EXPECT_EQ(r.exitStatus, 1);
        EXPECT_EQ(steps.log.back(), "core");  // no check, no frame shown
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.icons[0], MessageBoxService::kStop);
        EXPECT_NE(err.str().find("Lumora is not properly installed."), std::string::npos);
        EXPECT_NE(err.str().find(c.code), std::string::npos) << err.str();
    }
}

TEST(Startup, FailuresEndWithStatusOne) {
    RecordingBoxes boxes;
    std::ostringstream err;
    FirstTransport lock;
    {
        RecordingSteps steps;
        steps.installation.wren3Driver = 1303;
        const StartupResult r = RunStartup(steps, lock, {}, "/", "/s", boxes, err);
        EXPECT_EQ(r.exitStatus, 1);
        EXPECT_FALSE(r.run);
        EXPECT_EQ(steps.log.back(), "check");
        EXPECT_NE(err.str().find("Files needed by Lumora are missing."), std::string::npos);
    }
    {
        RecordingSteps steps;
        steps.installation.cameraInterface = 4;
        err.str("");
        EXPECT_EQ(RunStartup(steps, lock, {}, "/", "/s", boxes, err).exitStatus, 1);
        EXPECT_NE(err.str().find("older camera models"), std::string::npos);
    }
    for (int which = 0; which < 3; ++which) {
        RecordingSteps steps;
        steps.frameMade = which != 0;
        steps.frameLoads = which != 1;
        steps.opens = which != 2;
        const StartupResult r = RunStartup(steps, lock, {"/a"}, "/", "/s", boxes, err);
        EXPECT_FALSE(r.run) << which;
        EXPECT_EQ(r.exitStatus, 1) << which;
    }
    RecordingSteps steps;
    EXPECT_EQ(RunStartup(steps, lock, {"--print"}, "/", "/s", boxes, err).exitStatus, 1);
}

TEST(Startup, SecondInstanceForwardsWithoutSplash) {
    RecordingSteps steps;
    ScriptedTransport t;
    RecordingBoxes boxes;
    std::ostringstream err;
    const StartupResult r = RunStartup(steps, t, {"sub", "/abs/other"}, "/work/b", "/s", boxes, err);
    EXPECT_FALSE(r.run);
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_FALSE(r.firstInstance);
    EXPECT_EQ(steps.log, (std::vector<std::string>{"settings", "name Zyn Lumora"}));
    EXPECT_EQ(t.log[3], "Poke OpenFolder /work/b/sub");

    // The first instance went away while this one waited: it starts as
    // the first itself.
    RecordingSteps takeOver;
    ScriptedTransport gone;
    gone.readyAfter = 1000;
    gone.lockFreeAfter = 2;
    const StartupResult first = RunStartup(takeOver, gone, {"sub"}, "/work/b", "/s", boxes, err);
    EXPECT_TRUE(first.run);
    EXPECT_TRUE(first.firstInstance);
    EXPECT_EQ(takeOver.log[2], "splash");
    EXPECT_EQ(takeOver.log[takeOver.log.size() - 5], "open /work/b/sub");

    // A second instance that cannot reach the first ends with 1 and says so.
    RecordingSteps lost;
    ScriptedTransport noName;
    err.str("");
    EXPECT_EQ(RunStartup(lost, noName, {}, "/", "", boxes, err).exitStatus, 1);
    EXPECT_NE(err.str().find("IDS_ERR_LOOKUP_PROGID"), std::string::npos);
}

class RecordingShutdown : public ShutdownSteps {
public:
    void StopSound() override { log.push_back("sound"); }
    void StopAutomationServer() override { log.push_back("server"); }
    void DeleteImagePool() override {
        log.push_back("pool");
        if (poolThrows) throw 5;
    }
    void DeleteMemoryPool() override { log.push_back("memory"); }
    void BaseExit() override { log.push_back("exit"); }
    bool poolThrows = false;
    std::vector<std::string> log;
};

TEST(Shutdown, StepsInOrder) {
    RecordingShutdown first;
    RunShutdown(first, true);
    EXPECT_EQ(first.log, (std::vector<std::string>{"sound", "server", "pool", "memory", "exit"}));
    RecordingShutdown second;
    second.poolThrows = true;
    RunShutdown(second, false);
    EXPECT_EQ(second.log, (std::vector<std::string>{"sound", "pool", "exit"}));
}

} // namespace
