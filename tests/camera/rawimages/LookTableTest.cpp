#include "LookTable.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {
LookTable::Matrix matrix(uint32_t den5 = 1) {
    LookTable::Matrix m{};
    for (size_t i = 1; i < m.size(); i += 2) m[i] = 1;
    m[9] = den5; // fifth denominator
    return m;
}
} // namespace

TEST(LookTable, EmptyTableAnswersTheBuiltInLooks) {
    LookTable t;
    EXPECT_EQ(t.CountLooks(true, true), 0);
    EXPECT_EQ(t.CountLooks(false, true), 2);
    LookTable::NameRecord r;
    r.look = 1;
    ASSERT_EQ(t.GetName(r, false, true), VQ_OK);
    EXPECT_STREQ(r.name, "Portrait");
    EXPECT_EQ(r.length, 9u);
    EXPECT_EQ(r.usable, 1u);
    r.look = 0;
    ASSERT_EQ(t.GetName(r, true, true), VQ_OK);
    EXPECT_STREQ(r.name, "Product");
    EXPECT_EQ(r.usable, 0u) << "from the file, a look without a curve is not usable";
    r.look = 2;
    EXPECT_EQ(t.GetName(r, false, true), VQ_ERR_NAME_NOT_FOUND);

    LookTable::Matrix m{};
    ASSERT_EQ(t.GetMatrix(1, m), VQ_OK);
    EXPECT_EQ(m, LookTable::BuiltInMatrix());
    EXPECT_EQ(m[0], 32768u);
    EXPECT_EQ(m[1], 32768u);
    EXPECT_EQ(m[2], 0u);
    EXPECT_EQ(m[8], 32768u);
    EXPECT_EQ(t.GetMatrix(2, m), VQ_ERR_LOOK_TABLE_MISSING);
    uint32_t count = 0;
    const uint16_t* values = nullptr;
    EXPECT_EQ(t.GetCurve(0, count, values), VQ_ERR_LOOK_MISSING);
}

TEST(LookTable, IndicesOutsideTheTableAreRefusedEverywhere) {
    LookTable t;
    const LookTable::Matrix m = matrix();
    LookTable::Matrix out{};
    uint32_t count = 0;
    const uint16_t* values = nullptr;
    for (int look : {-1, 10, 11}) {
        SCOPED_TRACE(look);
        EXPECT_EQ(t.SetCurve(look, {1, 2}), VQ_ERR_BAD_LOOK_INDEX);
        EXPECT_EQ(t.GetCurve(look, count, values), VQ_ERR_BAD_LOOK_INDEX);
        EXPECT_EQ(t.SetMatrix(look, &m), VQ_ERR_BAD_LOOK_INDEX);
        EXPECT_EQ(t.SetMatrix(look, nullptr), VQ_ERR_BAD_LOOK_INDEX);
        EXPECT_EQ(t.GetMatrix(look, out), VQ_ERR_BAD_LOOK_INDEX);
        EXPECT_EQ(t.IsComplete(look, false), VQ_ERR_BAD_LOOK_INDEX);
        LookTable::NameRecord r;
        r.look = uint32_t(look);
        EXPECT_EQ(t.GetName(r, true, false), VQ_ERR_BAD_LOOK_INDEX);
        EXPECT_EQ(r.name, nullptr);
    }
}

TEST(LookTable, CompletenessAndReplacement) {
    LookTable t;
    EXPECT_EQ(t.SetCurve(3, {}), VQ_ERR_LOOK_MISSING);
    EXPECT_EQ(t.SetMatrix(3, nullptr), VQ_ERR_LOOK_TABLE_MISSING);
    ASSERT_EQ(t.SetCurve(3, {0, 10, 20}), VQ_OK);
    EXPECT_EQ(t.IsComplete(3, false), VQ_OK);
    EXPECT_EQ(t.IsComplete(3, true), VQ_ERR_LOOK_TABLE_MISSING);
    const LookTable::Matrix bad = matrix(0);
    ASSERT_EQ(t.SetMatrix(3, &bad), VQ_OK);
    EXPECT_EQ(t.IsComplete(3, true), VQ_ERR_LOOK_TABLE_MISSING) << "a zero denominator is not a matrix";
    const LookTable::Matrix good = matrix();
    ASSERT_EQ(t.SetMatrix(3, &good), VQ_OK); // replaces the first (ASan/LSan see no leak)
    EXPECT_EQ(t.IsComplete(3, true), VQ_OK);
    ASSERT_EQ(t.SetCurve(3, {7}), VQ_OK);
    uint32_t count = 0;
    const uint16_t* values = nullptr;
    ASSERT_EQ(t.GetCurve(3, count, values), VQ_OK);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(values[0], 7);
    EXPECT_EQ(t.CountLooks(true, true), 1);
}

TEST(LookTable, NamesFromTheFile) {
    LookTable t;
    const char block[] = "Studio\0\0Skin"; // the second name is empty
    ASSERT_EQ(t.SetNames(reinterpret_cast<const uint8_t*>(block), sizeof block - 1), VQ_OK);
    ASSERT_EQ(t.SetCurve(0, {1, 2}), VQ_OK);
    LookTable::NameRecord r;
    r.look = 0;
    ASSERT_EQ(t.GetName(r, true, false), VQ_OK);
    EXPECT_STREQ(r.name, "Studio");
    EXPECT_EQ(r.length, 7u);
    EXPECT_EQ(r.usable, 1u);
    r.look = 1;
    EXPECT_EQ(t.GetName(r, true, false), VQ_ERR_NAME_NOT_FOUND);
    r.look = 2;
    ASSERT_EQ(t.GetName(r, true, false), VQ_OK);
    EXPECT_STREQ(r.name, "Skin") << "an unterminated last name ends at the block's zero tail";
    r.look = 3;
    EXPECT_EQ(t.GetName(r, true, false), VQ_ERR_NAME_NOT_FOUND);
    // Not from the file, the built-in names stand whatever was stored.
    r.look = 1;
    ASSERT_EQ(t.GetName(r, false, false), VQ_OK);
    EXPECT_STREQ(r.name, "Portrait");
    // A new block replaces the old one.
    const char again[] = "One\0Two";
    ASSERT_EQ(t.SetNames(reinterpret_cast<const uint8_t*>(again), sizeof again), VQ_OK);
    ASSERT_EQ(t.GetName(r, true, false), VQ_OK);
    EXPECT_STREQ(r.name, "Two");
}
