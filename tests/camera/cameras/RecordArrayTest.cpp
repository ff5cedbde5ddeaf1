#include "IntRecordComparator.h"
#include "MovableMemory.h"
#include "RecordArray.h"
#include "RecordComparator.h"
#include "RecordCursor.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

struct DebugMoves {
    bool was = lumora::MovableMemory::debugMoves();
    DebugMoves() { lumora::MovableMemory::setDebugMoves(true); }
    ~DebugMoves() { lumora::MovableMemory::setDebugMoves(was); }
};

std::vector<int32_t> ints(RecordArray& a) {
    std::vector<int32_t> v;
    for (uint32_t i = 1; i <= a.count(); ++i) {
        int32_t x = 0;
        EXPECT_EQ(a.Get(int32_t(i), &x), 1u);
        v.push_back(x);
    }
    return v;
}

void append(RecordArray& a, std::initializer_list<int32_t> values) {
    for (int32_t v : values) a.Insert(1, RecordArray::kLast, &v, 4);
}

// Counts the comparisons, to see which gaps the sort uses.
class CountingComparator : public IntRecordComparator {
public:
    mutable int calls = 0;
    int32_t Compare(const void* a, const void* b, uint32_t la, uint32_t lb) const override {
        ++calls;
        return IntRecordComparator::Compare(a, b, la, lb);
    }
};

} // namespace

TEST(RecordArray, InsertGrowsByOneSpareRecord) {
    DebugMoves moves; // every unlock moves the block: stale pointers show
    RecordArray a(8, nullptr, 0);
    EXPECT_TRUE(a.sorted());
    const uint8_t r[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    a.Insert(3, 1, r, 0);
    EXPECT_EQ(a.count(), 3u);
    EXPECT_EQ(a.usedBytes(), 24u);
    EXPECT_EQ(a.allocatedBytes(), 32u);
    EXPECT_FALSE(a.sorted());
    for (int i = 1; i <= 3; ++i) {
        uint8_t out[8] = {};
        ASSERT_EQ(a.Get(i, out), 1u);
        EXPECT_EQ(std::memcmp(out, r, 8), 0);
    }
    a.Insert(1, 4, r, 0);
    EXPECT_EQ(a.allocatedBytes(), 32u) << "the spare record is used first";
    a.Insert(1, 5, r, 0);
    EXPECT_EQ(a.allocatedBytes(), 48u);
    // A null record gives zero records; a record longer than the size is cut.
    a.Insert(1, 1, nullptr, 0);
    uint8_t out[8] = {9};
    a.Get(1, out);
    for (uint8_t b : out) EXPECT_EQ(b, 0);
    const uint8_t longer[32] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0x11};
    a.Insert(1, RecordArray::kLast, longer, sizeof longer);
    EXPECT_EQ(a.count(), 7u);
    a.Get(RecordArray::kLast, out);
    EXPECT_EQ(out[7], 0xEE);
}

TEST(RecordArray, PositionsClampAndLastMeansCount) {
    RecordArray a(4, nullptr, 0);
    append(a, {1, 2});
    int32_t v = 10;
    a.Insert(1, 0, &v, 4); // position 0 inserts at 1
    v = 20;
    a.Insert(1, 99, &v, 4); // beyond count appends
    v = 30;
    a.Insert(1, RecordArray::kLast, &v, 4);
    EXPECT_EQ(ints(a), (std::vector<int32_t>{10, 1, 2, 20, 30}));
    int32_t out = 0;
    EXPECT_EQ(a.Get(RecordArray::kLast, &out), 1u);
    EXPECT_EQ(out, 30);
    EXPECT_EQ(a.Get(0, &out), 0u);
    EXPECT_EQ(a.Get(6, &out), 0u);
    EXPECT_EQ(a.Get(-1, &out), 0u);
    uint32_t size = 0;
    EXPECT_EQ(a.GetWithSize(2, &out, &size), 1u);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(out, 1);
}

