// Writes into an open image's file change bytes the file already has: when the
// file was removed or cut short while the image was open, every in-place
// write (the settings record, the description, the stored camera setting)
// answers an error and neither creates the file again nor grows it.
#include "VqSession.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr uintmax_t kCutLength = 64;  // ahead of every field the writes touch

std::vector<uint8_t> RawFile() {
    ZyrSampleOptions o;
    o.version = 0x01000000;
    ZyrWriter w(o.order);
    const ZyrSample::Ifds d = ZyrSample::Fill(w, o);
    w.Longs(d.privateIfd, 1002, {0}, 9);  // the camera setting that can be written back
    return w.Build();
}

struct Write {
    const char* what;
    std::function<uint32_t(ImageInfoRecord*)> run;
};

struct FileChange {
    const char* what;
    std::function<void(const std::string&)> apply;
    bool exists;
};

} // namespace

TEST(SaveRemovedFile, InPlaceWritesAnswerAnErrorAndLeaveTheFileAsTheyFoundIt) {
    const Write writes[] = {
        {"settings record", [](ImageInfoRecord* r) {
             EXPECT_EQ(VqSetRotateType(r, 90.0f), 0u);
             return VqSaveProcessParameters(r);
         }},
        {"description", [](ImageInfoRecord* r) { return VqSetImageDescription(r, 5, "Hello"); }},
        {"stored camera setting", [](ImageInfoRecord* r) {
             return VqSetExtension(r, 3, reinterpret_cast<void*>(uintptr_t(1)), 0, 0, 0, 0);
         }},
    };
    const FileChange changes[] = {
        {"file removed", [](const std::string& p) { ASSERT_EQ(::unlink(p.c_str()), 0); }, false},
        {"file cut short", [](const std::string& p) { fs::resize_file(p, kCutLength); }, true},
    };
    VqSession session;
    lumora::test::TempFolder dir;
    for (const FileChange& change : changes) {
        for (const Write& write : writes) {
            SCOPED_TRACE(std::string(write.what) + ", " + change.what);
            const std::string path = WriteFile(dir, "a.tif", RawFile());
            ImageInfoRecord info = EmptyRecord();
            ASSERT_EQ(VqOpenImageFile(path.c_str(), &info), 0u);
            change.apply(path);

            EXPECT_NE(write.run(&info), 0u);
            EXPECT_EQ(fs::exists(path), change.exists);
            if (change.exists) {
                EXPECT_EQ(fs::file_size(path), kCutLength);
            }
            EXPECT_EQ(VqCloseImage(&info), 0u);
            fs::remove(path);
        }
    }
}

TEST(SaveRemovedFile, TheSameWritesStillWorkOnAnIntactFile) {
    VqSession session;
    lumora::test::TempFolder dir;
    const std::string path = WriteFile(dir, "a.tif", RawFile());
    const uintmax_t size = fs::file_size(path);
    ImageInfoRecord info = EmptyRecord();
    ASSERT_EQ(VqOpenImageFile(path.c_str(), &info), 0u);
    EXPECT_EQ(VqSetRotateType(&info, 90.0f), 0u);
    EXPECT_EQ(VqSaveProcessParameters(&info), 0u);
    EXPECT_EQ(VqSetImageDescription(&info, 5, "Hello"), 0u);
    EXPECT_EQ(VqSetExtension(&info, 3, reinterpret_cast<void*>(uintptr_t(1)), 0, 0, 0, 0), 0u);
    EXPECT_EQ(VqCloseImage(&info), 0u);
    EXPECT_EQ(fs::file_size(path), size);

    // What was written is what the next open finds.
    ASSERT_EQ(VqOpenImageFile(path.c_str(), &info), 0u);
    float rotation = 0;
    EXPECT_EQ(VqGetRotateType(&info, &rotation), 0u);
    EXPECT_EQ(rotation, 90.0f);
    EXPECT_EQ(std::string(info.description, 5), "Hello");
    int32_t setting = -1;
    EXPECT_EQ(VqGetExtension(&info, 3, &setting), 0u);
    EXPECT_EQ(setting, 1);
    EXPECT_EQ(VqCloseImage(&info), 0u);
}
