// The screen's profile comes from the X11 root window's "_ICC_PROFILE"
// property; the tests set that property on the test display themselves.
#include "ScreenProfileReader.h"

#include "ColorEngine.h"

#include <gtest/gtest.h>
// After gtest: Xlib's macros (None, Bool, Status) would rename gtest's types.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

class ScreenProfileReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        display_ = XOpenDisplay(nullptr);
        ASSERT_NE(display_, nullptr) << "no X display";
        atom_ = XInternAtom(display_, "_ICC_PROFILE", False);
        folder_ = fs::temp_directory_path() / ("screenprofile-" + std::to_string(getpid()));
        fs::create_directories(folder_);
    }
    void TearDown() override {
        if (display_) {
            XDeleteProperty(display_, DefaultRootWindow(display_), atom_);
            XCloseDisplay(display_);
        }
        fs::remove_all(folder_);
        NimbalCore::ColorEngine::SetDisplayProfileHook(nullptr);
    }
    void Publish(const std::vector<unsigned char>& bytes, int format = 8) {
        XChangeProperty(display_, DefaultRootWindow(display_), atom_, XA_CARDINAL, format, PropModeReplace,
                        bytes.data(), int(bytes.size() / (format / 8)));
        XSync(display_, False);
    }
    void Withdraw() {
        XDeleteProperty(display_, DefaultRootWindow(display_), atom_);
        XSync(display_, False);
    }
    static std::vector<unsigned char> Read(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    Display* display_ = nullptr;
    Atom atom_ = None;
    fs::path folder_;
};

TEST_F(ScreenProfileReaderTest, CopiesThePublishedBytesAndForgetsThemWhenWithdrawn) {
    // An odd length and every byte value: nothing is lost to word padding.
    std::vector<unsigned char> bytes(70001);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<unsigned char>(i * 7);
    Publish(bytes);
    const std::string path = ScreenProfileReader::ReadIntoFolder(folder_.string());
    ASSERT_EQ(path, ScreenProfileReader::FileIn(folder_.string()));
    EXPECT_EQ(Read(path), bytes);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 1); // no temporary left

    Withdraw();
    EXPECT_EQ(ScreenProfileReader::ReadIntoFolder(folder_.string()), "");
    EXPECT_FALSE(fs::exists(path));
}

TEST_F(ScreenProfileReaderTest, OnlyAByteArrayIsAProfile) {
    const std::vector<unsigned char> words(64, 1);
    Publish(words, 32);
    EXPECT_EQ(ScreenProfileReader::ReadIntoFolder(folder_.string()), "");
    // A display that cannot be reached is a screen without a profile.
    EXPECT_EQ(ScreenProfileReader::ReadIntoFolder(folder_.string(), ":4711"), "");
    // A folder that cannot be written to gives no profile either.
    Publish(std::vector<unsigned char>(200, 3));
    EXPECT_EQ(ScreenProfileReader::ReadIntoFolder((folder_ / "missing").string()), "");
}

TEST_F(ScreenProfileReaderTest, TheColourEngineLoadsTheScreensProfile) {
    const char* program = std::getenv("LUMORA_PROGRAM_DIR");
    ASSERT_NE(program, nullptr);
    const fs::path look =
        fs::path(program).parent_path() / "share/lumora/system/spool/drivers/color/ZynProductGrayscale.icm";
    ASSERT_TRUE(fs::exists(look)) << look;
    NimbalCore::ColorEngine* engine = NimbalCore::ColorEngine::Instance(0, 1);
    ASSERT_EQ(engine->GetStartupStatus(), 0);
    ScreenProfileReader::Install(folder_.string());
    EXPECT_FALSE(engine->GetDisplayProfile()); // nothing published yet

    Publish(Read(look));
    NimbalCore::YlmRefPtr<NimbalCore::ColorSpaceDesc> screen = engine->GetDisplayProfile();
    ASSERT_TRUE(screen);
    EXPECT_EQ(Read(ScreenProfileReader::FileIn(folder_.string())), Read(look));
}

} // namespace
