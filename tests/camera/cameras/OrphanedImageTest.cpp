// An open image whose file left the folder while it was open loses its place
// in the camera's list at the next poll; the file that takes that place in
// the list is not the image's, and nothing the image does reaches it.
#include "TestFiles.h"
#include "VqSession.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

namespace {

std::vector<uint8_t> RawFile() {
    ZyrSampleOptions o;
    o.version = 0x01000000;
    return ZyrSample::Make(o);
}

using lumora::test::ReadFileBytes;

} // namespace

TEST(OrphanedImage, WritesOfAnImageWhoseFileLeftTheListDoNotReachItsSuccessor) {
    VqSession session;
    lumora::test::TempFolder dir;
    const std::string a = WriteFile(dir, "a.tif", RawFile());
    ImageInfoRecord info = EmptyRecord();
    ASSERT_EQ(VqOpenImageFile(a.c_str(), &info), 0u);
    CameraRecord camera;
    std::memset(&camera, 0, sizeof camera);
    camera.cameraId = int32_t(lumora::vq::Driver().cameraIdCounter);

    // a.tif goes, b.tif comes: after the poll b.tif holds the list's first place.
    ASSERT_EQ(::unlink(a.c_str()), 0);
    const std::string b = WriteFile(dir, "b.tif", RawFile());
    const std::vector<uint8_t> before = ReadFileBytes(b);
    VqPollRecord poll;
    ASSERT_EQ(VqPollImages(&camera, &poll), 0u);
    ASSERT_EQ(poll.imageCount, 1);

    EXPECT_EQ(VqSetRotateType(&info, 90.0f), 0u);
    EXPECT_NE(VqSaveProcessParameters(&info), 0u);
    EXPECT_NE(VqSetImageDescription(&info, 5, "Hello"), 0u);
    EXPECT_EQ(ReadFileBytes(b), before);
    EXPECT_FALSE(std::filesystem::exists(a));

    EXPECT_EQ(VqCloseImage(&info), 0u);
    EXPECT_EQ(lumora::vq::Driver().cameras->Find(camera.cameraId), nullptr);
}
