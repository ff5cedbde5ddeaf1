#pragma once
// The simulated IEEE 1394 bus for one test: the stand-in setup library loaded
// from its own folder, the FireWire clock sped up so time-outs and retry pauses
// take milliseconds, and helpers to plug cameras in and reach their devices.
#include <cstdlib>
#include <filesystem>
#include <unistd.h>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "DynamicModule.h"
#include "FireWireClock.h"
#include "FireWireLibrary.h"
#include "SimulatedBusControl.h"

class FireWireTestBus : public ::testing::Test {
protected:
    // Clock milliseconds per real millisecond in these tests.
    static constexpr uint32_t kScale = 50;

    void SetUp() override {
        setenv("LUMORA_PROGRAM_DIR", FIREWIRE_BUS_DIR, 1);
        // The command mutex is shared by every process of the user: tests
        // running side by side get a runtime folder (and so a mutex) each.
        runtime_ = std::filesystem::temp_directory_path() / ("lumora-firewire-" + std::to_string(::getpid()));
        std::filesystem::create_directories(runtime_);
        setenv("XDG_RUNTIME_DIR", runtime_.c_str(), 1);
        lumora::vq::FireWireClock::SetScale(kScale);
        ASSERT_EQ(lumora::vq::FireWireLibrary::Load(), 0u);
        uint32_t error = 0;
        module_ = lumora::DynamicModule::load("Setupapi", error);
        ASSERT_TRUE(module_);
        auto get = module_->function<lumora::standins::SimulatedBusControl* (*)()>("LumoraSimulatedBus", error);
        ASSERT_NE(get, nullptr);
        bus = get();
        bus->Clear();
    }

    void TearDown() override {
        if (bus) bus->Clear();
        lumora::vq::FireWireLibrary::Free();
        lumora::vq::FireWireClock::SetScale(1);
        std::error_code ec;
        std::filesystem::remove_all(runtime_, ec);
    }

    // Opens the device of a plugged camera as the manager would.
    uint32_t OpenDevice(uint32_t camera) {
        uint32_t handle = 0;
        const std::string path = "/sim1394/camera" + std::to_string(camera);
        EXPECT_EQ(lumora::vq::FireWireLibrary::Calls().openDevice(path.c_str(), &handle), 0u);
        return handle;
    }

    // Real microseconds that clock milliseconds last here.
    static uint64_t RealMicros(uint32_t ms) { return uint64_t(ms) * 1000 / kScale; }
    // The least gap the bus can record between two writes a pause of ms
    // apart: a pause counted in whole clock milliseconds from a start read
    // truncated may end up to one clock millisecond early in real time, and
    // each stamp is truncated to a microsecond.
    static uint64_t PauseMicros(uint32_t ms) { return RealMicros(ms - 1) - 1; }

    lumora::standins::SimulatedBusControl* bus = nullptr;

private:
    std::unique_ptr<lumora::DynamicModule> module_;
    std::filesystem::path runtime_;
};
