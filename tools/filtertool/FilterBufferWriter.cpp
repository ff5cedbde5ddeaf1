#include "FilterBufferWriter.h"

namespace filtertool {

namespace {

void put32(std::vector<uint8_t>& out, uint32_t v, bool big) {
    if (big) {
        out.push_back(uint8_t(v >> 24));
        out.push_back(uint8_t(v >> 16));
        out.push_back(uint8_t(v >> 8));
        out.push_back(uint8_t(v));
    } else {
        out.push_back(uint8_t(v));
        out.push_back(uint8_t(v >> 8));
        out.push_back(uint8_t(v >> 16));
        out.push_back(uint8_t(v >> 24));
    }
}

void put16Big(std::vector<uint8_t>& out, int16_t v) {
    out.push_back(uint8_t(uint16_t(v) >> 8));
    out.push_back(uint8_t(uint16_t(v)));
}

} // namespace

std::string AttributeLines(const std::vector<std::pair<int32_t, std::string>>& attributes) {
    std::string text;
    for (const auto& [id, value] : attributes) text += std::to_string(id) + "=" + value + "\n";
    return text;
}

std::string SharpeningText(int32_t levels, int32_t variants, int32_t taps) {
    std::vector<std::pair<int32_t, std::string>> a = {{2, "0"},
                                                      {15, "fixture"},
                                                      {17, "2000:02:01:09:05:03"},
                                                      {30000, "0"},
                                                      {30004, std::to_string(levels)},
                                                      {30003, std::to_string(variants)},
                                                      {30002, std::to_string(taps)}};
    for (int32_t i = 0; i < levels; ++i) a.push_back({30257 + i, std::to_string(levels - 1 - i) + "."});
    return AttributeLines(a);
}

int16_t PatternSample(int32_t level, int32_t variant, int32_t tap) {
    return int16_t((level * 131 + variant * 17 + tap * 5) % 700 - 300);
}

int16_t PatternSecond(int32_t level, int32_t variant, int32_t k) {
    return int16_t(k == 0 ? -(level * 100 + variant) : 512 + level * 100 + variant);
}

std::vector<uint8_t> WriteFilterBuffer(const FilterSpec& s) {
    std::vector<uint8_t> out;
    std::string text = s.text;
    if (s.textNul) text.push_back('\0');
    const uint32_t textLength = s.textLength.value_or(uint32_t(text.size()));
    const uint32_t words[9] = {s.magic, s.version, textLength, s.word3, s.word4, s.kernelFlag, s.word6, s.word7, s.word8};
    for (uint32_t w : words) put32(out, w, s.bigEndian);
    out.insert(out.end(), 464, s.reservedFill);
    out.insert(out.end(), text.begin(), text.end());
    if (!s.kernelBlock) return out;

    put32(out, s.blockWord, true);
    put32(out, s.storedTaps.value_or(uint32_t(s.taps)), true);
    put32(out, s.storedVariants.value_or(uint32_t(s.variants)), true);
    put32(out, s.storedLevels.value_or(uint32_t(s.levels)), true);
    put32(out, uint32_t(s.bytesPerSample), true);
    put32(out, uint32_t(s.fractionBits), true);
    put32(out, uint32_t(s.tableWord6), true);
    out.insert(out.end(), s.kindName.begin(), s.kindName.end());
    out.insert(out.end(), s.tableWord8.begin(), s.tableWord8.end());
    put32(out, s.tableWord10, true); // word 10 comes before the second-table flag
    put32(out, s.secondFlag, true);
    put32(out, s.tableWord11, true);
    put32(out, s.tableWord12, true);
    size_t i = 0;
    for (int32_t l = 0; l < s.levels; ++l)
        for (int32_t v = 0; v < s.variants; ++v)
            for (int32_t t = 0; t < s.taps; ++t, ++i)
                put16Big(out, i < s.samples.size() ? s.samples[i] : PatternSample(l, v, t));
    if (s.secondFlag) {
        i = 0;
        for (int32_t l = 0; l < s.levels; ++l)
            for (int32_t v = 0; v < s.variants; ++v)
                for (int32_t k = 0; k < 2; ++k, ++i)
                    put16Big(out, i < s.second.size() ? s.second[i] : PatternSecond(l, v, k));
    }
    return out;
}

} // namespace filtertool
