// Copying images (and their sounds) out of folder cameras: the progress each
// variant reports, the dry run, targets that exist, cancelling, and where the
// copies go.
#include "FolderScanCamera.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "RegisteredFolderCamera.h"
#include "TempFolder.h"
#include "VqSession.h"

using namespace lumora::vq;
namespace fs = std::filesystem;

namespace {

using Calls = std::vector<std::pair<int32_t, int32_t>>; // phase, percent

Calls* gCalls = nullptr;
int32_t gStopAtStep = -1; // answer 0 at this phase-1 call

int32_t Record(int32_t phase, int32_t percent, int32_t, int32_t) {
    gCalls->push_back({phase, percent});
    if (phase == 1 && gStopAtStep >= 0 && --gStopAtStep < 0) return 0;
    return 1;
}

void Write(const fs::path& file, size_t bytes) {
    std::ofstream out(file, std::ios::binary);
    std::string chunk(65536, '\0');
    for (size_t i = 0; i < chunk.size(); ++i) chunk[i] = char(i * 7);
    for (size_t done = 0; done < bytes; done += chunk.size())
        out.write(chunk.data(), std::streamsize(std::min(chunk.size(), bytes - done)));
}

VqPathRecord Path(const fs::path& p) {
    VqPathRecord r{};
    std::snprintf(r.path, sizeof r.path, "%s", p.c_str());
    return r;
}

bool SameBytes(const fs::path& a, const fs::path& b) {
    std::ifstream x(a, std::ios::binary), y(b, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(x), {}) == std::string(std::istreambuf_iterator<char>(y), {});
}

class CopyImageToFolderTest : public ::testing::Test {
protected:
    // Calls of one copy; streamed through the camera's byte reading or
    // through the file system.
    Calls Copy(bool streamed, const fs::path& destination, uint32_t expected, const char* name = nullptr,
               uint8_t flags = 0) {
        Calls calls;
        gCalls = &calls;
        ProgressRecord progress{Record, 0};
        const VqPathRecord to = Path(destination);
        FolderScanCamera* c = camera_->camera;
        const VqStatus status = streamed ? c->FolderCamera::CopyImageToFolder(0, &to, name, flags, &progress)
                                         : c->CopyImageToFolder(0, &to, name, flags, &progress);
        EXPECT_EQ(status, expected);
        gCalls = nullptr;
        return calls;
    }
    void Camera(uint32_t type) {
        camera_.reset();
        camera_ = std::make_unique<RegisteredFolderCamera>(in_.path().string(), type);
        ASSERT_EQ(camera_->openStatus, 0u);
    }
    void TearDown() override {
        camera_.reset();
        gStopAtStep = -1;
    }

