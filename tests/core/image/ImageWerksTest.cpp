// The image factory: which kinds it tries for a path and in what order, the
// pool first, the once-per-run profile check of the model drivers, the
// folder plug-ins, a path pooled meanwhile by another opener, and folder
// scans (name order, images reported one step late with their sounds, the
// stop answer, removed files).
#include "CoreTestSupport.h"
#include "FakeKinds.h"
#include "ImagePool.h"
#include "ImageWerks.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

using namespace NimbalCore;
using coretest::CodeOf;
using coretest::FactoryScope;
using coretest::FakeKinds;
using coretest::KindImage;

namespace {

using Log = std::vector<std::string>;

std::string KindOf(const ImageRef& image) {
    auto* k = dynamic_cast<KindImage*>(image.Get());
    return k ? k->kind : "(none)";
}

TEST(ImageWerksTest, KindsAreTriedByExtensionThenInTheTrialOrder) {
    struct Case {
        std::string name;
        std::set<std::string> opensAs;
        int wren3, plover, wren4;
        std::string kind;  // "(none)" when nothing opens it
        Log tried;
    };
    const std::vector<Case> cases = {
        // A JPEG file named .tif: the TIFF kind refuses it twice, then JPEG.
        {"a.tif", {"JPEG"}, 0, 0, 0, "JPEG", {"TIFF a.tif", "TIFF a.tif", "JPEG a.tif"}},
        {"b.Tif", {"TIFF"}, 0, 0, 0, "TIFF", {"TIFF b.Tif"}},
        {"c.TIFF", {"TIFF"}, 0, 0, 0, "TIFF", {"TIFF c.TIFF"}},
        {"d.jpeg", {"JPEG"}, 0, 0, 0, "JPEG", {"JPEG d.jpeg"}},
        // No extension: straight to the trial order.
        {"e", {"JPEG"}, 0, 0, 0, "JPEG", {"TIFF e", "JPEG e"}},
        // Raw files: Wren4, Wren3, Plover, then the camera interface.
        {"f.zyr", {"DRIVER1"}, 0, 0, 0, "DRIVER1", {"DRIVER2 f.zyr", "DRIVER0 f.zyr", "DRIVER1 f.zyr"}},
        // Every driver failed at start-up: the camera interface only.
        {"g.ZYR", {"CAMERA"}, 1700, 1700, 1733, "CAMERA", {"CAMERA g.ZYR"}},
        {"h.dat", {"CAMERA"}, 0, 1700, 0, "CAMERA",
         {"TIFF h.dat", "JPEG h.dat", "DRIVER2 h.dat", "DRIVER0 h.dat", "CAMERA h.dat"}},
        {"i.txt", {}, 1700, 1700, 1700, "(none)", {"TIFF i.txt", "JPEG i.txt", "CAMERA i.txt"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeKinds kinds;
        kinds.opens[c.name] = c.opensAs;
        FactoryScope scope(kinds, c.wren3, c.plover, c.wren4);
        ImageRef image(new KindImage("/stale", "stale", 0));
        const int code = ImageWerks().OpenImage(FilePathSpec("/photos/" + c.name), image);
        EXPECT_EQ(code, c.kind == "(none)" ? NbErrUnsupportedImage : 0);
        EXPECT_EQ(KindOf(image), c.kind);
        EXPECT_EQ(kinds.Log(), c.tried);
        EXPECT_EQ(ImagePool::Instance()->Contains(FilePathSpec("/photos/" + c.name)), c.kind != "(none)");
        EXPECT_EQ(kinds.lastCameraOption, std::count(c.tried.begin(), c.tried.end(), "CAMERA " + c.name) ? 0 : -1);
    }
}

TEST(ImageWerksTest, APooledPathIsSharedWhateverTheLetterCase) {
    FakeKinds kinds;
    kinds.opens["IMG.TIF"] = {"TIFF"};
    FactoryScope scope(kinds);
    ImageRef first, second;
    ASSERT_EQ(ImageWerks().OpenImage(FilePathSpec("/photos/IMG.TIF"), first), 0);
    kinds.ClearLog();
    ASSERT_EQ(ImageWerks().OpenImage(FilePathSpec("/PHOTOS/img.tif"), second), 0);
    EXPECT_EQ(first.Get(), second.Get());
    EXPECT_TRUE(kinds.Log().empty()) << "nothing is made for a pooled path";
}

TEST(ImageWerksTest, IncompleteProfilesTurnTheDriversAwayForTheRestOfTheRun) {
    FakeKinds kinds;
    kinds.profilesComplete = false;
    kinds.opens["A.ZYR"] = {"DRIVER2", "CAMERA"};
    kinds.opens["B.ZYR"] = {"DRIVER0", "CAMERA"};
    {
        FactoryScope scope(kinds);
        ImageRef image;
        EXPECT_EQ(ImageWerks().OpenRawImage(FilePathSpec("/p/A.ZYR"), image, 0), NbErrProfileNotFound);
        EXPECT_FALSE(image);
        EXPECT_EQ(kinds.Log(), (Log{"DRIVER2 A.ZYR"}));
    }
    kinds.ClearLog();
    kinds.profileChecks = 0;
    FactoryScope scope(kinds);
    // The factory goes on to its trial step, where the camera interface
    // opens the same file; 1730 never leaves it.
    ImageRef image;
    EXPECT_EQ(ImageWerks().OpenImage(FilePathSpec("/p/A.ZYR"), image), 0);
    EXPECT_EQ(KindOf(image), "CAMERA");
    EXPECT_EQ(kinds.Log(), (Log{"DRIVER2 A.ZYR", "TIFF A.ZYR", "JPEG A.ZYR", "CAMERA A.ZYR"}));

    kinds.ClearLog();
    ImageRef later;
    EXPECT_EQ(ImageWerks().OpenImage(FilePathSpec("/p/B.ZYR"), later), 0);
    EXPECT_EQ(KindOf(later), "CAMERA");
    EXPECT_EQ(kinds.Log(), (Log{"CAMERA B.ZYR"})) << "later raw files skip the drivers";
    EXPECT_EQ(kinds.profileChecks, 1) << "checked once per run";
}

TEST(ImageWerksTest, CompleteProfilesAreCheckedOnceAndTheDriversStay) {
    FakeKinds kinds;
    kinds.opens["A.ZYR"] = {"DRIVER0"};
    kinds.opens["B.ZYR"] = {"DRIVER0"};
    FactoryScope scope(kinds);
    ImageRef a, b;
    EXPECT_EQ(ImageWerks().OpenImage(FilePathSpec("/p/A.ZYR"), a), 0);
    EXPECT_EQ(ImageWerks().OpenImage(FilePathSpec("/p/B.ZYR"), b), 0);
    EXPECT_EQ(KindOf(b), "DRIVER0");
    EXPECT_EQ(kinds.profileChecks, 1);
}

TEST(ImageWerksTest, FolderPlugIns) {
    {
        FakeKinds kinds;
        kinds.opens["x.tif"] = {"TIFF"};
        FactoryScope scope(kinds);
        ImageRef image;
        EXPECT_EQ(ImageWerks().OpenWithPlugIns(FilePathSpec("/p/x.tif"), image), NbErrUnsupportedImage);
        EXPECT_TRUE(kinds.Log().empty()) << "no plug-ins: 2000 at once";
    }
    {
        // The plug-in of the extension first; then every plug-in in order.
        FakeKinds kinds;
        kinds.plugInExtensions = {"ABC", "XYZ", "QQQ"};
        kinds.opens["f.xyz"] = {"PLUGIN1"};
        kinds.opens["g.xyz"] = {"PLUGIN2"};
        kinds.opens["h.xyz"] = {"TIFF"};
        FactoryScope scope(kinds);
        ImageRef image;
        EXPECT_EQ(ImageWerks().OpenImage(FilePathSpec("/p/f.xyz"), image), 0);
        EXPECT_EQ(KindOf(image), "PLUGIN1");
        EXPECT_EQ(kinds.Log(), (Log{"PLUGIN1 f.xyz"}));

        kinds.ClearLog();
        EXPECT_EQ(ImageWerks().OpenWithPlugIns(FilePathSpec("/p/g.xyz"), image), 0);
        EXPECT_EQ(KindOf(image), "PLUGIN2");
        EXPECT_EQ(kinds.Log(), (Log{"PLUGIN1 g.xyz", "PLUGIN0 g.xyz", "PLUGIN1 g.xyz", "PLUGIN2 g.xyz"}));

        // Every file meets the plug-ins before the built-in kinds.
        kinds.ClearLog();
        EXPECT_EQ(ImageWerks().OpenImage(FilePathSpec("/p/h.xyz"), image), 0);
        EXPECT_EQ(KindOf(image), "TIFF");
        EXPECT_EQ(kinds.Log()[0], "PLUGIN1 h.xyz");
    }
}

TEST(ImageWerksTest, APathPooledByAnotherOpenerMeanwhileIsSharedNotAnError) {
    // While this opener's image opens, another thread's opening of the same
    // file reaches the pool first.
    FakeKinds kinds;
    kinds.opens["RACE.JPG"] = {"JPEG"};
    ImageRef theirs(new KindImage("/p/RACE.JPG", "theirs", 0));
    kinds.beforeOpen["RACE.JPG"] = [&](KindImage*) {
        if (!ImagePool::Instance()->Contains(FilePathSpec("/p/RACE.JPG"))) ImagePool::Instance()->AddImage(theirs);
    };
    FactoryScope scope(kinds);
    const int deletedBefore = coretest::FakeImage::deleted;
    ImageRef image;
    EXPECT_EQ(CodeOf([&] { EXPECT_EQ(ImageWerks().OpenImage(FilePathSpec("/p/RACE.JPG"), image), 0); }), 0);
    EXPECT_EQ(image.Get(), theirs.Get());
    EXPECT_EQ(coretest::FakeImage::deleted, deletedBefore + 1) << "the second image is dropped";
}

TEST(ImageWerksTest, AKindsThrownErrorLeavesOpenImage) {
    FakeKinds kinds;
    kinds.throwsOnOpen["bad.jpg"] = NbErrCameraSettingsFailed;
    FactoryScope scope(kinds);
    ImageRef image;
    EXPECT_EQ(CodeOf([&] { ImageWerks().OpenImage(FilePathSpec("/p/bad.jpg"), image); }), NbErrCameraSettingsFailed);
    EXPECT_FALSE(ImagePool::Instance()->Contains(FilePathSpec("/p/bad.jpg")));
}

TEST(ImageWerksTest, ExtensionsAreUpToThreeCharactersAfterTheLastDot) {
    const std::map<std::string, std::string> cases = {
        {"/p/a.wav", "wav"}, {"/p/a.WAVE", "WAV"}, {"/p/a.b.Wa", "Wa"}, {"/p/awav", ""},
        {"/p.d/awav", ""},   {"/p/a.", ""},         {"/p/.wav", "wav"},
    };
    for (const auto& [path, extension] : cases) EXPECT_EQ(ImageWerks().GetExtension(FilePathSpec(path)), extension) << path;
}

// Records each report: the image's name, its sounds then, and whether the
// next image had opened by then.
class Reports : public ImageWerksCB {
public:
    int ImageFound(ImageRef image) override {
        std::string line = image->GetFileName() + " [";
        for (const FilePathSpec& s : *image->GetSounds()) line += s.GetFileName() + ";";
        line += "]";
        auto w = watch.find(image->GetFileName());
        if (w != watch.end()) line += ImagePool::Instance()->Contains(FilePathSpec(w->second)) ? " +next" : " -next";
        lines.push_back(line);
        kept.push_back(image);
        return int(lines.size()) == stopAt ? kStopScan : 0;
    }
    std::vector<std::string> lines;
    std::vector<ImageRef> kept;
    // For an image's report: whether this path was pooled by then.
    std::map<std::string, std::string> watch;
    int stopAt = -1;
};

std::vector<FilePathSpec> Paths(const std::vector<std::string>& names) {
    std::vector<FilePathSpec> paths;
    for (const std::string& n : names) paths.emplace_back("/scan/" + n);
    return paths;
}

TEST(ImageWerksTest, AScanReportsEachImageAfterTheSoundsThatFollowIt) {
    FakeKinds kinds;
    for (const char* name : {"IMG_0001.ZYR", "IMG_0002.ZYR", "IMG_0003.ZYR", "IMG_0004.ZYR"}) kinds.opens[name] = {"DRIVER2"};
    FactoryScope scope(kinds);
    Reports reports;
    reports.watch["IMG_0001.ZYR"] = "/scan/IMG_0002.ZYR";
    // Given out of order; walked by name in byte order (capitals first):
    // IMG_0001.ZYR, IMG_0001.wav, IMG_0002.ZYR, IMG_0003.WAV (its image comes
    // later: the second offer), IMG_0003.ZYR, IMG_0004.ZYR, IMG_0004.wave
    // (a sound too), and a name without a dot (never a sound).
    ImageWerks().ProcessFolderChanges(Paths({"IMG_0004.wave", "IMG_0003.ZYR", "IMG_0002.ZYR", "IMG_0003.WAV",
                                             "IMG_0001.wav", "IMG_0001.ZYR", "IMG_0004.ZYR", "IMG_0004wav"}),
                                      {}, &reports);
    // IMG_0001 is reported once IMG_0002 has opened, with its sound.
    EXPECT_EQ(reports.lines, (std::vector<std::string>{"IMG_0001.ZYR [IMG_0001.wav;] +next", "IMG_0002.ZYR []",
                                                       "IMG_0003.ZYR []", "IMG_0004.ZYR [IMG_0004.wave;]"}));
    // IMG_0003's sound came before it: the offer after the walk placed it.
    ASSERT_EQ(reports.kept.size(), 4u);
    ASSERT_EQ(reports.kept[2]->GetSounds()->size(), 1u);
    EXPECT_EQ(reports.kept[2]->GetSounds()->front().GetFileName(), "IMG_0003.WAV");
}

TEST(ImageWerksTest, ANameWithoutADotIsNeverOfferedAsASound) {
    FakeKinds kinds;
    kinds.everyImageTakesEverySound = true;
    kinds.opens["A.JPG"] = {"JPEG"};
    FactoryScope scope(kinds);
    Reports reports;
    ImageWerks().ProcessFolderChanges(Paths({"A.JPG", "B.WAVE", "Cwav", "D.wa"}), {}, &reports);
    EXPECT_EQ(reports.lines, (std::vector<std::string>{"A.JPG [B.WAVE;]"}));
}

// Counts the file-changed notices an image gives.
class FileChanges : public ImageChangeCB {
public:
    void ImageFileChanged(const FilePathSpec& path) override { paths.push_back(path.GetFileName()); }
    void ProcessParamsChanged(const FilePathSpec&) override {}
    void SoundsChanged(const FilePathSpec&) override {}
    void ImageSaved(const FilePathSpec&) override {}
    void TagChanged(const FilePathSpec&) override {}
    void ImageRenamed(const FilePathSpec&, const FilePathSpec&) override {}
    std::vector<std::string> paths;
};

TEST(ImageWerksTest, StopAnswerEndsTheScanAtOnce) {
    FakeKinds kinds;
    for (const char* name : {"A.JPG", "B.JPG", "C.JPG", "OLD.JPG"}) kinds.opens[name] = {"JPEG"};
    FactoryScope scope(kinds);
    ImageRef old;
    ASSERT_EQ(ImageWerks().OpenImage(FilePathSpec("/scan/OLD.JPG"), old), 0);
    FileChanges changes;
    old->AddImageChangeCB(&changes);
    kinds.ClearLog();
    Reports reports;
    reports.stopAt = 1;
    ImageWerks().ProcessFolderChanges(Paths({"A.JPG", "B.JPG", "C.JPG"}), Paths({"OLD.JPG"}), &reports);
    EXPECT_EQ(reports.lines, (std::vector<std::string>{"A.JPG []"}));
    EXPECT_EQ(kinds.Log(), (Log{"JPEG A.JPG", "JPEG B.JPG"})) << "C is never opened";
    EXPECT_TRUE(changes.paths.empty()) << "removed files are not processed";
    old->RemoveImageChangeCB(&changes);
}

TEST(ImageWerksTest, RemovedFilesTellOnlyPooledImagesAndTakeTheirSoundsBack) {
    FakeKinds kinds;
    kinds.opens["KEPT.JPG"] = {"JPEG"};
    FactoryScope scope(kinds);
    ImageRef kept;
    ASSERT_EQ(ImageWerks().OpenImage(FilePathSpec("/scan/KEPT.JPG"), kept), 0);
    ASSERT_TRUE(kept->AddSound(FilePathSpec("/scan/KEPT.WAV")));
    FileChanges changes;
    kept->AddImageChangeCB(&changes);
    kinds.ClearLog();
    Reports reports;
    ImageWerks().ProcessFolderChanges({}, Paths({"GONE.JPG", "KEPT.JPG", "KEPT.WAV"}), &reports);
    EXPECT_EQ(changes.paths, (std::vector<std::string>{"KEPT.JPG"}));
    EXPECT_TRUE(kept->GetSounds()->empty());
    EXPECT_TRUE(kinds.Log().empty()) << "removed files are not opened";
    EXPECT_TRUE(reports.lines.empty());
    kept->RemoveImageChangeCB(&changes);
}

TEST(ImageWerksTest, AFileWhoseKindFailsDoesNotEndTheScan) {
    // A damaged file in the middle: the image held for its report and the
    // files after it are still shown.
    FakeKinds kinds;
    for (const char* name : {"A.ZYR", "C.ZYR"}) kinds.opens[name] = {"CAMERA"};
    kinds.throwsOnOpen["B.ZYR"] = NbErrCameraSettingsFailed;
    FactoryScope scope(kinds, 1700, 1700, 1700);
    Reports reports;
    ImageWerks().ProcessFolderChanges(Paths({"A.ZYR", "B.ZYR", "C.ZYR"}), {}, &reports);
    EXPECT_EQ(reports.lines, (std::vector<std::string>{"A.ZYR []", "C.ZYR []"}));
    EXPECT_FALSE(ImagePool::Instance()->Contains(FilePathSpec("/scan/B.ZYR")));
}

TEST(ImageWerksTest, ImagesTheCallbackDoesNotKeepLeaveThePool) {
    FakeKinds kinds;
    kinds.opens["A.JPG"] = {"JPEG"};
    FactoryScope scope(kinds);
    class Forgetful : public ImageWerksCB {
    public:
        int ImageFound(ImageRef) override { return 0; }
    } forgetful;
    ImageWerks().ProcessFolderChanges(Paths({"A.JPG"}), {}, &forgetful);
    EXPECT_EQ(ImagePool::Instance()->GetImageCount(), 0u);
    ImageWerks().ProcessFolderChanges(Paths({"A.JPG"}), {}, nullptr);
    EXPECT_EQ(kinds.Log(), (Log{"JPEG A.JPG"})) << "no callback, no scan";
}

} // namespace
