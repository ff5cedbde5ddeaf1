#include "SdlSoundOutput.h"

#define SDL_MAIN_HANDLED
#include <SDL.h>

SdlSoundOutput::~SdlSoundOutput() {
    std::lock_guard<std::mutex> lock(mutex_);
    CloseDevice();
    if (audioStarted_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

bool SdlSoundOutput::StartAudio() {
    if (!audioStarted_) audioStarted_ = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    return audioStarted_;
}

void SdlSoundOutput::CloseDevice() {
    if (device_ == 0) return;
    SDL_CloseAudioDevice(device_);
    device_ = 0;
}

bool SdlSoundOutput::Play(const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    CloseDevice();
    if (!StartAudio()) return false;
    SDL_AudioSpec spec{};
    Uint8* samples = nullptr;
    Uint32 length = 0;
    if (!SDL_LoadWAV(path.c_str(), &spec, &samples, &length)) return false;
    // The device takes the file's own format; SDL converts to what the
    // hardware plays.
    spec.callback = nullptr;
    spec.userdata = nullptr;
    // Short buffers, so that a stop cuts the sound off at once.
    spec.samples = 512;
    const int frameBytes = int(SDL_AUDIO_BITSIZE(spec.format)) / 8 * spec.channels;
    device_ = SDL_OpenAudioDevice(nullptr, 0, &spec, nullptr, 0);
    const bool queued = device_ != 0 && SDL_QueueAudio(device_, samples, length) == 0;
    SDL_FreeWAV(samples);
    if (!queued) {
        CloseDevice();
        return false;
    }
    const double seconds = frameBytes > 0 && spec.freq > 0 ? double(length) / frameBytes / spec.freq : 0.0;
    end_ = std::chrono::steady_clock::now() +
           std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(seconds));
    SDL_PauseAudioDevice(device_, 0);
    return true;
}

void SdlSoundOutput::Stop() {
    std::lock_guard<std::mutex> lock(mutex_);
    CloseDevice();
}

bool SdlSoundOutput::IsPlaying() {
    std::lock_guard<std::mutex> lock(mutex_);
    return device_ != 0 && (SDL_GetQueuedAudioSize(device_) > 0 || std::chrono::steady_clock::now() < end_);
}
