// A document's sound player over the recording sound output: one sound or
// all of them in turn, each to its end; Stop lets the playing sound finish
// and starts no further one; the done notice reaches the player that
// started, also when there was nothing to play; and the rules and button
// states of Play and Stop.
#include "FakeImage.h"
#include "FakeSoundOutput.h"
#include "SoundPlayer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

namespace {

bool WaitForSound(const std::function<bool()>& cond, int ms = 3000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!cond()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

class SoundPlayerTest : public ::testing::Test {
protected:
    SoundPlayerTest() {
        image_ = new coretest::FakeImage("/sheet/A.JPG");
        for (const char* name : {"/sheet/A_1.WAV", "/sheet/A_2.WAV", "/sheet/A_3.WAV"})
            files_.emplace_back(name);
    }
    SoundPlayer::Sounds Source() { return {hasImage_ ? NimbalCore::ImageRef(image_.Get()) : NimbalCore::ImageRef(), files_}; }
    // The events once the player's thread has handed in its notice.
    std::vector<std::string> EndEvents(SoundPlayer& player) {
        EXPECT_TRUE(WaitForSound([this] { return done_.load() > 0; }));
        player.SoundDone();
        return output_.Events();
    }
    size_t PlayCount() {
        size_t plays = 0;
        for (const std::string& event : output_.Events()) plays += event.rfind("play ", 0) == 0;
        return plays;
    }

    FakeSoundOutput output_;
    NimbalCore::ImageRef image_;
    std::vector<NimbalCore::FilePathSpec> files_;
    bool hasImage_ = true;
    std::atomic<int> done_{0};
    SoundPlayer player_{[this] { return Source(); }, [this] { ++done_; }};
};

TEST_F(SoundPlayerTest, OneSoundOrAllInTurnEachToItsEnd) {
    struct Row {
        int index;
        std::vector<std::string> events;
    } rows[] = {
        {1, {"stop", "play /sheet/A_2.WAV"}},
        {3,
         {"stop", "play /sheet/A_1.WAV", "stop", "play /sheet/A_2.WAV", "stop", "play /sheet/A_3.WAV"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.index);
        FakeSoundOutput output;
        done_ = 0;
        ASSERT_TRUE(player_.Play(row.index));
        EXPECT_TRUE(player_.IsPlaying());
        EXPECT_FALSE(player_.Play(row.index));
        for (size_t played = 1; played <= row.events.size() / 2; ++played) {
            ASSERT_TRUE(WaitForSound([&] { return output.Events().size() == 2 * played; }));
            // No next sound while this one still plays.
            std::this_thread::sleep_for(std::chrono::milliseconds(3 * SoundPlayer::kPollMs));
            EXPECT_EQ(output.Events().size(), 2 * played);
            EXPECT_EQ(done_.load(), 0);
            output.EndSound();
        }
        ASSERT_TRUE(WaitForSound([this] { return done_.load() == 1; }));
        EXPECT_EQ(output.Events(), row.events);
        EXPECT_TRUE(player_.IsPlaying());
        player_.SoundDone();
        EXPECT_FALSE(player_.IsPlaying());
        EXPECT_EQ(player_.SoundIndex(), -1);
    }
}

TEST_F(SoundPlayerTest, StopLetsThePlayingSoundFinishAndStartsNoOther) {
    ASSERT_TRUE(player_.Play(3));
    ASSERT_TRUE(WaitForSound([this] { return output_.IsPlaying(); }));
    player_.Stop();
    EXPECT_EQ(EndEvents(player_), (std::vector<std::string>{"stop", "play /sheet/A_1.WAV"}));
    // The sound was not cut off.
    EXPECT_TRUE(output_.IsPlaying());
}

TEST_F(SoundPlayerTest, AnUnplayableSoundIsPassedOverAndNoImageStillEnds) {
    output_.MakeUnplayable("/sheet/A_1.WAV");
    ASSERT_TRUE(player_.Play(3));
    ASSERT_TRUE(WaitForSound([this] { return PlayCount() == 2; }));
    output_.EndSound();
    ASSERT_TRUE(WaitForSound([this] { return PlayCount() == 3; }));
    output_.EndSound();
    EXPECT_EQ(EndEvents(player_).size(), 6u);

    done_ = 0;
    hasImage_ = false;
    ASSERT_TRUE(player_.Play(0));
    EXPECT_EQ(EndEvents(player_).size(), 6u);
    EXPECT_FALSE(player_.IsPlaying());
}

TEST_F(SoundPlayerTest, TheDoneNoticeGoesToThePlayerThatStarted) {
    std::atomic<int> otherDone{0};
    SoundPlayer other([this] { return Source(); }, [&otherDone] { ++otherDone; });
    ASSERT_TRUE(player_.Play(0));
    ASSERT_TRUE(WaitForSound([this] { return output_.IsPlaying(); }));
    output_.EndSound();
    EndEvents(player_);
    EXPECT_EQ(otherDone.load(), 0);
    EXPECT_FALSE(other.IsPlaying());
}

TEST_F(SoundPlayerTest, ClosingWaitsForTheThreadEvenWhileASoundPlays) {
    ASSERT_TRUE(player_.Play(3));
    ASSERT_TRUE(WaitForSound([this] { return output_.IsPlaying(); }));
    player_.StopAndWait();
    EXPECT_EQ(done_.load(), 1);
    EXPECT_EQ(PlayCount(), 1u);
}

TEST(SoundPlayerRules, PlayAndStopItemsAndButtons) {
    SoundPlayer player(nullptr, nullptr);
    // Idle: Play with sounds only; Stop never.
    struct IdleRow {
        int count;
        bool canPlay;
        SoundPlayer::ButtonStates whenDone;
    } idle[] = {
        {-1, false, {16, 16}},
        {0, false, {16, 16}},
        {1, true, {4, 16}},
        {3, true, {4, 16}},
    };
    for (const IdleRow& row : idle) {
        SCOPED_TRACE(row.count);
        EXPECT_EQ(player.CanPlay(row.count), row.canPlay);
        EXPECT_FALSE(player.CanStop(row.count));
        EXPECT_EQ(SoundPlayer::StatesWhenDone(row.count), row.whenDone);
    }
    // One sound of three leaves Stop greyed; all sounds enable it.
    EXPECT_EQ(SoundPlayer::StatesWhilePlaying(3, 1), (SoundPlayer::ButtonStates{16, 16}));
    EXPECT_EQ(SoundPlayer::StatesWhilePlaying(3, 3), (SoundPlayer::ButtonStates{16, 4}));
}

TEST_F(SoundPlayerTest, WhilePlayingPlayIsGreyedAndStopOnlyForAllSounds) {
    ASSERT_TRUE(player_.Play(3));
    EXPECT_FALSE(player_.CanPlay(3));
    EXPECT_TRUE(player_.CanStop(3));
    EXPECT_FALSE(player_.CanStop(2));
    player_.StopAndWait();
    player_.SoundDone();
    EXPECT_FALSE(player_.CanStop(3));
}

} // namespace
