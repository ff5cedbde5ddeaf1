#pragma once
// What a version-3 image adds to the raw engine's parameters: the 32-bit
// linearisation table with its limit, 32-bit offsets, chroma settings and a
// bad-column record. Used on top of EngineSetup (RawEngineFixture.h).
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "BadColumnRecord.h"
#include "ChromaSettings.h"
#include "RawEngineFixture.h"

namespace lumora::test {

struct V3Options {
    int32_t chromaLevel = 0;            // 100: the filter works
    std::vector<uint16_t> badColumns;   // concealed when non-empty
};

struct V3Setup {
    std::vector<int32_t> linear;
    ChromaSettings chroma{};
    BadColumnRecord bad{};
    std::vector<uint8_t> entries;

    void Configure(SdkRenderer& e, int width, int height, const V3Options& o) {
        constexpr int32_t kFactor = 8;
        linear.resize(4096);
        for (int i = 0; i < 4096; ++i) linear[size_t(i)] = i * kFactor;
        SetParameter(e, RP_LINEAR_TABLE_32, linear.data());
        SetParameter(e, RP_LINEAR_LIMIT, int32_t(4095 * kFactor));
        SetParameter(e, RP_UNPACK_TABLE_SIZE, int32_t(linear.size()));
        SetParameter(e, RP_LINEAR_MAX, uint16_t(4095));
        // Renderer-owned blocks: the renderer frees them.
        auto* rows = static_cast<int32_t*>(std::malloc(sizeof(int32_t) * size_t(height)));
        auto* cols = static_cast<int32_t*>(std::malloc(sizeof(int32_t) * size_t(width)));
        for (int r = 0; r < height; ++r) rows[r] = -80 + (r % 7) * 8;
        for (int c = 0; c < width; ++c) cols[c] = (c % 5) * 4 - 8;
        SetParameter(e, RP_ROW_OFFSETS_32, rows);
        SetParameter(e, RP_COLUMN_OFFSETS_32, cols);
        SetParameter(e, RP_OFFSET_TABLE_SIZE, int32_t(height));

        chroma = {64, 0, o.chromaLevel, 0, 0, 1};
        void* settings = &chroma;
        SetParameter(e, RP_CHROMA_SETTINGS, settings);

        entries.assign(o.badColumns.size() * BadColumnRecord::kEntryBytes, 0);
        for (size_t i = 0; i < o.badColumns.size(); ++i) {
            uint8_t* p = entries.data() + i * BadColumnRecord::kEntryBytes;
            p[0] = BadColumnRecord::kConceal;
            p[1] = 1;
            std::memcpy(p + 2, &o.badColumns[i], 2);
        }
        bad = {o.badColumns.empty() ? 0 : 1, int16_t(o.badColumns.size()), 1, entries.data(),
               {200, 300, 500, 200, 50}};
        void* record = &bad;
        SetParameter(e, RP_BAD_COLUMNS, record);
    }
};

} // namespace lumora::test
