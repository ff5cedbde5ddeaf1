#include "PictureReduction.h"

#include <algorithm>
#include <cstring>

namespace {

bool Usable(const PictureReduction::Source& source, const uint8_t* destination, int width, int height) {
    return source.pixels && destination && source.width > 0 && source.height > 0 && width > 0 && height > 0 &&
           (source.channels == 1 || source.channels == 3) && source.rowBytes >= int64_t(source.width) * source.channels;
}

// Rounded to the nearest whole value, halves up.
inline uint8_t Mean(uint64_t sum, uint64_t count) { return uint8_t((sum + count / 2) / count); }

// Blue-green-red (or grey) sums in red-green-blue order.
inline void StoreMeans(uint8_t* out, const uint64_t sums[3], int channels, uint64_t count) {
    if (channels == 1) {
        out[0] = out[1] = out[2] = Mean(sums[0], count);
        return;
    }
    out[0] = Mean(sums[2], count);
    out[1] = Mean(sums[1], count);
    out[2] = Mean(sums[0], count);
}

// The rounded mean by a multiplication: m = ceil(2^64 / count) gives
// floor(n / count) exactly while n < 256 × count and count < 2^28 (the
// error n × (m − 2^64 / count) / 2^64 stays below 1 / count). Larger areas
// divide.
class MeanByReciprocal {
public:
    explicit MeanByReciprocal(uint64_t count)
        : count_(count), half_(count / 2),
          multiplier_(count < kLargestCount ? ~uint64_t(0) / count + 1 : 0) {}
    uint8_t operator()(uint64_t sum) const {
        const uint64_t n = sum + half_;
        if (!multiplier_) return uint8_t(n / count_);
        return uint8_t((static_cast<unsigned __int128>(n) * multiplier_) >> 64);
    }

private:
    static constexpr uint64_t kLargestCount = uint64_t(1) << 28;
    uint64_t count_, half_, multiplier_;
};

} // namespace

void PictureReduction::Span(int i, int count, int size, int& first, int& last) {
    first = int(int64_t(i) * size / count);
    last = std::max(first + 1, int(int64_t(i + 1) * size / count));
}

bool PictureReduction::ReduceReference(const Source& source, uint8_t* destination, int width, int height) {
    if (!Usable(source, destination, width, height)) return false;
    const int c = source.channels;
    for (int dy = 0; dy < height; ++dy) {
        int y0 = 0, y1 = 0;
        Span(dy, height, source.height, y0, y1);
        for (int dx = 0; dx < width; ++dx) {
            int x0 = 0, x1 = 0;
            Span(dx, width, source.width, x0, x1);
            uint64_t sums[3] = {0, 0, 0};
            for (int y = y0; y < y1; ++y) {
                const uint8_t* row = source.pixels + int64_t(y) * source.rowBytes;
                for (int x = x0; x < x1; ++x)
                    for (int k = 0; k < c; ++k) sums[k] += row[int64_t(x) * c + k];
            }
            StoreMeans(destination + (int64_t(dy) * width + dx) * 3, sums, c, uint64_t(x1 - x0) * uint64_t(y1 - y0));
        }
    }
    return true;
}

bool PictureReduction::Reduce(const Source& source, uint8_t* destination, int width, int height) {
    if (!Usable(source, destination, width, height)) return false;
    const int c = source.channels;
    const size_t samples = size_t(source.width) * c;
    // Column spans once; the rows of one screen row are summed column by
    // column, then each screen pixel adds its span of those column sums.
    std::vector<int> firstColumn(static_cast<size_t>(width)), lastColumn(static_cast<size_t>(width));
    for (int dx = 0; dx < width; ++dx) Span(dx, width, source.width, firstColumn[size_t(dx)], lastColumn[size_t(dx)]);
    std::vector<uint32_t> columnSums(samples);
    for (int dy = 0; dy < height; ++dy) {
        int y0 = 0, y1 = 0;
        Span(dy, height, source.height, y0, y1);
        const uint8_t* row = source.pixels + int64_t(y0) * source.rowBytes;
        for (size_t i = 0; i < samples; ++i) columnSums[i] = row[i];
        for (int y = y0 + 1; y < y1; ++y) {
            row = source.pixels + int64_t(y) * source.rowBytes;
            uint32_t* sums = columnSums.data();
            for (size_t i = 0; i < samples; ++i) sums[i] += row[i];
        }
        const uint64_t rows = uint64_t(y1 - y0);
        // The spans take few widths: one reciprocal per width, per row.
        int spanWidth = 0;
        MeanByReciprocal mean(1);
        uint8_t* out = destination + int64_t(dy) * width * 3;
        for (int dx = 0; dx < width; ++dx, out += 3) {
            const int x0 = firstColumn[size_t(dx)], x1 = lastColumn[size_t(dx)];
            if (x1 - x0 != spanWidth) {
                spanWidth = x1 - x0;
                mean = MeanByReciprocal(uint64_t(spanWidth) * rows);
            }
            uint64_t sums[3] = {0, 0, 0};
            const uint32_t* at = columnSums.data() + size_t(x0) * c;
            if (c == 3) {
                for (int x = x0; x < x1; ++x, at += 3) {
                    sums[0] += at[0];
                    sums[1] += at[1];
                    sums[2] += at[2];
                }
            } else {
                for (int x = x0; x < x1; ++x) sums[0] += *at++;
            }
            if (c == 1) {
                out[0] = out[1] = out[2] = mean(sums[0]);
            } else {
                out[0] = mean(sums[2]);
                out[1] = mean(sums[1]);
                out[2] = mean(sums[0]);
            }
        }
    }
    return true;
}
