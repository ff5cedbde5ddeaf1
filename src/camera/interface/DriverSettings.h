#pragma once
// The camera interface's factory colour and balance settings for the three
// sensor groups, optionally overridden by the text file VqAPI.prf in the system
// folder. Made by the first VqOpenDriver, freed by the last VqCloseDriver.
#include "SensorGroupSettings.h"

#include "ByteView.h"

#include <cstdint>
#include <filesystem>

namespace lumora::vq {

class DriverSettings {
public:
    // Bytes the object counts for in the interface's memory usage.
    static constexpr int32_t kObjectSize = 736;
    // VERSION plus seventeen keys per group.
    static constexpr int kKeyCount = 1 + 17 * kSensorGroupCount;
    static constexpr const char* kFileName = "VqAPI.prf";

    DriverSettings();

    // flags other than 0 and 1: VQ_ERR_BAD_ARGUMENT, nothing changes. Otherwise
    // the factory defaults, then the settings file: VQ_ERR_PREFS_READ when it
    // was read, VQ_ERR_DEFAULTS_KEPT (factory defaults in force) on any failure.
    uint32_t Open(uint32_t flags);

    // Reads the settings file from the system folder and parses it; 0 when the
    // file was taken. The reason of a failure stays internal.
    uint32_t LoadFile();
    // Same for a given file.
    uint32_t LoadFile(const std::filesystem::path& path);

    // Parses the text of a settings file over the current values; false when the
    // file is rejected (unterminated line with a key, VERSION other than 1.0).
    bool Parse(ByteView text);

    // Sets every group to the factory values.
    void ApplyDefaults();

    static SensorGroup GroupForSensor(int32_t width, int32_t height);

    const SensorGroupSettings& Group(SensorGroup group) const { return groups_[int(group)]; }
    uint32_t Flags() const { return flags_; }
    // True when key number index (0 = VERSION, then the group keys in file
    // order, M3 first) was taken from the file.
    bool KeyRead(int index) const { return index >= 0 && index < kKeyCount && readFlags_[index] != 0; }

private:
    void Clear();
    bool TakeValue(std::string_view key, std::string_view value);

    SensorGroupSettings groups_[kSensorGroupCount];
    int32_t readFlags_[kKeyCount];
    uint32_t flags_ = 0;
};

} // namespace lumora::vq
