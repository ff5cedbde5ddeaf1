// The camera's white-balance file written from a raw image of the newest
// models: the driver's bytes under a name the camera reads, an existing file
// replaced only by a complete new one, and the refusals with their codes.
#include "ProTestSupport.h"

#include "ImageRef.h"
#include "NbErrorCodes.h"
#include "YlmErrp.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace {

using namespace NimbalCore;
namespace fs = std::filesystem;

constexpr int32_t kWhiteBalanceFileAttribute = 1845;

std::vector<uint8_t> DriverBytes() {
    std::vector<uint8_t> bytes(4096);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(i * 7 + 3);
    return bytes;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

struct Outcome {
    int code = 0;
    std::string operation;
};

Outcome Write(ProImage* image, const std::string& target) {
    try {
        image->WriteWhiteBalanceFile(FilePathSpec(target));
    } catch (const YlmErrp& e) {
        return {e.GetCode(), e.Get()->GetMessage()};
    }
    return {};
}

// Everything in the folder but the raw file: what a write left behind.
std::vector<std::string> Leftovers(const lumora::test::TempFolder& folder, const std::string& keep) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder.path()))
        if (entry.path().filename() != "raw.zyr" && entry.path().filename() != keep)
            names.push_back(entry.path().filename().string());
    return names;
}

// A file-size limit on this process for one scope, with the signal it would
// raise ignored, so that a write past it fails part of the way.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
        handler_ = std::signal(SIGXFSZ, SIG_IGN);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, handler_);
    }

private:
    rlimit saved_{};
    void (*handler_)(int) = nullptr;
};

class ProImageWhiteBalanceFile : public ::testing::Test {
protected:
    ImageRef Open(bool withAttribute, ProImage*& image) {
        protest::Pool();
        ZproSpec spec = protest::Spec(2048, 32, 24);
        if (withAttribute) spec.Set(kWhiteBalanceFileAttribute, ZproValue::Block(DriverBytes()));
        else spec.Drop(kWhiteBalanceFileAttribute);
        image = new ProImage(FilePathSpec(protest::WriteFile(folder_, "raw.zyr", spec)), ProImage::Wren4);
        ImageRef ref(image);
        EXPECT_EQ(image->Open(), 0);
        return ref;
    }

    lumora::test::TempFolder folder_;
};

TEST_F(ProImageWhiteBalanceFile, TheCameraReadsNamesOfEightCharactersAndTheExtensionWB) {
    ProImage* image = nullptr;
    ImageRef ref = Open(true, image);
    const struct {
        const char* name;
        bool accepted;
    } cases[] = {
        {"ABCDEFGH.wb", true}, {"A.WB", true},         {".wb", true},     {"studio.Wb", true},
        {"ABCDEFGHI.wb", false}, {"A.wbx", false},     {"A.wa", false},   {"A.jpg", false},
        {"A.w", false},        {"AWB", false},         {"A.wb.jpg", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string target = folder_.file(c.name);
        const Outcome o = Write(image, target);
        if (c.accepted) {
            EXPECT_EQ(o.code, 0);
            EXPECT_EQ(ReadBytes(target), DriverBytes());
            fs::remove(target);
        } else {
            EXPECT_EQ(o.code, NbErrBadFileExtension);
            EXPECT_EQ(o.operation, "ProImage::WriteWhiteBalanceFile");
        }
        EXPECT_EQ(Leftovers(folder_, ""), std::vector<std::string>());
    }
}

TEST_F(ProImageWhiteBalanceFile, AnExistingFileIsReplacedOnlyByACompleteNewOne) {
    ProImage* image = nullptr;
    ImageRef ref = Open(true, image);
    const std::string target = folder_.file("CAMERA.WB");
    const std::string old = "the camera's balance of yesterday";
    folder_.write("CAMERA.WB", old);
    ASSERT_EQ(Write(image, target).code, 0);
    EXPECT_EQ(ReadBytes(target), DriverBytes());
    EXPECT_EQ(Leftovers(folder_, "CAMERA.WB"), std::vector<std::string>());

    // Each failure answers 1724, keeps the file that was there and leaves
    // nothing else behind.
    const struct {
        const char* name;
        std::function<Outcome(ProImage*)> write;
    } failures[] = {
        {"a disk that takes only part of the file",
         [&](ProImage* im) {
             FileSizeLimit limit(100);
             return Write(im, target);
         }},
        {"a driver without a white-balance file",
         [&](ProImage*) {
             ProImage* bare = nullptr;
             ImageRef held = Open(false, bare);
             return Write(bare, target);
         }},
    };
    for (const auto& f : failures) {
        SCOPED_TRACE(f.name);
        folder_.write("CAMERA.WB", old);
        const Outcome o = f.write(image);
        EXPECT_EQ(o.code, NbErrWhiteBalanceFileFailed);
        EXPECT_EQ(o.operation, "ProImage::WriteWhiteBalanceFile");
        const std::vector<uint8_t> kept = ReadBytes(target);
        EXPECT_EQ(std::string(kept.begin(), kept.end()), old);
        EXPECT_EQ(Leftovers(folder_, "CAMERA.WB"), std::vector<std::string>());
    }

    // Targets that cannot take the file.
    fs::create_directory(folder_.file("FOLDER.WB"));
    EXPECT_EQ(Write(image, folder_.file("FOLDER.WB")).code, NbErrWhiteBalanceFileFailed);
    EXPECT_TRUE(fs::is_directory(folder_.file("FOLDER.WB")));
    EXPECT_EQ(Write(image, folder_.file("gone/CAMERA.WB")).code, NbErrWhiteBalanceFileFailed);
    EXPECT_FALSE(fs::exists(folder_.file("gone")));
}

// Says no to a white-balance file, as a kind does for the balance in force.
class RefusingImage : public ProImage {
public:
    using ProImage::ProImage;
    bool CanWhiteBalanceFileBeSaved(int* reason) override {
        if (reason) *reason = 0;
        return false;
    }
};

TEST_F(ProImageWhiteBalanceFile, AClosedImageOpensForTheWriteAndKeepsItsClosableFlag) {
    ProImage* image = nullptr;
    ImageRef ref = Open(true, image);
    for (bool closable : {true, false}) {
        SCOPED_TRACE(closable);
        image->Close();
        image->SetClosable(closable);
        const std::string target = folder_.file(closable ? "A.WB" : "B.WB");
        EXPECT_EQ(Write(image, target).code, 0);
        EXPECT_TRUE(image->IsOpen());
        EXPECT_EQ(image->IsClosable(), closable);
        EXPECT_EQ(ReadBytes(target), DriverBytes());
    }

    // An image that refuses, and one whose file can no longer be opened.
    auto* refusing = new RefusingImage(image->GetFilePathSpec(), ProImage::Wren4);
    ImageRef heldRefusing(refusing);
    ASSERT_EQ(refusing->Open(), 0);
    const Outcome refused = Write(refusing, folder_.file("C.WB"));
    EXPECT_EQ(refused.code, NbErrWhiteBalanceUnavailable);
    EXPECT_EQ(refused.operation, "ProImage::WriteWhiteBalanceFile");
    EXPECT_TRUE(refusing->IsClosable());

    image->Close();
    image->SetClosable(true);
    fs::remove(image->GetFilePathSpec().GetPath());
    EXPECT_EQ(Write(image, folder_.file("D.WB")).code, NbErrImageFileOpenFailed);
    EXPECT_TRUE(image->IsClosable());
    EXPECT_FALSE(fs::exists(folder_.file("C.WB")));
    EXPECT_FALSE(fs::exists(folder_.file("D.WB")));
}

} // namespace
