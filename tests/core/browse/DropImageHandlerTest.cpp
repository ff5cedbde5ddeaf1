// Dropping renderings into a folder: moves on one file system, copies across
// file systems and for copy drops, writable copies, progress and cancel,
// existing targets, and a failed move that must leave everything in place.
#include "CoreTestSupport.h"
#include "DropImageHandler.h"
#include "FakeImage.h"
#include "ImagePool.h"
#include "ImageRendering.h"
#include "ProgressCB.h"
#include "SoundFileHandler.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include <sys/stat.h>

using namespace NimbalCore;
using coretest::CodeOf;
using coretest::FakeImage;
using coretest::ReadAll;
namespace fs = std::filesystem;

namespace {

class Percentages : public ProgressCB {
public:
    bool Progress(int percent) override {
        seen.push_back(percent);
        return int(seen.size()) != cancelAt;
    }
    std::vector<int> seen;
    int cancelAt = -1;
};

class DropImageHandlerTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(source_.path() / "in");
        fs::create_directories(source_.path() / "out");
        in_ = (source_.path() / "in").string();
        out_ = (source_.path() / "out").string();
    }
    void TearDown() override {
        renderings_.clear();
        ImagePool::DeleteInstance();
    }

    // An opened image of a new file in the source folder, with its sounds.
    ImageRendering* Shot(const std::string& name, const std::vector<std::string>& sounds = {}) {
        auto* image = new FakeImage(source_.write("in/" + name, "image " + name));
        for (const std::string& s : sounds) image->GetSounds()->push_back(FilePathSpec(source_.write("in/" + s, "sound " + s)));
        renderings_.push_back(std::make_unique<ImageRendering>(ImageRef(image), ImageProcessParam()));
        image->Open();
        return renderings_.back().get();
    }
    static Image* ImageOf(ImageRendering* r) { return r->GetImage()->Get(); }
    std::string In(const std::string& name) const { return in_ + "/" + name; }
    std::string Out(const std::string& name) const { return out_ + "/" + name; }

    lumora::test::TempFolder source_;
    std::string in_, out_;
    std::vector<std::unique_ptr<ImageRendering>> renderings_;
};

