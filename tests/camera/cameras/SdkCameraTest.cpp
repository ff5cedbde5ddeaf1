#include "CameraHandleMap.h"
#include "DriverState.h"
#include "SdkCamera.h"

#include <gtest/gtest.h>

#include <vector>

using namespace lumora::vq;

namespace {

// Records which cameras were asked, and reports a device handle of its own.
struct ProbeCamera : SdkCamera {
    std::vector<uint32_t>* log;
    uint32_t device;
    uint32_t id = 0;
    uint32_t lastEvent = 0;
    ProbeCamera(std::vector<uint32_t>* l, uint32_t d) : log(l), device(d) {}
    VqStatus GetDeviceHandle(uint32_t* out) override {
        log->push_back(id);
        *out = device;
        return VQ_ERR_NOT_SUPPORTED;
    }
    void OnDeviceEvent(uint32_t event) override { lastEvent = event; }
};

} // namespace

TEST(SdkCamera, UnprovidedOperationsGiveTheirDefaultAnswers) {
    SdkCamera camera;
    EXPECT_FALSE(camera.IsOpen());
    EXPECT_EQ(camera.Open(nullptr), VQ_ERR_NOT_SUPPORTED);
    EXPECT_EQ(camera.PollImages(nullptr), VQ_ERR_NOT_SUPPORTED);
    EXPECT_EQ(camera.RenameImage(0, "a", "b", 0), VQ_ERR_NOT_SUPPORTED);
    EXPECT_EQ(camera.GetPropertyList(nullptr, nullptr), VQ_ERR_NOT_SUPPORTED);
    EXPECT_EQ(camera.CreateAttachmentList("wav", 0), nullptr);
    uint32_t handle = 99;
    EXPECT_EQ(camera.GetDeviceHandle(&handle), VQ_ERR_NOT_SUPPORTED);
    EXPECT_EQ(handle, 0u);
    camera.OnDeviceEvent(1);  // does nothing
    const uint8_t* record = reinterpret_cast<const uint8_t*>(&camera.record());
    for (size_t i = 0; i < sizeof(CameraRecord); ++i) ASSERT_EQ(record[i], 0) << i;
}

TEST(SdkCamera, EventDispatchVisitsOnlyTheIdsPresent) {
    DriverState& state = Driver();
    ASSERT_EQ(state.cameras, nullptr);
    uint32_t counter = 0;
    CameraHandleMap cameras(counter);
    state.cameras = &cameras;
    std::vector<uint32_t> log;
    ProbeCamera a(&log, 0), b(&log, 5);
    // Ids far apart: walking every number between them would take forever.
    counter = 2;
    a.id = uint32_t(cameras.Add(&a));
    counter = 0x7FFF0000;
    b.id = uint32_t(cameras.Add(&b));
    const uint8_t event[4] = {0x12, 0x34, 0x56, 0x78};
    SdkDispatchCameraEvent(5, event);
    EXPECT_EQ(log, (std::vector<uint32_t>{3, 0x7FFF0001}));
    EXPECT_EQ(a.lastEvent, 0u);
    EXPECT_EQ(b.lastEvent, 0x12345678u);
    SdkDispatchCameraEvent(0, event);
    EXPECT_EQ(a.lastEvent, 0x12345678u);
    state.cameras = nullptr;
    SdkDispatchCameraEvent(0, event);  // no table: nothing happens
}
