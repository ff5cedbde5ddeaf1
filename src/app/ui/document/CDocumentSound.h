#pragma once
// The Play (1055) and Stop (1056) commands of one document over its own
// sound player: bound on the document, with their menu rules. The done
// notice comes back to this document whichever document is active then.
#include "SoundPlayer.h"

#include <functional>
#include <memory>

class wxCommandEvent;
class wxDocument;
class wxUpdateUIEvent;
class wxWindow;

class CDocumentSound {
public:
    enum Command : int { kPlaySounds = 1055, kStopSounds = 1056 };

    // focusedSoundCount: the sound count of the image the bars show, -1
    // without one.
    CDocumentSound(wxDocument& document, SoundPlayer::SoundSource source, std::function<int()> focusedSoundCount);
    ~CDocumentSound();
    CDocumentSound(const CDocumentSound&) = delete;
    CDocumentSound& operator=(const CDocumentSound&) = delete;

    SoundPlayer& Player() { return player_; }
    // Closing while playing: the wait message over the parent until the
    // player has ended.
    void StopAndWaitShowing(wxWindow* parent);
    // The sound the Image Info bar's list starts on: "All sounds" (the
    // count) for several, else the one sound.
    static int DefaultSoundIndex(int soundCount) { return soundCount > 1 ? soundCount : 0; }

private:
    void OnPlay(wxCommandEvent& event);
    void OnStop(wxCommandEvent& event);
    void OnUpdatePlay(wxUpdateUIEvent& event);
    void OnUpdateStop(wxUpdateUIEvent& event);

    std::function<int()> focusedSoundCount_;
    // False once the document is gone: a late done notice finds it.
    std::shared_ptr<bool> alive_;
    SoundPlayer player_;
};
