// Sound files play through SDL's audio (its silent "dummy" output here,
// which plays at the pace of real time): a sound plays to its end unless
// cut off, and a file that is no sound plays nothing.
#include "SdlSoundOutput.h"
#include "TempFolder.h"
#include "ToneWav.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

using namespace std::chrono_literals;
using SoundClock = std::chrono::steady_clock;

bool PlaysOutWithin(SoundOutput& output, std::chrono::milliseconds limit) {
    const auto end = SoundClock::now() + limit;
    while (output.IsPlaying()) {
        if (SoundClock::now() > end) return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

class SdlSound : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("SDL_AUDIODRIVER", "dummy", 1); }
    lumora::test::TempFolder dir;
};

TEST_F(SdlSound, ASoundPlaysToItsEndWhileTheCallerGoesOn) {
    const std::string wav = dir.write("A.WAV", ToneWavBytes(400ms));
    SdlSoundOutput output;
    const auto start = SoundClock::now();
    ASSERT_TRUE(output.Play(wav));
    EXPECT_LT(SoundClock::now() - start, 300ms);
    EXPECT_TRUE(output.IsPlaying());
    ASSERT_TRUE(PlaysOutWithin(output, 5000ms));
    // Played at its pace, not thrown away (the device takes its last buffer
    // a little before the end).
    EXPECT_GE(SoundClock::now() - start, 250ms);
}

TEST_F(SdlSound, StopAndTheNextSoundCutOffWhatPlays) {
    const std::string longer = dir.write("LONG.WAV", ToneWavBytes(3000ms));
    const std::string shorter = dir.write("SHORT.WAV", ToneWavBytes(200ms));
    SdlSoundOutput output;
    ASSERT_TRUE(output.Play(longer));
    output.Stop();
    EXPECT_FALSE(output.IsPlaying());
    ASSERT_TRUE(output.Play(longer));
    ASSERT_TRUE(output.Play(shorter));
    // The short sound's end, not the long one's.
    EXPECT_TRUE(PlaysOutWithin(output, 2000ms));
}

TEST_F(SdlSound, AFileThatIsNoSoundPlaysNothing) {
    const std::string good = dir.write("GOOD.WAV", ToneWavBytes(3000ms));
    std::string cut = ToneWavBytes(100ms);
    cut.resize(30);
    const std::string cases[] = {dir.file("MISSING.WAV"), dir.write("TEXT.WAV", "no sound at all"),
                                 dir.write("CUT.WAV", cut), dir.path().string()};
    SdlSoundOutput output;
    for (const std::string& path : cases) {
        ASSERT_TRUE(output.Play(good));
        EXPECT_FALSE(output.Play(path)) << path;
        EXPECT_FALSE(output.IsPlaying()) << path;
    }
}

} // namespace
