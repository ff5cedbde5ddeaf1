#pragma once
// The bytes of a mono 16-bit WAV file of a 440-Hz tone at 8000 samples a
// second, for the sound tests.
#include <chrono>
#include <cstdint>
#include <string>

inline std::string ToneWavBytes(std::chrono::milliseconds length) {
    const uint32_t rate = 8000, samples = uint32_t(rate * length.count() / 1000), data = samples * 2;
    std::string out;
    auto put = [&out](uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) out.push_back(char(value >> (8 * i)));
    };
    out += "RIFF";
    put(36 + data, 4);
    out += "WAVEfmt ";
    put(16, 4);
    put(1, 2);        // PCM
    put(1, 2);        // one channel
    put(rate, 4);
    put(rate * 2, 4); // bytes a second
    put(2, 2);        // bytes a frame
    put(16, 2);
    out += "data";
    put(data, 4);
    for (uint32_t i = 0; i < samples; ++i) put(uint32_t(int16_t((i / 9) % 2 ? 8000 : -8000)) & 0xffff, 2);
    return out;
}
