#include "V3ModelDefaults.h"

#include <array>
#include <cstddef>
#include <initializer_list>

#include "RawModelDefaults.h"

namespace lumora::vq {

namespace {

constexpr int kFirstModel = 11;
constexpr int kModels = 12;

struct Row {
    uint32_t threshold;
    int colourCurves;  // 4 (the raw image's K4), 7, 8, 9; 0 none
    bool chroma;
    int32_t layout;
    int concealment;   // 1..5, 0 none
};

// Model ids 11 to 22.
constexpr Row kRows[kModels] = {
    {2, 7, true, 0, 1},   {2, 7, true, 0, 1},   {0, 0, false, 0, 0}, {3, 8, true, 0, 2},
    {3, 8, true, 0, 2},   {2, 7, true, 0, 1},   {3, 8, true, 0, 2},  {10, 9, true, 0, 3},
    {0, 0, false, 0, 4},  {0, 0, false, 0, 4},  {0, 4, true, 1, 5},  {0, 4, true, 1, 5},
};
constexpr int32_t kChromaSensitivity = 64;

const Row* Find(int32_t modelId) {
    if (modelId < kFirstModel || modelId >= kFirstModel + kModels) return nullptr;
    return &kRows[modelId - kFirstModel];
}

// Three film-speed sets (ISO 100, 400, 1600) of two-knot red, green and blue
// curves; the newer sensors need less filtering at the low speeds and more at
// the high ones.
std::vector<int16_t> MakeColourCurves(int low, int high) {
    const int16_t codes[3] = {140, 146, 152};
    std::vector<int16_t> t = {3, codes[0], codes[1], codes[2]};
    for (int set = 0; set < 3; ++set) {
        const int16_t a = int16_t(low * (set + 1));
        const int16_t b = int16_t(high * (set + 1) * (set + 1));
        t.insert(t.end(), {2, 2, 2});
        t.insert(t.end(), {0, a, 4095, b});
        t.insert(t.end(), {0, int16_t(a / 2), 4095, int16_t(b / 2)});
        t.insert(t.end(), {0, a, 4095, b});
    }
    return t;
}

struct Range {
    int16_t first, last;
    int16_t t[V3ModelDefaults::kThresholds];
};

std::vector<int16_t> MakeConcealment(std::initializer_list<Range> ranges) {
    std::vector<int16_t> codes, rows;
    for (const Range& r : ranges)
        for (int16_t code = r.first; code <= r.last; ++code) {
            codes.push_back(code);
            rows.insert(rows.end(), std::begin(r.t), std::end(r.t));
        }
    std::vector<int16_t> table = {int16_t(codes.size())};
    table.insert(table.end(), codes.begin(), codes.end());
    table.insert(table.end(), rows.begin(), rows.end());
    return table;
}

} // namespace

uint32_t V3ModelDefaults::ColourTableThreshold(int32_t modelId) {
    const Row* r = Find(modelId);
    return r ? r->threshold : 0;
}

const std::vector<int16_t>* V3ModelDefaults::ColourCurves(int32_t modelId) {
    static const std::array<std::vector<int16_t>, 3> tables = {MakeColourCurves(6, 20), MakeColourCurves(5, 18),
                                                              MakeColourCurves(4, 16)};
    const Row* r = Find(modelId);
    if (!r || r->colourCurves == 0) return nullptr;
    // K4 is the raw image's own table (models 21 and 22 share it there too).
    if (r->colourCurves == 4) return RawModelDefaults::ColourCurves(modelId);
    return &tables[std::size_t(r->colourCurves - 7)];
}

bool V3ModelDefaults::ChromaDefaults(int32_t modelId, int32_t* sensitivity, int32_t* layout) {
    const Row* r = Find(modelId);
    if (!r || !r->chroma) return false;
    if (sensitivity) *sensitivity = kChromaSensitivity;
    if (layout) *layout = r->layout;
    return true;
}

const std::vector<int16_t>* V3ModelDefaults::ConcealmentTable(int32_t modelId) {
    static const std::array<std::vector<int16_t>, 5> tables = {
        MakeConcealment({{143, 145, {200, 300, 500, 200, 50}},
                         {146, 148, {250, 350, 550, 200, 50}},
                         {149, 151, {350, 450, 650, 200, 50}},
                         {152, 152, {450, 550, 750, 200, 50}}}),
        MakeConcealment({{139, 141, {200, 300, 500, 200, 50}}, {142, 143, {250, 350, 550, 200, 50}}}),
        MakeConcealment({{141, 143, {200, 300, 500, 200, 50}},
                         {144, 145, {250, 350, 550, 200, 50}},
                         {146, 146, {300, 400, 600, 200, 50}}}),
        MakeConcealment({{145, 147, {200, 300, 500, 200, 50}}, {148, 149, {250, 350, 550, 200, 50}}}),
        MakeConcealment({{146, 148, {200, 300, 500, 200, 50}},
                         {149, 151, {250, 350, 550, 200, 50}},
                         {152, 154, {350, 450, 650, 200, 50}},
                         {155, 158, {450, 550, 750, 200, 50}}}),
    };
    const Row* r = Find(modelId);
    if (!r || r->concealment == 0) return nullptr;
    return &tables[std::size_t(r->concealment - 1)];
}

} // namespace lumora::vq