TEST(RecordArray, DeleteReplaceSwapMove) {
    RecordArray a(4, nullptr, 0);
    append(a, {1, 2, 3, 4});
    a.Delete(5, 2); // more than there are: removes 2..4
    EXPECT_EQ(ints(a), (std::vector<int32_t>{1}));
    EXPECT_EQ(a.allocatedBytes(), 4u) << "16 bytes shrink by the 12 removed";
    a.Delete(1, 0);
    a.Delete(0, 1);
    a.Delete(1, 2);
    EXPECT_EQ(a.count(), 1u);
    a.Delete(1, RecordArray::kLast);
    EXPECT_EQ(a.count(), 0u);

    append(a, {1, 2, 3, 4, 5});
    const int32_t nine = 9;
    a.Replace(2, 4, &nine, 0);
    EXPECT_EQ(ints(a), (std::vector<int32_t>{1, 2, 3, 9, 9}));
    a.Replace(1, 0, &nine, 0);
    a.Replace(0, 1, &nine, 0);
    a.Replace(1, 1, nullptr, 0);
    EXPECT_EQ(ints(a), (std::vector<int32_t>{1, 2, 3, 9, 9}));
    a.Swap(1, RecordArray::kLast);
    EXPECT_EQ(ints(a), (std::vector<int32_t>{9, 2, 3, 9, 1}));
    a.Swap(1, 6);
    EXPECT_EQ(ints(a), (std::vector<int32_t>{9, 2, 3, 9, 1}));
    a.Move(1, 3);
    EXPECT_EQ(ints(a), (std::vector<int32_t>{2, 3, 9, 9, 1}));
    a.Move(5, 1);
    EXPECT_EQ(ints(a), (std::vector<int32_t>{1, 2, 3, 9, 9}));
    a.FindAndDelete(&nine, 0);
    EXPECT_EQ(ints(a), (std::vector<int32_t>{1, 2, 3, 9}));
}

TEST(RecordArray, ShellSortUsesKnuthGaps) {
    auto* cmp = new CountingComparator;
    RecordArray a(4, cmp, 0);
    std::mt19937 rng(7);
    std::vector<int32_t> values(100);
    for (auto& v : values) v = int32_t(rng() % 1000) - 500;
    for (int32_t v : values) a.Insert(1, RecordArray::kLast, &v, 4);
    EXPECT_FALSE(a.sorted());
    a.Sort();
    EXPECT_TRUE(a.sorted());
    std::sort(values.begin(), values.end());
    EXPECT_EQ(ints(a), values);
    // Gaps 13, 4, 1 for 100 records: gap 40 would not have been reached
    // (40 >= 100 / 9), and a gap-1 pass alone over random data would need far
    // more comparisons than this bound.
    EXPECT_GT(cmp->calls, 87 + 96 + 99 - 1);
    const int before = cmp->calls;
    a.Sort();
    EXPECT_EQ(cmp->calls, before) << "an array marked sorted is left alone";
}

TEST(RecordArray, SortsBytesWithTheDefaultComparator) {
    DebugMoves moves;
    RecordArray a(3, nullptr, 0);
    for (const char* s : {"cab", "abc", "bca", "abb", "aaa"}) a.Insert(1, RecordArray::kLast, s, 3);
    a.Sort();
    const char* expect[] = {"aaa", "abb", "abc", "bca", "cab"};
    for (int i = 0; i < 5; ++i) {
        char out[3];
        a.Get(i + 1, out);
        EXPECT_EQ(std::string(out, 3), expect[i]);
    }
    EXPECT_EQ(a.Find("bca", 0), 4);
    EXPECT_EQ(a.Find("zzz", 0), 0);
}

TEST(RecordArray, FindLinearAndByBisection) {
    RecordArray unsorted(4, nullptr, 0);
    append(unsorted, {7, 9, 9});
    int32_t key = 9;
    EXPECT_EQ(unsorted.Find(&key, 4), 2);
    key = 5;
    EXPECT_EQ(unsorted.Find(&key, 4), 0);
    EXPECT_EQ(unsorted.FindInsertPosition(&key, 4), RecordArray::kLast);

    RecordArray sorted(4, nullptr, 1);
    append(sorted, {30, 10, 20});
    EXPECT_EQ(ints(sorted), (std::vector<int32_t>{10, 20, 30}));
    const struct { int32_t key; int32_t insertAt; int32_t found; } cases[] = {
        {25, 3, 0}, {20, 2, 2}, {35, 4, 0}, {5, 1, 0}, {10, 1, 1}, {30, 3, 3},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(sorted.FindInsertPosition(&c.key, 4), c.insertAt) << c.key;
        EXPECT_EQ(sorted.Find(&c.key, 4), c.found) << c.key;
    }
    RecordArray empty(4, nullptr, 1);
    EXPECT_EQ(empty.FindInsertPosition(&key, 4), 1);
    EXPECT_EQ(empty.Find(&key, 4), 0);
    // The default comparators have no key comparison.
    EXPECT_EQ(sorted.FindByKey(&key), 0);
    EXPECT_EQ(unsorted.FindByKey(&key), 0);
    // keepSorted arrays refuse Swap and Move.
    sorted.Swap(1, 3);
    sorted.Move(1, 3);
    EXPECT_EQ(ints(sorted), (std::vector<int32_t>{10, 20, 30}));
}

