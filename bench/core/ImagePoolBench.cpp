// The image pool: looking up one of 1,000 pooled paths, and the opening that
// passes the open-image limit and closes the five oldest (the fake kind's own
// Close does nothing but count).
#include "FakeImage.h"
#include "ImagePool.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

using namespace NimbalCore;
using coretest::FakeImage;

namespace {

std::string PathOf(int i) { return "/photos/2026-12-10/session/IMG_" + std::to_string(10000 + i) + ".ZYR"; }

void BM_PoolLookup(benchmark::State& state) {
    ImagePool* pool = ImagePool::Instance();
    std::vector<ImageRef> held;
    std::vector<FilePathSpec> paths;
    for (int i = 0; i < 1000; ++i) {
        held.emplace_back(new FakeImage(PathOf(i)));
        pool->AddImage(held.back());
        paths.emplace_back(PathOf((i * 7919) % 1000));
    }
    size_t n = 0;
    ImageRef out;
    for (auto _ : state) {
        benchmark::DoNotOptimize(pool->Lookup(paths[n], out));
        n = (n + 1) % paths.size();
    }
    out.Reset();
    held.clear();
    ImagePool::DeleteInstance();
}
BENCHMARK(BM_PoolLookup);

void BM_OpenOverflow(benchmark::State& state) {
    ImagePool* pool = ImagePool::Instance();
    std::vector<ImageRef> held;
    time_t now = 1000;
    for (int i = 0; i < 50; ++i) {
        held.emplace_back(new FakeImage(PathOf(i)));
        FakeImage::clock = ++now;
        held.back()->Open();
        pool->AddImage(held.back());
    }
    ImageRef newest(new FakeImage(PathOf(50)));
    for (auto _ : state) {
        FakeImage::clock = ++now;
        newest->Open(); // the 51st: closes the five oldest
        state.PauseTiming();
        newest->Close();
        for (ImageRef& image : held)
            if (!image->IsOpen()) {
                FakeImage::clock = ++now;
                image->Open();
            }
        state.ResumeTiming();
    }
    newest.Reset();
    held.clear();
    ImagePool::DeleteInstance();
    FakeImage::clock = 0;
}
BENCHMARK(BM_OpenOverflow);

} // namespace

