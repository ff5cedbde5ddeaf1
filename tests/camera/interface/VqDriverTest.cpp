#include "Vq.h"

#include "DriverSettings.h"
#include "DriverState.h"
#include "ImageHandleMap.h"
#include "TempFolder.h"
#include "SdkImageBase.h"
#include "VqCall.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>

using namespace lumora::vq;

namespace {

int32_t memoryUsage() {
    int32_t value = -1;
    EXPECT_EQ(VqGetMemoryUsage(&value), 0u);
    return value;
}

// Every test starts and ends with a closed interface and an empty system folder.
class VqDriver : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("LUMORA_SYSTEM_DIR", dir.path().c_str(), 1);
        closeAll();
        Driver().startFireWire = original;
    }
    void TearDown() override {
        closeAll();
        Driver().startFireWire = original;
        ::unsetenv("LUMORA_SYSTEM_DIR");
    }
    static void closeAll() {
        while (VqCloseDriver() == 0) {
        }
    }
    lumora::test::TempFolder dir;
    FireWireStarter original = Driver().startFireWire;
};

enum class Call { Open, Close };
struct Step {
    Call call;
    uint32_t flags;
    uint32_t answer;
    uint32_t openCountAfter;
};

void run(const std::vector<Step>& steps) {
    int i = 0;
    for (const auto& s : steps) {
        SCOPED_TRACE(i++);
        SdkVersionRecord version = VQ_SDK_VERSION_RECORD_INIT;
        const uint32_t answer = s.call == Call::Open ? VqOpenDriver(&version, s.flags) : VqCloseDriver();
        EXPECT_EQ(answer, s.answer);
        EXPECT_EQ(Driver().openCount, s.openCountAfter);
        const bool open = s.openCountAfter != 0;
        EXPECT_EQ(Driver().images != nullptr, open);
        EXPECT_EQ(Driver().cameras != nullptr, open);
    }
}

} // namespace

TEST_F(VqDriver, OpensCountAndTheLastCloseTearsDown) {
    run({
        {Call::Close, 0, VQ_ERR_BAD_HANDLE, 0},
        {Call::Open, 1, VQ_ERR_DEFAULTS_KEPT, 1},
        {Call::Open, 2, 0, 2},  // later opens do not look at the flags
        {Call::Open, 0, 0, 3},
        {Call::Close, 0, 0, 2},
        {Call::Close, 0, 0, 1},
        {Call::Close, 0, 0, 0},
        {Call::Close, 0, VQ_ERR_BAD_HANDLE, 0},
    });
    EXPECT_EQ(Driver().settings, nullptr);
}

TEST_F(VqDriver, FirstOpenAnswersWhetherTheSettingsFileWasRead) {
    dir.write("VqAPI.prf", "[VERSION] 1.0\n[M3DAY] 100 200 300\n");
    run({{Call::Open, 1, VQ_ERR_PREFS_READ, 1}});
    ASSERT_NE(Driver().settings, nullptr);
    EXPECT_EQ(Driver().settings->Group(SensorGroup::M3).daylight[2], 300);
    run({{Call::Close, 0, 0, 0}});
}

TEST_F(VqDriver, WithoutTheBusTheManagerIsLeftOutAndTheOpenStillSucceeds) {
    run({{Call::Open, 0, VQ_ERR_FW_NO_SETUP_LIBRARY, 1}});
    EXPECT_EQ(Driver().fireWireManager, nullptr);
    EXPECT_EQ(VqCall::FireWireCheck(), VQ_ERR_NO_FIREWIRE_MANAGER);
    EXPECT_EQ(VqCall::OpenCallCheck(), 0u);
    EXPECT_EQ(VqCall::SettingsCheck(), 0u);
    run({{Call::Close, 0, 0, 0}});
    EXPECT_EQ(VqCall::FireWireCheck(), VQ_ERR_DRIVER_NOT_OPEN);
    EXPECT_EQ(VqCall::OpenCallCheck(), VQ_ERR_BAD_HANDLE);
    EXPECT_EQ(VqCall::SettingsCheck(), VQ_ERR_DRIVER_NOT_OPEN);
}

