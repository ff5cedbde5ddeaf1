// Save Balance File over a test image that says why it cannot, or writes:
// the message of each reason, names of 8 and 9 characters, Cancel, a
// failing write, and the folder the save dialog opens in.
#include "FakeImage.h"
#include "FakeSheetSeams.h"
#include "NbErrorCodes.h"
#include "TempFolder.h"
#include "WhiteBalanceFileCommand.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

class BalanceFileImage : public coretest::FakeImage {
public:
    BalanceFileImage() : FakeImage("/card/DCIM/A.ZYR") {}
    bool CanWhiteBalanceFileBeSaved(int* reason) override {
        *reason = refusal;
        return refusal < 0;
    }
    void WriteWhiteBalanceFile(const NimbalCore::FilePathSpec& path) override {
        if (failWrite) YLM_THROW("BalanceFileImage::WriteWhiteBalanceFile", NimbalCore::NbErrImageFileOpenFailed);
        written.push_back(path.GetPath());
    }
    int refusal = -1;
    bool failWrite = false;
    std::vector<std::string> written;
};

class ScriptedBalanceDialog : public WhiteBalanceFileCommand::SaveDialog {
public:
    std::optional<std::string> AskPath(const std::string& filter, const std::string& folder,
                                       const std::string& fileName) override {
        asks.push_back(filter + " @ " + folder + " : " + fileName);
        return answer;
    }
    std::optional<std::string> answer;
    std::vector<std::string> asks;
};

TEST(WhiteBalanceFile, EachReasonHasItsMessageAndNoDialog) {
    struct Row {
        int reason;
        std::string message;
    } rows[] = {
        {0, "Cannot save the white balance for images from this camera model."},
        {1, "Cannot save the white balance for images from camera firmware older than version 3.0."},
        {2, "Cannot save the white balance because the image is in JPEG format."},
        {3, "Cannot save the white balance because the image is in a finished file."},
        {4, "This image must be click-balanced before the white balance can be saved."},
        {5, "This image must be click balanced or the lighting set to \"At Capture\" before the white balance can "
            "be saved."},
        {6, "Cannot save the white balance because the image is monochrome."},
        {7, "Unable to Save White Balance File."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.reason);
        sheettest::SheetBoxes boxes;
        BalanceFileImage image;
        image.refusal = row.reason;
        ScriptedBalanceDialog dialog;
        WhiteBalanceFileCommand::Run(&image, "/", true, dialog);
        EXPECT_EQ(boxes.texts, std::vector<std::string>{row.message});
        EXPECT_TRUE(dialog.asks.empty());
        EXPECT_TRUE(image.written.empty());
    }
}

TEST(WhiteBalanceFile, NamesOfEightCharactersAreWrittenLongerOnesRefusedOnce) {
    struct Row {
        std::optional<std::string> chosen;
        bool failWrite;
        std::vector<std::string> written;
        std::vector<std::string> messages;
    } rows[] = {
        {"/card/ABCDEFGH.wb", false, {"/card/ABCDEFGH.wb"}, {}},
        {"/card/ABCDEFGHI.wb", false, {},
         {"The file name \"ABCDEFGHI\" exceeds 8 characters in length.\nCustom White Balance file names must be "
          "of the form \"Name.wb\", where \"Name\" is 8 characters or less."}},
        {std::nullopt, false, {}, {}},
        {"/card/A.wb", true, {}, {"Unable to Save White Balance File."}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.chosen.value_or("cancel"));
        sheettest::SheetBoxes boxes;
        BalanceFileImage image;
        image.failWrite = row.failWrite;
        ScriptedBalanceDialog dialog;
        dialog.answer = row.chosen;
        WhiteBalanceFileCommand::Run(&image, "/", false, dialog);
        EXPECT_EQ(dialog.asks,
                  std::vector<std::string>{"Zyn White Balance (*.wb)|*.wb|All files (*.*)|| @ / : untitled.wb"});
        EXPECT_EQ(image.written, row.written);
        EXPECT_EQ(boxes.texts, row.messages);
    }
}

TEST(WhiteBalanceFile, TheDialogOpensAtTheMountPointOfTheDocumentsFileSystem) {
    lumora::test::TempFolder temp;
    const std::string folder = temp.file("DCIM");
    std::filesystem::create_directories(folder + "/100ZYN");
    const std::string deep = folder + "/100ZYN";
    const std::string mount = WhiteBalanceFileCommand::InitialFolder(deep);
    // An ancestor on the same device whose parent is on another (or the root).
    ASSERT_EQ(deep.rfind(mount, 0), 0u) << mount;
    struct stat here {}, top {}, above {};
    ASSERT_EQ(::stat(deep.c_str(), &here), 0);
    ASSERT_EQ(::stat(mount.c_str(), &top), 0);
    EXPECT_EQ(here.st_dev, top.st_dev);
    const std::string parent = std::filesystem::path(mount).parent_path().string();
    if (mount != "/") {
        ASSERT_EQ(::stat(parent.c_str(), &above), 0);
        EXPECT_NE(above.st_dev, top.st_dev);
    }
    // A file's own file system too; a path that cannot be read stays as it is.
    EXPECT_EQ(WhiteBalanceFileCommand::InitialFolder(temp.write("DCIM/A.ZYR", "raw")), mount);
    EXPECT_EQ(WhiteBalanceFileCommand::InitialFolder("/no/such/card/DCIM"), "/no/such/card/DCIM");
    EXPECT_EQ(WhiteBalanceFileCommand::InitialFolder("/"), "/");
}

} // namespace
