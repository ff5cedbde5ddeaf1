// The zoom steps the preview and close-up views step through.
#include "ZoomSteps.h"

#include <gtest/gtest.h>

#include <vector>

using namespace NimbalCore;

TEST(ZoomStepsTest, NextLargerAndSmallerStep) {
    const ZoomStepTable& table = GetZoomSteps();
    struct Case {
        float zoom, larger, smaller;
    };
    // Off the table, at its ends, between steps and on a step.
    const Case cases[] = {
        {500, 500, 500}, {400, 400, 300}, {350, 400, 300}, {150, 200, 100}, {100, 200, 67},
        {30, 33, 25},    {25, 33, 25},    {20, 25, 20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.zoom);
        EXPECT_EQ(NextLargerZoomStep(table, c.zoom), c.larger);
        EXPECT_EQ(NextSmallerZoomStep(table, c.zoom), c.smaller);
    }
    EXPECT_EQ(&GetZoomStepTable(), &table) << "one table, built once";
}

TEST(ZoomStepsTest, TheCloseUpZoomListHoldsAllEightSteps) {
    // As the close-up view fills its list: from the largest step down until
    // the next smaller step stops changing.
    const ZoomStepTable& table = GetZoomSteps();
    std::vector<float> list{table.front()};
    for (float next = NextSmallerZoomStep(table, list.back()); next != list.back();
         next = NextSmallerZoomStep(table, list.back()))
        list.push_back(next);
    EXPECT_EQ(list, (std::vector<float>{400, 300, 200, 100, 67, 50, 33, 25}));
}
