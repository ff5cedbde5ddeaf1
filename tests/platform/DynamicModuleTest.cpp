#include "DynamicModule.h"
#include "TempFolder.h"
#include "Win32Error.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

using namespace lumora;

namespace {
// Points LUMORA_PROGRAM_DIR somewhere else for one test.
struct ProgramDir {
    std::string old;
    bool had;
    explicit ProgramDir(const std::string& dir) {
        const char* v = std::getenv("LUMORA_PROGRAM_DIR");
        had = v != nullptr;
        if (had) old = v;
        setenv("LUMORA_PROGRAM_DIR", dir.c_str(), 1);
    }
    ~ProgramDir() {
        if (had) setenv("LUMORA_PROGRAM_DIR", old.c_str(), 1);
        else unsetenv("LUMORA_PROGRAM_DIR");
    }
};
} // namespace

TEST(DynamicModule, FileNameForAName) {
    const struct { const char* name; const char* file; } cases[] = {
        {"OrvexCMSC", "OrvexCMSC.so"},  {"OrvexCMSC.dll", "OrvexCMSC.so"}, {"ZynWren4.DLL", "ZynWren4.so"},
        {"TalpSharp.so", "TalpSharp.so"}, {"a.b", "a.b.so"},
    };
    for (const auto& c : cases) EXPECT_EQ(DynamicModule::fileNameFor(c.name), c.file) << c.name;
}

TEST(DynamicModule, LoadsByNameFromTheProgramFolderAndBindsFunctions) {
    for (const char* name : {"LumoraTestModule", "LumoraTestModule.dll"}) {
        uint32_t err = 99;
        std::string detail;
        auto m = DynamicModule::load(name, err, nullptr, &detail);
        ASSERT_TRUE(m) << name << ": " << detail;
        EXPECT_EQ(err, 0u);
        auto fn = m->function<int (*)()>("LumoraTestModuleAnswer", err);
        ASSERT_NE(fn, nullptr);
        EXPECT_EQ(err, 0u);
        EXPECT_EQ(fn(), 42);
        EXPECT_EQ(m->symbol("NoSuchEntryPoint", err), nullptr);
        EXPECT_EQ(err, win32::ERROR_PROC_NOT_FOUND);
    }
}

TEST(DynamicModule, MissingOrBrokenModulesAreErrors) {
    test::TempFolder dir;
    ProgramDir pd(dir.path());
    uint32_t err = 0;
    std::string detail;
    EXPECT_FALSE(DynamicModule::load("LumoraNoSuchModule", err, nullptr, &detail));
    EXPECT_EQ(err, win32::ERROR_MOD_NOT_FOUND);
    EXPECT_FALSE(detail.empty());

    dir.write("Broken.so", "this is not a shared object");
    err = 0;
    EXPECT_FALSE(DynamicModule::load("Broken.dll", err, nullptr, &detail));
    EXPECT_EQ(err, win32::ERROR_MOD_NOT_FOUND);
    EXPECT_NE(detail.find("Broken.so"), std::string::npos) << detail;
}

TEST(DynamicModule, ProgramFolderFollowsTheEnvironment) {
    test::TempFolder dir;
    {
        ProgramDir pd(dir.path().string() + "/");
        EXPECT_EQ(DynamicModule::programFolder(), dir.path());
    }
    ProgramDir none("");
    unsetenv("LUMORA_PROGRAM_DIR");
    const auto exe = std::filesystem::read_symlink("/proc/self/exe");
    EXPECT_EQ(DynamicModule::programFolder(), exe.parent_path().string());
}

TEST(DynamicModule, ALibraryFindsModulesInItsOwnFolder) {
    test::TempFolder dir;
    ProgramDir pd(dir.path()); // the program folder holds nothing
    uint32_t err = 0;
    // Any address inside the platform library: its folder is build/bin.
    const void* anchor = reinterpret_cast<const void*>(&DynamicModule::programFolder);
    auto m = DynamicModule::load("LumoraTestModule", err, anchor);
    ASSERT_TRUE(m);
    const std::string bin = std::filesystem::canonical(std::getenv("LUMORA_BUILD_DIR") + std::string("/bin")).string();
    EXPECT_EQ(m->path(), bin + "/LumoraTestModule.so");
}
