#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "RenderProgress.h"

using namespace lumora;

namespace {

struct Call {
    int32_t state, percent, reserved, user;
    bool operator==(const Call&) const = default;
};
std::vector<Call> calls;
int32_t stopAt = -1;

int32_t record(int32_t state, int32_t percent, int32_t reserved, int32_t user) {
    calls.push_back({state, percent & 0xFFFF, reserved, user});
    return int32_t(calls.size()) == stopAt ? 0 : 1;
}

std::vector<Call> run(uint32_t steps, uint32_t start, uint32_t end, int32_t reported) {
    calls.clear();
    RenderProgress p;
    p.Init(42, &record, steps, start, end);
    p.Start();
    for (int32_t i = 0; i < reported; ++i) p.Step(0);
    return calls;
}

} // namespace

TEST(RenderProgressSteps, PercentagesAndFinalState) {
    stopAt = -1;
    EXPECT_EQ(run(4, 0, 100, 4),
              (std::vector<Call>{{0, 0, 0, 42}, {1, 25, 0, 42}, {1, 50, 0, 42}, {1, 75, 0, 42}, {2, 100, 0, 42}}));
    EXPECT_EQ(run(3, 0, 100, 3),
              (std::vector<Call>{{0, 0, 0, 42}, {1, 33, 0, 42}, {1, 66, 0, 42}, {2, 100, 0, 42}}));
    // A phase of a larger job never reports the final state.
    EXPECT_EQ(run(2, 50, 90, 2), (std::vector<Call>{{0, 50, 0, 42}, {1, 70, 0, 42}, {1, 90, 0, 42}}));
    // More steps than counted: the percentage stays at 100 and no second final.
    const auto over = run(2, 0, 100, 3);
    EXPECT_EQ(over.back(), (Call{1, 100, 0, 42}));
}

TEST(RenderProgressSteps, CancelAndNoCallback) {
    calls.clear();
    stopAt = 3; // the start call, then the second step answers 0
    RenderProgress p;
    p.Init(1, &record, 4, 0, 100);
    EXPECT_NE(p.Start(), 0);
    EXPECT_NE(p.Step(0), 0);
    EXPECT_EQ(p.Step(0), 0);
    stopAt = -1;

    RenderProgress silent;
    silent.Init(1, nullptr, 4, 0, 100);
    EXPECT_EQ(silent.Start(), 1);
    EXPECT_EQ(silent.Step(0), 1);
    RenderProgress empty;
    empty.Init(1, &record, 0, 0, 100);
    calls.clear();
    EXPECT_EQ(empty.Step(0), 1);
    EXPECT_TRUE(calls.empty());
}
