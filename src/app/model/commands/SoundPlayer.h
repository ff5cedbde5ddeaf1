#pragma once
// A document's sound player: Play starts a thread of its own that plays the
// focused image's sounds (one of them, or all in turn, each to its end)
// through the process's SoundOutput; Stop lets the sound that plays finish
// and starts no further one. However the thread ends it hands the done
// notice to the document that started it (through the owner's callback,
// which posts it to that document's user-interface thread) and signals
// its end, so a closing document never waits for ever. Play, Stop,
// SoundDone and the rules are for the user-interface thread.
#include "FilePathSpec.h"
#include "ImageRef.h"
#include "ThreadEvent.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class SoundPlayer {
public:
    // What the thread plays: a counted reference to the focused image and
    // a copy of its sound list, taken under the document's lock. An empty
    // reference plays nothing.
    struct Sounds {
        NimbalCore::ImageRef image;
        std::vector<NimbalCore::FilePathSpec> files;
    };
    using SoundSource = std::function<Sounds()>;
    // Called on the player's thread once it is done; posts the notice.
    using DoneNotice = std::function<void()>;

    // The states of the Image Info bar's Play and Stop buttons.
    static constexpr int kButtonEnabled = 4;
    static constexpr int kButtonGreyed = 16;
    struct ButtonStates {
        int play;
        int stop;
        bool operator==(const ButtonStates&) const = default;
    };

    SoundPlayer(SoundSource source, DoneNotice done);
    // Stops a playing thread and waits for it.
    ~SoundPlayer();
    SoundPlayer(const SoundPlayer&) = delete;
    SoundPlayer& operator=(const SoundPlayer&) = delete;

    // Plays the sound of that index, or every sound when the index equals
    // the image's sound count; false, starting nothing, while playing.
    bool Play(int soundIndex);
    // The sound that plays finishes; no further one starts. A stop while
    // nothing waits for it is kept for the next wait.
    void Stop() { stop_.Set(); }
    // The done notice reached the document: the player is idle again.
    void SoundDone();
    // Closing: stops and waits for the thread however long its last step
    // takes.
    void StopAndWait();

    bool IsPlaying() const { return playing_; }
    int SoundIndex() const { return soundIndex_; }

    // The rules of Play (1055) and Stop (1056) with the focused image's
    // sound count (-1 without a focused image).
    bool CanPlay(int focusedSoundCount) const { return !playing_ && focusedSoundCount > 0; }
    bool CanStop(int focusedSoundCount) const { return playing_ && focusedSoundCount == soundIndex_; }
    // The buttons once Play started, and once the done notice came (the
    // preview's image counts as having sounds).
    static ButtonStates StatesWhilePlaying(int focusedSoundCount, int soundIndex);
    static ButtonStates StatesWhenDone(int focusedSoundCount);

    // How often the thread looks whether its sound ended.
    static constexpr uint32_t kPollMs = 20;

private:
    void Run(int soundIndex);
    void Join();

    SoundSource source_;
    DoneNotice done_;
    NimbalCore::ThreadEvent stop_;
    NimbalCore::ThreadEvent doneEvent_;
    std::thread thread_;
    bool playing_ = false;
    int soundIndex_ = -1;
};
