#include <cstring>
#include <chrono>
#include <thread>
#include <vector>

#include "FireWireTestBus.h"
#include "Sbp2Session.h"
#include "VqStatus.h"

using lumora::standins::SimulatedAnswer;
using lumora::vq::Sbp2Session;
using lumora::vq::VendorCommandRequest;

namespace {

class Sbp2SessionTest : public FireWireTestBus {
protected:
    // A session set up and logged in on a new camera.
    void Start() {
        camera = bus->Plug();
        ASSERT_TRUE(session.Setup(OpenDevice(camera)));
        ASSERT_EQ(session.Login(), 0u);
    }
    void TearDown() override {
        session.Logout();
        session.Teardown();
        FireWireTestBus::TearDown();
    }

    static VendorCommandRequest Request(uint8_t opcode, bool toCamera, uint8_t* data, uint32_t length) {
        VendorCommandRequest r;
        r.opcode = opcode;
        r.commandBlock[0] = opcode;
        r.toCamera = toCamera;
        r.data = data;
        r.length = length;
        r.SetBlockLength(length);
        return r;
    }

    // Writes the block once the host watches for it again.
    void Send(const uint32_t (&block)[8]) {
        for (int i = 0; i < 40000 && !bus->SendUnsolicited(camera, block); ++i)
            std::this_thread::sleep_for(std::chrono::microseconds(50));
    }

    uint32_t camera = 0;
    Sbp2Session session;
};

TEST_F(Sbp2SessionTest, LogsInAndOutAndLeavesNothingPendingAfterTearDown) {
    Start();
    EXPECT_TRUE(session.LoggedIn());
    EXPECT_NE(session.Tag(), 0);
    EXPECT_EQ(session.ManagementAgent(), 0xFFFFF0010000ull);
    EXPECT_EQ(bus->Logins(camera), 1);
    session.Logout();
    EXPECT_FALSE(session.LoggedIn());
    session.Teardown();
    EXPECT_EQ(bus->PendingRequests(camera), 0);
}

TEST_F(Sbp2SessionTest, ConfigurationRomNeedsUnitDirectoryAndAgentInTheBytesRead) {
    struct Case {
        const char* what;
        std::vector<uint32_t> rom;
        bool ok;
    };
    std::vector<uint32_t> lateUnit(27, 0);
    lateUnit[26] = 0xD1000000;
    std::vector<uint32_t> noAgent(27, 0);
    noAgent[3] = 0xD1000004;
    std::vector<uint32_t> good(27, 0);
    good[3] = 0xD1000004;
    good[6] = 0x54000100;
    // The device delivers only 6 quadlets: the agent entry of the full ROM
    // lies past them and must not be taken from stale bytes.
    std::vector<uint32_t> shortRead(good.begin(), good.begin() + 6);
    const Case cases[] = {
        {"unit directory only at quadlet 26", lateUnit, false},
        {"no management agent entry", noAgent, false},
        {"agent past the bytes read", shortRead, false},
        {"unit directory and agent", good, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const uint32_t id = bus->Plug();
        bus->SetConfigRom(id, c.rom);
        Sbp2Session s;
        EXPECT_EQ(s.Setup(OpenDevice(id)), c.ok);
        if (c.ok) {
            EXPECT_EQ(s.ManagementAgent(), 0xFFFFF0000400ull);
        }
        s.Teardown();
    }
}

TEST_F(Sbp2SessionTest, LengthIsRoundedToQuadletsAndOnlyTheAskedBytesAreCopied) {
    Start();
    uint8_t data[16];
    std::memset(data, 0xEE, sizeof data);
    VendorCommandRequest r = Request(0xE4, false, data, 10);
    ASSERT_EQ(session.ExecuteOrb(r), 0u);
    const auto log = bus->Commands(camera);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].blockLength, 12u);
    EXPECT_EQ(log[0].orbLength, 12u);
    EXPECT_TRUE(log[0].fromCamera);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(data[i], i);
    EXPECT_EQ(data[10], 0xEE);
}

