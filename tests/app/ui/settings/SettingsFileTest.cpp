#include "WxProfileStore.h"

#include "GuiTest.h"
#include "ProfileItemManager.h"

#include <gtest/gtest.h>

#include <clocale>
#include <sys/wait.h>

namespace {

std::string Section(const std::string& text, const std::string& name) {
    const size_t start = text.find("[" + name + "]");
    if (start == std::string::npos) return {};
    const size_t end = text.find("\n[", start + 1);
    return text.substr(start, end == std::string::npos ? std::string::npos : end - start + 1);
}

void WriteSequence() {
    ProfileItemManager pm;
    pm.SetRect(PI_TOOLBAR_POSITION, 10, 20, 300, 60);
    pm.SetDouble(PI_RESIZE_PIXEL_WIDTH, 1280.5);
    pm.SetInt(PI_CROP_HEIGHT_X10000, 15000);
    pm.SetString(PI_WORKING_SPACE_NAME, "ORVEX sRGB Display");
    pm.SetInt(PI_TIFF_OUTPUT_MODE, -1);
    pm.SetString(PI_SEND_TO_FOLDER, "$HOME/Photos \"send\" 100%");
}

TEST(SettingsFile, WritesTheExpectedLinesInTheCLocale) {
    // The test program runs with a decimal-comma locale where one exists;
    // make the process itself use it for this test too.
    const char* old = std::setlocale(LC_NUMERIC, nullptr);
    const std::string previous = old ? old : "C";
    std::setlocale(LC_NUMERIC, "fr_FR.UTF-8");
    gui::TempSettings settings;
    settings.Install();
    WriteSequence();
    std::setlocale(LC_NUMERIC, previous.c_str());

    const std::string section = Section(settings.Read(), "Last Used");
    for (const char* line : {"ToolBarPosition=10 20 300 60\n", "resize pixel width=1280.500\n",
                             "Constrained Crop Height X 10000=15000\n",
                             "RGB Working Space Name=ORVEX sRGB Display\n", "TIFF Output Mode=-1\n"})
        EXPECT_NE(section.find(line), std::string::npos) << line << "\n" << section;
    // Written at once: nothing left to flush, and no temporary file left.
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(settings.Dir())) files += entry.is_regular_file();
    EXPECT_EQ(files, 1);
}

TEST(SettingsFile, AnotherProcessReadsEveryValueBack) {
    gui::TempSettings settings;
    settings.Install();
    WriteSequence();
    const pid_t child = fork();
    if (child == 0) {
        WxProfileStore store(settings.File());
        ProfileStore::SetCurrent(&store);
        ProfileItemManager pm;
        IntRect r;
        pm.GetRect(PI_TOOLBAR_POSITION, r);
        double d = 0;
        pm.GetDouble(PI_RESIZE_PIXEL_WIDTH, d);
        int crop = 0, mode = 0;
        pm.GetInt(PI_CROP_HEIGHT_X10000, crop);
        pm.GetInt(PI_TIFF_OUTPUT_MODE, mode);
        std::string folder;
        pm.GetString(PI_SEND_TO_FOLDER, folder);
        const bool ok = r == IntRect{10, 20, 300, 60} && d == 1280.5 && crop == 15000 && mode == -1 &&
                        folder == "$HOME/Photos \"send\" 100%";
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(SettingsFile, HandEditedUnknownValuesStay) {
    gui::TempSettings settings;
    settings.Write("# my notes\n[Last Used]\nUnknown Key=keep me\nJPEGImageQuality=2\n"
                   "[Somebody Else]\nx y=1\n\n[MainFrame Position]\nwp.left=5\n");
    settings.Install();
    int quality = 0;
    ProfileItemManager().GetInt(PI_JPEG_IMAGE_QUALITY, quality);
    EXPECT_EQ(quality, 2);
    ProfileItemManager().SetInt(PI_JPEG_IMAGE_QUALITY, 1);
    const std::string text = settings.Read();
    for (const char* kept : {"# my notes", "Unknown Key=keep me", "[Somebody Else]", "x y=1", "wp.left=5",
                             "JPEGImageQuality=1"})
        EXPECT_NE(text.find(kept), std::string::npos) << kept << "\n" << text;
}

TEST(SettingsFile, ALinkedSettingsFileStaysALink) {
    gui::TempSettings settings;
    const auto real = settings.Dir() / "real.conf";
    std::ofstream(real) << "[Last Used]\nJPEGImageQuality=2\n";
    std::filesystem::create_symlink(real, settings.File());
    settings.Install();
    ProfileItemManager().SetInt(PI_JPEG_IMAGE_QUALITY, 1);
    EXPECT_TRUE(std::filesystem::is_symlink(settings.File()));
    std::ifstream in(real);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("JPEGImageQuality=1"), std::string::npos);
}

TEST(SettingsFile, UnreadableValuesReadAsTheDefault) {
    gui::TempSettings settings;
    settings.Write("[Last Used]\nImage Info Panel Height=tall\nImage Info Panel Width=99999999999\n"
                   "Allow Docking= 0 \nresize pixel width=abc\nToolBarPosition=1 2 3\n");
    settings.Install();
    ProfileItemManager pm;
    int height = 0, width = 0, docking = 1;
    pm.GetInt(PI_IMAGE_INFO_HEIGHT, height);
    pm.GetInt(PI_IMAGE_INFO_WIDTH, width);
    pm.GetInt(PI_ALLOW_DOCKING, docking);
    EXPECT_EQ(height, 533);
    EXPECT_EQ(width, 225);
    EXPECT_EQ(docking, 0);
    double d = 3.0;
    pm.GetDouble(PI_RESIZE_PIXEL_WIDTH, d);
    EXPECT_EQ(d, 3.0);
    IntRect r{9, 9, 9, 9};
    pm.GetRect(PI_TOOLBAR_POSITION, r);
    EXPECT_TRUE(r.IsAllZero());
}

TEST(SettingsFile, NamesKeepTheirSpacesAndOtherEscapesStay) {
    EXPECT_EQ(WxProfileStore::UnescapeNames("[Last\\ Used]\nA\\ B=c\\ d\n"), "[Last Used]\nA B=c\\ d\n");
    EXPECT_EQ(WxProfileStore::UnescapeNames("a\\=b\\ c=1\n"), "a\\=b c=1\n");
    EXPECT_EQ(WxProfileStore::UnescapeNames("\\ lead=1\n"), "\\ lead=1\n");
    EXPECT_EQ(WxProfileStore::UnescapeNames("; comment\\ x\n"), "; comment\\ x\n");
}

TEST(SettingsFile, ProgramFormatsNumbersWithAPointAfterTheToolkitStarted) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%1.5f", 2.5);
    EXPECT_STREQ(buffer, "2.50000");
    EXPECT_EQ(wxString::Format("%.3f", 640.0), "640.000");
    EXPECT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
}

} // namespace
