#include "DemosaicReference.h"

#include <cstdlib>

#include "IntOps.h"
#include "VqStatus.h"

namespace lumora::reference {

namespace {

struct Strip {
    const int16_t* above;
    const int16_t* strip;
    const int16_t* below;
    int rows;
    int width;
    // Sensor sample at strip row r (-3 ... rows+2), column c.
    int32_t S(int r, int c) const {
        if (r < 0) return above[(r + 3) * width + c];
        if (r < rows) return strip[r * width + c];
        return below[(r - rows) * width + c];
    }
};

bool IsGreen(int r, int c) { return ((r & 1) == 0) == ((c & 1) == 0); }

uint16_t CheckGreen(const Strip& s, const int16_t* planeG) {
    if (!s.above || !s.strip || !s.below || !planeG) return VQ_ERR_DEMOSAIC_NULL;
    if (s.rows + 2 < 6) return VQ_ERR_STRIP_TOO_SMALL;
    if ((s.rows + 2) % 2 != 0) return VQ_ERR_DEMOSAIC_ODD_HEIGHT;
    if (s.width < 6) return VQ_ERR_STRIP_TOO_SMALL;
    if (s.width % 2 != 0) return VQ_ERR_DEMOSAIC_ODD_WIDTH;
    return 0;
}

// Interior colour sites of plane row i: every non-green column but the outermost two.
bool IsInteriorSite(int i, int c, int width) {
    const int r = i - 1;
    if (IsGreen(r, c)) return false;
    if (r % 2 == 0) return c != 1 && c != width - 1;
    return c != 0 && c != width - 2;
}

uint16_t Borders(const Strip& s, int16_t* planeG) {
    if (uint16_t st = CheckGreen(s, planeG)) return st;
    const int w = s.width;
    for (int i = 0; i < s.rows + 2; ++i) {
        const int r = i - 1;
        for (int c = 0; c < w; ++c)
            if (IsGreen(r, c)) planeG[i * w + c] = int16_t(s.S(r, c));
        if (r % 2 == 0) {
            planeG[i * w + 1] = int16_t(s.S(r, 0));
            planeG[i * w + w - 1] = int16_t(s.S(r, w - 2));
        } else {
            planeG[i * w + 0] = int16_t(s.S(r, 1));
            planeG[i * w + w - 2] = int16_t(s.S(r, w - 1));
        }
    }
    return 0;
}

struct Site {
    int32_t X, gl, gr, gu, gd, lh, lv, dh, dv;
};

Site Measure(const Strip& s, int r, int c) {
    Site t;
    t.X = s.S(r, c);
    t.gl = s.S(r, c - 1);
    t.gr = s.S(r, c + 1);
    t.gu = s.S(r - 1, c);
    t.gd = s.S(r + 1, c);
    t.lh = 2 * t.X - s.S(r, c - 2) - s.S(r, c + 2);
    t.lv = 2 * t.X - s.S(r - 2, c) - s.S(r + 2, c);
    t.dh = std::abs(t.gl - t.gr) + std::abs(t.lh);
    t.dv = std::abs(t.gu - t.gd) + std::abs(t.lv);
    return t;
}

int32_t AdaptiveSite(const Strip& s, int r, int c) {
    const Site t = Measure(s, r, c);
    if (t.dh < t.dv) return asr32(t.gl + t.gr, 1) + asr32(t.lh, 2);
    if (t.dv < t.dh) return asr32(t.gu + t.gd, 1) + asr32(t.lv, 2);
    return asr32(t.gl + t.gr + t.gu + t.gd, 2) + asr32(t.lh + t.lv, 3);
}

void AdaptiveRow(const Strip& s, int16_t* planeG, int i) {
    for (int c = 0; c < s.width; ++c)
        if (IsInteriorSite(i, c, s.width)) planeG[i * s.width + c] = wrap16(AdaptiveSite(s, i - 1, c));
}

// Greens in the covered columns of strip rows whose flat-neighbour count reaches
// `need` take the mean of the four greens beside them.
void Resmooth(const Strip& s, int16_t* planeG, const std::vector<int>& count, int need) {
    const int w = s.width;
    std::vector<int16_t> before(planeG, planeG + (s.rows + 2) * w);
    for (int i = 1; i <= s.rows; ++i) {
        const int r = i - 1;
        const int first = r % 2 == 0 ? 2 : 3;
        const int last = r % 2 == 0 ? w - 4 : w - 3;
        for (int c = first; c <= last; c += 2) {
            if (count[i * w + c] < need) continue;
            const int32_t sum = before[i * w + c - 1] + before[i * w + c + 1] + before[(i - 1) * w + c] +
                                before[(i + 1) * w + c];
            planeG[i * w + c] = wrap16(asr32(sum + 2, 2));
        }
    }
}

uint16_t Colours(const Strip& s, int16_t* planeG, int16_t* planeEven, int16_t* planeOdd, int mode) {
    if (!s.above || !s.strip || !s.below || !planeG || !planeEven || !planeOdd) return VQ_ERR_DEMOSAIC_NULL;
    if (s.rows < 6) return VQ_ERR_STRIP_TOO_SMALL;
    if (s.rows % 2 != 0) return VQ_ERR_DEMOSAIC_ODD_HEIGHT;
    if (s.width < 6) return VQ_ERR_STRIP_TOO_SMALL;
    if (s.width % 2 != 0) return VQ_ERR_DEMOSAIC_ODD_WIDTH;
    const int w = s.width;
    // D at strip row r: sensor minus green of plane row r+1.
    auto D = [&](int r, int c) -> int16_t { return wrap16(s.S(r, c) - planeG[(r + 1) * w + c]); };
    for (int k = 0; k <= s.rows / 2; ++k) {
        int16_t* odd = planeOdd + 2 * k * w;
        const int ro = 2 * k - 1;
        for (int c = 0; c < w; c += 2) odd[c] = D(ro, c);
        for (int c = 1; c < w - 1; c += 2) odd[c] = wrap16(asr32(int32_t(D(ro, c - 1)) + D(ro, c + 1), 1));
        odd[w - 1] = odd[w - 2];
        int16_t* even = planeEven + 2 * k * w;
        const int re = 2 * k;
        for (int c = 1; c < w; c += 2) even[c] = D(re, c);
        for (int c = 2; c < w - 1; c += 2) even[c] = wrap16(asr32(int32_t(D(re, c - 1)) + D(re, c + 1), 1));
        even[0] = even[1];
    }
    for (int j = 1; j < s.rows; j += 2)
        for (int c = 0; c < w; ++c) {
            planeOdd[j * w + c] = wrap16(asr32(int32_t(planeOdd[(j - 1) * w + c]) + planeOdd[(j + 1) * w + c], 1));
            planeEven[j * w + c] =
                wrap16(asr32(int32_t(planeEven[(j - 1) * w + c]) + planeEven[(j + 1) * w + c], 1));
        }
    if (mode == 1) {
        for (int j = 0; j <= s.rows; ++j)
            for (int c = 0; c < w; ++c) {
                planeOdd[j * w + c] = wrap16(int32_t(planeOdd[j * w + c]) + planeG[j * w + c]);
                planeEven[j * w + c] = wrap16(int32_t(planeEven[j * w + c]) + planeG[(j + 1) * w + c]);
            }
        auto clamp = [](int16_t& v) { if (v < 0) v = 0; };
        for (int j = 0; j < s.rows; ++j)
            for (int c = 0; c < w; ++c) {
                clamp(planeG[(j + 1) * w + c]);
                clamp(planeEven[j * w + c]);
                clamp(planeOdd[(j + 1) * w + c]);
            }
    }
    return 0;
}

} // namespace

uint16_t AdaptiveInterpolate(const int16_t* contextAbove, const int16_t* strip, const int16_t* contextBelow,
                             int16_t* planeG, int16_t* planeEven, int16_t* planeOdd, int rows, int width,
                             int mode) {
    const Strip s{contextAbove, strip, contextBelow, rows, width};
    if (uint16_t st = Borders(s, planeG)) return st;
    for (int i = 0; i < rows + 2; ++i) AdaptiveRow(s, planeG, i);
    return Colours(s, planeG, planeEven, planeOdd, mode);
}

uint16_t ThresholdInterpolate(const int16_t* contextAbove, const int16_t* strip, const int16_t* contextBelow,
                              int16_t* planeG, int16_t* planeEven, int16_t* planeOdd, int rows, int width,
                              int mode, int32_t threshold) {
    const Strip s{contextAbove, strip, contextBelow, rows, width};
    if (uint16_t st = Borders(s, planeG)) return st;
    const int w = width;
    const int32_t t = int16_t(uint16_t(uint32_t(threshold)));
    std::vector<int> count(size_t((rows + 2) * w), 0);
    AdaptiveRow(s, planeG, 0);
    AdaptiveRow(s, planeG, rows + 1);
    for (int i = 1; i <= rows; ++i)
        for (int c = 0; c < w; ++c) {
            if (!IsInteriorSite(i, c, w)) continue;
            const Site m = Measure(s, i - 1, c);
            int32_t g;
            if (m.dh > t || m.dv > t) {
                g = m.dv < m.dh ? asr32(m.gu + m.gd + 1, 1) + asr32(m.lv, 2)
                                : asr32(m.gl + m.gr + 1, 1) + asr32(m.lh, 2);
            } else {
                g = asr32(m.lh + m.lv, 3) + asr32(m.gl + m.gr + m.gu + m.gd + 2, 2);
                ++count[i * w + c - 1];
                ++count[i * w + c + 1];
                ++count[(i - 1) * w + c];
                ++count[(i + 1) * w + c];
            }
            planeG[i * w + c] = wrap16(g);
        }
    Resmooth(s, planeG, count, 2);
    return Colours(s, planeG, planeEven, planeOdd, mode);
}

uint16_t DirectionMapInterpolate(const int16_t* contextAbove, const int16_t* strip,
                                 const int16_t* contextBelow, int16_t* planeG, int16_t* planeEven,
                                 int16_t* planeOdd, int rows, int width, int mode, int32_t thresholdH,
                                 int32_t thresholdV, std::vector<int32_t>& columnTerms) {
    const Strip s{contextAbove, strip, contextBelow, rows, width};
    if (uint16_t st = Borders(s, planeG)) return st;
    if (columnTerms.size() < size_t(width)) columnTerms.assign(size_t(width), 0);
    const int w = width;
    std::vector<uint8_t> flat(size_t((rows + 2) * w), 0);
    for (int i = 0; i < rows + 2; ++i) {
        const int r = i - 1;
        int32_t wh = 0;
        for (int c = 0; c < w; ++c) {
            if (!IsInteriorSite(i, c, w)) continue;
            const Site m = Measure(s, r, c);
            const int32_t th = wh + s.S(r, c - 2) - planeG[i * w + c - 2] + 1;
            wh = asr32(th, 1);
            const int32_t tv = columnTerms[size_t(c)] + s.S(r - 2, c) - s.S(r - 1, c) + 1;
            columnTerms[size_t(c)] = asr32(tv, 1);
            const int32_t twoWh = th & ~int32_t(1);
            const int32_t twoWv = tv & ~int32_t(1);
            const int32_t H = std::abs(twoWh + m.gl + m.gr - 2 * m.X) + 2 * std::abs(m.gl - m.gr) +
                              std::abs(s.S(r, c - 2) + s.S(r, c + 2) - 2 * m.X);
            const int32_t V = std::abs(twoWv + m.gu + m.gd - 2 * m.X) + 2 * std::abs(m.gu - m.gd) +
                              std::abs(s.S(r - 2, c) + s.S(r + 2, c) - 2 * m.X);
            int32_t g;
            if (H > thresholdH || V > thresholdV) {
                g = V < H ? asr32(3 * m.lv + 8, 4) + asr32(m.gu + m.gd + 1, 1)
                          : asr32(3 * m.lh + 8, 4) + asr32(m.gl + m.gr + 1, 1);
                flat[size_t(i * w + c)] = 0;
            } else {
                g = asr32(m.gl + m.gr + m.gu + m.gd + 2, 2);
                flat[size_t(i * w + c)] = 1;
            }
            planeG[i * w + c] = wrap16(g);
        }
    }
    std::vector<int> count(size_t((rows + 2) * w), 0);
    for (int i = 1; i <= rows; ++i)
        for (int c = 1; c < w - 1; ++c)
            count[size_t(i * w + c)] = flat[size_t(i * w + c - 1)] + flat[size_t(i * w + c + 1)] +
                                       flat[size_t((i - 1) * w + c)] + flat[size_t((i + 1) * w + c)];
    Resmooth(s, planeG, count, 2);
    return Colours(s, planeG, planeEven, planeOdd, mode);
}

} // namespace lumora::reference
