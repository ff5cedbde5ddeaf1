#pragma once
// Sound files played through SDL's audio: the whole WAV file is handed to
// the output's queue at once, which plays it out while the caller goes on.
// SDL's audio starts with the first sound, so a program that plays none
// never opens the sound system. Safe to call from any thread.
#include "SoundOutput.h"

#include <chrono>
#include <cstdint>
#include <mutex>

class SdlSoundOutput final : public SoundOutput {
public:
    SdlSoundOutput() = default;
    ~SdlSoundOutput() override;
    SdlSoundOutput(const SdlSoundOutput&) = delete;
    SdlSoundOutput& operator=(const SdlSoundOutput&) = delete;

    bool Play(const std::string& path) override;
    void Stop() override;
    bool IsPlaying() override;

private:
    bool StartAudio();
    void CloseDevice();

    std::mutex mutex_;
    bool audioStarted_ = false;
    uint32_t device_ = 0;
    // The queue empties when the device takes its last buffer, which then
    // still plays: the sound ends when its length has played.
    std::chrono::steady_clock::time_point end_{};
};
