// The strip renderer's own cost, against the same bytes moved by one plain
// loop; the thumbnail reduction of a large source; the shift copy of
// TransformPixels.
#include "BlockOMemoryPool.h"
#include "FakeImage.h"
#include "ImagePool.h"
#include "RenderBuffer.h"
#include "Thumbnail.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <sys/resource.h>
#include <vector>

using namespace NimbalCore;
using coretest::FakeImage;

namespace {

constexpr int kWidth = 6000, kHeight = 4000;

int64_t MinorFaults() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

// A kind whose data source copies a prepared 16-bit strip.
class StripSource : public FakeImage {
public:
    StripSource() : FakeImage("/bench/IMG_0001.ZYR", kWidth, kHeight), strip(size_t(kWidth) * 3 * 2000) {
        for (size_t i = 0; i < strip.size(); ++i) strip[i] = uint16_t(i * 2654435761u >> 16);
        resolutionDivisor_ = 1;
    }
    void GetImageRectangleFromCameraSDK(int, const ImageProcessParam&, const FilterRect& rect, float,
                                        VrelSharpenPlanes& layout, int, int, ProgressCB*) override {
        peakPooled = std::max(peakPooled, BlockOMemoryPool::Instance(true)->GetPooledBytes());
        const size_t rowBytes = size_t(rect.right - rect.left) * 6;
        for (int32_t r = 0; r < layout.rows; ++r)
            std::memcpy(static_cast<uint8_t*>(layout.plane[0]) + int64_t(r) * layout.rowStride,
                        strip.data() + size_t(r % 2000) * kWidth * 3, rowBytes);
    }
    std::vector<uint16_t> strip;
    uint64_t peakPooled = 0;
};

void BM_RenderImageInternal(benchmark::State& state) {
    StripSource* image = new StripSource;
    ImageRef hold(image);
    std::vector<uint8_t> pixels(size_t(kWidth) * kHeight * 3);
    struct Destination : PixelArray {
        void Create(uint64_t) override {}
        void Free() override {}
        void* GetData() const override { return data; }
        void* data = nullptr;
    } destination;
    destination.data = pixels.data();
    destination.SetBounds(NbRect(0, 0, kWidth - 1, kHeight - 1));
    destination.SetRowBytes(kWidth * 3);
    const int64_t faults = MinorFaults();
    for (auto _ : state) {
        image->RenderKind(ImageProcessParam(), destination, false, nullptr, 0);
        benchmark::ClobberMemory();
    }
    // Fresh pages per render: none once the working block is kept.
    state.counters["page_faults"] = benchmark::Counter(double(MinorFaults() - faults), benchmark::Counter::kAvgIterations);
    state.counters["peak_pooled_MiB"] = double(image->peakPooled) / 1048576.0;
    state.SetBytesProcessed(int64_t(state.iterations()) * kWidth * kHeight * 3);
    hold.Reset();
    ImagePool::DeleteInstance();
}
BENCHMARK(BM_RenderImageInternal)->Unit(benchmark::kMillisecond);

// The data source's copy and the 16-to-8 shift as one plain loop over the
// same bytes, strip by strip through a block of the renderer's size.
void BM_RenderBaseline(benchmark::State& state) {
    StripSource source;
    std::vector<uint8_t> pixels(size_t(kWidth) * kHeight * 3);
    // The renderer's strips of this size: 1334, 1334 and 1332 rows, in one
    // block kept from render to render as the renderer keeps its own.
    const int stripRows = 1334;
    std::vector<uint16_t> kept(size_t(kWidth) * 3 * stripRows);
    for (auto _ : state) {
        uint16_t* block = kept.data();
        for (int top = 0; top < kHeight; top += stripRows) {
            const int rows = std::min(stripRows, kHeight - top);
            for (int r = 0; r < rows; ++r)
                std::memcpy(block + size_t(r) * kWidth * 3, source.strip.data() + size_t(r % 2000) * kWidth * 3,
                            size_t(kWidth) * 6);
            uint8_t* out = pixels.data() + size_t(top) * kWidth * 3;
            const size_t n = size_t(kWidth) * 3 * rows;
            for (size_t j = 0; j < n; ++j) out[j] = uint8_t(block[j] >> 8);
        }
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kWidth * kHeight * 3);
}
BENCHMARK(BM_RenderBaseline)->Unit(benchmark::kMillisecond);

void BM_ThumbnailReduce(benchmark::State& state) {
    const int mode = int(state.range(0));
    std::vector<uint16_t> row(size_t(kWidth) * 3);
    for (size_t i = 0; i < row.size(); ++i) row[i] = uint16_t(i * 40503u);
    const auto* bytes = reinterpret_cast<const uint8_t*>(row.data());
    for (auto _ : state) {
        Thumbnail t;
        t.Setup(NbRect(0, 0, kWidth - 1, kHeight - 1), 3, 2, 0, mode, -1);
        for (int y = 0; y < kHeight; ++y) t.AddRow(bytes);
        t.Finish();
        benchmark::DoNotOptimize(t.GetPixels());
    }
}
BENCHMARK(BM_ThumbnailReduce)->Arg(2)->Arg(0)->Unit(benchmark::kMillisecond);

void BM_TransformPixelsShift(benchmark::State& state) {
    const int bits = int(state.range(0));
    FakeImage image("/bench/shift.tif");
    const int columns = 6000, rows = 64;
    std::vector<uint16_t> source(size_t(columns) * rows * 3, 0x1234);
    std::vector<uint8_t> destination(size_t(columns) * rows * 3 * (bits / 8));
    auto planes = [&](void* base, int b) {
        VrelSharpenPlanes p{};
        p.channels = 3;
        p.bitsPerSample = b;
        p.pixelStride = 3 * b / 8;
        p.rowStride = columns * p.pixelStride;
        p.rows = rows;
        p.columns = columns;
        for (int k = 0; k < 3; ++k) p.plane[k] = static_cast<uint8_t*>(base) + k * b / 8;
        return p;
    };
    const VrelSharpenPlanes from = planes(source.data(), 16), to = planes(destination.data(), bits);
    for (auto _ : state) {
        image.TransformPixels(nullptr, from, to);
        benchmark::ClobberMemory();
    }
    state.counters["Mpixel/s"] =
        benchmark::Counter(double(columns) * rows * double(state.iterations()) / 1e6, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_TransformPixelsShift)->Arg(8)->Arg(16);

} // namespace
