// The cost of the program's operator new (built twice: core_bench with the
// pool-aware replacement, core_bench_glibc with the C++ library's own) and of
// a purge over a full register of blocks.
#include "BlockOMemory.h"
#include "BlockOMemoryPool.h"
#include "StBlockOMemoryPoolExceptionDisabler.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <numeric>
#include <random>
#include <vector>

using namespace NimbalCore;

namespace {

void BM_NewDelete(benchmark::State& state) {
    const size_t size = static_cast<size_t>(state.range(0));
    for (auto _ : state) {
        char* p = new char[size];
        benchmark::DoNotOptimize(p);
        delete[] p;
    }
}
BENCHMARK(BM_NewDelete)->RangeMultiplier(4)->Range(16, 4096);

class AgedBlock : public BlockOMemory {
public:
    explicit AgedBlock(time_t age) : age_(age) {}
    time_t GetLastUseTime() const override { return age_; }

private:
    time_t age_;
};

// A purge over 1000 registered blocks of 4 KB: range(1) 0 asks for one
// block's worth (the oldest goes), 1 for all of them.
void BM_Flush(benchmark::State& state) {
    const size_t count = static_cast<size_t>(state.range(0));
    const bool all = state.range(1) != 0;
    constexpr uint64_t kBlock = 4096;
    BlockOMemoryPool* pool = BlockOMemoryPool::Instance(true);
    pool->SetMemoryBudget(~uint64_t(0));
    std::vector<time_t> ages(count);
    std::iota(ages.begin(), ages.end(), time_t(1000));
    std::shuffle(ages.begin(), ages.end(), std::mt19937(11));
    std::vector<std::unique_ptr<AgedBlock>> blocks;
    for (size_t i = 0; i < count; ++i) blocks.push_back(std::make_unique<AgedBlock>(ages[i]));
    StBlockOMemoryPoolExceptionDisabler disabler;
    for (auto _ : state) {
        state.PauseTiming();
        for (auto& b : blocks) b->Create(kBlock);
        state.ResumeTiming();
        benchmark::DoNotOptimize(pool->Flush(all ? kBlock * count : kBlock));
    }
    for (auto& b : blocks) b->Free();
}
BENCHMARK(BM_Flush)->Args({1000, 0})->Args({1000, 1})->Unit(benchmark::kMicrosecond);

} // namespace
