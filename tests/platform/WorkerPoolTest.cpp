#include "WorkerPool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <numeric>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <sched.h>

namespace {

using lumora::WorkerPool;

// Every index once, each lane on one thread at a time, the results as a plain
// loop gives them, for pools of several sizes and loops of several lengths.
TEST(WorkerPool, EveryIndexRunsOnceAndLanesAreNeverShared) {
    for (unsigned lanes : {1u, 2u, 3u, 8u}) {
        WorkerPool pool(lanes);
        for (size_t count : {size_t(0), size_t(1), size_t(5), size_t(1000)}) {
            std::vector<std::atomic<int>> visits(count);
            std::vector<uint64_t> squares(count, 0);
            std::vector<std::atomic<int>> busy(lanes);
            std::atomic<bool> shared{false}, outOfRange{false};
            pool.ForEach(count, [&](size_t i, unsigned lane) {
                if (lane >= lanes) {
                    outOfRange = true;
                    return;
                }
                if (busy[lane].fetch_add(1) != 0) shared = true;
                visits[i].fetch_add(1);
                squares[i] = uint64_t(i) * i;
                busy[lane].fetch_sub(1);
            });
            for (size_t i = 0; i < count; ++i) ASSERT_EQ(visits[i].load(), 1) << lanes << " lanes, index " << i;
            std::vector<uint64_t> serial(count);
            for (size_t i = 0; i < count; ++i) serial[i] = uint64_t(i) * i;
            EXPECT_EQ(squares, serial);
            EXPECT_FALSE(shared) << lanes << " lanes";
            EXPECT_FALSE(outOfRange) << lanes << " lanes";
        }
    }
}

TEST(WorkerPool, UsesTheWorkersAndNoMoreLanesThanAsked) {
    WorkerPool pool(4);
    std::mutex lock;
    std::set<std::thread::id> threads;
    std::set<unsigned> lanes;
    std::atomic<int> running{0};
    pool.ForEach(64, 3, [&](size_t, unsigned lane) {
        // Long enough for every lane to be taken.
        running.fetch_add(1);
        for (int spin = 0; spin < 200 && running.load() < 3; ++spin) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::lock_guard<std::mutex> guard(lock);
        threads.insert(std::this_thread::get_id());
        lanes.insert(lane);
    });
    EXPECT_EQ(threads.size(), 3u);
    EXPECT_EQ(lanes, (std::set<unsigned>{0, 1, 2}));
}

TEST(WorkerPool, OneLaneRunsOnTheCallerInOrder) {
    WorkerPool pool(1);
    const std::thread::id caller = std::this_thread::get_id();
    std::vector<size_t> order;
    bool elsewhere = false;
    pool.ForEach(100, [&](size_t i, unsigned lane) {
        elsewhere |= std::this_thread::get_id() != caller || lane != 0;
        order.push_back(i);
    });
    std::vector<size_t> want(100);
    std::iota(want.begin(), want.end(), size_t(0));
    EXPECT_EQ(order, want);
    EXPECT_FALSE(elsewhere);
}

TEST(WorkerPool, AnExceptionReachesTheCallerAndThePoolGoesOn) {
    WorkerPool pool(4);
    std::atomic<int> after{0};
    try {
        pool.ForEach(1000, [&](size_t i, unsigned) {
            if (i == 37) throw std::runtime_error("piece 37 failed");
            after.fetch_add(1);
        });
        ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "piece 37 failed");
    }
    // Indices not yet started when it failed are skipped; the pool still works.
    EXPECT_LT(after.load(), 1000);
    std::atomic<int> again{0};
    pool.ForEach(50, [&](size_t, unsigned) { again.fetch_add(1); });
    EXPECT_EQ(again.load(), 50);
}

TEST(WorkerPool, NestedLoopsRunInlineWithoutDeadlock) {
    WorkerPool pool(4);
    std::atomic<int> total{0};
    std::atomic<bool> movedThread{false}, moreLanes{false};
    pool.ForEach(16, [&](size_t, unsigned) {
        EXPECT_TRUE(WorkerPool::InLoop());
        const std::thread::id outer = std::this_thread::get_id();
        if (pool.LanesFor(100) != 1) moreLanes = true;
        pool.ForEach(100, [&](size_t, unsigned lane) {
            if (std::this_thread::get_id() != outer || lane != 0) movedThread = true;
            total.fetch_add(1);
        });
    });
    EXPECT_EQ(total.load(), 1600);
    EXPECT_FALSE(movedThread);
    EXPECT_FALSE(moreLanes);
    EXPECT_FALSE(WorkerPool::InLoop());
}

