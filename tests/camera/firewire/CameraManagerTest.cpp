#include <cstring>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "FireWireTestBus.h"
#include "RevAvazCameraManager.h"
#include "VqStatus.h"

using lumora::standins::SimulatedAnswer;
using lumora::vq::ProCameraManager;
using lumora::vq::RevAvazCameraManager;

namespace {

struct Delivered {
    uint32_t handle;
    std::vector<uint8_t> bytes;
};

std::mutex g_lock;
std::vector<Delivered> g_delivered;

// The callback sees 4 bytes for an event; a status block is 24. Which one it
// is follows from the code: events are 0x100 and 0x101.
void Record(uint32_t handle, const uint8_t* bytes) {
    const bool event = bytes[0] == 0 && bytes[1] == 0 && bytes[2] == 1 && bytes[3] <= 1;
    std::lock_guard<std::mutex> g(g_lock);
    g_delivered.push_back({handle, std::vector<uint8_t>(bytes, bytes + (event ? 4 : 24))});
}

void Other(uint32_t, const uint8_t*) {}

class CameraManagerTest : public FireWireTestBus {
protected:
    void SetUp() override {
        FireWireTestBus::SetUp();
        std::lock_guard<std::mutex> g(g_lock);
        g_delivered.clear();
    }
    void TearDown() override {
        manager.CloseManager();
        FireWireTestBus::TearDown();
    }
    std::vector<Delivered> Take() {
        std::lock_guard<std::mutex> g(g_lock);
        auto d = g_delivered;
        g_delivered.clear();
        return d;
    }
    uint32_t Handle(int index) {
        uint32_t h = 0;
        EXPECT_EQ(manager.GetCamera(index, &h), 0u);
        return h;
    }

    RevAvazCameraManager manager;
};

const std::vector<uint8_t> kArrived = {0, 0, 1, 1};
const std::vector<uint8_t> kRemoved = {0, 0, 1, 0};

TEST_F(CameraManagerTest, FindsTheCamerasPresentAndInitialisesOnce) {
    bus->Plug();
    bus->Plug();
    ASSERT_EQ(manager.Initialize(&Record), 0u);
    EXPECT_EQ(manager.CountCameras(), 2);
    EXPECT_EQ(manager.Initialize(&Other), VQ_ERR_FW_ALREADY_INITIALIZED);
    uint32_t h = 99;
    EXPECT_EQ(manager.GetCamera(0, &h), VQ_ERR_FW_BAD_CAMERA_HANDLE);
    EXPECT_EQ(h, 0u);
    EXPECT_EQ(manager.GetCamera(3, &h), VQ_ERR_FW_BAD_CAMERA_HANDLE);
    uint8_t data[48];
    EXPECT_EQ(manager.Inquiry(0xDEAD, data), VQ_ERR_FW_BAD_CAMERA_HANDLE);
    EXPECT_EQ(manager.Inquiry(Handle(2), data), 0u);
    // The first callback stays: a removal reaches Record.
    bus->Unplug(1);
    EXPECT_EQ(manager.LookForCameraEvents(), 0u);
    EXPECT_EQ(Take().size(), 1u);
}

TEST_F(CameraManagerTest, ArrivalAndRemovalReachTheCallbackWithTheirCodes) {
    ASSERT_EQ(manager.Initialize(&Record), 0u);
    EXPECT_EQ(manager.LookForCameraEvents(), 0u);
    EXPECT_TRUE(Take().empty());

    const uint32_t id = bus->Plug();
    ASSERT_EQ(manager.CountCameras(), 1);
    const uint32_t handle = Handle(1);
    EXPECT_EQ(manager.LookForCameraEvents(), 0u);
    auto got = Take();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].handle, handle);
    EXPECT_EQ(got[0].bytes, kArrived);

    // A rescan that finds nothing new still reports the last camera.
    bus->Replug(id);
    EXPECT_EQ(manager.LookForCameraEvents(), 0u);
    got = Take();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].handle, handle);

    const int openBefore = bus->OpenDevices();
    bus->Unplug(id);
    // Until the event is collected the camera stays listed and answers 20.
    EXPECT_EQ(manager.CountCameras(), 1);
    uint8_t data[8];
    EXPECT_EQ(manager.Get(handle, data, 8, 1), 20u);
    EXPECT_EQ(manager.LookForCameraEvents(), 0u);
    got = Take();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].handle, handle);
    EXPECT_EQ(got[0].bytes, kRemoved);
    EXPECT_EQ(manager.CountCameras(), 0);
    EXPECT_EQ(bus->OpenDevices(), openBefore - 1);
}

