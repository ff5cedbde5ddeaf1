// Lumora installed into a temporary prefix (`cmake --install` with DESTDIR)
// and used from there as a photographer's desktop and an outside program use
// it: nothing of the build tree is reachable once installed, neither through
// the environment nor through the libraries the program loads.
#include "ProgramFixture.h"

#include "DriverSettings.h"

#include <algorithm>
#include <set>

namespace {

class InstallTest : public ProgramTest {
  protected:
    void SetUp() override {
        ProgramTest::SetUp();
        if (HasFatalFailure()) return;
        build_ = fs::canonical(BuildDir());
        dest_ = root_ / "dest";
        prefix_ = dest_ / "usr";
        const fs::path log = out_ / "install.txt";
        const std::string install = "DESTDIR='" + dest_.string() + "' '" LUMORA_CMAKE "' --install '" +
                                    build_.string() + "' --prefix /usr > '" + log.string() + "' 2>&1";
        ASSERT_EQ(std::system(install.c_str()), 0) << ReadFile(log);
        // The test itself runs with variables that point into the build tree;
        // what it starts from here on must not see them.
        for (const char* name :
             {"LUMORA_PROGRAM_DIR", "LUMORA_SYSTEM_DIR", "LUMORA_BUILD_DIR", "LUMORA_TEST_DATA",
              "LUMORA_CONFIG_FILE", "LUMORA_PREF_DIR", "LD_LIBRARY_PATH", "LD_PRELOAD"})
            unsetenv(name);
        // Nor the working folder CTest gave (a child inherits it and PWD).
        ASSERT_EQ(chdir(root_.c_str()), 0);
        setenv("PWD", root_.c_str(), 1);
        unsetenv("OLDPWD");
        for (char** e = environ; *e; ++e)
            ASSERT_EQ(std::string(*e).find(build_.string()), std::string::npos) << *e;
    }

    fs::path ProgramFolder() const { return prefix_ / "lib" / "lumora" / "bin"; }
    fs::path SystemFolder() const { return prefix_ / "share" / "lumora" / "system"; }

    // Runs a shell command with its output in a file of the test's folder;
    // the exit status and the output.
    std::pair<int, std::string> Run(const std::string& command, const std::string& name) const {
        const fs::path log = out_ / (name + ".txt");
        const int status = std::system((command + " > '" + log.string() + "' 2>&1").c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(log)};
    }

