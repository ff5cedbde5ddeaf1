// Binding the model driver libraries, the folder scan and the image pool's
// start-up statuses for the drivers.
#include "ProTestSupport.h"

#include "NbErrorCodes.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace {

using namespace NimbalCore;
namespace fs = std::filesystem;

std::string ProgramDir() {
    const char* dir = std::getenv("LUMORA_PROGRAM_DIR");
    return dir ? dir : ".";
}

TEST(BBPlugIn, NamedDriverBindsAsAFileDriver) {
    YlmRefPtr<BBPlugIn> plugIn(new BBPlugIn(LoadableModule::CreateFromPath("ZynWren3.dll")));
    ASSERT_TRUE(plugIn->Bind());
    EXPECT_TRUE(plugIn->IsFileDriver());
    EXPECT_FALSE(plugIn->IsCameraDriver());
    EXPECT_NE(plugIn->AllocImage, nullptr);
    EXPECT_EQ(plugIn->reserved, nullptr);
}

TEST(BBPlugIn, MissingModuleOrRequiredExportIsNotUsable) {
    YlmRefPtr<BBPlugIn> none(new BBPlugIn(YlmRefPtr<LoadableModule>()));
    EXPECT_FALSE(none->Bind());
    YlmRefPtr<BBPlugIn> noKelvin(
        new BBPlugIn(LoadableModule::CreateFromPath((protest::FaultFolder() + "/ZynNoKelvin.so").c_str())));
    EXPECT_FALSE(noKelvin->Bind());
    EXPECT_NE(noKelvin->SampleBalance, nullptr);  // bound, but not enough
    EXPECT_EQ(noKelvin->SampleBalanceKelvin, nullptr);
}

TEST(BBPlugIn, FolderKeepsOnlyPlugInsThatInitialiseWithZero) {
    lumora::test::TempFolder folder;
    fs::create_symlink(ProgramDir() + "/PlugIns/ZynFolder.so", folder.path() / "a.so");
    fs::create_symlink(protest::FaultFolder() + "/ZynInit108.so", folder.path() / "b.so");
    fs::create_symlink(protest::FaultFolder() + "/ZynNoKelvin.so", folder.path() / "c.so");
    folder.write("d.txt", "not a library");
    const auto list = BBPlugIn::LoadFolder(FilePathSpec(folder.path().string()));
    ASSERT_EQ(list.size(), 1u);
    EXPECT_NE(list[0]->GetContext(), 0);
}

TEST(BBPlugIn, EmptyOrMissingFolderGivesNoPlugIns) {
    lumora::test::TempFolder folder;
    EXPECT_TRUE(BBPlugIn::LoadFolder(FilePathSpec(folder.path().string())).empty());
    EXPECT_TRUE(BBPlugIn::LoadFolder(FilePathSpec((folder.path() / "PlugIns").string())).empty());
}

TEST(BBPlugIn, ExtensionIsReadFromTheDriverWithoutDotAndUpperCased) {
    auto plugIn = protest::PlugInFromFile(ProgramDir() + "/PlugIns/ZynFolder.so");
    ASSERT_TRUE(plugIn);
    EXPECT_TRUE(plugIn->AcceptsExtension("ZPX"));
    EXPECT_FALSE(plugIn->AcceptsExtension("ZYR"));
    EXPECT_FALSE(plugIn->AcceptsExtension("zpx"));
    // A named driver has no extension attribute: it accepts nothing.
    auto named = protest::PlugInFromFile(ProgramDir() + "/ZynWren4.so");
    ASSERT_TRUE(named);
    EXPECT_FALSE(named->AcceptsExtension("ZYR"));
    EXPECT_EQ(named->TerminateContext(), 0);
    EXPECT_EQ(named->GetContext(), 0);
}

TEST(DriverStartup, DriversNextToTheProgramStartWithStatusZero) {
    ImagePool* pool = protest::Pool();
    EXPECT_EQ(pool->wren3DriverStatus, 0);
    EXPECT_EQ(pool->ploverDriverStatus, 0);
    EXPECT_EQ(pool->wren4DriverStatus, 0);
    ASSERT_EQ(ProImage::GetFolderPlugIns().size(), 1u);
    EXPECT_TRUE(ProImage::GetFolderPlugIns()[0]->AcceptsExtension("ZPX"));
}

TEST(DriverStartup, MissingRefusedAndFaultyDriversGiveTheirStatuses) {
    protest::Pool();
    lumora::test::TempFolder program;
    fs::create_symlink(protest::FaultFolder() + "/ZynInit101.so", program.path() / "ZynWren3.so");
    fs::create_symlink(protest::FaultFolder() + "/ZynInit108.so", program.path() / "ZynWren4.so");
    // A driver file that is not a library. (A driver missing from the program
    // folder would still be found next to the platform library, which in a
    // build tree is another folder than the test's program folder.)
    program.write("ZynPlover.so", "not a library");
    fs::create_directory(program.path() / "PlugIns");
    fs::create_symlink(protest::FaultFolder() + "/ZynInit108.so", program.path() / "PlugIns" / "x.so");
    const std::string saved = ProgramDir();
    ImagePool::DeleteInstance();
    ::setenv("LUMORA_PROGRAM_DIR", program.path().c_str(), 1);
    ImagePool* pool = ImagePool::Instance();
    EXPECT_EQ(pool->wren3DriverStatus, NbErrDriverInitRefused);
    EXPECT_EQ(pool->wren4DriverStatus, 0) << "a named driver accepts 108";
    EXPECT_EQ(pool->ploverDriverStatus, NbErrLibraryFailed);
    EXPECT_TRUE(ProImage::GetFolderPlugIns().empty()) << "a folder plug-in answering 108 is dropped";
    ImagePool::DeleteInstance();
    ::setenv("LUMORA_PROGRAM_DIR", saved.c_str(), 1);
    pool = ImagePool::Instance();
    EXPECT_EQ(pool->wren3DriverStatus, 0);
    EXPECT_EQ(pool->ploverDriverStatus, 0);
    EXPECT_EQ(ProImage::GetFolderPlugIns().size(), 1u);
}

TEST(DriverStartup, ClosingADriverThatNeverStartedDoesNothing) {
    protest::Pool();
    ImagePool::DeleteInstance();  // closes all three
    EXPECT_NO_THROW(ProImage::CloseWren3Driver());
    EXPECT_NO_THROW(ProImage::ClosePloverDriver());
    EXPECT_NO_THROW(ProImage::CloseWren4Driver());
    ImagePool::Instance();
}

} // namespace