TEST_F(CameraManagerTest, UnsolicitedStatusReachesTheCallbackInBusOrder) {
    const uint32_t id = bus->Plug();
    ASSERT_EQ(manager.Initialize(&Record), 0u);
    const uint32_t block[8] = {0x00010000, 0, 0x00000205, 0xCAFEF00D, 0, 0, 0, 0};
    for (int i = 0; i < 40000 && !bus->SendUnsolicited(id, block); ++i)
        std::this_thread::sleep_for(std::chrono::microseconds(50));
    std::vector<Delivered> got;
    for (int i = 0; i < 2000 && got.empty(); ++i) {
        EXPECT_EQ(manager.LookForCameraEvents(), 0u);
        got = Take();
        if (got.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].handle, Handle(1));
    ASSERT_EQ(got[0].bytes.size(), 24u);
    const std::vector<uint8_t> head = {0, 0, 2, 5, 0xCA, 0xFE, 0xF0, 0x0D};
    EXPECT_EQ(std::vector<uint8_t>(got[0].bytes.begin(), got[0].bytes.begin() + 8), head);
}

TEST_F(CameraManagerTest, AFullEventRingKeepsWhatItHoldsAndCountsTheRest) {
    ASSERT_EQ(manager.Initialize(&Record), 0u);
    const uint32_t droppedBefore = RevAvazCameraManager::DroppedEvents();
    for (int i = 0; i < 12; ++i) bus->Plug();
    EXPECT_EQ(manager.LookForCameraEvents(), 0u);
    const auto got = Take();
    ASSERT_EQ(got.size(), RevAvazCameraManager::kEventRingEntries - 1);
    for (const auto& d : got) {
        EXPECT_NE(d.handle, 0u);
        EXPECT_EQ(d.bytes, kArrived);
    }
    EXPECT_EQ(RevAvazCameraManager::DroppedEvents() - droppedBefore, 3u);
}

TEST_F(CameraManagerTest, CloseManagerClosesEveryDeviceItOpened) {
    bus->Plug();
    bus->Plug();
    ASSERT_EQ(manager.Initialize(&Record), 0u);
    EXPECT_EQ(bus->OpenDevices(), 2);
    manager.CloseManager();
    EXPECT_EQ(manager.CountCameras(), 0);
    EXPECT_EQ(bus->OpenDevices(), 0);
    // Closed, it may be initialised again.
    EXPECT_EQ(manager.Initialize(&Record), 0u);
    EXPECT_EQ(manager.CountCameras(), 2);
}

TEST_F(CameraManagerTest, CloseIsTriedFourTimesASecondApart) {
    const uint32_t id = bus->Plug();
    ASSERT_EQ(manager.Initialize(&Record), 0u);
    bus->Script(id, std::vector<SimulatedAnswer>(4, {SimulatedAnswer::CameraWord, 0x1234}));
    EXPECT_EQ(manager.Close(Handle(1), 3), 0x1234u);
    auto sent = bus->Commands(id);
    ASSERT_EQ(sent.size(), 4u);
    for (size_t k = 1; k < sent.size(); ++k) {
        EXPECT_EQ(sent[k].opcode, 0xE1);
        EXPECT_GE(sent[k].realMicros - sent[k - 1].realMicros, PauseMicros(1000));
    }
    // One success ends the retries.
    bus->Script(id, {{SimulatedAnswer::CameraWord, 0x1234}});
    EXPECT_EQ(manager.Close(Handle(1), 3), 0u);
    EXPECT_EQ(bus->Commands(id).size(), 6u);
}

TEST_F(CameraManagerTest, BusResetDuringAReadReconnectsAndTheReadIsRetried) {
    const uint32_t id = bus->Plug();
    ASSERT_EQ(manager.Initialize(&Record), 0u);
    const std::vector<uint8_t> file(100, 0x42);
    bus->PutFile(id, "A.ZYR", file);
    const uint32_t h = Handle(1);
    const uint16_t session = 5;
    ASSERT_EQ(manager.Open(h, "A.ZYR", session), 0u);
    bus->Script(id, {{SimulatedAnswer::BusReset, 0}});
    std::vector<uint8_t> data(100);
    EXPECT_EQ(manager.Read(h, data.data(), 100, session, 0), 0u);
    EXPECT_EQ(data, file);
    EXPECT_EQ(bus->Reconnects(id), 1);
    EXPECT_EQ(manager.Close(h, session), 0u);
}

} // namespace
