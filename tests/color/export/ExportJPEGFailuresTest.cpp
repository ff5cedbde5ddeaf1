// Failures of a JPEG export: whatever stops it (a cancel, the compressor, the
// temporary folder, the target's folder or file, a write that fails half-way)
// leaves no file behind, neither the target nor the compressed stream, keeps
// an existing target byte for byte and gives the caller's array back as it
// was. Exports in two processes at once do not meet in the temporary folder.
#include "File.h"
#include "JPEGCompressor.h"
#include "JpegExportSupport.h"
#include "NbErrorCodes.h"

#include <csignal>
#include <fstream>
#include <sys/resource.h>
#include <sys/wait.h>

using namespace NimbalCore;
using namespace jpegtest;
using exporttest::ReadBytes;
namespace fs = std::filesystem;

namespace {

// Refuses to go on once the image's n-th render has started.
class CancelAtRender : public ProgressCB {
public:
    CancelAtRender(coretest::FakeImage* image, int render) : image_(image), render_(image->renders + render) {}
    bool Progress(int) override { return image_->renders < render_; }

private:
    coretest::FakeImage* image_;
    int render_;
};

// A stream that takes a number of bytes and then writes short.
class ShortStream : public File {
public:
    ShortStream(const FilePathSpec& path, uint64_t limit) : File(path), limit_(limit) {}
    size_t Write(const void* buffer, size_t size, size_t count) override {
        const uint64_t bytes = uint64_t(size) * count;
        if (written_ + bytes > limit_) {
            const size_t part = size_t(limit_ - written_);
            File::Write(buffer, 1, part);
            written_ = limit_;
            return part / (size ? size : 1);
        }
        written_ += bytes;
        return File::Write(buffer, size, count);
    }

private:
    uint64_t limit_, written_ = 0;
};

// Short writes on the compressed stream's file or on the target's.
class ShortExport : public ExportJPEGImage {
public:
    ShortExport(ImageRendering& r, const FilePathSpec& t, ExportImageArray* a, bool temporary, uint64_t limit)
        : ExportJPEGImage(r, t, a), temporary_(temporary), limit_(limit) {}

protected:
    std::unique_ptr<File> MakeOutputStream(const FilePathSpec& path) override {
        const bool isTemporary = path.GetFileName().rfind("Lumora", 0) == 0;
        if (isTemporary == temporary_) return std::unique_ptr<File>(new ShortStream(path, limit_));
        return ExportJPEGImage::MakeOutputStream(path);
    }

private:
    bool temporary_;
    uint64_t limit_;
};

class ExportJPEGFailuresTest : public JpegExportTest {
protected:
    void SetUp() override {
        JpegExportTest::SetUp();
        const char* before = std::getenv("TMPDIR");
        hadTmp_ = before != nullptr;
        if (before) tmpBefore_ = before;
        ::setenv("TMPDIR", tmp_.Path().c_str(), 1);
    }
    void TearDown() override {
        if (hadTmp_) ::setenv("TMPDIR", tmpBefore_.c_str(), 1);
        else ::unsetenv("TMPDIR");
        JpegExportTest::TearDown();
    }

    TempFolder tmp_;
    bool hadTmp_ = false;
    std::string tmpBefore_;
};

} // namespace

