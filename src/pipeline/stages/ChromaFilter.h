#pragma once
// Colour-noise filter of demosaiced strips: luminance and two colour differences,
// an open-close clean-up of the differences, and an average of the cleaned
// differences along eight rays over samples of similar edge activity.
#include <cstdint>

#include "ChromaSettings.h"

namespace lumora {

class ChromaFilter {
public:
    static constexpr int kMargin = 10;

    ChromaFilter();
    ~ChromaFilter();
    ChromaFilter(const ChromaFilter&) = delete;
    ChromaFilter& operator=(const ChromaFilter&) = delete;

    uint32_t SetSettings(const ChromaSettings* settings);
    // Widens the engine's chroma rows and columns (third and fourth word) while active.
    uint32_t AddMargins(int32_t* margins) const;
    uint32_t Apply(int16_t* plane0, int16_t* plane1, int16_t* plane2, int32_t width, int32_t height, int32_t,
                   int32_t);

    static bool IsActive(const ChromaSettings& s) { return s.level >= 99 && s.renderSwitch && s.fileSwitch; }

private:
    bool Reserve(int16_t*& plane, uint32_t& capacity, uint32_t bytes);
    void Clean(int16_t* d, int16_t* w, int width, int height);
    void Activity(const int16_t* y, const int16_t* w1, const int16_t* w2, int width, int height);
    void Average(int16_t* c1, int16_t* c2, const int16_t* w1, const int16_t* w2, int width, int height);

    int16_t* plane0_ = nullptr;
    int16_t* plane1_ = nullptr;
    int16_t* plane2_ = nullptr;
    int16_t* work1_ = nullptr;
    int16_t* work2_ = nullptr;
    uint16_t* activity_ = nullptr;
    int16_t maximum_ = 4095;
    const ChromaSettings* settings_ = nullptr;
    uint32_t planeBytes_ = 0;
    uint32_t work1Capacity_ = 0;
    uint32_t work2Capacity_ = 0;
    uint32_t activityCapacity_ = 0;
    int32_t height_ = 0;
    int32_t width_ = 0;
    // Row sums of the activity and ray passes, grown with the widest strip.
    int32_t* rows_ = nullptr;
    int32_t rowsWidth_ = 0;
};

} // namespace lumora
