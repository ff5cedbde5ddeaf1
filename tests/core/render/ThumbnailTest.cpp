// Thumbnails: fitting to the limits, letterboxing, byte limits, model limits,
// gray to RGB, reading from a file, and the two reductions against a
// reduction written here from their formulas.
#include "CoreTestSupport.h"
#include "File.h"
#include "NbErrorCodes.h"
#include "Thumbnail.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

using namespace NimbalCore;

namespace {

// The reduction as the formulas state it, for a normal thumbnail.
std::vector<uint8_t> Reference(const std::vector<uint8_t>& src, int w, int h, int channels, int bytes, int mode,
                               int outW, int outH, double scale) {
    std::vector<uint8_t> out(size_t(outW) * outH * channels);
    const int half = int(scale * 0.5), c = std::max(1, half);
    const int sampleByte = bytes == 2 ? 1 : 0;
    const int rowBytes = w * channels * bytes;
    auto column = [&](int i, int& o, int& f) {
        const double x = scale * i;
        int whole = std::min(int(x), std::max(0, w - 1 - c));
        f = int((x - std::trunc(x)) * 16);
        o = sampleByte + bytes * channels * whole;
    };
    std::vector<uint8_t> previous(static_cast<size_t>(rowBytes));
    int next = half, done = 0;
    const int d = c * bytes * channels;
    for (int n = 1; n <= h && done < outH; ++n) {
        const uint8_t* row = &src[size_t(n - 1) * rowBytes];
        if (n == 1 || n == next) previous.assign(row, row + rowBytes);
        if (n != next + c) continue;
        const double pos = double(n - 1) / scale;
        const int g = int((pos - std::trunc(pos)) * 16);
        for (int k = 0; k < outW; ++k) {
            int o, f;
            column(k, o, f);
            for (int j = 0; j < channels; ++j) {
                const int at = o + j * bytes;
                int v;
                if (mode == Thumbnail::Average) {
                    v = (row[at] + row[at + d] + previous[at] + previous[at + d]) / 4;
                } else {
                    const int cur = row[at] * (16 - f) + row[at + d] * f;
                    const int pre = previous[at] * (16 - f) + previous[at + d] * f;
                    v = (cur * g + pre * (16 - g)) / 256;
                }
                out[(size_t(done) * outW + k) * channels + j] = uint8_t(v);
            }
        }
        ++done;
        if (mode == Thumbnail::Average) {
            next = int(done * scale) + half;
            previous.assign(row, row + rowBytes);
        } else {
            next = done * int(scale) + half;
        }
    }
    return out;
}

} // namespace

TEST(ThumbnailTest, FittingCases) {
    struct Case {
        int w, h, kind, mode, byteLimit;
        int outW, outH, modeAfter;
        double scale;
    } cases[] = {
        {375, 250, 0, 2, -1, 156, 104, 2, 375.0 / 156},
        {100, 75, 0, 2, -1, 100, 75, 1, 1.0},
        {3000, 2000, 2, 2, -1, 160, 120, 2, 18.75},
        {200, 150, 1, 0, 30000, 115, 86, 0, 0},
        {200, 150, 0, 0, 30000, 156, 116, 0, 0}, // the limit counts only for kind 1
    };
    for (const Case& c : cases) {
        Thumbnail t;
        t.Setup(NbRect(0, 0, c.w - 1, c.h - 1), 3, 1, c.kind, c.mode, c.byteLimit);
        EXPECT_EQ(t.GetBounds(), NbRect(0, 0, c.outW - 1, c.outH - 1)) << c.w << "x" << c.h;
        EXPECT_EQ(t.GetMode(), c.modeAfter);
        if (c.scale != 0) {
            EXPECT_DOUBLE_EQ(t.GetScale(), c.scale);
        }
    }
    Thumbnail box;
    box.Setup(NbRect(0, 0, 2999, 1999), 3, 2, 2, 2, -1);
    EXPECT_EQ(box.GetVisibleWidth(), 160);
    EXPECT_EQ(box.GetVisibleHeight(), 106);
    EXPECT_EQ(box.GetLetterboxTop(), 7);
    EXPECT_EQ(box.GetByteBudget(), 8500);
    Thumbnail copy;
    EXPECT_THROW(copy.Setup(NbRect(0, 0, 199, 99), 3, 1, 0, 1, -1), int);
    NbRect empty(5, 5, 4, 9);
    EXPECT_EQ(coretest::CodeOf([&] { copy.ForceRectToThumbnailLimits(empty, 3, -1); }), NbErrBadThumbnailRect);
}

