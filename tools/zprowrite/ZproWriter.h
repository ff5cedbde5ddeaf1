#pragma once
// Writes raw files in the stand-in drivers' container ("ZPRO", version 1)
// with a complete default attribute set for a model code; attributes can be
// dropped or replaced before writing. Independent of the drivers' reader.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct ZproValue {
    int32_t type = 0;
    int32_t count = 0;
    std::vector<uint8_t> bytes;

    static ZproValue Ints(int32_t type, std::vector<int32_t> values);
    static ZproValue Floats(int32_t type, std::vector<float> values);
    // A text with its terminating zero (or without, when nul is false).
    static ZproValue Text(const std::string& text, bool nul = true);
    static ZproValue Block(std::vector<uint8_t> bytes);
    static ZproValue Rect(int32_t firstRow, int32_t firstColumn, int32_t endRow, int32_t endColumn);
};

struct ZproSpec {
    uint32_t width = 64;
    uint32_t height = 48;
    int32_t modelCode = 2048;
    bool mono = false;
    // 12-bit samples, row by row, three per pixel; empty: a pattern.
    std::vector<uint16_t> samples;
    std::map<int32_t, ZproValue> attributes;

    // The default attributes of a model code (replacing any set before).
    void SetDefaults();
    void Drop(int32_t id) { attributes.erase(id); }
    void Set(int32_t id, ZproValue value) { attributes[id] = std::move(value); }
};

// The deterministic test pattern: gradients with a little texture.
uint16_t ZproPatternSample(uint32_t x, uint32_t y, int channel);
// Writes the file; false when it cannot be written.
bool WriteZproFile(const std::string& path, const ZproSpec& spec);
