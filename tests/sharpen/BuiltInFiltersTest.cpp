// The built-in filters as filtergen designs them and TalpSharp embeds them.
#include "BuiltInFilters.h"

#include "DynamicModule.h"
#include "Kestra.h"
#include "ORVEXCMS.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

class BuiltInFilters : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(PSFInitialize(&caller), PSFSuccess); }
    void TearDown() override { PSFTerminate(caller); }
    PSFFilter load(int32_t id) {
        std::string why;
        bytes = filtergen::BuiltInFilter(id, why);
        EXPECT_FALSE(bytes.empty()) << why;
        PSFFilter f = 0;
        EXPECT_EQ(PSFLoadFilterFromBuffer(caller, bytes.data(), uint32_t(bytes.size()), &f), PSFSuccess);
        return f;
    }
    int32_t integer(PSFFilter f, int32_t id) {
        PSFAttributeValue v{};
        EXPECT_EQ(PSFGetFilterAttribute(f, id, &v), PSFSuccess);
        return v.type == PSFAttrTypeInteger ? v.value.integer : int32_t(v.value.real);
    }
    PSFCaller caller = 0;
    std::vector<uint8_t> bytes;
};

TEST_F(BuiltInFilters, SizesHeadersAndDescriptions) {
    const struct {
        int32_t id;
        size_t size;
        uint8_t first[4];
        const char* description;
    } cases[] = {{2003, 4324, {'t', 'l', 'i', 'f'}, "5-point USM filter"},
                 {2004, 74642, {'t', 'l', 'i', 'f'}, "filter for resampling sharpening filters"},
                 {2005, 5363, {'f', 'i', 'l', 't'}, nullptr}};
    for (const auto& c : cases) {
        PSFFilter f = load(c.id);
        EXPECT_EQ(bytes.size(), c.size) << c.id;
        EXPECT_EQ(std::memcmp(bytes.data(), c.first, 4), 0) << c.id;
        PSFAttributeValue v{};
        if (c.description) {
            ASSERT_EQ(PSFGetFilterAttribute(f, PSFAttrDescription, &v), PSFSuccess);
            EXPECT_STREQ(v.value.text, c.description);
        } else {
            EXPECT_NE(PSFGetFilterAttribute(f, PSFAttrDescription, &v), PSFSuccess);
        }
        PSFFreeFilter(f);
    }
}

TEST_F(BuiltInFilters, TellingRowsAndSums) {
    struct Telling {
        int32_t level, variant;
        std::vector<int32_t> taps;
        int32_t a, b;
    };
    const struct {
        int32_t id, taps;
        std::vector<Telling> rows;
    } cases[] = {{2005,
                  7,
                  {{0, 63, {1, 98, 59, 196, 59, 98, 1}, -1255, 1767},
                   {0, 1, {5, 109, 33, 218, 33, 109, 5}, -624, 1136},
                   {2, 63, {4, 111, 30, 222, 30, 111, 4}, -530, 1042}}},
                 {2003, 5, {{0, 63, {41, 128, 174, 128, 41}, -1902, 2414}}}};
    for (const auto& c : cases) {
        PSFFilter f = load(c.id);
        ASSERT_EQ(integer(f, PSFAttrTaps), c.taps);
        ASSERT_EQ(integer(f, PSFAttrVariants), 64);
        ASSERT_EQ(integer(f, PSFAttrLevels), 4);
        std::vector<double> k(size_t(4 * 64 * c.taps)), second(4 * 64 * 2);
        ASSERT_EQ(PSFGetFilterData(f, k.data(), second.data()), PSFSuccess);
        auto at = [&](int32_t l, int32_t v, int32_t t) { return int32_t(std::lround(k[size_t((l * 64 + v) * c.taps + t)] * 512)); };
        auto pair = [&](int32_t l, int32_t v, int32_t i) { return int32_t(std::lround(second[size_t((l * 64 + v) * 2 + i)] * 512)); };
        for (const Telling& t : c.rows) {
            for (int32_t i = 0; i < c.taps; ++i) EXPECT_EQ(at(t.level, t.variant, i), t.taps[size_t(i)]) << c.id;
            EXPECT_EQ(pair(t.level, t.variant, 0), t.a);
            EXPECT_EQ(pair(t.level, t.variant, 1), t.b);
        }
        for (int32_t l = 0; l < 4; ++l)
            for (int32_t v = 0; v < 64; ++v) {
                int32_t sum = 0;
                for (int32_t i = 0; i < c.taps; ++i) sum += at(l, v, i);
                const bool zero = l == 3 || v == 0;
                EXPECT_EQ(sum, zero ? 0 : 512) << c.id << " " << l << " " << v;
                EXPECT_EQ(pair(l, v, 0) + pair(l, v, 1), 512);
                EXPECT_EQ(pair(l, v, 0), zero ? 0 : pair(l, v, 0));
                EXPECT_LE(pair(l, v, 0), 0);
                if (!zero && v > 1) {
EXPECT_LE(pair(l, v, 0), pair(l, v - 1, 0)) << "stronger with the variant";
}
                if (!zero && l > 0 && l < 3) {
EXPECT_GE(pair(l, v, 0), pair(l - 1, v, 0)) << "weaker with the level";
}
            }
        PSFFreeFilter(f);
    }
}

TEST_F(BuiltInFilters, EveryResamplerPhaseSumsTo512) {
    PSFFilter f = load(2004);
    ASSERT_EQ(integer(f, PSFAttrTaps), 32);
    ASSERT_EQ(integer(f, PSFAttrVariants), 64);
    ASSERT_EQ(integer(f, PSFAttrLevels), 18);
    std::vector<double> k(size_t(18 * 64 * 32));
    ASSERT_EQ(PSFGetFilterData(f, k.data(), nullptr), PSFSuccess);
    for (int32_t l = 0; l < 18; ++l)
        for (int32_t v = 0; v < 64; ++v) {
            int32_t sum = 0;
            for (int32_t t = 0; t < 32; ++t) sum += int32_t(std::lround(k[size_t((l * 64 + v) * 32 + t)] * 512));
            EXPECT_EQ(sum, 512) << l << " " << v;
        }
    // Level 1.0, phase 0 passes the sample at offset 0 (tap 15) alone.
    for (int32_t t = 0; t < 32; ++t) EXPECT_EQ(std::lround(k[size_t(t)] * 512), t == 15 ? 512 : 0);
    PSFFreeFilter(f);
}

TEST_F(BuiltInFilters, TalpSharpEmbedsTheGeneratorsBytes) {
    uint32_t error = 0;
    auto module = lumora::DynamicModule::load("TalpSharp", error);
    ASSERT_TRUE(module);
    void* native = dlopen(module->path().c_str(), RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(native, nullptr);
    for (int32_t id : filtergen::kBuiltInIds) {
        std::string why;
        const std::vector<uint8_t> fresh = filtergen::BuiltInFilter(id, why);
        const VxResourceEntry* e = VxFindResource(native, "FILTER", id);
        ASSERT_NE(e, nullptr) << id;
        ASSERT_EQ(e->size, fresh.size());
        EXPECT_EQ(std::memcmp(e->bytes, fresh.data(), fresh.size()), 0) << id;
    }
    dlclose(native);
}

} // namespace