TEST_F(ExportJPEGFailuresTest, AFailedExportLeavesNothingAndKeepsTheExistingTarget) {
    const bool root = ::geteuid() == 0;
    const struct {
        const char* name;
        int code;
        bool rendersNothing, needsNonRoot, existing;
    } cases[] = {
        {"cancel in the first strip", NbErrRenderCancelled, false, false, true},
        {"cancel in the second strip", NbErrRenderCancelled, false, false, true},
        {"a compressor that refuses the size", JPEGCompressor::BadGeometry, true, false, true},
        {"a temporary folder that is not there", NbErrFileOpenFailed, true, false, true},
        {"a target folder that cannot be written", NbErrFileOpenFailed, true, true, true},
        {"a read-only target", NbErrFileOpenFailed, true, true, true},
        {"a missing target folder", NbErrFileOpenFailed, true, false, false},
        {"a compressed stream that fails half-way", JPEGCompressor::SinkWriteFailed, false, false, true},
        {"a target that fails half-way", ExportJPEGImage::kShortTransfer, false, false, true},
        {"a file-size limit", JPEGCompressor::SinkWriteFailed, false, false, true},
        {"a colour mode the array does not render", NbErrRenderFailed, true, false, true},
    };
    const std::string previous = "the photographer's earlier file";
    int index = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.needsNonRoot && root) continue; // the superuser may write anywhere
        const std::string name = c.name;
        // Two strips, or a stream of megabytes, where the case needs them.
        const bool large = name == "cancel in the second strip" || name == "a compressed stream that fails half-way" ||
                           name == "a target that fails half-way" || name == "a file-size limit";
        PresetImage* fake = name == "a compressor that refuses the size" ? MakeImage(18001, 4)
                            : large                                      ? MakeImage(3200, 2400)
                                                                         : MakeImage(400, 300);
        const fs::path dir = folder_.Path() / ("case" + std::to_string(index++));
        fs::create_directories(dir);
        std::string target = (dir / "out.jpg").string();
        if (c.existing) {
            std::ofstream(target, std::ios::binary) << previous;
            ::chmod(target.c_str(), 0640);
        } else {
            target = (dir / "gone/out.jpg").string();
        }
        if (name == "a read-only target") ::chmod(target.c_str(), 0444);
        if (name == "a target folder that cannot be written") ::chmod(dir.c_str(), 0555);
        if (name == "a temporary folder that is not there") ::setenv("TMPDIR", (tmp_.Path() / "gone").c_str(), 1);
        struct stat before {};
        ::stat(target.c_str(), &before);

        JpegSetup s;
        if (name == "a colour mode the array does not render") s.colorMode = 3;
        CancelAtRender first(fake, 1), second(fake, 2);
        if (name == "cancel in the first strip") s.progress = &first;
        if (name == "cancel in the second strip") s.progress = &second;
        // The caller's array as it was handed over, to be given back so.
        array_.SetPixelType(PixelArray::RGB);
        array_.SetChannels(3);
        array_.SetBytesPerSample(2);
        rlimit oldLimit{};
        if (name == "a file-size limit") {
            ::signal(SIGXFSZ, SIG_IGN);
            ::getrlimit(RLIMIT_FSIZE, &oldLimit);
            rlimit small = oldLimit;
            small.rlim_cur = 600000;
            ::setrlimit(RLIMIT_FSIZE, &small);
        }
        const int rendersBefore = fake->renders;
        ImageRendering rendering(hold_, Params(fake, s));
        std::unique_ptr<ExportJPEGImage> e;
        if (name == "a compressed stream that fails half-way")
            e.reset(new ShortExport(rendering, FilePathSpec(target), &array_, true, 500000));
        else if (name == "a target that fails half-way")
            e.reset(new ShortExport(rendering, FilePathSpec(target), &array_, false, 150000));
        else
            e.reset(new ExportJPEGImage(rendering, FilePathSpec(target), &array_));
        const Outcome o = Run(*e, s);
        if (name == "a file-size limit") ::setrlimit(RLIMIT_FSIZE, &oldLimit);
        ::chmod(dir.c_str(), 0755);
        ::setenv("TMPDIR", tmp_.Path().c_str(), 1);

        EXPECT_EQ(o.code, c.code);
        if (o.code != NbErrRenderCancelled && !o.operation.empty()) {
            EXPECT_EQ(o.operation, "ExportJPEGImage::SaveFile");
        }
        if (c.rendersNothing) {
            EXPECT_EQ(fake->renders, rendersBefore);
        }
        if (name == "cancel in the second strip") {
            EXPECT_EQ(fake->renders - rendersBefore, 2);
        }
        EXPECT_EQ(array_.GetPixelType(), PixelArray::RGB);
        EXPECT_EQ(array_.GetChannels(), 3);
        EXPECT_EQ(array_.GetBytesPerSample(), 2);
        // Nothing of the export is left, beside the target or in the temporary folder.
        std::vector<std::string> names;
        for (const auto& f : fs::directory_iterator(dir)) names.push_back(f.path().filename().string());
        EXPECT_EQ(names, c.existing ? std::vector<std::string>{"out.jpg"} : std::vector<std::string>{});
        EXPECT_EQ(tmp_.List(), std::vector<std::string>());
        if (c.existing) {
            const std::vector<uint8_t> now = ReadBytes(target);
            EXPECT_EQ(std::string(now.begin(), now.end()), previous);
            struct stat after {};
            ::stat(target.c_str(), &after);
            EXPECT_EQ(after.st_mode, before.st_mode);
        }
    }
    array_.SetBytesPerSample(1);

    // A successful export replaces the existing file, with the mode of a
    // plain create, and leaves nothing else.
    PresetImage* fake = MakeImage(300, 200);
    const std::string target = folder_ / "replaced.jpg";
    std::ofstream(target, std::ios::binary) << previous;
    ::chmod(target.c_str(), 0600);
    ASSERT_EQ(Export(fake, target, JpegSetup()).code, 0);
    struct stat st {};
    ::stat(target.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    EXPECT_TRUE(Decode(ReadBytes(target)).ok);
    EXPECT_EQ(tmp_.List(), std::vector<std::string>());
}

