// The sound files of a folder camera's images: which image each belongs to by
// stamp and name, the list's answers, and copying them out.
#include "FolderEnumerator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "RegisteredFolderCamera.h"
#include "TempFolder.h"
#include "TestFiles.h"
#include "VqSession.h"
#include "ZyrSample.h"

using namespace lumora::vq;
namespace fs = std::filesystem;

namespace {

// A file of the given bytes last written at a clock time of the test day.
void Put(const fs::path& file, int hour, int minute, int second = 0, const std::string& bytes = "x") {
    std::ofstream(file, std::ios::binary) << bytes;
    lumora::test::StampOnTestDay(file, hour, minute, second);
}

std::vector<std::string> Sounds(FolderEnumerator& list) {
    int16_t count = 0;
    EXPECT_EQ(list.GetSoundCount(&count), 0u);
    std::vector<std::string> names;
    for (int16_t i = 0; i < count; ++i) {
        SoundInfoRecord info{};
        EXPECT_EQ(list.GetSoundInfo(i, &info), 0u);
        EXPECT_EQ(info.index, i);
        names.push_back(info.name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

using Names = std::vector<std::string>;

TEST(FolderEnumerator, SoundsGoToTheImageWhoseStampsEncloseThem) {
    lumora::test::TempFolder dir;
    const fs::path d = dir.path();
    Put(d / "ABCD0001.TIF", 10, 0);
    Put(d / "ABCD0002.TIF", 10, 5);
    Put(d / "ABCD0003.TIF", 10, 10);
    Put(d / "S0.WAV", 9, 50);    // before the first image: the first one's
    Put(d / "S1.WAV", 10, 2);
    Put(d / "S2.wav", 10, 7);
    Put(d / "S3.WAV", 10, 20);   // after the last image: the last one's
    Put(d / "E1.WAV", 10, 0);    // the first image's own stamp
    Put(d / "E2.WAV", 10, 5);    // the second's, so not the first's
    VqSession session;
    RegisteredFolderCamera folder(d.string());
    ASSERT_EQ(folder.openStatus, 0u);
    ASSERT_EQ(folder.Names(), (Names{"ABCD0001.TIF", "ABCD0002.TIF", "ABCD0003.TIF"}));
    const Names expected[] = {{"E1.WAV", "S0.WAV", "S1.WAV"}, {"E2.WAV", "S2.wav"}, {"S3.WAV"}};
    for (int i = 0; i < 3; ++i) {
        FolderEnumerator list(folder.camera, i, "wav");
        EXPECT_EQ(list.IsValid(), 1);
        EXPECT_EQ(Sounds(list), expected[i]) << "image " << i;
    }
}

TEST(FolderEnumerator, ImagesOfOneSecondTakeTheSoundsWithTheirNumbers) {
    lumora::test::TempFolder dir;
    const fs::path d = dir.path();
    Put(d / "ABCD0001.TIF", 10, 0, 7);
    Put(d / "ABCD0002.TIF", 10, 0, 7);
    Put(d / "abcd0001.wav", 10, 0, 7);
    Put(d / "ABCD0002.WAV", 10, 0, 7);
    VqSession session;
    RegisteredFolderCamera folder(d.string());
    ASSERT_EQ(folder.openStatus, 0u);
    ASSERT_EQ(folder.Names(), (Names{"ABCD0001.TIF", "ABCD0002.TIF"}));
    FolderEnumerator first(folder.camera, 0, "wav");
    FolderEnumerator second(folder.camera, 1, "wav");
    EXPECT_EQ(Sounds(first), (Names{"abcd0001.wav"}));
    EXPECT_EQ(Sounds(second), (Names{"ABCD0002.WAV"}));
}

TEST(FolderEnumerator, NamesMatchOnTheImageNumberOfTwelveCharacterNames) {
    struct Row {
        const char* a;
        const char* b;
        bool match;
    };
    const Row rows[] = {
        {"ABCD0012.TIF", "wxyz0012.wav", true},
        {"ABCD00A2.TIF", "wxyz00a2.wav", true},
        {"ABCD0012.TIF", "ABCD012.WAV", false},
        {"ABCD0012.TIF", "ABCD0013.WAV", false},
        {"ABCD0012.TIFF", "ABCD0012.WAV", false},
    };
    for (const Row& r : rows) EXPECT_EQ(FolderEnumerator::NamesMatch(r.a, r.b), r.match) << r.a << " " << r.b;
}

// One image and its two sounds, A.WAV ("RIFF-one") and B.WAV ("RIFF-second"),
// in a folder; the folder camera over it and the image's list of sounds.
struct ImageWithTwoSounds {
    static fs::path PutFiles(const fs::path& d) {
        Put(d / "ABCD0001.TIF", 10, 0);
        Put(d / "A.WAV", 10, 1, 0, "RIFF-one");
        Put(d / "B.WAV", 10, 2, 0, "RIFF-second");
        return d;
    }
    lumora::test::TempFolder dir;
    const fs::path d = PutFiles(dir.path());
    VqSession session;
    RegisteredFolderCamera folder{d.string()};
    FolderEnumerator list{folder.camera, 0, "wav"};
};

TEST(FolderEnumerator, AnswersAndReadsOfTheList) {
    ImageWithTwoSounds files;
    const fs::path& d = files.d;
    FolderEnumerator& list = files.list;
    SoundInfoRecord info{};
    EXPECT_EQ(list.GetSoundInfo(5, &info), VQ_ERR_NO_SUCH_SOUND);
    EXPECT_EQ(list.GetSoundInfo(-1, &info), VQ_ERR_NO_SUCH_SOUND);
    EXPECT_EQ(list.Reserved(0), VQ_ERR_ENTRY_OP_NOT_SUPPORTED);
    int16_t count = 0;
    ASSERT_EQ(list.GetSoundCount(&count), 0u);
    ASSERT_EQ(count, 2);
    for (int16_t i = 0; i < count; ++i) {
        ASSERT_EQ(list.GetSoundInfo(i, &info), 0u);
        EXPECT_EQ(list.ReadSound(&info, nullptr), VQ_ERR_BAD_HANDLE);
        std::string bytes(info.size, '\0');
        ASSERT_EQ(list.ReadSound(&info, bytes.data()), 0u);
        EXPECT_EQ(bytes, std::string(info.name) == "A.WAV" ? "RIFF-one" : "RIFF-second");
    }
    info.index = 2;
    std::string bytes(16, '\0');
    EXPECT_EQ(list.ReadSound(&info, bytes.data()), VQ_ERR_NO_SUCH_SOUND);
    // A folder without sounds gives an empty list.
    fs::remove(d / "A.WAV");
    fs::remove(d / "B.WAV");
    FolderEnumerator none(files.folder.camera, 0, "wav");
    EXPECT_EQ(Sounds(none), Names{});
}

TEST(FolderEnumerator, CopiesKeepNamesAndStampsAndNeverReplaceAFile) {
    ImageWithTwoSounds files;
    lumora::test::TempFolder out, busy;
    const fs::path& d = files.d;
    FolderEnumerator& list = files.list;
    ASSERT_EQ(list.CopyAllToFolder(out.path().c_str()), 0u);
    for (const char* name : {"A.WAV", "B.WAV"}) {
        EXPECT_EQ(fs::file_size(out.path() / name), fs::file_size(d / name)) << name;
        EXPECT_EQ(fs::last_write_time(out.path() / name), fs::last_write_time(d / name)) << name;
    }
    // The first file of the list already there: nothing after it is copied.
    SoundInfoRecord first{};
    ASSERT_EQ(list.GetSoundInfo(0, &first), 0u);
    std::ofstream(busy.path() / first.name) << "mine";
    EXPECT_EQ(list.CopyAllToFolder(busy.path().c_str()), 80u);
    std::string kept;
    std::ifstream(busy.path() / first.name) >> kept;
    EXPECT_EQ(kept, "mine");
    EXPECT_EQ(std::distance(fs::directory_iterator(busy.path()), fs::directory_iterator()), 1);

    // A sound file gone since the scan: the copies before it stay, and its own
    // failed copy leaves no empty file behind.
    lumora::test::TempFolder again;
    SoundInfoRecord second{};
    ASSERT_EQ(list.GetSoundInfo(1, &second), 0u);
    fs::remove(d / second.name);
    EXPECT_NE(list.CopyAllToFolder(again.path().c_str()), 0u);
    EXPECT_TRUE(fs::exists(again.path() / first.name));
    EXPECT_FALSE(fs::exists(again.path() / second.name));
}

} // namespace

namespace {

TEST(FolderEnumerator, AnOpenedImageAnswersItsSoundsThroughTheInterface) {
    lumora::test::TempFolder dir;
    const fs::path d = dir.path();
    ZyrSampleOptions o;
    o.model = "ZYNM11";
    o.version = 0x01000000;
    const std::vector<uint8_t> bytes = ZyrSample::Make(o);
    std::ofstream(d / "ABCD0001.TIF", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    Put(d / "ABCD0001.WAV", 10, 1, 0, "RIFF-note");
    VqSession session;
    RegisteredFolderCamera folder(d.string());
    ImageInfoRecord info{};
    ASSERT_EQ(VqOpenImage(&folder.record, 0, nullptr, &info), 0u);
    EXPECT_EQ(info.soundInfo, 1u);
    SoundInfoRecord sound{};
    ASSERT_EQ(VqGetSoundInfo(&info, 0, &sound), 0u);
    EXPECT_STREQ(sound.name, "ABCD0001.WAV");
    ASSERT_EQ(sound.size, 9u);
    std::string note(sound.size, '\0');
    EXPECT_EQ(VqGetSound(&info, &sound, note.data()), 0u);
    EXPECT_EQ(note, "RIFF-note");
    EXPECT_EQ(VqGetSoundInfo(&info, 1, &sound), VQ_ERR_NO_SUCH_SOUND);
    EXPECT_EQ(VqCloseImage(&info), 0u);
}

} // namespace