TEST_F(DropImageHandlerTest, AMoveOnOneFileSystemMovesImagesAndSoundsAndReportsEachQuarter) {
    std::vector<ImageRendering*> shots = {Shot("A.CRW", {"A.WAV", "A_2.WAV"}), Shot("B.CRW"), Shot("C.CRW"),
                                          Shot("D.CRW")};
    Percentages progress;
    DropImageHandler drop(FilePathSpec(out_), 4, &progress, 0);
    for (ImageRendering* r : shots) drop(r);

    EXPECT_EQ(progress.seen, (std::vector<int>{25, 50, 75, 100}));
    for (const char* name : {"A.CRW", "A.WAV", "A_2.WAV", "B.CRW", "C.CRW", "D.CRW"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(fs::exists(In(name)));
        EXPECT_NE(ReadAll(Out(name)).find(name), std::string::npos);
    }
    Image* moved = ImageOf(shots[0]);
    EXPECT_FALSE(moved->IsOpen());
    EXPECT_EQ(CodeOf([&] { moved->Open(); }), NbErrImageOpenFailed) << "nothing reopens the old place";
}

TEST_F(DropImageHandlerTest, ACopyDropLeavesTheSourcesAndMakesWritableCopies) {
    ImageRendering* shot = Shot("R.JPG", {"R.WAV"});
    ::chmod(In("R.JPG").c_str(), 0444);
    DropImageHandler(FilePathSpec(out_), 1, nullptr, 1)(shot);

    EXPECT_EQ(ReadAll(In("R.JPG")), "image R.JPG");
    EXPECT_EQ(ReadAll(Out("R.JPG")), "image R.JPG");
    EXPECT_EQ(ReadAll(In("R.WAV")), "sound R.WAV");
    EXPECT_EQ(ReadAll(Out("R.WAV")), "sound R.WAV");
    struct stat st {};
    ASSERT_EQ(::stat(Out("R.JPG").c_str(), &st), 0);
    EXPECT_TRUE(st.st_mode & S_IWUSR);
    EXPECT_FALSE(ImageOf(shot)->IsOpen());
    EXPECT_FALSE(ImageOf(shot)->IsOpenDisabled()) << "a copied image may open again";
}

TEST_F(DropImageHandlerTest, ExistingTargets) {
    // A copy never overwrites: 1805 and the file there stays.
    source_.write("out/K.JPG", "kept");
    EXPECT_EQ(CodeOf([&] { DropImageHandler(FilePathSpec(out_), 1, nullptr, 1)(Shot("K.JPG")); }), 1805);
    EXPECT_EQ(ReadAll(Out("K.JPG")), "kept");

    // A sound moved onto an existing file is refused the same way.
    source_.write("out/S.WAV", "kept sound");
    EXPECT_EQ(CodeOf([&] { SoundFileHandler(FilePathSpec(out_), 0)(FilePathSpec(source_.write("in/S.WAV", "s"))); }),
              1816);
    EXPECT_EQ(ReadAll(Out("S.WAV")), "kept sound");
    EXPECT_EQ(ReadAll(In("S.WAV")), "s");

    // A moved image replaces a file of its name.
    source_.write("out/M.JPG", "older");
    ImageRendering* m = Shot("M.JPG");
    DropImageHandler(FilePathSpec(out_), 1, nullptr, 0)(m);
    EXPECT_EQ(ReadAll(Out("M.JPG")), "image M.JPG");
    EXPECT_FALSE(fs::exists(In("M.JPG")));
}

TEST_F(DropImageHandlerTest, AFailedMoveLosesNothingAndTheImageOpensAgain) {
    // The target name is taken by a folder holding a file, which the move
    // cannot replace: the move fails after the image was closed for it.
    fs::create_directories(Out("F.JPG"));
    source_.write("out/F.JPG/inside", "keep me");
    ImageRendering* shot = Shot("F.JPG");
    EXPECT_NE(CodeOf([&] { DropImageHandler(FilePathSpec(out_), 1, nullptr, 0)(shot); }), 0);

    EXPECT_EQ(ReadAll(In("F.JPG")), "image F.JPG");
    EXPECT_EQ(ReadAll(Out("F.JPG/inside")), "keep me");
    Image* image = ImageOf(shot);
    EXPECT_FALSE(image->IsOpenDisabled());
    EXPECT_EQ(CodeOf([&] { image->Open(); }), 0);
    EXPECT_TRUE(image->IsOpen());
}

TEST_F(DropImageHandlerTest, ACancelStopsAfterTheCurrentRendering) {
    std::vector<ImageRendering*> shots = {Shot("1.JPG"), Shot("2.JPG"), Shot("3.JPG")};
    Percentages progress;
    progress.cancelAt = 2;
    DropImageHandler drop(FilePathSpec(out_), 3, &progress, 1);
    drop(shots[0]);
    EXPECT_EQ(CodeOf([&] { drop(shots[1]); }), 1711);
    EXPECT_EQ(progress.seen, (std::vector<int>{33, 66}));
    EXPECT_TRUE(fs::exists(Out("2.JPG"))) << "the cancelled rendering's files are handled";
    EXPECT_FALSE(fs::exists(Out("3.JPG")));
}

TEST_F(DropImageHandlerTest, AMoveAcrossFileSystemsCopies) {
    std::string other = "/dev/shm/lumora-drop-XXXXXX";
    struct stat a {}, b {};
    if (::stat("/dev/shm", &b) != 0 || ::stat(in_.c_str(), &a) != 0 || a.st_dev == b.st_dev || !::mkdtemp(other.data()))
        GTEST_SKIP() << "no second file system";
    ImageRendering* shot = Shot("X.CRW", {"X.WAV"});
    DropImageHandler(FilePathSpec(other), 1, nullptr, 0)(shot);
    EXPECT_EQ(ReadAll(other + "/X.CRW"), "image X.CRW");
    EXPECT_EQ(ReadAll(other + "/X.WAV"), "sound X.WAV");
    EXPECT_TRUE(fs::exists(In("X.CRW")));
    EXPECT_TRUE(fs::exists(In("X.WAV")));
    EXPECT_FALSE(ImageOf(shot)->IsOpenDisabled());

    // A file of the name there is replaced, as a move on one file system
    // replaces it, but only by a complete copy: a read-only source still
    // gives a writable file, and a copy that fails leaves the file there.
    std::ofstream(other + "/Y.CRW") << "older Y";
    ImageRendering* y = Shot("Y.CRW");
    ::chmod(In("Y.CRW").c_str(), 0444);
    DropImageHandler(FilePathSpec(other), 1, nullptr, 0)(y);
    EXPECT_EQ(ReadAll(other + "/Y.CRW"), "image Y.CRW");
    struct stat st {};
    ASSERT_EQ(::stat((other + "/Y.CRW").c_str(), &st), 0);
    EXPECT_TRUE(st.st_mode & S_IWUSR);

    std::ofstream(other + "/Z.CRW") << "older Z";
    ImageRendering* z = Shot("Z.CRW");
    // The source cannot be read as a file any more.
    fs::remove(In("Z.CRW"));
    fs::create_directory(In("Z.CRW"));
    EXPECT_EQ(CodeOf([&] { DropImageHandler(FilePathSpec(other), 1, nullptr, 0)(z); }), NbErrFileCopyFailed);
    EXPECT_EQ(ReadAll(other + "/Z.CRW"), "older Z");
    EXPECT_EQ(std::distance(fs::directory_iterator(other), fs::directory_iterator()), 4) << "no copy left behind";
    fs::remove_all(other);
}

} // namespace
