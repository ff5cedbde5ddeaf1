// Attributes through the interface and inside the processor: types,
// read-only and computed ids, the list's growth and order, value texts,
// the stamps of new filters and the level-list queries.
#include "FpAttributes.h"
#include "FpContext.h"
#include "FpLevelList.h"
#include "KestraTestSupport.h"
#include "PsfConversions.h"

#include <cstddef>
#include <string>

using namespace kestratest;
using namespace kestra;

namespace {

// Sets a string value, through a record with room for longer texts.
PSFStatus setText(PSFFilter f, int32_t id, const std::string& text) {
    LongAttributeValue v{};
    v.head.type = PSFAttrTypeString;
    char* room = reinterpret_cast<char*>(&v) + offsetof(PSFAttributeValue, value);
    std::memcpy(room, text.c_str(), text.size() + 1);
    return PSFSetFilterAttribute(f, id, &v.head);
}

std::string listText(Handle list, int32_t id) {
    char text[1100];
    int32_t limit = sizeof text;
    return FpFindAttribute(list, id, limit, text) == FpOk ? text : "<absent>";
}

Handle listOf(PSFFilter f) {
    PsfFilterRecord* r = PsfLockFilterRecord(f);
    Handle list = 0;
    FpFilterAttributes(r->filter, list);
    PsfUnlockFilterRecord(f);
    return list;
}

} // namespace