    fs::path build_, dest_, prefix_;
};

std::set<std::string> NamesIn(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (!entry.is_directory()) names.insert(fs::relative(entry.path(), folder).string());
    return names;
}

TEST_F(InstallTest, InstallsTheProgramItsModulesAndTheSystemFolderButNoTestTools) {
    const std::set<std::string> program{
        "Lumora",       "LumoraUIStrings.u16", "OrvexCMSC.so",   "PlugIns/ZynFolder.so", "TalpScale.so",
        "TalpSharp.so", "VrelSharpenLib.so",   "ZynPlover.so",   "ZynWren3.so",          "ZynWren4.so",
        "libKestra.so", "libLumoraVq.so",      "libORVEXCMS.so", "liblumora_platform.so"};
    EXPECT_EQ(NamesIn(ProgramFolder()), program);
    // The link in bin/ reaches the program, and the program's folder reaches
    // the system folder the way the program looks for it.
    EXPECT_EQ(fs::canonical(prefix_ / "bin" / "lumora"), fs::canonical(ProgramFolder() / "Lumora"));
    EXPECT_EQ(fs::canonical(ProgramFolder() / ".." / "share" / "lumora" / "system"),
              fs::canonical(SystemFolder()));
    EXPECT_TRUE(fs::is_regular_file(SystemFolder() / "VqAPI.prf"));
    EXPECT_TRUE(fs::is_directory(SystemFolder() / "orvex" / "vxfms"));
    const fs::path builtColours = build_ / "share" / "lumora" / "system" / "spool" / "drivers" / "color";
    const std::set<std::string> colours = NamesIn(SystemFolder() / "spool" / "drivers" / "color");
    EXPECT_EQ(colours, NamesIn(builtColours));
    EXPECT_TRUE(colours.count("ORVEX_sRGB.icm"));
    for (const char* header : {"Vq.h", "VqStatus.h", "VqImage.h", "Kestra.h"})
        EXPECT_TRUE(fs::is_regular_file(prefix_ / "include" / "lumora" / header)) << header;
    for (const char* size : {"16x16", "22x22", "24x24", "32x32", "48x48", "64x64", "128x128", "256x256"}) {
        const fs::path icon = prefix_ / "share" / "icons" / "hicolor" / size / "apps" / "lumora.png";
        EXPECT_EQ(Capture("identify -format %wx%h '" + icon.string() + "'"), size);
    }
    // Nothing that only the tests, the tools or the benchmarks use.
    for (const auto& entry : fs::recursive_directory_iterator(dest_)) {
        const std::string name = entry.path().filename().string();
        for (const char* test : {"Fake", "Test", "tests", "zyrwrite", "vqclient", "filtertool", "Setupapi",
                                 "Init101", "bench", "profilegen", "u16gen", "lumoraicon"})
            EXPECT_EQ(name.find(test), std::string::npos) << entry.path();
        EXPECT_NE(entry.path().extension(), ".a") << entry.path();
    }
}

template <typename T, size_t N> std::vector<double> Values(const T (&field)[N]) {
    return std::vector<double>(field, field + N);
}

// The installed settings file sets every key of every group, each to the value
// the camera interface has without a file: installing it changes no picture.
TEST_F(InstallTest, TheInstalledSettingsFileHoldsTheFactoryValues) {
    using lumora::vq::DriverSettings;
    using lumora::vq::SensorGroup;
    DriverSettings factory;
    factory.ApplyDefaults();
    DriverSettings installed; // every value 0 until the file sets it
    ASSERT_EQ(installed.LoadFile(SystemFolder() / DriverSettings::kFileName), 0u);
    for (int key = 0; key < DriverSettings::kKeyCount; ++key)
        EXPECT_TRUE(installed.KeyRead(key)) << key;
    for (SensorGroup group : {SensorGroup::M3, SensorGroup::M5, SensorGroup::M6}) {
        const auto& want = factory.Group(group);
        const auto& got = installed.Group(group);
        const std::vector<std::pair<std::vector<double>, std::vector<double>>> fields{
            {Values(want.hiSatMatrix), Values(got.hiSatMatrix)},
            {Values(want.loSatMatrix), Values(got.loSatMatrix)},
            {Values(want.rgbMatrix), Values(got.rgbMatrix)},
            {Values(want.mono), Values(got.mono)},
            {Values(want.color), Values(got.color)},
            {Values(want.irMono), Values(got.irMono)},
            {Values(want.others), Values(got.others)},
            {Values(want.daylight), Values(got.daylight)},
            {Values(want.tungsten), Values(got.tungsten)},
            {Values(want.fluorescent), Values(got.fluorescent)},
            {Values(want.flash), Values(got.flash)},
            {Values(want.none), Values(got.none)},
            {Values(want.tStart), Values(got.tStart)},
            {Values(want.tStop), Values(got.tStop)},
            {Values(want.cCenter), Values(got.cCenter)},
            {Values(want.sStart), Values(got.sStart)},
            {Values(want.sStop), Values(got.sStop)}};
        for (size_t f = 0; f < fields.size(); ++f)
            for (size_t i = 0; i < fields[f].first.size(); ++i)
                EXPECT_NEAR(fields[f].second[i], fields[f].first[i], 1e-12)
                    << "group " << int(group) << ", key " << f << ", value " << i;
    }
}

TEST_F(InstallTest, TheInstalledProgramOpensAFolderWithNothingOfTheBuildTree) {
    Process lumora = Start({sample_.string()}, root_, {}, prefix_ / "bin" / "lumora");
    const std::string frame = FindWindow("^Zyn Lumora");
    ASSERT_FALSE(frame.empty()) << ReadFile(lumora.stderrFile);
    EXPECT_TRUE(WaitForName(frame, "Zyn Lumora - Sample Folder")) << WindowName(frame);

    const std::string proc = "/proc/" + std::to_string(lumora.pid);
    std::string environment = ReadFile(proc + "/environ");
    std::replace(environment.begin(), environment.end(), '\0', '\n');
    EXPECT_EQ(environment.find(build_.string()), std::string::npos) << environment;
    EXPECT_EQ(environment.find("LUMORA_PROGRAM_DIR"), std::string::npos) << environment;
    const std::string maps = ReadFile(proc + "/maps");
    EXPECT_EQ(maps.find(build_.string()), std::string::npos);
    for (const char* library : {"libLumoraVq.so", "libORVEXCMS.so", "liblumora_platform.so"})
        EXPECT_NE(maps.find((ProgramFolder() / library).string()), std::string::npos) << library;

    // The slides are drawn: the frame alone, an empty sheet, has a few hundred
    // colours (its bars and texts); thumbnails bring thousands.
    const fs::path shot = out_ / "installed-frame.png";
    int colours = 0;
    for (int i = 0; i < 40 && colours <= 5000; ++i) {
        std::this_thread::sleep_for(250ms);
        ASSERT_EQ(std::system(("import -window " + frame + " '" + shot.string() + "'").c_str()), 0);
        colours = ColourCount(shot);
    }
    EXPECT_GT(colours, 5000);
    ASSERT_EQ(std::system(("import -window root '" + (out_ / "installed-screen.png").string() + "'").c_str()),
              0);
    EXPECT_EQ(WaitExit(lumora, 0ms), -1) << ReadFile(lumora.stderrFile);
}

TEST_F(InstallTest, TheDesktopEntryIsValidAndZyrFilesGetTheirOwnType) {
    const fs::path entry = prefix_ / "share" / "applications" / "lumora.desktop";
    auto [valid, complaints] = Run("desktop-file-validate '" + entry.string() + "'", "validate");
    EXPECT_EQ(valid, 0) << complaints;
    EXPECT_EQ(complaints, "");
    const std::string text = ReadFile(entry);
    for (const char* line : {"GenericName=Raw Photo Workstation\n", "Exec=lumora %F\n", "Icon=lumora\n",
                             "Categories=Graphics;Photography;\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line;
    for (const char* type : {"image/x-zyn-zyr;", "inode/directory;"})
        EXPECT_NE(text.find(type), std::string::npos) << type;

    const fs::path share = prefix_ / "share";
    auto [updated, updateLog] =
        Run("update-mime-database '" + (share / "mime").string() + "'", "update-mime");
    ASSERT_EQ(updated, 0) << updateLog;
    fs::copy_file(sample_ / "SAMPLE01.ZYR", root_ / "lower.zyr");
    // The desktop's own way of telling types (GIO), over the prefix's data
    // folders before the system's.
    auto query = [&](const fs::path& file) {
        return Capture("XDG_CURRENT_DESKTOP=GNOME XDG_DATA_DIRS='" + share.string() +
                       ":/usr/share' xdg-mime query filetype '" + file.string() + "' 2>&1");
    };
    EXPECT_EQ(query(sample_ / "SAMPLE01.ZYR"), "image/x-zyn-zyr");
    EXPECT_EQ(query(root_ / "lower.zyr"), "image/x-zyn-zyr");
    EXPECT_EQ(query(sample_ / "PICTURE01.JPG"), "image/jpeg");
    EXPECT_EQ(query(sample_), "inode/directory");
}

TEST_F(InstallTest, AnOutsideCProgramBuiltWithPkgConfigOpensARawFile) {
    // The prefix moved under DESTDIR: pkg-config is told where it is now.
    const std::string pkgConfig = "PKG_CONFIG_PATH='" + (prefix_ / "lib" / "pkgconfig").string() +
                                  "' pkg-config --define-variable=prefix='" + prefix_.string() + "' ";
    const fs::path program = root_ / "outside";
    const std::string compile = "'" LUMORA_C_COMPILER "' -std=c11 -Wall -Wextra -Werror -o '" +
                                program.string() + "' '" LUMORA_OUTSIDE_SOURCE "' $(" + pkgConfig +
                                "--cflags --libs lumora-vq) " + LUMORA_OUTSIDE_FLAGS;
    auto [built, buildLog] = Run(compile, "outside-build");
    ASSERT_EQ(built, 0) << buildLog;
    auto [vqFlags, vqLog] = Run(pkgConfig + "--cflags --libs lumora-vq", "vq-flags");
    EXPECT_EQ(vqFlags, 0) << vqLog;
    EXPECT_NE(vqLog.find("-I" + (prefix_ / "include" / "lumora").string()), std::string::npos) << vqLog;
    EXPECT_EQ(vqLog.find(build_.string()), std::string::npos) << vqLog;
    auto [kestraFlags, kestraLog] = Run(pkgConfig + "--cflags --libs kestra", "kestra-flags");
    EXPECT_EQ(kestraFlags, 0) << kestraLog;
    EXPECT_NE(kestraLog.find("-lKestra"), std::string::npos) << kestraLog;

    const std::string raw = (sample_ / "SAMPLE01.ZYR").string();
    // With the installed settings file, and without any.
    auto [withSettings, withOutput] =
        Run("LUMORA_SYSTEM_DIR='" + (prefix_ / "share" / "lumora" / "system").string() + "' '" +
                program.string() + "' '" + raw + "'",
            "outside-settings");
    auto [plain, plainOutput] = Run("'" + program.string() + "' '" + raw + "'", "outside-plain");
    ASSERT_EQ(withSettings, 0) << withOutput;
    ASSERT_EQ(plain, 0) << plainOutput;
    EXPECT_EQ(withOutput.substr(0, withOutput.find('\n')), "open 0x6F03") << withOutput;    // settings read
    EXPECT_EQ(plainOutput.substr(0, plainOutput.find('\n')), "open 0x6F02") << plainOutput; // defaults kept
    EXPECT_NE(withOutput.find("image 60x44 model ZYNM11"), std::string::npos) << withOutput;
    EXPECT_NE(withOutput.find("rendered 7920 bytes, sum "), std::string::npos) << withOutput;
    EXPECT_EQ(withOutput.substr(withOutput.find('\n')), plainOutput.substr(plainOutput.find('\n')));
}

} // namespace
