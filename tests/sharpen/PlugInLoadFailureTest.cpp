// A sharpen library whose plug-in refuses its description unloads the
// plug-in before answering 703, so nothing of it stays in the process.
#include "VrelSharpenBinding.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

namespace NimbalCore {
namespace {

TEST(VrelSharpenLoad, RefusedDescriptionUnloadsThePlugInAndAnswers703) {
    const char* bin = std::getenv("LUMORA_PROGRAM_DIR");
    ASSERT_NE(bin, nullptr);
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("sharpen_load_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    fs::create_symlink(fs::path(bin) / "VrelSharpenLib.so", dir / "VrelSharpenLib.so");
    fs::create_symlink(fs::path(bin) / "FakePlugInOTHERPROCESS.so", dir / "TalpSharp.so");
    const std::string saved = bin;
    setenv("LUMORA_PROGRAM_DIR", dir.c_str(), 1);
    unsetenv("FAKE_PLUGIN_LOG");

    VrelSharpenProcs p{};
    ASSERT_EQ(LoadVrelSharpenLib("VrelSharpenLib", &p), 0);
    SharpenLibrary* library = reinterpret_cast<SharpenLibrary*>(1);
    EXPECT_EQ(p.initialize(0, &library), 703);
    EXPECT_EQ(library, nullptr);
    const char* log = std::getenv("FAKE_PLUGIN_LOG");
    EXPECT_STREQ(log ? log : "", "info;unload;");
    UnloadVrelSharpenLib(&p);

    setenv("LUMORA_PROGRAM_DIR", saved.c_str(), 1);
    fs::remove_all(dir);
}

} // namespace
} // namespace NimbalCore