TEST_F(ExportJPEGFailuresTest, TwoProcessesExportAtOnceAndAPlantedLinkIsNotFollowed) {
    // A link under the name every export once shared, pointing at a file
    // that must not change.
    const std::string victim = folder_ / "victim.txt";
    std::ofstream(victim) << "not yours";
    ASSERT_EQ(::symlink(victim.c_str(), (tmp_.Path() / "Lumora.tmp").c_str()), 0);

    MakeImage(1200, 900);
    int gate[2];
    ASSERT_EQ(::pipe(gate), 0);
    pid_t children[2];
    for (int i = 0; i < 2; ++i) {
        children[i] = ::fork();
        ASSERT_GE(children[i], 0);
        if (children[i] == 0) {
            ::close(gate[1]);
            char c;
            (void)!::read(gate[0], &c, 1); // both start when the gate closes
            auto* fake = new PresetImage(folder_ / "source.tif", 1200, 900);
            ImageRef image(fake);
            fake->FillPattern();
            fake->colorModes = {0, 1, 2};
            ImageProcessParam p;
            p.colorMode = 1;
            p.crop = fake->GetImageRect();
            ImageRendering rendering(image, p);
            ExportImageArray array;
            ExportJPEGImage e(rendering, FilePathSpec(folder_ / ("out" + std::to_string(i) + ".jpg")), &array);
            int code = 0;
            try {
                e.SaveFile();
            } catch (...) {
                code = 1;
            }
            ::_exit(code);
        }
    }
    ::close(gate[0]);
    ::close(gate[1]);
    for (pid_t child : children) {
        int status = -1;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    const std::vector<uint8_t> a = ReadBytes(folder_ / "out0.jpg"), b = ReadBytes(folder_ / "out1.jpg");
    const Decoded d = Decode(a);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.width, 1200);
    EXPECT_EQ(a, b);
    EXPECT_EQ(tmp_.List(), std::vector<std::string>{"Lumora.tmp"});
    EXPECT_TRUE(fs::is_symlink(tmp_.Path() / "Lumora.tmp"));
    EXPECT_EQ(ReadBytes(victim), (std::vector<uint8_t>{'n', 'o', 't', ' ', 'y', 'o', 'u', 'r', 's'}));
}
