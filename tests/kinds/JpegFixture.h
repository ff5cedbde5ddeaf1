#pragma once
// JPEG files for the tests and benchmarks: pictures encoded with libjpeg
// (any size, gray, RGB or CMYK), PNM files for the outside tools, the tools
// run through the shell, and segments spliced into a JPEG after its SOI.
#include <cstdint>
#include <string>
#include <vector>

struct Picture {
    int width = 0, height = 0, channels = 3;
    std::vector<uint8_t> pixels;
    const uint8_t* Row(int y) const { return pixels.data() + size_t(y) * size_t(width) * size_t(channels); }
};

class JpegFixture {
public:
    // A smooth picture with some texture, different for each seed.
    static Picture Pattern(int width, int height, int channels, uint32_t seed);
    // Encodes with libjpeg (4 channels: CMYK); restartRows 0 for none.
    static std::vector<uint8_t> Encode(const Picture& picture, int quality, bool progressive = false,
                                       int restartRows = 0);
    static void WritePNM(const std::string& path, const Picture& picture);
    // Reads a P5/P6 file as djpeg writes it; empty picture when unreadable.
    static Picture ReadPNM(const std::string& path);
    static std::vector<uint8_t> ReadFile(const std::string& path);
    static void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
    // Runs a shell command with its output discarded; true when it answers 0.
    static bool Run(const std::string& command);
    static bool HaveTool(const std::string& name);
    // An application segment: marker, big-endian length, body.
    static std::vector<uint8_t> Segment(uint8_t marker, const std::vector<uint8_t>& body);
    // The segment placed right after the SOI.
    static std::vector<uint8_t> InsertAfterSoi(const std::vector<uint8_t>& jpeg, const std::vector<uint8_t>& segment);
};