TEST(ThumbnailTest, ModelLimitsAndGrayToRgb) {
    Thumbnail t;
    EXPECT_EQ(t.SetLimitsForModel("ZYNM05 Plover"), 255);
    EXPECT_EQ(t.GetMaxWidth(), 255);
    EXPECT_EQ(t.GetByteBudget(), 35000);
    Thumbnail u;
    EXPECT_EQ(u.SetLimitsForModel("Unknown"), -1);
    EXPECT_EQ(u.GetMaxWidth(), 156);
    u.SetLimits(NbRect(0, 0, 99, 49));
    EXPECT_EQ(u.GetMaxHeight(), 50);

    Thumbnail g;
    g.Setup(NbRect(0, 0, 9, 4), 1, 1, 0, 1, -1);
    std::vector<uint8_t> row(10);
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 10; ++x) row[x] = uint8_t(y * 10 + x);
        g.AddRow(row.data());
    }
    g.ConvertGrayToRGB();
    EXPECT_EQ(g.GetRowBytes(), 32);
    EXPECT_EQ(g.GetChannels(), 3);
    const uint8_t* p = g.GetPixelAddress(3, 2);
    EXPECT_EQ(p[0], 23);
    EXPECT_EQ(p[1], 23);
    EXPECT_EQ(p[2], 23);
}

TEST(ThumbnailTest, ReductionsEqualTheFormulasOnRandomSources) {
    std::mt19937 random(29);
    struct Case {
        int w, h, channels, bytes, mode;
    } cases[] = {{375, 250, 3, 1, 2}, {375, 250, 3, 1, 0}, {611, 403, 3, 2, 2}, {611, 403, 3, 2, 0},
                 {300, 900, 1, 1, 2}, {1000, 130, 1, 2, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " ch " << c.channels << " b " << c.bytes << " m " << c.mode);
        std::vector<uint8_t> src(size_t(c.w) * c.h * c.channels * c.bytes);
        for (uint8_t& b : src) b = uint8_t(random());
        Thumbnail t;
        t.Setup(NbRect(0, 0, c.w - 1, c.h - 1), c.channels, c.bytes, 0, c.mode, -1);
        const size_t rowBytes = size_t(c.w) * c.channels * c.bytes;
        for (int y = 0; y < c.h; ++y) t.AddRow(&src[y * rowBytes]);
        t.Finish();
        const int outW = int(t.GetBounds().Width()), outH = int(t.GetBounds().Height());
        const std::vector<uint8_t> want = Reference(src, c.w, c.h, c.channels, c.bytes, c.mode, outW, outH, t.GetScale());
        const auto* got = static_cast<const uint8_t*>(t.GetPixels());
        EXPECT_EQ(std::vector<uint8_t>(got, got + want.size()), want);
        EXPECT_TRUE(t.IsFinished());
    }
}

TEST(ThumbnailTest, LetterboxedRowsLandBetweenThePadding) {
    Thumbnail t;
    const int w = 300, h = 100;
    t.Setup(NbRect(0, 0, w - 1, h - 1), 3, 1, 2, 2, -1);
    EXPECT_EQ(t.GetVisibleHeight(), 53);
    EXPECT_EQ(t.GetLetterboxTop(), 33);
    std::vector<uint8_t> row(size_t(w) * 3, 200);
    for (int y = 0; y < h; ++y) t.AddRow(row.data());
    EXPECT_EQ(*t.GetPixelAddress(0, 32), 0);
    EXPECT_EQ(*t.GetPixelAddress(0, 33), 200);
    EXPECT_EQ(*t.GetPixelAddress(159, 33 + 52), 200);
    EXPECT_EQ(*t.GetPixelAddress(0, 33 + 53), 0);
}

TEST(ThumbnailTest, ReadFromFileRefusesBoundsTheFileCannotHold) {
    char path[] = "/tmp/lumora-thumb-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    std::string bytes(1000, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = char(i);
    coretest::WriteAll(path, bytes);
    File file{FilePathSpec(path)};
    file.Open(File::ReadBinary);
    Thumbnail t;
    t.SetBounds(NbRect(0, 0, 9, 9));
    EXPECT_EQ(t.ReadFromFile(&file, 100), 300);
    EXPECT_EQ(*t.GetPixelAddress(0, 1), uint8_t(130));
    // Bounds as a damaged directory could give them.
    t.SetBounds(NbRect(0, 0, 65535, 65535));
    EXPECT_THROW(t.ReadFromFile(&file, 0), int);
    EXPECT_EQ(t.GetSize(), 300); // refused before anything was allocated
    t.SetBounds(NbRect(0, 0, 9, 9));
    EXPECT_THROW(t.ReadFromFile(&file, 800), int);
    t.SetBounds(NbRect(0, 0, -1, 9));
    EXPECT_THROW(t.ReadFromFile(&file, 0), int);
    file.Close();
    std::remove(path);
}
