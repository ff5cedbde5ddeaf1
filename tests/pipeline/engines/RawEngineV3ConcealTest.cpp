// Concealment of listed bad columns on small strips: on flat and linear
// fields every mended sample is the value the column had; inactive entries,
// columns too near the edge and monochrome strips as the rules say.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "BadColumnRecord.h"
#include "RawEngineV3.h"

using lumora::BadColumnRecord;
using lumora::RawEngineV3;

namespace {

struct Listed {
    uint16_t column;
    uint8_t minimum;
};

std::vector<uint8_t> Entries(const std::vector<Listed>& list) {
    std::vector<uint8_t> bytes(list.size() * BadColumnRecord::kEntryBytes, 0);
    for (size_t i = 0; i < list.size(); ++i) {
        uint8_t* e = bytes.data() + i * BadColumnRecord::kEntryBytes;
        e[0] = BadColumnRecord::kConceal;
        e[1] = list[i].minimum;
        std::memcpy(e + 2, &list[i].column, 2);
    }
    return bytes;
}

BadColumnRecord Record(const std::vector<uint8_t>& entries, int16_t level) {
    BadColumnRecord r{};
    r.enabled = 1;
    r.count = int16_t(entries.size() / BadColumnRecord::kEntryBytes);
    r.level = level;
    r.entries = entries.data();
    const int16_t t[5] = {200, 300, 500, 200, 50};
    std::memcpy(r.thresholds, t, sizeof t);
    return r;
}

constexpr int32_t kWidth = 24, kHeight = 16;

// A strip of the field with the listed columns set to 0.
std::vector<int16_t> Strip(int16_t (*field)(int32_t, int32_t), const std::vector<int32_t>& zeroed) {
    std::vector<int16_t> s(size_t(kWidth) * kHeight);
    for (int32_t r = 0; r < kHeight; ++r)
        for (int32_t c = 0; c < kWidth; ++c) s[size_t(r) * kWidth + c] = field(r, c);
    for (int32_t c : zeroed)
        for (int32_t r = 0; r < kHeight; ++r) s[size_t(r) * kWidth + c] = 0;
    return s;
}

int16_t Flat(int32_t, int32_t) { return 1000; }
int16_t Ramp(int32_t r, int32_t c) { return int16_t(100 * c + 10 * r); }

TEST(RawEngineV3Conceal, MendedSamplesOfFlatAndLinearFieldsAreExact) {
    struct Row {
        const char* what;
        int16_t (*field)(int32_t, int32_t);
        std::vector<int32_t> columns;  // strip columns, listed and zeroed
    };
    const Row rows[] = {
        {"flat, one column", Flat, {10}},
        {"flat, a pair", Flat, {10, 11}},
        {"ramp, one even column", Ramp, {10}},
        {"ramp, one odd column", Ramp, {13}},
    };
    const int32_t x = 100; // the strip's first sensor column
    for (const Row& row : rows) {
        std::vector<Listed> list;
        for (int32_t c : row.columns) list.push_back({uint16_t(x + c), 1});
        const std::vector<uint8_t> entries = Entries(list);
        std::vector<int16_t> s = Strip(row.field, row.columns);
        ASSERT_EQ(RawEngineV3::ConcealColumns(s.data(), x, kWidth, kHeight, true, Record(entries, 1)), VQ_OK);
        for (int32_t c : row.columns) {
            for (int32_t r = 0; r < kHeight; ++r) {
                const int16_t got = s[size_t(r) * kWidth + c];
                // The two rows at each end have no neighbourhood and stay; the
                // red and blue sites next to them read a row that is not mended.
                if (r < 2 || r > kHeight - 3) {
                    EXPECT_EQ(got, 0) << row.what << " row " << r << " column " << c;
                } else if (r >= 3 && r <= kHeight - 4) {
                    EXPECT_EQ(got, row.field(r, c)) << row.what << " row " << r << " column " << c;
                }
            }
        }
    }
}

TEST(RawEngineV3Conceal, InactiveEntriesAndEdgeColumnsStay) {
    const int32_t x = 0;
    struct Row {
        const char* what;
        std::vector<Listed> list;
        int16_t level;
        std::vector<int32_t> mended, kept; // zeroed in the strip
    };
    const Row rows[] = {
        // The second entry needs level 4: it is neither mended nor a neighbour,
        // so its partner takes the single-column rule (and column 11 keeps its
        // value).
        {"minimum above the level", {{10, 1}, {11, 4}}, 3, {10}, {}},
        {"one column from the edge", {{1, 1}, {22, 1}}, 3, {}, {1, 22}},
        // A pair needs three columns on its partner's side.
        {"pair too near the edge", {{1, 1}, {2, 1}}, 3, {}, {1, 2}},
    };
    for (const Row& row : rows) {
        std::vector<int32_t> zeroed = row.mended;
        zeroed.insert(zeroed.end(), row.kept.begin(), row.kept.end());
        const std::vector<uint8_t> entries = Entries(row.list);
        std::vector<int16_t> s = Strip(Flat, zeroed);
        ASSERT_EQ(RawEngineV3::ConcealColumns(s.data(), x, kWidth, kHeight, true, Record(entries, row.level)), VQ_OK);
        // Green sites: pass 1 only.
        auto green = [&](int32_t c) { return s[size_t(c % 2 == 0 ? 4 : 5) * kWidth + size_t(c)]; };
        for (int32_t c : row.mended) EXPECT_EQ(green(c), 1000) << row.what << " column " << c;
        for (int32_t c : row.kept) EXPECT_EQ(green(c), 0) << row.what << " column " << c;
        // Nothing else is written, an inactive entry's column included.
        for (int32_t c = 0; c < kWidth; ++c) {
            if (std::find(zeroed.begin(), zeroed.end(), c) != zeroed.end()) continue;
            for (int32_t r = 0; r < kHeight; ++r)
                EXPECT_EQ(s[size_t(r) * kWidth + size_t(c)], 1000) << row.what << " row " << r << " column " << c;
        }
    }
}

TEST(RawEngineV3Conceal, MonochromeMendsEveryRowAndFindsNeighboursOnlyAmongActiveEntries) {
    const std::vector<uint8_t> entries = Entries({{7, 1}});
    std::vector<int16_t> s = Strip(Ramp, {7});
    ASSERT_EQ(RawEngineV3::ConcealColumns(s.data(), 0, kWidth, kHeight, false, Record(entries, 1)), VQ_OK);
    for (int32_t r = 2; r <= kHeight - 3; ++r) EXPECT_EQ(s[size_t(r) * kWidth + 7], Ramp(r, 7)) << r;

    const std::vector<uint8_t> three = Entries({{50, 1}, {51, 4}, {49, 2}});
    int32_t side = -1;
    EXPECT_FALSE(RawEngineV3::FindAdjacentBadColumn(3, 0, 1, three.data(), &side));
    EXPECT_TRUE(RawEngineV3::FindAdjacentBadColumn(3, 0, 2, three.data(), &side));
    EXPECT_EQ(side, 0);
    EXPECT_TRUE(RawEngineV3::FindAdjacentBadColumn(3, 0, 4, three.data(), &side));
    EXPECT_EQ(side, 1); // the first active neighbour in list order
}

TEST(RawEngineV3Conceal, SwitchedOffOrEmptyRecordsLeaveTheStrip) {
    const std::vector<uint8_t> entries = Entries({{10, 1}});
    RawEngineV3 engine;
    for (int32_t enabled : {0, 1}) {
        BadColumnRecord r = Record(entries, 1);
        r.enabled = enabled;
        r.count = enabled ? 0 : 1;
        std::vector<int16_t> s = Strip(Flat, {10});
        ASSERT_EQ(engine.ConcealBadColumns(s.data(), 0, 0, kWidth, kHeight, &r), VQ_OK);
        EXPECT_EQ(s[size_t(5) * kWidth + 10], 0) << enabled;
    }
}

} // namespace