    lumora::test::TempFolder in_, out_;
    VqSession session_;
    std::unique_ptr<RegisteredFolderCamera> camera_;
};

TEST_F(CopyImageToFolderTest, ProgressOfEachVariant) {
    Write(in_.path() / "a.tif", 300000);
    struct Row {
        const char* what;
        uint32_t cameraType;
        bool streamed;
        Calls calls;
    };
    const Row rows[] = {
        {"large chunks", 3, true, {{0, 0}, {1, 77}, {2, 100}}},
        {"small chunks", 0, true, {{0, 0}, {1, 34}, {1, 68}, {2, 100}}},
        {"through the file system", 0, false, {{0, 0}, {2, 100}}},
    };
    for (const Row& r : rows) {
        Camera(r.cameraType);
        fs::remove(out_.path() / "a.tif");
        EXPECT_EQ(Copy(r.streamed, out_.path(), 0), r.calls) << r.what;
        EXPECT_TRUE(SameBytes(in_.path() / "a.tif", out_.path() / "a.tif")) << r.what;
        // Stamped to the second the camera's DOS stamp keeps.
        const auto gap = fs::last_write_time(out_.path() / "a.tif") - fs::last_write_time(in_.path() / "a.tif");
        EXPECT_LT(std::chrono::abs(gap), std::chrono::seconds(2)) << r.what;
    }
}

TEST_F(CopyImageToFolderTest, LargeFilesReportProgressThatOnlyRisesAndEndsAtAHundred) {
    Write(in_.path() / "big.tif", 50u << 20);
    Camera(0);
    for (bool streamed : {true, false}) {
        fs::remove(out_.path() / "big.tif");
        const Calls calls = Copy(streamed, out_.path(), 0);
        ASSERT_GE(calls.size(), 3u) << streamed;
        EXPECT_EQ(calls.front(), std::make_pair(0, 0));
        EXPECT_EQ(calls.back(), std::make_pair(2, 100));
        for (size_t i = 1; i + 1 < calls.size(); ++i) {
            EXPECT_EQ(calls[i].first, 1);
            EXPECT_GE(calls[i].second, calls[i - 1].second) << streamed << " call " << i;
            EXPECT_LT(calls[i].second, 100);
        }
        EXPECT_EQ(fs::file_size(out_.path() / "big.tif"), 50u << 20);
    }
}

TEST_F(CopyImageToFolderTest, DryRunExistingTargetsAndCancelLeaveFilesAlone) {
    // More than one chunk of either variant.
    Write(in_.path() / "a.tif", 2000000);
    Camera(0);
    // The dry run reads and writes nothing.
    const Calls dry = Copy(true, "NULL", 0);
    EXPECT_EQ(dry.front(), std::make_pair(0, 0));
    EXPECT_EQ(dry.back(), std::make_pair(2, 100));
    EXPECT_FALSE(fs::exists("NULL"));
    // A target that exists is never replaced.
    std::ofstream(out_.path() / "a.tif") << "mine";
    for (bool streamed : {true, false}) {
        Copy(streamed, out_.path(), 80);
        EXPECT_EQ(fs::file_size(out_.path() / "a.tif"), 4u) << streamed;
    }
    fs::remove(out_.path() / "a.tif");
    // Stopped at the first step: no half copy stays, the source does.
    for (bool streamed : {true, false}) {
        gStopAtStep = 0;
        Copy(streamed, out_.path(), VQ_ERR_CANCELLED);
        EXPECT_FALSE(fs::exists(out_.path() / "a.tif")) << streamed;
        EXPECT_EQ(fs::file_size(in_.path() / "a.tif"), 2000000u) << streamed;
    }
}

TEST_F(CopyImageToFolderTest, TargetsAndSoundsThroughTheFileSystem) {
    Write(in_.path() / "a.tif", 1000);
    Write(in_.path() / "a0001.wav", 100);
    Camera(0);
    const VqPathRecord toFile = Path(out_.path() / "b.TIF");
    EXPECT_EQ(camera_->camera->CopyImageFileToFolder(0, &toFile, nullptr, 1), 0u);
    EXPECT_TRUE(SameBytes(in_.path() / "a.tif", out_.path() / "b.TIF"));
    EXPECT_TRUE(SameBytes(in_.path() / "a0001.wav", out_.path() / "a0001.wav"));

    lumora::test::TempFolder second;
    const VqPathRecord toFolder = Path(second.path());
    EXPECT_EQ(camera_->camera->CopyImageToFolder(-1, &toFolder, "A.TIF", 1, nullptr), 0u);
    EXPECT_TRUE(SameBytes(in_.path() / "a.tif", second.path() / "a.tif"));
    EXPECT_TRUE(SameBytes(in_.path() / "a0001.wav", second.path() / "a0001.wav"));
    // Look-up failures.
    EXPECT_EQ(camera_->camera->CopyImageToFolder(-1, &toFolder, nullptr, 0, nullptr), VQ_ERR_NULL_NAME);
    EXPECT_EQ(camera_->camera->CopyImageToFolder(-1, &toFolder, "", 0, nullptr), VQ_ERR_NAME_REQUIRED);
    EXPECT_EQ(camera_->camera->CopyImageToFolder(-1, &toFolder, "x.tif", 0, nullptr), VQ_ERR_ENTRY_NOT_FOUND);
    EXPECT_EQ(camera_->camera->CopyImageToFolder(3, &toFolder, nullptr, 0, nullptr), VQ_ERR_ENTRY_NOT_FOUND);
    EXPECT_EQ(camera_->camera->CopyImageToFolder(0, nullptr, nullptr, 0, nullptr), VQ_ERR_NO_ENTRY_LIST);
}

TEST_F(CopyImageToFolderTest, StreamedCopyWithSoundsAndANewName) {
    Write(in_.path() / "a.tif", 5000);
    Write(in_.path() / "a0001.wav", 100);
    Camera(0);
    const Calls calls = Copy(true, out_.path(), 0, "c.tif", 1);
    EXPECT_TRUE(SameBytes(in_.path() / "a.tif", out_.path() / "c.tif"));
    EXPECT_TRUE(SameBytes(in_.path() / "a0001.wav", out_.path() / "a0001.wav"));
    // The sound counts in the percentage: the image alone is 98 of 100.
    EXPECT_EQ(calls, (Calls{{0, 0}, {1, 98}, {2, 100}}));
}

} // namespace
