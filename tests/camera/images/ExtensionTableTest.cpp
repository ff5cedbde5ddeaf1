// Every extension id (0 to 45) and hidden id (0 to 20), read and set, with
// its answer for each image class: the oldest models' base class, the
// family-1 raw image and the family-2 raw image.
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "RawImageFixture.h"
#include "ZyrOldestSample.h"

namespace {

constexpr uint32_t kOk = 0;
constexpr uint32_t kUnknown = VQ_ERR_UNKNOWN_EXTENSION;
constexpr uint32_t kAbsent = VQ_ERR_VALUE_ABSENT;
constexpr uint32_t kNoProperty = VQ_ERR_UNKNOWN_PROPERTY;
constexpr uint32_t kReadOnly = VQ_ERR_PROPERTY_READ_ONLY;

enum Class { kOldest, kRaw, kFamily2, kClasses };
const char* const kClassNames[kClasses] = {"oldest model", "family 1", "family 2"};

class ExtensionTableTest : public rawimagetest::RawImageTest {
protected:
    uint32_t OpenClass(Class c) {
        if (c == kOldest) return OpenBytes(ZyrOldestSample::Make(ZyrOldestOptions{}));
        ZyrSampleOptions o = Options(c == kRaw ? "ZYNM11" : "ZYNM13");
        return Open(o);
    }
    // A read of the id into a large zeroed value; id 18 (the settings data)
    // takes the address of a buffer in its first word.
    uint32_t Get(uint32_t id) {
        std::array<uint8_t, 4096> value{};
        static std::array<uint8_t, 1024> buffer;
        if (id == VQ_EXT_SETTING_BLOCK) {
            void* address = buffer.data();
            std::memcpy(value.data(), &address, sizeof address);
        }
        return VqGetExtension(&info_, id, value.data());
    }
    // A set with data 0 and four zero words, except where the id needs a record.
    uint32_t Set(uint32_t id) {
        if (id == VQ_EXT_IPTC) {
            VqIptcRecord keep{0, nullptr, 1};
            return VqSetExtension(&info_, id, &keep, 0, 0, 0, 0);
        }
        return VqSetExtension(&info_, id, nullptr, 0, 0, 0, 0);
    }
    uint32_t GetHidden(uint32_t id) {
        std::array<uint8_t, 8192> value{};
        if (id == 11 || id == 14) {
            const uint32_t record[3] = {0, 8, 3};  // the file's first 8 bytes as shorts
            std::memcpy(value.data(), record, sizeof record);
        }
        if (id == 10) {
            const uint16_t request[3] = {272, 0, 1};  // Model, in IFD0
            std::memcpy(value.data(), request, sizeof request);
        }
        return VqGetHidden(&info_, id, value.data());
    }
    uint32_t SetHidden(uint32_t id) {
        std::array<uint8_t, 64> value{};
        return VqSetHidden(&info_, id, value.data());
    }
};

// The answer of one id for each class: oldest model, family 1, family 2.
struct Row {
    uint32_t id;
    uint32_t answer[kClasses];
};

// Reads with a zeroed value: the base answers its own ids; the raw classes
// answer the camera values of their file (absent where the sample file has
// no such tag) and their own ids, and leave 19 unknown.
const Row kGet[] = {
    {0, {kUnknown, kOk, kOk}},          {1, {kUnknown, kOk, kOk}},
    {2, {kUnknown, kUnknown, kUnknown}}, {3, {kUnknown, kAbsent, kAbsent}},
    {4, {kUnknown, kOk, kOk}},          {5, {kUnknown, kOk, kOk}},
    {6, {kUnknown, kOk, kOk}},          {7, {kUnknown, kAbsent, kAbsent}},
    {8, {kUnknown, kAbsent, kAbsent}},  {9, {kUnknown, kAbsent, kAbsent}},
    {10, {kUnknown, kAbsent, kAbsent}}, {11, {kUnknown, kAbsent, kAbsent}},
    {12, {kUnknown, kAbsent, kAbsent}}, {13, {kUnknown, kAbsent, kAbsent}},
    {14, {kUnknown, kAbsent, kAbsent}}, {15, {kUnknown, kOk, kOk}},
    {16, {kUnknown, kAbsent, kAbsent}}, {17, {kUnknown, kAbsent, kAbsent}},
    {18, {kUnknown, kAbsent, kAbsent}}, {19, {kOk, kUnknown, kUnknown}},
    {20, {kOk, kOk, kOk}},              {21, {kOk, kOk, kOk}},
    {22, {kOk, kOk, kOk}},              {23, {kOk, kOk, kOk}},
    {24, {kUnknown, kOk, kOk}},         {25, {kOk, kOk, kOk}},
    {26, {kOk, kOk, kOk}},              {27, {kOk, kOk, kOk}},
    {28, {kOk, kOk, kOk}},              {29, {kOk, kOk, kOk}},
    {30, {kOk, kOk, kOk}},              {31, {kUnknown, kOk, kOk}},
    {32, {kOk, kOk, kOk}},              {33, {kUnknown, kUnknown, kUnknown}},
    {34, {kUnknown, kUnknown, kUnknown}}, {35, {kUnknown, kUnknown, kUnknown}},
    {36, {kUnknown, kUnknown, kUnknown}}, {37, {kOk, kOk, kOk}},
    {38, {kUnknown, kOk, kOk}},         {39, {kUnknown, kOk, kOk}},
    {40, {kUnknown, kOk, kOk}},         {41, {kUnknown, kOk, kOk}},
    {42, {kUnknown, kOk, kOk}},         {43, {kUnknown, kOk, kOk}},
    {44, {kUnknown, kOk, kOk}},         {45, {kUnknown, kUnknown, kUnknown}},
};

// Sets with data 0 and zero words (IPTC: an empty block kept, not written).
// A balance mode of all zeros and a resolution of unit 0 are refused; the
// oldest models and family 2 have no exposure to set; a file without the
// camera setting of id 3 has nowhere to write it.
const Row kSet[] = {
    {0, {kUnknown, kUnknown, kUnknown}}, {1, {kUnknown, kUnknown, kUnknown}},
    {2, {kUnknown, kUnknown, kUnknown}}, {3, {kUnknown, kAbsent, kAbsent}},
    {4, {kUnknown, kUnknown, kUnknown}}, {5, {kUnknown, kUnknown, kUnknown}},
    {6, {kUnknown, kUnknown, kUnknown}}, {7, {kUnknown, kUnknown, kUnknown}},
    {8, {kUnknown, kUnknown, kUnknown}}, {9, {kUnknown, kUnknown, kUnknown}},
    {10, {kUnknown, kUnknown, kUnknown}}, {11, {kUnknown, kUnknown, kUnknown}},
    {12, {kUnknown, kUnknown, kUnknown}}, {13, {kUnknown, kUnknown, kUnknown}},
    {14, {kUnknown, kUnknown, kUnknown}}, {15, {kUnknown, kUnknown, kUnknown}},
    {16, {kUnknown, kUnknown, kUnknown}}, {17, {kUnknown, kUnknown, kUnknown}},
    {18, {kUnknown, kUnknown, kUnknown}},
    {19, {kOk, kUnknown, kUnknown}},
    {20, {VQ_ERR_BAD_BALANCE_MODE, VQ_ERR_BAD_BALANCE_MODE, VQ_ERR_BAD_BALANCE_MODE}},
    {21, {kOk, kOk, kOk}},              {22, {kOk, kOk, kOk}},
    {23, {kOk, kOk, kOk}},              {24, {kUnknown, kOk, kOk}},
    {25, {kUnknown, kOk, kUnknown}},    {26, {kOk, kOk, kOk}},
    {27, {kUnknown, kUnknown, kUnknown}}, {28, {kUnknown, kUnknown, kUnknown}},
    {29, {VQ_ERR_BAD_RESOLUTION_UNIT, VQ_ERR_BAD_RESOLUTION_UNIT, VQ_ERR_BAD_RESOLUTION_UNIT}},
    {30, {kUnknown, kUnknown, kUnknown}}, {31, {kUnknown, kUnknown, kUnknown}},
    {32, {kUnknown, kUnknown, kUnknown}}, {33, {kUnknown, kUnknown, kUnknown}},
    {34, {kUnknown, kUnknown, kUnknown}}, {35, {kUnknown, kUnknown, kUnknown}},
    {36, {kUnknown, kUnknown, kUnknown}}, {37, {kUnknown, kUnknown, kUnknown}},
    {38, {kUnknown, kOk, kOk}},         {39, {kUnknown, kUnknown, kUnknown}},
    {40, {kUnknown, kUnknown, kUnknown}}, {41, {kUnknown, kUnknown, kUnknown}},
    {42, {kUnknown, kUnknown, kUnknown}}, {43, {kUnknown, kUnknown, kUnknown}}, {44, {kUnknown, kOk, kOk}},
    {45, {kUnknown, kUnknown, kUnknown}},
};

// Hidden reads: the base answers 4, 10, 11, 14, 16, 17 and 19 (13 is the
// interface's own); the raw classes add their table (0 to 9, 18) and 15.
const Row kHiddenGet[] = {
    {0, {kNoProperty, kOk, kOk}},  {1, {kNoProperty, kOk, kOk}},  {2, {kNoProperty, kOk, kOk}},
    {3, {kNoProperty, kOk, kOk}},  {4, {kOk, kOk, kOk}},          {5, {kNoProperty, kOk, kOk}},
    {6, {kNoProperty, kOk, kOk}},  {7, {kNoProperty, kOk, kOk}},  {8, {kNoProperty, kOk, kOk}},
    {9, {kNoProperty, kOk, kOk}},  {10, {kOk, kOk, kOk}},         {11, {kOk, kOk, kOk}},
    {12, {kNoProperty, kNoProperty, kNoProperty}},                {13, {kOk, kOk, kOk}},
    {14, {kOk, kOk, kOk}},         {15, {kNoProperty, kOk, kOk}}, {16, {kOk, kOk, kOk}},
    {17, {kOk, kOk, kOk}},         {18, {kNoProperty, kOk, kOk}}, {19, {kOk, kOk, kOk}},
    {20, {kNoProperty, kNoProperty, kNoProperty}},
};

// Hidden sets: 0 and 17 are accepted and change nothing; the raw classes
// also take 9, 15 and 18; every other id below 20 is read-only.
const Row kHiddenSet[] = {
    {0, {kOk, kOk, kOk}},           {1, {kReadOnly, kReadOnly, kReadOnly}}, {2, {kReadOnly, kReadOnly, kReadOnly}},
    {3, {kReadOnly, kReadOnly, kReadOnly}}, {4, {kReadOnly, kReadOnly, kReadOnly}},
    {5, {kReadOnly, kReadOnly, kReadOnly}}, {6, {kReadOnly, kReadOnly, kReadOnly}},
    {7, {kReadOnly, kReadOnly, kReadOnly}}, {8, {kReadOnly, kReadOnly, kReadOnly}},
    {9, {kReadOnly, kOk, kOk}},     {10, {kReadOnly, kReadOnly, kReadOnly}}, {11, {kReadOnly, kReadOnly, kReadOnly}},
    {12, {kReadOnly, kReadOnly, kReadOnly}}, {13, {kReadOnly, kReadOnly, kReadOnly}},
    {14, {kReadOnly, kReadOnly, kReadOnly}},
    {15, {kReadOnly, kOk, kOk}},    {16, {kReadOnly, kReadOnly, kReadOnly}}, {17, {kOk, kOk, kOk}},
    {18, {kReadOnly, kOk, kOk}},    {19, {kReadOnly, kReadOnly, kReadOnly}},
    {20, {kNoProperty, kNoProperty, kNoProperty}},
};

TEST_F(ExtensionTableTest, EveryIdOfEveryClass) {
    for (int c = 0; c < kClasses; ++c) {
        SCOPED_TRACE(kClassNames[c]);
        ASSERT_EQ(OpenClass(Class(c)), 0u);
        for (const Row& r : kGet) EXPECT_EQ(Get(r.id), r.answer[c]) << "get extension " << r.id;
        for (const Row& r : kHiddenGet) EXPECT_EQ(GetHidden(r.id), r.answer[c]) << "get hidden " << r.id;
        for (const Row& r : kHiddenSet) EXPECT_EQ(SetHidden(r.id), r.answer[c]) << "set hidden " << r.id;
        for (const Row& r : kSet) EXPECT_EQ(Set(r.id), r.answer[c]) << "set extension " << r.id;
    }
}

} // namespace
