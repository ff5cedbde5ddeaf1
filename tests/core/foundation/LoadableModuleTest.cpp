#include "CoreTestSupport.h"
#include "LoadableModule.h"
#include "NbErrorCodes.h"
#include "TempFolder.h"
#include "WinDLLModule.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

using namespace NimbalCore;
using coretest::CodeOf;

namespace {

int NameOf(const YlmRefPtr<LoadableModule>& module) {
    auto fn = reinterpret_cast<int (*)()>(module->GetSymbol("CoreTestModuleName"));
    return fn ? fn() : 0;
}

} // namespace

TEST(LoadableModuleTest, LoadsEveryLibraryOfAFolder) {
    lumora::test::TempFolder tmp;
    std::filesystem::copy_file(CORE_TEST_MODULE_A, tmp.file("DriverA.so"));
    std::filesystem::copy_file(CORE_TEST_MODULE_B, tmp.file("DriverB.dll"));
    tmp.write("readme.txt", "not a library");
    std::filesystem::create_directory(tmp.file("sub"));
    const auto modules = LoadableModule::LoadAllInFolder(FilePathSpec(tmp.path()));
    ASSERT_EQ(modules.size(), 2u);
    EXPECT_EQ(NameOf(modules[0]), 'A'); // the listing's order
    EXPECT_EQ(NameOf(modules[1]), 'B');
    EXPECT_EQ(CodeOf([&] { LoadableModule::LoadAllInFolder(FilePathSpec(tmp.file("gone"))); }), NbErrPathStatFailed);
    EXPECT_EQ(CodeOf([&] { LoadableModule::LoadAllInFolder(FilePathSpec(tmp.file("readme.txt"))); }),
              NbErrNotAFolder);
}

TEST(LoadableModuleTest, CreateFromPathAndUnload) {
    lumora::test::TempFolder tmp;
    EXPECT_FALSE(LoadableModule::CreateFromPath(tmp.write("fake.so", "not a library").c_str()));
    EXPECT_FALSE(LoadableModule::CreateFromPath(tmp.file("missing.so").c_str()));
    EXPECT_FALSE(LoadableModule::CreateFromPath(nullptr));

    YlmRefPtr<LoadableModule> module = LoadableModule::CreateFromPath(CORE_TEST_MODULE_A);
    ASSERT_TRUE(module);
    EXPECT_TRUE(module->Load()); // loaded once
    EXPECT_EQ(NameOf(module), 'A');
    EXPECT_EQ(module->GetSymbol("NoSuchSymbol"), nullptr);
    EXPECT_EQ(module->GetSymbol(nullptr), nullptr);
    EXPECT_TRUE(module->Unload());
    EXPECT_TRUE(module->Unload());
    EXPECT_EQ(module->GetSymbol("CoreTestModuleName"), nullptr);
}

TEST(LoadableModuleTest, BareNamesComeFromTheProgramFolder) {
    // LumoraTestModule.so sits in the program folder (LUMORA_PROGRAM_DIR).
    YlmRefPtr<LoadableModule> module = LoadableModule::CreateFromPath("LumoraTestModule.dll");
    ASSERT_TRUE(module);
    auto answer = reinterpret_cast<int (*)()>(module->GetSymbol("LumoraTestModuleAnswer"));
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(), 42);
    EXPECT_FALSE(LoadableModule::CreateFromPath("NoSuchModule.dll"));
}
