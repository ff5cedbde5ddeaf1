#include "Locations.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <optional>
#include <string>

#include <unistd.h>

using lumora::Locations;
namespace fs = std::filesystem;

namespace {

// Sets or clears environment variables for one test and puts them back.
class Env {
public:
    void set(const char* name, const char* value) {
        if (!saved_.count(name)) {
            const char* old = std::getenv(name);
            saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
        }
        if (value) ::setenv(name, value, 1);
        else ::unsetenv(name);
    }
    ~Env() {
        for (auto& [name, value] : saved_) {
            if (value) ::setenv(name.c_str(), value->c_str(), 1);
            else ::unsetenv(name.c_str());
        }
    }

private:
    std::map<std::string, std::optional<std::string>> saved_;
};

} // namespace

TEST(Locations, OverridesWin) {
    Env env;
    env.set("LUMORA_PROGRAM_DIR", "/opt/a/bin");
    env.set("LUMORA_SYSTEM_DIR", "/srv/system");
    env.set("LUMORA_CONFIG_FILE", "/etc/l.conf");
    env.set("LUMORA_PREF_DIR", "/var/pref");
    env.set("TMPDIR", "/scratch");
    env.set("XDG_RUNTIME_DIR", "/run/user/7");
    EXPECT_EQ(Locations::ProgramDir(), fs::path("/opt/a/bin"));
    EXPECT_EQ(Locations::SystemDir(), fs::path("/srv/system"));
    EXPECT_EQ(Locations::ColorDir(), fs::path("/srv/system/spool/drivers/color"));
    EXPECT_EQ(Locations::ConfigFile(), fs::path("/etc/l.conf"));
    EXPECT_EQ(Locations::PrefDir(), fs::path("/var/pref"));
    EXPECT_EQ(Locations::TempDir(), fs::path("/scratch"));
    EXPECT_EQ(Locations::RuntimeDir(), fs::path("/run/user/7/lumora"));
}

TEST(Locations, DefaultsWhenUnsetOrEmpty) {
    Env env;
    env.set("LUMORA_PROGRAM_DIR", "");  // empty means unset
    env.set("LUMORA_SYSTEM_DIR", nullptr);
    env.set("LUMORA_CONFIG_FILE", nullptr);
    env.set("LUMORA_PREF_DIR", nullptr);
    env.set("XDG_CONFIG_HOME", "/home/u/.cfg");
    env.set("TMPDIR", nullptr);
    env.set("XDG_RUNTIME_DIR", nullptr);

    const fs::path exe = fs::read_symlink("/proc/self/exe");
    EXPECT_EQ(Locations::ProgramDir(), exe.parent_path());
    EXPECT_EQ(Locations::SystemDir(), (exe.parent_path().parent_path() / "share/lumora/system"));
    EXPECT_EQ(Locations::ConfigFile(), fs::path("/home/u/.cfg/Orvex/Lumora.conf"));
    EXPECT_EQ(Locations::PrefDir(), fs::path("/home/u/.cfg/orvex"));
    EXPECT_EQ(Locations::TempDir(), fs::path("/tmp"));
    EXPECT_EQ(Locations::RuntimeDir(), fs::path("/tmp/lumora-" + std::to_string(::getuid())));

    env.set("XDG_CONFIG_HOME", nullptr);
    env.set("HOME", "/home/v");
    EXPECT_EQ(Locations::ConfigFile(), fs::path("/home/v/.config/Orvex/Lumora.conf"));
    EXPECT_EQ(Locations::PrefDir(), fs::path("/home/v/.config/orvex"));
}

TEST(Locations, TemporaryFilesAreNewAndInTheTemporaryFolder) {
    Env env;
    const lumora::test::TempFolder folder;
    const std::string made = folder.path().string();
    env.set("TMPDIR", made.c_str());
    fs::path a, b;
    const int fa = Locations::CreateTempFile("vq", a);
    const int fb = Locations::CreateTempFile("vq", b);
    ASSERT_GE(fa, 0);
    ASSERT_GE(fb, 0);
    EXPECT_NE(a, b);
    EXPECT_EQ(a.parent_path(), fs::path(made));
    EXPECT_EQ(a.filename().string().rfind("vq", 0), 0u);
    EXPECT_EQ(fs::file_size(a), 0u);
    ::close(fa);
    ::close(fb);

    fs::path bad("left");
    EXPECT_EQ(Locations::CreateTempFile("../x", bad), -1);
    EXPECT_TRUE(bad.empty());
}
