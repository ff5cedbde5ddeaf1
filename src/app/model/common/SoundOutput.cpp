#include "SoundOutput.h"

#include <atomic>

namespace {

class NoSound final : public SoundOutput {
public:
    bool Play(const std::string&) override { return false; }
    void Stop() override {}
    bool IsPlaying() override { return false; }
};

NoSound gNone;
// The players' threads read it.
std::atomic<SoundOutput*> gOutput{nullptr};

} // namespace

SoundOutput& SoundOutput::Current() {
    SoundOutput* output = gOutput.load(std::memory_order_acquire);
    return output ? *output : gNone;
}

void SoundOutput::SetCurrent(SoundOutput* output) { gOutput.store(output, std::memory_order_release); }