// `first` runs on the caller while a worker takes the loop's index; a loop
// it starts gets the other workers.
TEST(WorkerPool, FirstRunsOnTheCallerBesideTheLoopAndSpreadsItsOwnLoops) {
    WorkerPool pool(4);
    const std::thread::id caller = std::this_thread::get_id();
    std::atomic<bool> written{false};
    std::thread::id writer;
    std::mutex lock;
    std::set<std::thread::id> inner;
    bool firstOnCaller = false;
    pool.ForEach(
        1, 2,
        [&](size_t, unsigned) {
            writer = std::this_thread::get_id();
            written = true;
        },
        [&] {
            firstOnCaller = std::this_thread::get_id() == caller && !WorkerPool::InLoop();
            pool.ForEach(64, [&](size_t, unsigned) {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
                std::lock_guard<std::mutex> guard(lock);
                inner.insert(std::this_thread::get_id());
            });
        });
    EXPECT_TRUE(written);
    EXPECT_TRUE(firstOnCaller);
    EXPECT_GT(inner.size(), 1u);
    // With one lane, `first` and then the index, both on the caller.
    WorkerPool one(1);
    std::vector<int> order;
    one.ForEach(1, 2, [&](size_t, unsigned) { order.push_back(2); }, [&] { order.push_back(1); });
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
}

TEST(WorkerPool, LoopsFromSeveralThreadsShareThePool) {
    WorkerPool pool(4);
    std::vector<uint64_t> sums(3, 0);
    std::vector<std::thread> callers;
    for (int c = 0; c < 3; ++c)
        callers.emplace_back([&pool, &sums, c] {
            for (int round = 0; round < 20; ++round) {
                std::vector<uint64_t> values(500, 0);
                pool.ForEach(values.size(), [&](size_t i, unsigned) { values[i] = i + 1; });
                sums[c] += std::accumulate(values.begin(), values.end(), uint64_t(0));
            }
        });
    for (auto& t : callers) t.join();
    for (uint64_t sum : sums) EXPECT_EQ(sum, 20u * 500u * 501u / 2u);
}

TEST(WorkerPool, ResizingChangesTheLanesOfLaterLoops) {
    WorkerPool pool(2);
    pool.ForEach(10, [](size_t, unsigned) {});
    pool.SetLanes(5);
    EXPECT_EQ(pool.Lanes(), 5u);
    EXPECT_EQ(pool.LanesFor(3), 3u);
    std::atomic<unsigned> highest{0};
    pool.ForEach(200, [&](size_t, unsigned lane) {
        unsigned seen = highest.load();
        while (lane > seen && !highest.compare_exchange_weak(seen, lane)) {
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    });
    EXPECT_LT(highest.load(), 5u);
    pool.SetLanes(0);
    EXPECT_EQ(pool.Lanes(), 1u);
}

// LUMORA_CPU_COUNT stands in for the processors the process may run on when
// it holds a sensible number.
TEST(WorkerPool, ProcessorCountHonoursTheVariable) {
    const char* before = std::getenv("LUMORA_CPU_COUNT");
    const std::string saved = before ? before : "";
    ::unsetenv("LUMORA_CPU_COUNT");
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    ASSERT_EQ(::sched_getaffinity(0, sizeof allowed, &allowed), 0);
    const unsigned machine = unsigned(CPU_COUNT(&allowed));
    EXPECT_EQ(lumora::ProcessorCount(), machine);
    struct Case {
        const char* value;
        unsigned want;
    };
    for (const Case& c : {Case{"1", 1u}, Case{"3", 3u}, Case{"4096", 4096u}, Case{"0", machine}, Case{"-2", machine},
                          Case{"4097", machine}, Case{"two", machine}, Case{"2x", machine}, Case{"", machine}}) {
        ::setenv("LUMORA_CPU_COUNT", c.value, 1);
        EXPECT_EQ(lumora::ProcessorCount(), c.want) << '"' << c.value << '"';
    }
    if (before)
        ::setenv("LUMORA_CPU_COUNT", saved.c_str(), 1);
    else
        ::unsetenv("LUMORA_CPU_COUNT");
}

} // namespace