TEST(RecordArray, CursorsFollowInsertionsAndDeletions) {
    RecordArray a(4, nullptr, 0);
    append(a, {1, 2, 3, 4, 5});
    RecordCursor c(a, 3);
    EXPECT_EQ(c.next(), 4);
    a.Insert(2, 1, nullptr, 0);
    EXPECT_EQ(c.current(), 5);
    EXPECT_EQ(c.next(), 6);
    a.Delete(1, 5);
    EXPECT_EQ(c.current(), RecordCursor::kDeleted);
    EXPECT_EQ(c.next(), 5);

    RecordArray b(4, nullptr, 0);
    append(b, {1, 2, 3, 4, 5});
    RecordCursor atEnd(b, 5);
    EXPECT_EQ(atEnd.next(), RecordCursor::kPastEnd);
    b.Delete(1, 5);
    EXPECT_EQ(atEnd.current(), RecordCursor::kDeleted);
    EXPECT_EQ(atEnd.next(), RecordCursor::kPastEnd) << "fewer than 5 records are left";

    RecordCursor before(b, 4);
    b.Delete(2, 1);
    EXPECT_EQ(before.current(), 2);
    EXPECT_EQ(before.next(), RecordCursor::kPastEnd);
    b.Insert(1, 3, nullptr, 0);
    EXPECT_EQ(before.current(), 2);
    EXPECT_EQ(before.next(), 3);

    auto* gone = new RecordArray(4, nullptr, 0);
    append(*gone, {1});
    RecordCursor orphan(*gone, 1);
    delete gone;
    EXPECT_EQ(orphan.current(), RecordCursor::kArrayGone);
    EXPECT_EQ(orphan.next(), RecordCursor::kArrayGone);
}

TEST(RecordArray, ComparatorTables) {
    RecordComparator bytes;
    EXPECT_LT(bytes.Compare("ab", "ac", 2, 2), 0);
    EXPECT_EQ(bytes.Compare("\xFF", "\x01", 1, 1), 0xFF - 1);
    EXPECT_EQ(bytes.Compare("ab", "abc", 2, 3), -1);
    EXPECT_EQ(bytes.Equal("ab", "ab", 2, 2), 1);
    EXPECT_EQ(bytes.CompareKey("ab", 2, "ab"), 1);
    EXPECT_EQ(bytes.EqualKey("ab", 2, "ab"), 0);

    IntRecordComparator ints;
    const int32_t a[2] = {5, 100}, b[2] = {7, -100};
    EXPECT_EQ(ints.Compare(a, b, 8, 8), -2);
    EXPECT_EQ(ints.Equal(a, a, 8, 1), 1);
    const int32_t lo = INT32_MIN, one = 1;
    EXPECT_EQ(ints.Compare(&lo, &one, 4, 4), INT32_MAX) << "wraps without undefined behaviour";
}

TEST(RecordArray, ReserveAndRecordPointers) {
    DebugMoves moves;
    RecordArray a(4, nullptr, 0);
    a.Reserve(10);
    EXPECT_EQ(a.allocatedBytes(), 40u);
    EXPECT_EQ(a.count(), 0u);
    append(a, {1, 2, 3});
    EXPECT_EQ(a.allocatedBytes(), 40u);
    int32_t v;
    std::memcpy(&v, a.RecordPtr(2), 4);
    EXPECT_EQ(v, 2);
    // Good until the next resizing operation, also with debug moves on.
    std::memcpy(&v, a.RecordPtr(3), 4);
    EXPECT_EQ(v, 3);
    EXPECT_EQ(lumora::MovableMemory::lockCount(a.block()), 1u);
}