TEST_F(VqDriver, ManagerFailuresOtherThanAMissingBusKeepTheInterfaceClosed) {
    struct Case {
        uint32_t managerStatus;
        uint32_t answer;
        uint32_t openCount;
    };
    static uint32_t managerStatus;
    const Case cases[] = {
        {VQ_ERR_FW_OS_UNSUPPORTED, VQ_ERR_FW_OS_UNSUPPORTED, 1},
        {VQ_ERR_FW_NO_SETUP_LIBRARY, VQ_ERR_FW_NO_SETUP_LIBRARY, 1},
        {VQ_ERR_FW_ALREADY_INITIALIZED, VQ_ERR_FW_ALREADY_INITIALIZED, 0},
        {5, 5, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.managerStatus);
        const int32_t before = memoryUsage();
        managerStatus = c.managerStatus;
        Driver().startFireWire = [](DriverState&) { return managerStatus; };
        run({{Call::Open, 0, c.answer, c.openCount}});
        // Open or not, the settings object is held (and counted) until the close.
        EXPECT_EQ(memoryUsage(), before + DriverSettings::kObjectSize);
        EXPECT_NE(Driver().settings, nullptr);
        run({{Call::Close, 0, 0, 0}, {Call::Close, 0, VQ_ERR_BAD_HANDLE, 0}});
        EXPECT_EQ(memoryUsage(), before);
    }
    // With flag bit 0 the manager is never asked for.
    Driver().startFireWire = [](DriverState&) { return uint32_t(VQ_ERR_FW_ALREADY_INITIALIZED); };
    run({{Call::Open, 1, VQ_ERR_DEFAULTS_KEPT, 1}, {Call::Close, 0, 0, 0}});
}

TEST_F(VqDriver, BadFlagsOnTheFirstOpen) {
    const int32_t before = memoryUsage();
    run({
        {Call::Open, 2, VQ_ERR_BAD_ARGUMENT, 0},
        {Call::Open, 0x101, VQ_ERR_BAD_ARGUMENT, 0},  // the kept object is replaced, not leaked
    });
    EXPECT_EQ(memoryUsage(), before + DriverSettings::kObjectSize);
    run({
        {Call::Close, 0, 0, 0},
        {Call::Close, 0, VQ_ERR_BAD_HANDLE, 0},
    });
    EXPECT_EQ(memoryUsage(), before);
    run({{Call::Open, 1, VQ_ERR_DEFAULTS_KEPT, 1}, {Call::Close, 0, 0, 0}});
}

TEST_F(VqDriver, MemoryUsageCountsTheSettingsWhileOpen) {
    const int32_t before = memoryUsage();
    run({{Call::Open, 1, VQ_ERR_DEFAULTS_KEPT, 1}});
    EXPECT_EQ(memoryUsage(), before + 736);
    run({{Call::Open, 1, 0, 2}});
    EXPECT_EQ(memoryUsage(), before + 736);
    run({{Call::Close, 0, 0, 1}, {Call::Close, 0, 0, 0}});
    EXPECT_EQ(memoryUsage(), before);
    EXPECT_EQ(VqGetMemoryUsage(nullptr), VQ_ERR_NULL_OUTPUT);
}

TEST(DriverState, MemoryCounterIsClampedAtBothEnds) {
    struct Case {
        int32_t start;
        int64_t delta;
        int32_t result;
    };
    const Case cases[] = {
        {0, -736, 0},
        {100, -736, 0},
        {4108, -4108, 0},
        {5000, -1068, 3932},
        {10, 4108, 4118},
        {std::numeric_limits<int32_t>::max() - 5, 4108, std::numeric_limits<int32_t>::max()},
        {0, int64_t(std::numeric_limits<int32_t>::min()) * 4, 0},
    };
    for (const auto& c : cases) {
        DriverState state;
        state.memoryUsage = c.start;
        state.ChangeMemory(c.delta);
        EXPECT_EQ(state.memoryUsage, c.result) << c.start << " " << c.delta;
    }
}

TEST_F(VqDriver, TablesOnlyReferToTheirObjectsAndHandlesAreNeverReused) {
    struct Image : SdkImageBase {
        bool* alive;
        explicit Image(bool* a) : SdkImageBase(nullptr, nullptr), alive(a) { *alive = true; }
        ~Image() override { *alive = false; }
    };
    bool alive = false;
    Image image(&alive);

    run({{Call::Open, 1, VQ_ERR_DEFAULTS_KEPT, 1}});
    const int32_t first = Driver().images->Add(&image);
    EXPECT_EQ(Driver().images->Add(nullptr), 0);
    run({{Call::Close, 0, 0, 0}});
    EXPECT_TRUE(alive);  // closing the interface does not close its images

    run({{Call::Open, 1, VQ_ERR_DEFAULTS_KEPT, 1}});
    EXPECT_EQ(Driver().images->Find(first), nullptr);
    EXPECT_EQ(Driver().images->Add(&image), first + 2);
    run({{Call::Close, 0, 0, 0}});
}
