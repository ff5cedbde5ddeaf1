#pragma once
// Writes filter buffers byte by byte from the layout of the stored format, for
// tests and for checking the library by hand: every field can be set, so
// buffers of either byte order, old format versions and malformed buffers are
// as easy to make as good ones. It shares no code with the library's writer.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace filtertool {

struct FilterSpec {
    // Header.
    bool bigEndian = false;
    uint32_t magic = 0x66696C74;
    uint32_t version = 2;
    std::optional<uint32_t> textLength; // word 2; default: the text's bytes
    uint32_t word3 = 0, word4 = 0, word6 = 0, word7 = 0, word8 = 0;
    uint32_t kernelFlag = 0x30000;
    uint8_t reservedFill = 0; // every reserved byte

    // Attribute text: the lines as written, then a NUL unless textNul is false.
    std::string text;
    bool textNul = true;

    // Kernel block.
    bool kernelBlock = true;
    uint32_t blockWord = 48;
    int32_t taps = 5, variants = 4, levels = 2;
    int32_t bytesPerSample = 2, fractionBits = 9;
    int32_t tableWord6 = 0;
    std::array<char, 4> kindName{'k', 'f', 0, 0};
    std::array<uint8_t, 4> tableWord8{0, 0, 0, 0}; // stored as given
    uint32_t tableWord10 = 0, tableWord11 = 0, tableWord12 = 0;
    uint32_t secondFlag = 1;
    // Dense samples (level, variant, tap) and second table (level, variant,
    // 2); empty: a pattern of the right size.
    std::vector<int16_t> samples;
    std::vector<int16_t> second;
    // Counts written in the block when they differ from the sizes above
    // (hostile buffers); the samples written follow taps, variants, levels.
    std::optional<uint32_t> storedTaps, storedVariants, storedLevels;
};

// Lines "id=value\n" of the pairs, in order.
std::string AttributeLines(const std::vector<std::pair<int32_t, std::string>>& attributes);
// The attributes a sharpening filter of these sizes carries.
std::string SharpeningText(int32_t levels, int32_t variants, int32_t taps);
// The sample of the pattern at (level, variant, tap).
int16_t PatternSample(int32_t level, int32_t variant, int32_t tap);
int16_t PatternSecond(int32_t level, int32_t variant, int32_t k);

std::vector<uint8_t> WriteFilterBuffer(const FilterSpec& spec);

} // namespace filtertool