TEST_F(KestraTest, AttributeTypesReadOnlyAndAbsentIds) {
    FilterSpec spec = sharpeningSpec(2, 4, 5);
    spec.text += "30002=99\n30009=2.5\n";
    const PSFFilter f = load(spec);
    struct Case {
        int32_t id;
        int32_t type;
        PSFStatus status;
        const char* text; // expected value as text
    };
    const Case cases[] = {
        {2, PSFAttrTypeInteger, PSFSuccess, "0"},
        {15, PSFAttrTypeString, PSFSuccess, "fixture"},
        {PSFAttrFormatVersion, PSFAttrTypeInteger, PSFSuccess, "2"},
        {PSFAttrProcessorVersion, PSFAttrTypeString, PSFSuccess, "2.0.007"},
        {PSFAttrKind, PSFAttrTypeInteger, PSFSuccess, "0"},
        {PSFAttrTaps, PSFAttrTypeInteger, PSFSuccess, "5"}, // from the kernel table, not the list's 99
        {PSFAttrVariants, PSFAttrTypeInteger, PSFSuccess, "4"},
        {PSFAttrLevels, PSFAttrTypeInteger, PSFSuccess, "2"},
        {PSFAttrSampleBytes, PSFAttrTypeInteger, PSFSuccess, "2"},
        {PSFAttrFractionBits, PSFAttrTypeInteger, PSFSuccess, "9"},
        {PSFAttrKindName, PSFAttrTypeString, PSFSuccess, "kf"},
        {PSFAttrResolution, PSFAttrTypeDouble, PSFSuccess, "2.5"},
        {PSFAttrHasSecondTable, PSFAttrTypeInteger, PSFSuccess, "1"},
        {PSFAttrLevelList, PSFAttrTypeDouble, PSFSuccess, "1"},
        {PSFAttrRadius, PSFAttrTypeDouble, PSFErrAttributeNotFound, nullptr},
        {PSFAttrDescription, PSFAttrTypeString, PSFErrAttributeNotFound, nullptr},
        {12345, PSFAttrTypeString, PSFErrAttributeNotFound, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        PSFAttributeValue v{};
        EXPECT_EQ(PSFGetFilterAttribute(f, c.id, &v), c.status);
        EXPECT_EQ(v.type, c.type);
        if (!c.text) continue;
        if (c.type == PSFAttrTypeInteger) { EXPECT_EQ(v.value.integer, std::stoi(c.text)); }
        if (c.type == PSFAttrTypeDouble) { EXPECT_DOUBLE_EQ(v.value.real, std::stod(c.text)); }
        if (c.type == PSFAttrTypeString) { EXPECT_STREQ(v.value.text, c.text); }
    }

    // Read-only ids refuse a write and keep their value; others take any type.
    PSFAttributeValue v{};
    v.type = PSFAttrTypeInteger;
    v.value.integer = 7;
    for (int32_t id : {16, 16401, 30000, 30002, 30003, 30004, 30005, 30006, 30007, 30008, 30011})
        EXPECT_EQ(PSFSetFilterAttribute(f, id, &v), PSFErrBadAttribute) << id;
    EXPECT_EQ(PSFSetFilterAttribute(f, 0, &v), PSFErrBadAttribute);
    EXPECT_EQ(PSFSetFilterAttribute(f, 12345, &v), PSFSuccess);
    PSFAttributeValue back{};
    EXPECT_EQ(PSFGetFilterAttribute(f, 12345, &back), PSFSuccess);
    EXPECT_STREQ(back.value.text, "7");
    v.type = 3;
    EXPECT_EQ(PSFSetFilterAttribute(f, 12345, &v), PSFErrArgumentOutOfRange);

    // An empty text removes the attribute.
    EXPECT_EQ(setText(f, PSFAttrDescription, "sharp"), PSFSuccess);
    EXPECT_EQ(PSFGetFilterAttribute(f, PSFAttrDescription, &back), PSFSuccess);
    EXPECT_EQ(setText(f, PSFAttrDescription, ""), PSFSuccess);
    EXPECT_EQ(PSFGetFilterAttribute(f, PSFAttrDescription, &back), PSFErrAttributeNotFound);

    // The same as numbers inside the library.
    PsfFilterRecord* r = PsfLockFilterRecord(f);
    const Handle fp = r->filter;
    PsfUnlockFilterRecord(f);
    EXPECT_EQ(PsfSetDoubleAttribute(fp, PSFAttrRadius, 1.25), FpOk);
    double radius = 0;
    EXPECT_EQ(PsfGetDoubleAttribute(fp, PSFAttrRadius, radius), FpOk);
    EXPECT_DOUBLE_EQ(radius, 1.25);
    EXPECT_EQ(PsfSetLongAttribute(fp, 40001, -12), FpOk);
    int32_t n = 0;
    EXPECT_EQ(PsfGetLongAttribute(fp, 40001, n), FpOk);
    EXPECT_EQ(n, -12);
    EXPECT_EQ(PsfGetLongAttribute(fp, PSFAttrVariants, n), FpOk);
    EXPECT_EQ(n, 4);
    EXPECT_EQ(PsfSetLongAttribute(fp, PSFAttrVariants, 9), FpBadAttribute);
    EXPECT_EQ(PsfGetLongAttribute(fp, 40002, n), FpBadAttribute);

    // Bad handles and callers.
    EXPECT_EQ(PSFGetFilterAttribute(0, 2, &back), PSFErrFilterUnusable);
    EXPECT_EQ(PSFGetFilterAttribute(caller_, 2, &back), PSFErrFilterUnusable); // a caller is no filter
    PSFCaller owner = 0;
    EXPECT_EQ(PSFGetCallerIdFromFilter(f, &owner), PSFSuccess);
    EXPECT_EQ(owner, caller_);
    EXPECT_EQ(PSFFreeFilter(f), PSFSuccess);
}

TEST_F(KestraTest, ValueTextsLongValuesAndTheGrowingList) {
    const PSFFilter f = load(sharpeningSpec());

    PSFAttributeValue v{};
    v.type = PSFAttrTypeDouble;
    v.value.real = 0.95;
    EXPECT_EQ(PSFSetFilterAttribute(f, PSFAttrRadius, &v), PSFSuccess);
    EXPECT_EQ(listText(listOf(f), PSFAttrRadius), "0.95");
    v.value.real = 3.0;
    EXPECT_EQ(PSFSetFilterAttribute(f, PSFAttrRadius, &v), PSFSuccess);
    EXPECT_EQ(listText(listOf(f), PSFAttrRadius), "3.");
    PSFAttributeValue back{};
    EXPECT_EQ(PSFGetFilterAttribute(f, PSFAttrRadius, &back), PSFSuccess);
    EXPECT_DOUBLE_EQ(back.value.real, 3.0);

    // 300 characters read back as the first 254 and 126; 1021 are refused
    // and the old value stays.
    const std::string long300(300, 'x');
    EXPECT_EQ(setText(f, PSFAttrDescription, long300), PSFSuccess);
    EXPECT_EQ(PSFGetFilterAttribute(f, PSFAttrDescription, &back), 126);
    EXPECT_EQ(std::string(back.value.text), std::string(254, 'x'));
    EXPECT_EQ(setText(f, PSFAttrDescription, std::string(1020, 'y')), PSFSuccess);
    EXPECT_EQ(setText(f, PSFAttrDescription, std::string(1021, 'z')), 145);
    EXPECT_EQ(listText(listOf(f), PSFAttrDescription), std::string(1020, 'y'));

    // The 101st attribute grows the list to 200 and keeps the order.
    FpThreadScope thread;
    std::vector<int32_t> order;
    {
        Locked<FpAttributeList> l(listOf(f));
        for (int32_t i = 0; i < l->count; ++i) order.push_back(l->pairs()[i].id);
        EXPECT_EQ(l->capacity, 100);
    }
    for (int32_t id = 40000; order.size() < 101; ++id) {
        v.type = PSFAttrTypeInteger;
        v.value.integer = id;
        ASSERT_EQ(PSFSetFilterAttribute(f, id, &v), PSFSuccess);
        order.push_back(id);
        Locked<FpAttributeList> l(listOf(f));
        EXPECT_EQ(l->capacity, order.size() <= 100 ? 100 : 200);
    }
    Locked<FpAttributeList> l(listOf(f));
    ASSERT_EQ(l->count, 101);
    for (int32_t i = 0; i < 101; ++i) EXPECT_EQ(l->pairs()[i].id, order[size_t(i)]) << i;
    l.release();
    // Replacing a value keeps its place.
    v.value.integer = 1;
    EXPECT_EQ(PSFSetFilterAttribute(f, order[1], &v), PSFSuccess);
    Locked<FpAttributeList> again(listOf(f));
    EXPECT_EQ(again->pairs()[1].id, order[1]);
    again.release();
    EXPECT_EQ(PSFFreeFilter(f), PSFSuccess);
}

TEST(KestraTexts, DoublesKeepSixDigitsAndAWholeNumberItsPoint) {
    const struct {
        double value;
        const char* text;
    } cases[] = {{0.95, "0.95"}, {3.0, "3."}, {-2.0, "-2."}, {0.0, "0."}, {1.0 / 3.0, "0.333333"},
                 {1234567.0, "1.23457e+06"}, {1e6, "1.e+06"}, {0.15, "0.15"}};
    for (const auto& c : cases) EXPECT_EQ(PsfDoubleToText(c.value), c.text) << c.value;
    EXPECT_EQ(PsfToFixed16(1.5), 98304);
    EXPECT_EQ(PsfToFixed16(-1.00001), -65536); // truncated toward zero
    EXPECT_DOUBLE_EQ(PsfFromFixed16(98304), 1.5);
    EXPECT_EQ(PsfTextToLong("42abc"), 42);
}

TEST(KestraStamps, DateCopyrightAndTheAttributesOfANewFilter) {
    std::string date;
    const VxLocalTime fixed{3, 5, 9, 1, 1, 100}; // 09:05:03 on 1 February 2000
    FpFormatDate(fixed, date);
    EXPECT_EQ(date, "2000:02:01:09:05:03");
    FpFormatDate(VxLocalTime{59, 59, 23, 31, 11, 126}, date);
    EXPECT_EQ(date, "2026:12:31:23:59:59");

    std::string copyright;
    FpStampCopyright(copyright);
    VxLocalTime now{};
    VxGetLocalTime(&now);
    EXPECT_NE(copyright.find(std::to_string(now.yearsSince1900 + 1900)), std::string::npos);
    EXPECT_NE(copyright.find("All rights reserved"), std::string::npos);

    uint32_t length = 0;
    Handle list = 0;
    ASSERT_EQ(FpNewAttributeList(1, 18, 64, 32, length, list), FpOk);
    {
        Locked<FpAttributeList> l(list);
        const int32_t ids[] = {2, 15, 17, 30000, 30004, 30003, 30002};
        ASSERT_EQ(l->count, 7);
        for (int i = 0; i < 7; ++i) EXPECT_EQ(l->pairs()[i].id, ids[i]);
    }
    EXPECT_EQ(listText(list, 2), "0");
    EXPECT_EQ(listText(list, 30000), "1");
    EXPECT_EQ(listText(list, 30004), "18");
    EXPECT_EQ(listText(list, 30002), "32");
    EXPECT_EQ(listText(list, 17).size(), 19u);
    // Each line is id, '=', value and a line feed; then the NUL.
    EXPECT_EQ(length, 4 + (4 + copyright.size()) + 23 + 8 + 9 + 9 + 9 + 1);
    EXPECT_EQ(length, FpAttributeTextLength(list));
    FpFreeAttributeList(list);
}

TEST(KestraLevels, ResamplerLevelSnapAndSmallest) {
    Handle list = 0;
    ASSERT_EQ(FpPutAttribute(list, kAttrLevels, "18"), FpOk);
    for (int i = 0; i < 18; ++i)
        ASSERT_EQ(FpPutAttribute(list, kAttrLevelList + i, PsfDoubleToText(1.0 - 0.05 * i).c_str()), FpOk);
    const struct {
        double a;
        int32_t index;
    } cases[] = {{1.0, 0}, {0.5, 0}, {-1.5, 7}, {1.5, 7}, {10.0, 17}, {1.04, 1}, {1.06, 2}};
    for (const auto& c : cases) {
        int32_t index = -9;
        EXPECT_EQ(FpResamplerLevel(list, PsfToFixed16(c.a), index), FpOk) << c.a;
        EXPECT_EQ(index, c.index) << c.a;
    }
    double smallest = 0;
    EXPECT_EQ(FpSmallestLevel(list, smallest), FpOk);
    EXPECT_DOUBLE_EQ(smallest, 0.15);
    double scale = 0.66;
    EXPECT_EQ(FpSnapScale(list, scale), FpOk);
    EXPECT_DOUBLE_EQ(scale, 0.65);
    scale = 0.001;
    EXPECT_EQ(FpSnapScale(list, scale), FpOk);
    EXPECT_DOUBLE_EQ(scale, 0.15);

    // A level that cannot be read, and a list without levels.
    ASSERT_EQ(FpPutAttribute(list, kAttrLevels, "19"), FpOk);
    int32_t index;
    EXPECT_EQ(FpResamplerLevel(list, PsfToFixed16(100.0), index), FpBadLevel);
    FpFreeAttributeList(list);
    list = 0;
    EXPECT_EQ(FpResamplerLevel(list, PsfToFixed16(2.0), index), FpBadLevel);
    ASSERT_EQ(FpPutAttribute(list, kAttrLevels, "0"), FpOk);
    EXPECT_EQ(FpSmallestLevel(list, smallest), FpBadLevel);
    FpFreeAttributeList(list);
}
