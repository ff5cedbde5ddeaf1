// The test kit's stand-ins for the clock, the wastebasket, the sound output
// and the clipboard behave as the program's do where callers can tell, and
// record and script what the tests need; without any installed, the seams
// lose nothing and play nothing.
#include "FakeClipboard.h"
#include "FakeClock.h"
#include "FakeSoundOutput.h"
#include "FakeTrash.h"
#include "PackedDib.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

namespace {

using namespace std::chrono_literals;

TEST(TestKitSeams, WithoutAnInstalledOneNothingIsLostOrPlayed) {
    lumora::test::TempFolder dir;
    const std::string kept = dir.write("A.ZYR", "raw");
    const auto failed = Trash::Current().MoveToTrash({kept});
    ASSERT_EQ(failed.size(), 1u);
    EXPECT_EQ(failed[0].path, kept);
    EXPECT_TRUE(std::filesystem::exists(kept));
    EXPECT_FALSE(SoundOutput::Current().Play(kept));
    EXPECT_FALSE(SoundOutput::Current().IsPlaying());
    EXPECT_FALSE(Clipboard::Current().SetFiles({kept}));
    EXPECT_TRUE(Clipboard::Current().GetFiles().empty());
    // The steady clock moves by itself.
    const auto before = Clock::Current().Now();
    Clock::Current().Pause(2ms);
    EXPECT_GE(Clock::Current().Now() - before, 2ms);
}

TEST(TestKitSeams, AClockThatAdvancesByItselfNeverWaits) {
    FakeClock clock;
    ASSERT_EQ(&Clock::Current(), &clock);
    const auto start = clock.Now();
    const auto realStart = std::chrono::steady_clock::now();
    clock.Pause(500ms);
    std::mutex mutex;
    std::condition_variable wake;
    std::unique_lock<std::mutex> lock(mutex);
    EXPECT_FALSE(clock.WaitFor(wake, lock, 3s, [] { return false; }));
    // A wait whose condition already holds ends without moving the time.
    EXPECT_TRUE(clock.WaitFor(wake, lock, 3s, [] { return true; }));
    EXPECT_EQ(clock.Now() - start, 3500ms);
    EXPECT_LT(std::chrono::steady_clock::now() - realStart, 1s);
    EXPECT_EQ(clock.Pauses(), std::vector<Clock::Duration>{500ms});
    EXPECT_EQ(clock.Waits(), (std::vector<Clock::Duration>{3s, 3s}));
}

TEST(TestKitSeams, AClockTheTestAdvancesWakesAWaitingThreadAtItsTime) {
    FakeClock clock(FakeClock::kAdvancedByTest);
    std::mutex mutex;
    std::condition_variable wake;
    bool stop = false;
    std::atomic<int> ended{0};
    std::atomic<bool> stopped{false};
    std::thread waiter([&] {
        std::unique_lock<std::mutex> lock(mutex);
        stopped = Clock::Current().WaitFor(wake, lock, 3s, [&] { return stop; });
        ended = 1;
    });
    // The wait's time counts from when it began.
    while (clock.Waits().empty()) std::this_thread::sleep_for(1ms);
    clock.Advance(2999ms);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(ended, 0);
    clock.Advance(1ms);
    waiter.join();
    EXPECT_FALSE(stopped);

    // The caller's own signal ends a wait early, whatever the time.
    std::thread second([&] {
        std::unique_lock<std::mutex> lock(mutex);
        stopped = Clock::Current().WaitFor(wake, lock, 3s, [&] { return stop; });
    });
    {
        std::lock_guard<std::mutex> lock(mutex);
        stop = true;
    }
    wake.notify_all();
    second.join();
    EXPECT_TRUE(stopped);
}

TEST(TestKitSeams, TheTrashRecordsEachListAndKeepsWhatItRefuses) {
    lumora::test::TempFolder dir;
    const std::string image = dir.write("A.ZYR", "raw"), sound = dir.write("A.WAV", "RIFF");
    FakeTrash trash;
    trash.removesFiles = true;
    trash.refused.insert(sound);
    const auto failed = Trash::Current().MoveToTrash({image, sound});
    EXPECT_EQ(trash.calls, (std::vector<std::vector<std::string>>{{image, sound}}));
    ASSERT_EQ(failed.size(), 1u);
    EXPECT_EQ(failed[0].path, sound);
    EXPECT_FALSE(std::filesystem::exists(image));
    EXPECT_TRUE(std::filesystem::exists(sound));
}

TEST(TestKitSeams, TheSoundOutputPlaysOneSoundAtATime) {
    FakeSoundOutput sound;
    sound.MakeUnplayable("/p/bad.wav");
    SoundOutput& output = SoundOutput::Current();
    EXPECT_TRUE(output.Play("/p/A.WAV"));
    EXPECT_TRUE(output.IsPlaying());
    sound.EndSound();
    EXPECT_FALSE(output.IsPlaying());
    EXPECT_TRUE(output.Play("/p/B.WAV"));
    EXPECT_FALSE(output.Play("/p/bad.wav"));
    EXPECT_FALSE(output.IsPlaying());
    output.Stop();
    EXPECT_EQ(sound.Events(), (std::vector<std::string>{"play /p/A.WAV", "play /p/B.WAV", "play /p/bad.wav", "stop"}));
}

TEST(TestKitSeams, TheClipboardHoldsTheLastPictureOrFileList) {
    FakeClipboard clipboard;
    Clipboard& board = Clipboard::Current();
    const std::vector<uint8_t> dib = PackedDib::Encode({1, 1, {10, 20, 30}});
    EXPECT_TRUE(board.SetFiles({"/p/A.ZYR", "/p/A.WAV"}));
    EXPECT_FALSE(board.SetPicture({1, 2, 3}));
    EXPECT_FALSE(board.SetFiles({}));
    EXPECT_EQ(board.GetFiles(), (std::vector<std::string>{"/p/A.ZYR", "/p/A.WAV"}));
    EXPECT_TRUE(board.SetPicture(dib));
    EXPECT_EQ(board.GetPicture(), dib);
    EXPECT_TRUE(board.GetFiles().empty());
    clipboard.locked = true;
    EXPECT_FALSE(board.SetFiles({"/p/B.ZYR"}));
    clipboard.locked = false;
    EXPECT_EQ(board.GetPicture(), dib);
    EXPECT_EQ(clipboard.calls, (std::vector<std::string>{"files", "picture", "files", "picture", "files"}));
}

} // namespace