TEST_F(Sbp2SessionTest, OutgoingDataLongerThanTheBufferIsRefusedUnsent) {
    Start();
    std::vector<uint8_t> big(Sbp2Session::kDataBufferBytes + 1, 1);
    VendorCommandRequest r = Request(0xE3, true, big.data(), uint32_t(big.size()));
    EXPECT_EQ(session.ExecuteOrb(r), VQ_ERR_BAD_ARGUMENT);
    // 0x10000 would wrap to 0 in the ORB's 16-bit length.
    std::vector<uint8_t> wrap(0x10000, 1);
    VendorCommandRequest w = Request(0xE3, true, wrap.data(), uint32_t(wrap.size()));
    EXPECT_EQ(session.ExecuteOrb(w), VQ_ERR_BAD_ARGUMENT);
    EXPECT_TRUE(bus->Commands(camera).empty());
    std::vector<uint8_t> fits(Sbp2Session::kDataBufferBytes, 2);
    VendorCommandRequest f = Request(0xE3, true, fits.data(), uint32_t(fits.size()));
    EXPECT_EQ(session.ExecuteOrb(f), 0u);
    ASSERT_EQ(bus->Commands(camera).size(), 1u);
    EXPECT_EQ(bus->Commands(camera)[0].data, fits);
}

TEST_F(Sbp2SessionTest, StatusAnswersAndSilence) {
    Start();
    struct Case {
        SimulatedAnswer answer;
        uint32_t status;
    };
    const Case cases[] = {
        {{SimulatedAnswer::Busy, 0}, VQ_ERR_SBP2_BUSY},
        {{SimulatedAnswer::DataError, 0}, VQ_ERR_SBP2_DATA_ERROR},
        {{SimulatedAnswer::Transport16, 0}, VQ_ERR_SBP2_TRANSPORT_STATUS_16},
        {{SimulatedAnswer::CameraWord, 0x11021A}, VQ_ERR_SBP2_BUSY},
        {{SimulatedAnswer::CameraWord, 0x70000}, 0x70000},
        {{SimulatedAnswer::BadChecksum, 0}, VQ_ERR_FW_DATA_CHECKSUM},
        {{SimulatedAnswer::Silence, 0}, 258},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        bus->Script(camera, {c.answer});
        uint8_t data[8];
        VendorCommandRequest r = Request(0xE4, false, data, 8);
        EXPECT_EQ(session.ExecuteOrb(r), c.status);
    }
}

TEST_F(Sbp2SessionTest, BusResetDuringACommandReconnectsAndAnswersRetryable) {
    Start();
    bus->Script(camera, {{SimulatedAnswer::BusReset, 0}});
    uint8_t data[8] = {};
    VendorCommandRequest r = Request(0xE4, false, data, 8);
    EXPECT_EQ(session.ExecuteOrb(r), VQ_ERR_SBP2_BUSY);
    VendorCommandRequest again = Request(0xE4, false, data, 8);
    EXPECT_EQ(session.ExecuteOrb(again), 0u);
    EXPECT_EQ(bus->Reconnects(camera), 1);
    EXPECT_TRUE(session.LoggedIn());
}

TEST_F(Sbp2SessionTest, UnsolicitedStatusIsQueuedInBusOrderAndAFullQueueIsCounted) {
    Start();
    const uint32_t block[8] = {0x00010000, 96, 0x11223344, 0x55667788, 3, 4, 5, 6};
    Send(block);
    uint8_t taken[24] = {};
    // The status thread queues it; give it the moment it needs.
    for (int i = 0; i < 2000 && session.TakeUnsolicitedStatus(taken, sizeof taken) != 0; ++i)
        lumora::vq::FireWireClock::Sleep(1);
    const uint8_t expected[8] = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
    EXPECT_EQ(std::memcmp(taken, expected, 8), 0);
    EXPECT_EQ(session.TakeUnsolicitedStatus(taken, sizeof taken), VQ_ERR_FW_NO_UNSOLICITED_STATUS);

    // A full queue keeps what it holds and counts what it could not take.
    for (uint32_t i = 0; i < Sbp2Session::kUnsolicitedQueueEntries; ++i) {
        uint32_t b[8] = {0, 0, i, 0, 0, 0, 0, 0};
        Send(b);
    }
    for (int i = 0; i < 4000 && session.DroppedUnsolicited() == 0; ++i) lumora::vq::FireWireClock::Sleep(1);
    EXPECT_EQ(session.DroppedUnsolicited(), 1u);
    uint32_t count = 0;
    while (session.TakeUnsolicitedStatus(taken, sizeof taken) == 0) {
        EXPECT_EQ(taken[3], uint8_t(count));
        ++count;
    }
    EXPECT_EQ(count, Sbp2Session::kUnsolicitedQueueEntries - 1);
}

} // namespace
