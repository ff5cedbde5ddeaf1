// VrelSharpenStripWithProgress over a 4000 x 3000 16-bit RGB picture in the
// strips the renderer plans (limit a third of the height: 4 strips of 1000
// rows), amount 10, at radius 10 and 100. Items are pixels. Run with
// LUMORA_PROGRAM_DIR=build/bin so that the library is found.
#include "VrelSharpenBinding.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

namespace {

constexpr int32_t kW = 4000, kH = 3000, kRows = 1000;

short goOn(int, void*) { return 1; }

VrelSharpenPlanes layout(void* block, int32_t columns, int32_t rows) {
    VrelSharpenPlanes v{};
    v.channels = 3;
    v.bitsPerSample = 16;
    v.pixelStride = 6;
    v.rowStride = columns * 6;
    v.rows = rows;
    v.columns = columns;
    for (int i = 0; i < 3; ++i) v.plane[i] = static_cast<uint8_t*>(block) + 2 * i;
    return v;
}

void BM_VrelSharpenStrips(benchmark::State& state) {
    NimbalCore::VrelSharpenProcs p{};
    if (NimbalCore::LoadVrelSharpenLib("VrelSharpenLib", &p) != 0) {
        state.SkipWithError("VrelSharpenLib not found");
        return;
    }
    SharpenLibrary* library = nullptr;
    SharpenFilter* filter = nullptr;
    p.initialize(0, &library);
    const FilterRect image{0, 0, kH, kW};
    p.createFilter(library, &filter, &image, 2, 10, uint32_t(state.range(0)), 0, 0);
    const FilterRect first{0, 0, kRows, kW};
    uint32_t in = 0, work = 0, out = 0;
    p.bufferSizes(filter, &first, &in, &work, &out);
    std::vector<uint16_t> picture(size_t(kW) * kH * 3);
    for (size_t i = 0; i < picture.size(); ++i) picture[i] = uint16_t((i * 2654435761u) >> 16);
    std::vector<uint8_t> source(in), workBlock(work), output(out);
    for (auto _ : state) {
        for (int32_t s = 0; s < kH / kRows; ++s) {
            const FilterRect strip{s * kRows, 0, (s + 1) * kRows, kW};
            FilterRect src{};
            p.stripRects(filter, &strip, &src);
            const int32_t sc = src.right - src.left, sr = src.bottom - src.top;
            for (int32_t y = 0; y < sr; ++y)
                std::copy_n(&picture[(size_t(src.top + y) * kW + src.left) * 3], size_t(sc) * 3,
                            reinterpret_cast<uint16_t*>(source.data()) + size_t(y) * sc * 3);
            const VrelSharpenPlanes i = layout(source.data(), sc, sr), o = layout(output.data(), kW, kRows);
            if (p.stripWithProgress(filter, workBlock.data(), &strip, &o, &i, goOn, nullptr) != 0) {
                state.SkipWithError("strip failed");
                break;
            }
            benchmark::DoNotOptimize(output.data());
        }
    }
    state.SetItemsProcessed(state.iterations() * int64_t(kW) * kH);
    p.releaseFilter(&filter);
    p.terminate(&library);
    NimbalCore::UnloadVrelSharpenLib(&p);
}
BENCHMARK(BM_VrelSharpenStrips)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

