// The export size options: defaults, the constructor from values, and the
// checking setters as one table of accepted and refused values.
#include "ExportSizeOptions.h"
#include "NbErrorCodes.h"

#include <gtest/gtest.h>

#include <functional>

using namespace NimbalCore;

TEST(ExportSizeOptionsTest, DefaultsConstructorAndGet) {
    const ExportSizeOptions d;
    EXPECT_FALSE(d.resizeEnabled);
    EXPECT_FALSE(d.keepProportions);
    EXPECT_EQ(d.resizeMode, ResizeByPercent);
    EXPECT_EQ(d.units, 0);
    EXPECT_EQ(d.percent, 50);
    EXPECT_EQ(d.exactWidth, 500.0);
    EXPECT_EQ(d.exactHeight, 400.0);
    EXPECT_EQ(d.pixelWidth, 500);
    EXPECT_EQ(d.pixelHeight, 400);
    EXPECT_EQ(d.printWidth, 5.0);
    EXPECT_EQ(d.printHeight, 4.0);
    EXPECT_EQ(d.resolution, 100);
    EXPECT_TRUE(d.IsValid());

    // Stored unchecked; whole pixels truncated; print sizes per resolution.
    ExportSizeOptions o(true, true, 7, 1, 999, 200, 1234.9, 50.5);
    EXPECT_EQ(o.resizeMode, 7);
    EXPECT_EQ(o.percent, 999);
    EXPECT_EQ(o.pixelWidth, 1234);
    EXPECT_EQ(o.pixelHeight, 50);
    EXPECT_DOUBLE_EQ(o.printWidth, 1234.9 / 200);
    EXPECT_DOUBLE_EQ(o.printHeight, 50.5 / 200);
    ExportSizeOptions copy;
    copy = o;
    bool enabled, keep;
    int32_t mode, units, percent, resolution;
    double w, h;
    EXPECT_EQ(copy.Get(&enabled, &keep, &mode, &units, &percent, &resolution, &w, &h), 0);
    EXPECT_TRUE(enabled);
    EXPECT_TRUE(keep);
    EXPECT_EQ(mode, 7);
    EXPECT_EQ(units, 1);
    EXPECT_EQ(percent, 999);
    EXPECT_EQ(resolution, 200);
    EXPECT_EQ(w, 1234.9);
    EXPECT_EQ(h, 50.5);
}

TEST(ExportSizeOptionsTest, SettersAcceptTheirRangeAndLeaveTheFieldOnError) {
    using Setter = std::function<int(ExportSizeOptions&, int)>;
    using Field = std::function<double(const ExportSizeOptions&)>;
    const struct {
        const char* name;
        Setter set;
        Field field;
        std::vector<int> good, bad;
    } cases[] = {
        {"mode", [](ExportSizeOptions& o, int v) { return o.SetResizeMode(v); },
         [](const ExportSizeOptions& o) { return double(o.resizeMode); }, {0, 3}, {-1, 4}},
        {"units", [](ExportSizeOptions& o, int v) { return o.SetUnits(v); },
         [](const ExportSizeOptions& o) { return double(o.units); }, {1, 0}, {-1, 2}},
        {"resolution", [](ExportSizeOptions& o, int v) { return o.SetResolution(v); },
         [](const ExportSizeOptions& o) { return double(o.resolution); }, {1, 4000}, {0, 4001}},
        {"percent", [](ExportSizeOptions& o, int v) { return o.SetResizePercent(v); },
         [](const ExportSizeOptions& o) { return double(o.percent); }, {10, 400}, {9, 401}},
        {"width", [](ExportSizeOptions& o, int v) { return o.SetPixelWidth(v); },
         [](const ExportSizeOptions& o) { return double(o.pixelWidth); }, {50, 18000}, {49, 18001}},
        {"height", [](ExportSizeOptions& o, int v) { return o.SetPixelHeight(v); },
         [](const ExportSizeOptions& o) { return double(o.pixelHeight); }, {50, 18000}, {49, 18001}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ExportSizeOptions o;
        for (int v : c.good) {
            EXPECT_EQ(c.set(o, v), 0) << v;
            EXPECT_EQ(c.field(o), v);
        }
        const double kept = c.field(o);
        for (int v : c.bad) {
            EXPECT_EQ(c.set(o, v), NbErrBadArgument) << v;
            EXPECT_EQ(c.field(o), kept);
        }
    }
}

TEST(ExportSizeOptionsTest, SizesAndResolutionKeepThePrintSizes) {
    ExportSizeOptions o;
    ASSERT_EQ(o.SetPixelWidth(3000), 0);
    EXPECT_EQ(o.exactWidth, 3000.0);
    EXPECT_DOUBLE_EQ(o.printWidth, 30.0);
    ASSERT_EQ(o.SetResolution(300), 0);
    EXPECT_DOUBLE_EQ(o.printWidth, 10.0);
    EXPECT_DOUBLE_EQ(o.printHeight, 400.0 / 300);
    ASSERT_EQ(o.SetPixelHeight(600), 0);
    EXPECT_DOUBLE_EQ(o.printHeight, 2.0);

    // A resolution of 0 is repaired to 100 even when the units are refused.
    ExportSizeOptions broken(false, false, 0, 0, 50, 0, 500, 400);
    EXPECT_EQ(broken.SetUnits(2), NbErrBadArgument);
    EXPECT_EQ(broken.resolution, 100);
    EXPECT_EQ(broken.units, 0);
    ExportSizeOptions negative(false, false, 0, 0, 50, -5, 500, 400);
    EXPECT_EQ(negative.SetUnits(1), 0);
    EXPECT_EQ(negative.resolution, 100);
    EXPECT_DOUBLE_EQ(negative.printWidth, 5.0);
}
