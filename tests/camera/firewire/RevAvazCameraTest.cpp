#include <cstring>
#include <string>
#include <vector>

#include "FireWireTestBus.h"
#include "RevAvazCamera.h"
#include "VqStatus.h"

using lumora::standins::SimulatedAnswer;
using lumora::standins::SimulatedCommand;
using lumora::vq::RevAvazCamera;

namespace {

class RevAvazCameraTest : public FireWireTestBus {
protected:
    void Start() {
        id = bus->Plug();
        camera = std::make_unique<RevAvazCamera>(id);
        ASSERT_EQ(camera->Open(OpenDevice(id)), 0u);
    }
    void TearDown() override {
        if (camera) camera->Close();
        camera.reset();
        FireWireTestBus::TearDown();
    }
    std::vector<SimulatedCommand> Sent() { return bus->Commands(id); }

    uint32_t id = 0;
    std::unique_ptr<RevAvazCamera> camera;
};

std::vector<uint8_t> Pattern(size_t n) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = uint8_t(i * 7 + i / 251);
    return v;
}

TEST_F(RevAvazCameraTest, LargeReadsAreCutIntoTransfersThatFitTheBuffer) {
    Start();
    const std::vector<uint8_t> file = Pattern(140000);
    bus->PutFile(id, "IMG.ZYR", file);
    ASSERT_EQ(camera->OpenCommand("IMG.ZYR", 7), 0u);
    struct Case {
        uint32_t length;
        std::vector<std::pair<uint32_t, uint32_t>> transfers; // length, offset
    };
    const Case cases[] = {
        {140000, {{65024, 0}, {65024, 0xFE00}, {9952, 0x1FC00}}},
        {130048, {{65024, 0}, {65024, 0xFE00}}},
        {65024, {{65024, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        const size_t before = Sent().size();
        std::vector<uint8_t> data(c.length, 0);
        ASSERT_EQ(camera->ReadCommand(data.data(), c.length, 7, 0), 0u);
        EXPECT_TRUE(std::equal(data.begin(), data.end(), file.begin()));
        const auto sent = Sent();
        ASSERT_EQ(sent.size() - before, c.transfers.size());
        for (size_t k = 0; k < c.transfers.size(); ++k) {
            EXPECT_EQ(sent[before + k].opcode, RevAvazCamera::kRead);
            EXPECT_EQ(sent[before + k].sessionId, 7);
            EXPECT_EQ(sent[before + k].blockLength, c.transfers[k].first);
            EXPECT_EQ(sent[before + k].blockOffset, c.transfers[k].second);
        }
    }
}

TEST_F(RevAvazCameraTest, OpenSendsTheNameWithItsTerminator) {
    Start();
    bus->PutFile(id, "ABC", {1, 2, 3});
    ASSERT_EQ(camera->OpenCommand("ABC", 0x0102), 0u);
    const auto sent = Sent();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].opcode, RevAvazCamera::kOpen);
    EXPECT_EQ(sent[0].sessionId, 0x0102);
    EXPECT_EQ(sent[0].blockLength, 4u);
    EXPECT_EQ(sent[0].data, (std::vector<uint8_t>{'A', 'B', 'C', 0}));
}

TEST_F(RevAvazCameraTest, RetriesFollowTheAnswer) {
    Start();
    using A = SimulatedAnswer;
    struct Case {
        const char* what;
        std::vector<A> script;
        uint32_t answer;
        size_t sends;
        uint32_t pauseMs;
    };
    const Case cases[] = {
        {"busy every time", std::vector<A>(5, {A::Busy, 0}), VQ_ERR_SBP2_BUSY, 5, 500},
        {"transport status 16 allows one more", std::vector<A>(5, {A::Transport16, 0}),
         VQ_ERR_SBP2_TRANSPORT_STATUS_16, 2, 250},
        {"camera word 0xD0000 then success", {{A::CameraWord, 0xD0000}}, 0, 2, 250},
        {"bad checksum then success", {{A::BadChecksum, 0}}, 0, 2, 500},
        {"other camera word is not retried", {{A::CameraWord, 0x1234}}, 0x1234, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        bus->Script(id, c.script);
        const size_t before = Sent().size();
        uint8_t data[16];
        EXPECT_EQ(camera->GetCommand(data, sizeof data, 1), c.answer);
        const auto sent = Sent();
        ASSERT_EQ(sent.size() - before, c.sends);
        for (size_t k = before + 1; k < sent.size(); ++k)
            EXPECT_GE(sent[k].realMicros - sent[k - 1].realMicros, PauseMicros(c.pauseMs));
    }
}

TEST_F(RevAvazCameraTest, ResourceFileAnswerCountsAsSuccessOnlyForExecute) {
    Start();
    std::string text = "load resource.frk";
    std::vector<uint8_t> data(text.begin(), text.end());
    bus->Script(id, {{SimulatedAnswer::CameraWord, 0x70000}});
    EXPECT_EQ(camera->ExecuteCommand(data.data(), uint32_t(data.size()), 1), 0u);
    bus->Script(id, {{SimulatedAnswer::CameraWord, 0x70000}});
    EXPECT_EQ(camera->SetCommand(data.data(), uint32_t(data.size()), 1), 0x70000u);
    // The name must lie inside the data given: here its last letter does not.
    std::vector<uint8_t> cut(data.begin(), data.end() - 1);
    cut.reserve(cut.size() + 1);
    bus->Script(id, {{SimulatedAnswer::CameraWord, 0x70000}});
    EXPECT_EQ(camera->ExecuteCommand(cut.data(), uint32_t(cut.size()), 1), 0x70000u);
}

TEST_F(RevAvazCameraTest, ClosedOrMissingCamerasAnswerWithoutSending) {
    Start();
    camera->missing = true;
    uint8_t data[4];
    EXPECT_EQ(camera->GetCommand(data, 4, 1), RevAvazCamera::kDeviceMissing);
    camera->missing = false;
    EXPECT_EQ(camera->Close(), 0u);
    EXPECT_EQ(camera->GetCommand(data, 4, 1), VQ_ERR_FW_CAMERA_NOT_OPEN);
    EXPECT_EQ(camera->Inquiry(data), VQ_ERR_FW_CAMERA_NOT_OPEN);
    EXPECT_EQ(camera->Close(), VQ_ERR_FW_CAMERA_NOT_OPEN);
    EXPECT_TRUE(Sent().empty());
}

TEST_F(RevAvazCameraTest, InquiryAndLoginRetry) {
    id = bus->Plug();
    bus->FailLogins(id, 1);
    camera = std::make_unique<RevAvazCamera>(id);
    ASSERT_EQ(camera->Open(OpenDevice(id)), 0u);
    EXPECT_EQ(bus->Logins(id), 2);
    uint8_t data[48] = {};
    ASSERT_EQ(camera->Inquiry(data), 0u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data)), "SIM1394 SBP-2 CAMERA");
    const auto sent = Sent();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].opcode, 0x12);
    EXPECT_EQ(sent[0].orbLength, 48u);

    const uint32_t other = bus->Plug();
    bus->FailLogins(other, 2);
    RevAvazCamera refused(other);
    EXPECT_EQ(refused.Open(OpenDevice(other)), VQ_ERR_SBP2_FUNCTION_REJECTED);
    EXPECT_FALSE(refused.IsOpen());
    EXPECT_EQ(bus->PendingRequests(other), 0);
}

} // namespace
