#include "CoreTestSupport.h"
#include "ImageViewMapping.h"
#include "NbErrorCodes.h"
#include "NbRect.h"

#include <gtest/gtest.h>

using namespace NimbalCore;
using coretest::CodeOf;

TEST(NbRectTest, SizeNullAndContainment) {
    const NbRect null;
    EXPECT_TRUE(null.IsNull());
    EXPECT_EQ(null.Width(), 1);
    EXPECT_EQ(null.Height(), 1);
    EXPECT_TRUE(null.IsInside(NbRect(0, 0, 10, 10)));
    EXPECT_TRUE(null.IsInside(NbRect(-5, -5, 0, 0)));
    EXPECT_FALSE(null.IsInside(NbRect(1, 0, 10, 10)));
    const NbRect r(10, 20, 30, 40);
    EXPECT_FALSE(r.IsNull());
    for (auto [x, y] : {std::pair{10, 20}, {30, 40}, {10, 40}, {30, 20}, {20, 30}}) EXPECT_TRUE(r.ContainsPoint(x, y));
    for (auto [x, y] : {std::pair{9, 20}, {31, 40}, {10, 41}, {30, 19}}) EXPECT_FALSE(r.ContainsPoint(x, y));
    NbRect c = r;
    EXPECT_TRUE(c == r);
    c.Clear();
    EXPECT_TRUE(c != r);
    EXPECT_TRUE(c.IsNull());
}

TEST(NbRectTest, CropParity) {
    EXPECT_FALSE(NbRect(0, 0, 99, 99).HasOddLeftOrEvenRight());
    EXPECT_TRUE(NbRect(1, 0, 99, 99).HasOddLeftOrEvenRight());
    EXPECT_TRUE(NbRect(0, 0, 98, 99).HasOddLeftOrEvenRight());
    EXPECT_TRUE(NbRect(0, 1, 99, 99).HasOddTopOrEvenBottom());
    EXPECT_TRUE(NbRect(0, 0, 99, 98).HasOddTopOrEvenBottom());
    EXPECT_FALSE(NbRect(-2, 2, 3, 5).HasOddTopOrEvenBottom());
}

TEST(NbRectTest, MovesAndTurns) {
    struct Case {
        const char* what;
        NbRect start;
        std::function<void(NbRect&)> op;
        NbRect expected;
    } cases[] = {
        {"centre 4x4", {0, 0, 3, 3}, [](NbRect& r) { r.CenterOn({10, 10}); }, {8, 8, 11, 11}},
        {"centre 3x3", {0, 0, 2, 2}, [](NbRect& r) { r.CenterOn({10, 10}); }, {9, 9, 11, 11}},
        {"swap 90", {10, 20, 109, 69}, [](NbRect& r) { r.SwapSizeForRotation(90); }, {10, 20, 59, 119}},
        {"swap 270", {10, 20, 109, 69}, [](NbRect& r) { r.SwapSizeForRotation(270); }, {10, 20, 59, 119}},
        {"swap 180", {10, 20, 109, 69}, [](NbRect& r) { r.SwapSizeForRotation(180); }, {10, 20, 109, 69}},
        {"swap 90.5", {10, 20, 109, 69}, [](NbRect& r) { r.SwapSizeForRotation(90.5f); }, {10, 20, 109, 69}},
        {"inside from the left", {-5, 0, 14, 9}, [](NbRect& r) { r.MoveInside({0, 0, 99, 99}); }, {0, 0, 19, 9}},
        {"cut on the right", {90, 0, 109, 9}, [](NbRect& r) { r.MoveInside({0, 0, 99, 99}); }, {90, 0, 99, 9}},
        {"inside from above", {0, -3, 9, 6}, [](NbRect& r) { r.MoveInside({0, 0, 99, 99}); }, {0, 0, 9, 9}},
        {"cut below", {0, 95, 9, 120}, [](NbRect& r) { r.MoveInside({0, 0, 99, 99}); }, {0, 95, 9, 99}},
        {"to origin", {5, 7, 14, 26}, [](NbRect& r) { r.MoveToOrigin(); }, {0, 0, 9, 19}},
    };
    for (const Case& c : cases) {
        NbRect r = c.start;
        c.op(r);
        EXPECT_EQ(r, c.expected) << c.what << ": " << r.left << "," << r.top << "," << r.right << "," << r.bottom;
    }
    NbRect r(5, 7, 14, 26);
    const NbPoint corner = r.MoveToOrigin();
    EXPECT_EQ(corner.x, 9);
    EXPECT_EQ(corner.y, 19);
}

TEST(NbRectTest, RotatePointByQuarterTurns) {
    const NbRect image(0, 0, 99, 49);
    struct Case {
        float degrees;
        NbPoint in, out;
    } cases[] = {
        {90, {0, 0}, {49, 0}},     {-270, {0, 0}, {49, 0}},  {270, {0, 0}, {0, 99}}, {-90, {0, 0}, {0, 99}},
        {180, {0, 0}, {99, 49}},   {-180, {10, 5}, {89, 44}}, {90, {99, 49}, {0, 99}}, {45, {3, 4}, {3, 4}},
        {0, {3, 4}, {3, 4}},       {360, {3, 4}, {3, 4}},
    };
    for (const Case& c : cases) {
        NbPoint p = c.in;
        RotatePoint(p, c.degrees, image);
        EXPECT_EQ(p.x, c.out.x) << c.degrees;
        EXPECT_EQ(p.y, c.out.y) << c.degrees;
    }
}

TEST(ImageViewMappingTest, RotationIsAQuarterTurn) {
    ImageViewMapping m;
    EXPECT_EQ(m.GetScale(), 1.0);
    EXPECT_EQ(m.GetRotation(), 0);
    for (int ok : {0, 90, 180, 270}) {
        m.SetRotation(ok);
        EXPECT_EQ(m.GetRotation(), ok);
    }
    for (int bad : {45, -90, 360, 1}) {
        EXPECT_EQ(CodeOf([&] { m.SetRotation(bad); }), NbErrBadRotation) << bad;
        EXPECT_EQ(m.GetRotation(), 270);
    }
    m.SetScale(0.5);
    m.SetFirstRect({0, 0, 9, 9});
    m.SetSecondRect({1, 1, 2, 2});
    EXPECT_EQ(m.GetScale(), 0.5);
    EXPECT_EQ(m.GetFirstRect(), NbRect(0, 0, 9, 9));
    EXPECT_EQ(m.GetSecondRect(), NbRect(1, 1, 2, 2));
}
