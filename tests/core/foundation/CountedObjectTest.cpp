#include "RoundToDecimals.h"
#include "StCriticalSectionLock.h"
#include "YlmRefCount.h"
#include "YlmRefPtr.h"

#include <gtest/gtest.h>

using namespace NimbalCore;

namespace {

int g_alive = 0;
class Counted : public YlmRefCount<YlmMutex> {
public:
    Counted() { ++g_alive; }
    virtual ~Counted() { --g_alive; }
};

} // namespace

TEST(YlmRefPtrTest, HoldersShareAndTheLastDeletes) {
    g_alive = 0;
    Counted* object = new Counted;
    EXPECT_EQ(object->GetReferenceCount(), 0);
    YlmRefPtr<Counted> a(object);
    {
        YlmRefPtr<Counted> b(a);
        EXPECT_EQ(object->GetReferenceCount(), 2);
        b = a; // the object it already holds
        EXPECT_EQ(object->GetReferenceCount(), 2);
        b = b;
        EXPECT_EQ(object->GetReferenceCount(), 2);
    }
    EXPECT_EQ(object->GetReferenceCount(), 1);
    YlmRefPtr<Counted> c(a);
    a.Reset();
    EXPECT_EQ(g_alive, 1);
    EXPECT_EQ(a.Get(), nullptr);
    c.Reset();
    EXPECT_EQ(g_alive, 0);
}

TEST(YlmRefPtrTest, NullAndReassignment) {
    g_alive = 0;
    YlmRefPtr<Counted> empty;
    empty.Reset();
    EXPECT_EQ(empty.Get(), nullptr);
    YlmRefPtr<Counted> p(new Counted);
    p = new Counted; // the first loses its only holder
    EXPECT_EQ(g_alive, 1);
    p = nullptr;
    EXPECT_EQ(g_alive, 0);
}

TEST(YlmMutexTest, ReentersOnTheSameThread) {
    YlmMutex m;
    StCriticalSectionLock outer(m);
    StCriticalSectionLock inner(m);
    SUCCEED();
}

TEST(RoundToDecimalsTest, HalfUpForBothSigns) {
    struct Case {
        float value;
        unsigned decimals;
        float expected;
    } cases[] = {
        {0.0f, 3, 0.0f}, {2.345f, 2, 2.35f}, {1.25f, 1, 1.3f}, {-1.25f, 1, -1.2f},
        {0.333333f, 2, 0.33f}, {-0.5f, 0, 0.0f}, {7.0f, 0, 7.0f}, {1.0e12f, 2, 1.0e12f},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(RoundToDecimals(c.value, c.decimals), c.expected, 1e-6f * std::max(1.0f, std::abs(c.expected)))
            << c.value << " to " << c.decimals;
}
