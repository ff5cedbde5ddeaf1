// Binding the sharpen library by name, and the rectangle conversions.
#include "FilterRectConversions.h"
#include "VrelSharpenBinding.h"

#include <gtest/gtest.h>

#include <cstring>

namespace NimbalCore {
namespace {

void** entries(VrelSharpenProcs& p) { return reinterpret_cast<void**>(&p); }

TEST(VrelSharpenBinding, BindsAllElevenExports) {
    VrelSharpenProcs p;
    ASSERT_EQ(LoadVrelSharpenLib("VrelSharpenLib", &p), 0);
    for (int i = 0; i < 12; ++i) EXPECT_NE(entries(p)[i], nullptr) << i;
    EXPECT_EQ(UnloadVrelSharpenLib(&p), 0);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(entries(p)[i], nullptr) << i;
}

TEST(VrelSharpenBinding, MissingStripWithProgressKeepsWhatWasFound) {
    VrelSharpenProcs p;
    EXPECT_NE(LoadVrelSharpenLib("FakeSharpenLib", &p), 0);
    for (int i = 0; i <= 10; ++i) EXPECT_NE(entries(p)[i], nullptr) << i;
    EXPECT_EQ(p.stripWithProgress, nullptr);
    EXPECT_EQ(UnloadVrelSharpenLib(&p), 0);
}

TEST(VrelSharpenBinding, UnknownNameAndMissingArguments) {
    VrelSharpenProcs p;
    std::memset(&p, 0xAB, sizeof p);
    EXPECT_EQ(LoadVrelSharpenLib("NoSuchSharpenLib", &p), 701);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(entries(p)[i], nullptr) << i;
    EXPECT_EQ(LoadVrelSharpenLib(nullptr, &p), 105);
    EXPECT_EQ(LoadVrelSharpenLib("VrelSharpenLib", nullptr), 105);
    EXPECT_EQ(UnloadVrelSharpenLib(nullptr), 105);
}

TEST(FilterRects, Conversions) {
    const FilterRect f = NbRectToFilterRect(NbRect(10, 20, 29, 49));
    EXPECT_EQ(f.top, 20);
    EXPECT_EQ(f.left, 10);
    EXPECT_EQ(f.bottom, 50);
    EXPECT_EQ(f.right, 30);
    EXPECT_EQ(FilterRectToNbRect(20, 10, 50, 30), NbRect(10, 20, 29, 49));
    EXPECT_EQ(FilterRectWidth(&f), 20);
    EXPECT_EQ(FilterRectHeight(&f), 30);
    EXPECT_EQ(FilterRectWidth(nullptr), 0);
    EXPECT_EQ(FilterRectHeight(nullptr), 0);
}

} // namespace
} // namespace NimbalCore
