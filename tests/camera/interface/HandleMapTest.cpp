#include "CameraHandleMap.h"
#include "ImageHandleMap.h"

#include <gtest/gtest.h>

using namespace lumora::vq;

namespace {

struct Thing : SdkCamera {
    bool IsOpen() const override { return true; }
};

} // namespace

TEST(HandleMap, SkipsHandlesWhoseLow16BitsAreZero) {
    uint32_t counter = 0;
    CameraHandleMap map(counter);
    Thing t;
    int32_t last = 0;
    for (int i = 0; i < 65535; ++i) last = map.Add(&t);
    EXPECT_EQ(last, 0xFFFF);
    EXPECT_EQ(map.Add(&t), 0x10001);
    EXPECT_EQ(map.Find(0x10000), nullptr);
    EXPECT_EQ(map.Count(), 65536u);
}

TEST(HandleMap, NullObjectsAreNotStoredButUseUpTheirHandle) {
    uint32_t counter = 0;
    CameraHandleMap map(counter);
    Thing t;
    EXPECT_EQ(map.Add(nullptr), 0);
    EXPECT_EQ(counter, 1u);
    EXPECT_EQ(map.Count(), 0u);
    EXPECT_EQ(map.Find(1), nullptr);
    EXPECT_EQ(map.Add(&t), 2);
}

TEST(HandleMap, CounterWrapsAfterTheLast32BitNumberWithoutIssuingZero) {
    struct Case {
        uint32_t counter;
        int32_t next;
    };
    const Case cases[] = {
        {0x7FFFFFFEu, 0x7FFFFFFF},
        {0x7FFFFFFFu, int32_t(0x80000001u)},  // 0x80000000 has zero low bits
        {0xFFFFFFFEu, int32_t(0xFFFFFFFFu)},
        {0xFFFFFFFFu, 1},
        {0xFFFEu, 0xFFFF},
        {0xFFFFu, 0x10001},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.counter);
        uint32_t counter = c.counter;
        CameraHandleMap map(counter);
        Thing t;
        EXPECT_EQ(map.Add(&t), c.next);
        EXPECT_EQ(counter, uint32_t(c.next));
        EXPECT_EQ(map.Find(c.next), &t);
    }
}

TEST(HandleMap, AfterWrappingALiveHandleIsNeverIssuedAgain) {
    uint32_t counter = 0;
    CameraHandleMap map(counter);
    Thing first, second;
    ASSERT_EQ(map.Add(&first), 1);
    counter = 0xFFFFFFFFu;
    EXPECT_EQ(map.Add(&second), 2);
    EXPECT_EQ(map.Find(1), &first);
    EXPECT_EQ(map.Find(2), &second);
}

TEST(HandleMap, FindAndRemove) {
    uint32_t counter = 0;
    ImageHandleMap images(counter);
    EXPECT_EQ(images.Find(0), nullptr);
    EXPECT_EQ(images.Find(1), nullptr);
    EXPECT_EQ(images.Remove(5), 0u);

    uint32_t cameraCounter = 0;
    CameraHandleMap map(cameraCounter);
    Thing a, b, c;
    const int32_t ha = map.Add(&a), hb = map.Add(&b), hc = map.Add(&c);
    EXPECT_EQ(map.Remove(hb), 2u);
    EXPECT_EQ(map.Remove(hb), 2u);  // unknown handle: nothing happens
    EXPECT_EQ(map.Find(hb), nullptr);
    EXPECT_EQ(map.Find(ha), &a);
    EXPECT_EQ(map.Find(hc), &c);
    EXPECT_EQ(map.Find(0), nullptr);
}

TEST(CameraHandleMap, LowestAndHighestInSignedOrder) {
    uint32_t counter = 0;
    CameraHandleMap map(counter);
    EXPECT_EQ(map.LowestId(), 0);
    EXPECT_EQ(map.HighestId(), 0);
    Thing t;
    map.Add(&t);  // 1
    map.Add(&t);  // 2
    counter = 0x7FFFFFFFu;
    const int32_t negative = map.Add(&t);  // 0x80000001, below every positive id
    EXPECT_LT(negative, 0);
    EXPECT_EQ(map.LowestId(), negative);
    EXPECT_EQ(map.HighestId(), 2);
    map.Remove(negative);
    EXPECT_EQ(map.LowestId(), 1);
}

TEST(HandleMap, CountersAreSharedAcrossTables) {
    // A new table on the same counter goes on from the last handle issued.
    uint32_t counter = 0;
    Thing t;
    {
        CameraHandleMap first(counter);
        EXPECT_EQ(first.Add(&t), 1);
    }
    CameraHandleMap second(counter);
    EXPECT_EQ(second.Add(&t), 2);
}
