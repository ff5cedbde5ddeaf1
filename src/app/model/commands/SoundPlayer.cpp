#include "SoundPlayer.h"

#include "SoundOutput.h"

SoundPlayer::SoundPlayer(SoundSource source, DoneNotice done) : source_(std::move(source)), done_(std::move(done)) {}

SoundPlayer::~SoundPlayer() {
    if (thread_.joinable()) StopAndWait();
}

bool SoundPlayer::Play(int soundIndex) {
    if (playing_) return false;
    // The thread of the last playing has ended: its done notice came.
    Join();
    playing_ = true;
    soundIndex_ = soundIndex;
    thread_ = std::thread([this, soundIndex] { Run(soundIndex); });
    return true;
}

void SoundPlayer::Run(int soundIndex) {
    try {
        const Sounds sounds = source_ ? source_() : Sounds{};
        const int count = sounds.image ? int(sounds.files.size()) : 0;
        SoundOutput& output = SoundOutput::Current();
        for (int i = 0; i < count; ++i) {
            if (soundIndex != count && soundIndex != i) continue;
            output.Stop();
            const bool started = output.Play(sounds.files[size_t(i)].GetPath());
            bool stopped = false;
            // The next sound waits for this one's end; a stop leaves it
            // playing to its end.
            do {
                stopped = stop_.Wait(kPollMs) == NimbalCore::ThreadEvent::kWaitObject0;
            } while (!stopped && started && output.IsPlaying());
            if (stopped) break;
        }
    } catch (...) {
        // A sound list that cannot be read plays nothing more; the notice
        // still goes out.
    }
    if (done_) done_();
    doneEvent_.Set();
}

void SoundPlayer::SoundDone() {
    playing_ = false;
    soundIndex_ = -1;
}

void SoundPlayer::StopAndWait() {
    if (!thread_.joinable()) return;
    if (playing_) {
        stop_.Set();
        doneEvent_.Wait(NimbalCore::ThreadEvent::kInfinite);
    }
    Join();
}

void SoundPlayer::Join() {
    if (thread_.joinable()) thread_.join();
}

SoundPlayer::ButtonStates SoundPlayer::StatesWhilePlaying(int focusedSoundCount, int soundIndex) {
    if (focusedSoundCount == soundIndex) return {kButtonGreyed, kButtonEnabled};
    return {kButtonGreyed, kButtonGreyed};
}

SoundPlayer::ButtonStates SoundPlayer::StatesWhenDone(int focusedSoundCount) {
    if (focusedSoundCount > 0) return {kButtonEnabled, kButtonGreyed};
    return {kButtonGreyed, kButtonGreyed};
}
