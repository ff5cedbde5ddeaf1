#pragma once
// The process's one sound output: an image's sound files (WAV) are played
// through it, one at a time. Every document's sound player shares it, so a
// new sound cuts off whatever was playing, and its calls come from those
// players' threads. The program plays through the sound system; tests
// record what would have played.
#include <string>

class SoundOutput {
public:
    virtual ~SoundOutput() = default;
    // Stops the sound that plays, then starts the file and returns at once;
    // the sound plays to its end unless another Play or Stop cuts it off.
    // False, with nothing playing, when the file cannot be read as a WAV
    // file or the output cannot be opened.
    virtual bool Play(const std::string& path) = 0;
    // Stops the sound that plays, if any.
    virtual void Stop() = 0;
    // True while a sound started by Play has not yet played to its end.
    virtual bool IsPlaying() = 0;

    // The process-wide output; until one is set, a silent one that plays
    // nothing (Play answers false).
    static SoundOutput& Current();
    static void SetCurrent(SoundOutput* output);
};
