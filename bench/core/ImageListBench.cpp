// Walking an image list by increasing index, in both orders. Each lookup
// moves on from the last one: one step per entry, so a walk grows with the
// list, not with its square (what remains of the growth is the cache, the
// entries of a bigger list lying further apart).
#include "FakeImage.h"
#include "ImageList.h"
#include "ImagePool.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

using namespace NimbalCore;
using coretest::FakeImage;

namespace {

void BM_ImageListWalk(benchmark::State& state) {
    const int count = int(state.range(0));
    const int mode = int(state.range(1));
    {
        ImageList list;
        for (int i = 0; i < count; ++i) {
            auto* image = new FakeImage("/photos/IMG_" + std::to_string(100000 + i) + ".ZYR");
            image->captureTime_ = 1700000000 + (i * 7919) % count;
            ImageRendering rendering{ImageRef(image), ImageProcessParam()};
            list.AddImage(&rendering);
        }
        list.SetSortMode(mode);
        for (auto _ : state) {
            for (int i = 0; i < count; ++i) benchmark::DoNotOptimize(list[i]);
        }
        state.SetItemsProcessed(state.iterations() * count);
    }
    ImagePool::DeleteInstance();
}
BENCHMARK(BM_ImageListWalk)->ArgNames({"entries", "mode"})->ArgsProduct({{1000, 10000}, {0, 1}});

} // namespace
