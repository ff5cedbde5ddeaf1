#pragma once
// A sound output for tests, installed while it lives. It plays nothing: a
// sound "plays" from Play until Stop, the next Play or the test's
// EndSound. Records "play PATH" and "stop" in order; the paths in
// unplayable answer false, as a file that is no WAV file would. The sound
// players call it from their threads.
#include "SoundOutput.h"

#include <mutex>
#include <set>
#include <string>
#include <vector>

class FakeSoundOutput : public SoundOutput {
public:
    FakeSoundOutput() { SoundOutput::SetCurrent(this); }
    ~FakeSoundOutput() override { SoundOutput::SetCurrent(nullptr); }

    bool Play(const std::string& path) override {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back("play " + path);
        playing_ = !unplayable_.count(path);
        return playing_;
    }
    void Stop() override {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back("stop");
        playing_ = false;
    }
    bool IsPlaying() override {
        std::lock_guard<std::mutex> lock(mutex_);
        return playing_;
    }

    // The sound that plays reaches its end.
    void EndSound() {
        std::lock_guard<std::mutex> lock(mutex_);
        playing_ = false;
    }
    void MakeUnplayable(const std::string& path) {
        std::lock_guard<std::mutex> lock(mutex_);
        unplayable_.insert(path);
    }
    std::vector<std::string> Events() {
        std::lock_guard<std::mutex> lock(mutex_);
        return events_;
    }

private:
    std::mutex mutex_;
    std::vector<std::string> events_;
    std::set<std::string> unplayable_;
    bool playing_ = false;
};
