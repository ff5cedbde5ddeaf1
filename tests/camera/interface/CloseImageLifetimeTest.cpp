// A single-file camera and the images that use it: a caller can name the
// camera by its id and open more images on it, and whatever order the images
// are closed in, no call reaches a deleted camera or a deleted image.
#include "VqSession.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::vector<uint8_t> RawFile() {
    ZyrSampleOptions o;
    o.version = 0x01000000;
    return ZyrSample::Make(o);
}

// The record a caller makes to name the camera VqOpenImageFile just made:
// ids follow the handle rule, so it is the last id issued.
CameraRecord RecordOfLastCamera() {
    CameraRecord record;
    std::memset(&record, 0, sizeof record);
    record.cameraKind = VQ_CAMERA_KIND_FILE;
    record.cameraId = int32_t(lumora::vq::Driver().cameraIdCounter);
    return record;
}

} // namespace

TEST(CloseImageLifetime, SecondOpenOfTheFileCamerasImageIsRefusedAndBothClosesAnswer) {
    VqSession session;
    lumora::test::TempFolder dir;
    const std::string path = WriteFile(dir, "a.tif", RawFile());
    const int32_t before = VqSession::Memory();

    ImageInfoRecord first = EmptyRecord();
    ASSERT_EQ(VqOpenImageFile(path.c_str(), &first), 0u);
    CameraRecord camera = RecordOfLastCamera();
    ASSERT_NE(lumora::vq::Driver().cameras->Find(camera.cameraId), nullptr);

    // The camera's one entry already holds an image: a second image of it
    // would leave the first with no entry to release it.
    ImageInfoRecord second = EmptyRecord();
    EXPECT_EQ(VqOpenImage(&camera, 0, nullptr, &second), VQ_ERR_IMAGE_IS_OPEN);
    EXPECT_EQ(second.handle, 0);
    EXPECT_EQ(VqOpenImage(&camera, -1, "a.tif", &second), VQ_ERR_IMAGE_IS_OPEN);
    EXPECT_EQ(VqCloseImage(&second), VQ_ERR_BAD_HANDLE);

    // The first image still works and closes, taking its camera with it.
    uint32_t type = 0;
    EXPECT_EQ(VqGetImageType(&first, &type), 0u);
    EXPECT_EQ(VqCloseImage(&first), 0u);
    EXPECT_EQ(lumora::vq::Driver().cameras->Find(camera.cameraId), nullptr);
    EXPECT_EQ(VqSession::Memory(), before);
}

TEST(CloseImageLifetime, FileCameraStaysWhileAnotherOfItsImagesIsOpen) {
    VqSession session;
    lumora::test::TempFolder dir;
    const std::string path = WriteFile(dir, "a.tif", RawFile());
    WriteFile(dir, "b.tif", RawFile());

    ImageInfoRecord first = EmptyRecord();
    ASSERT_EQ(VqOpenImageFile(path.c_str(), &first), 0u);
    CameraRecord camera = RecordOfLastCamera();

    // A poll lists the whole folder in the file camera, so a second file of
    // it can be opened there.
    VqPollRecord poll;
    ASSERT_EQ(VqPollImages(&camera, &poll), 0u);
    EXPECT_EQ(poll.imageCount, 2);
    ImageInfoRecord second = EmptyRecord();
    ASSERT_EQ(VqOpenImage(&camera, -1, "b.tif", &second), 0u);

    // Closing the second image must not delete the camera (and with it the
    // first image) while the first is open.
    EXPECT_EQ(VqCloseImage(&second), 0u);
    EXPECT_NE(lumora::vq::Driver().cameras->Find(camera.cameraId), nullptr);
    uint32_t type = 0;
    EXPECT_EQ(VqGetImageType(&first, &type), 0u);
    EXPECT_EQ(VqCloseImage(&first), 0u);
    EXPECT_EQ(lumora::vq::Driver().cameras->Find(camera.cameraId), nullptr);

    // The other order: the image the camera was made for closes first.
    ASSERT_EQ(VqOpenImageFile(path.c_str(), &first), 0u);
    camera = RecordOfLastCamera();
    ASSERT_EQ(VqPollImages(&camera, &poll), 0u);
    ASSERT_EQ(VqOpenImage(&camera, -1, "b.tif", &second), 0u);
    EXPECT_EQ(VqCloseImage(&first), 0u);
    EXPECT_EQ(VqGetImageType(&second, &type), 0u);
    EXPECT_EQ(VqCloseImage(&second), 0u);
    EXPECT_EQ(lumora::vq::Driver().cameras->Find(camera.cameraId), nullptr);
}
