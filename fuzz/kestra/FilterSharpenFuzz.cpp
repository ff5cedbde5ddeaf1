// A filter from the fuzzer's bytes (a filter buffer as given, or one written
// from the bytes' sizes and samples) is set up at a few levels, with and
// without a gain table, and sharpens a small picture: every index the strip
// derives from filter data is driven from outside. The same bytes also make
// a resampling filter (and a loaded one may be one), which is set up for a
// mapping from the bytes and scales a small picture whole and in strips.
#include "FilterBufferWriter.h"
#include "Kestra.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

struct Bytes {
    const uint8_t* data;
    size_t size;
    size_t pos = 0;
    uint8_t u8() { return pos < size ? data[pos++] : uint8_t(pos++ * 37); }
};

PSFCaller theCaller() {
    static PSFCaller caller = [] {
        PSFCaller c = 0;
        PSFInitialize(&c);
        return c;
    }();
    return caller;
}

std::vector<uint8_t> writtenFilter(Bytes& in) {
    filtertool::FilterSpec spec;
    spec.taps = 1 + in.u8() % 33;
    spec.variants = 1 + in.u8() % 8;
    spec.levels = 1 + in.u8() % 4;
    spec.fractionBits = 1 + in.u8() % 15;
    spec.secondFlag = in.u8() % 2;
    spec.text = filtertool::SharpeningText(spec.levels, spec.variants, spec.taps);
    const size_t kernels = size_t(spec.taps) * size_t(spec.variants) * size_t(spec.levels);
    for (size_t i = 0; i < kernels; ++i) spec.samples.push_back(int16_t(uint16_t(in.u8()) << 8 | in.u8()));
    if (spec.secondFlag)
        for (size_t i = 0; i < size_t(spec.variants) * size_t(spec.levels) * 2; ++i)
            spec.second.push_back(int16_t(uint16_t(in.u8()) << 8 | in.u8()));
    return filtertool::WriteFilterBuffer(spec);
}

void sharpen(PSFFilter f, Bytes& in, bool wide) {
    const int32_t W = 13, H = 9, planes = 3, bytes = wide ? 2 : 1;
    std::vector<uint8_t> src(size_t(W * H * planes * bytes)), dst(src.size());
    for (auto& b : src) b = in.u8();
    auto picture = [&](std::vector<uint8_t>& data) {
        PSFPicture p{};
        p.rect = {0, 0, W, H};
        p.width = W;
        p.height = H;
        p.planeCount = planes;
        for (int i = 0; i < planes; ++i)
            p.planes[i] = {W, planes * bytes, H, W * planes * bytes, wide ? PSFSample16 : PSFSample8, data.data() + i * bytes};
        return p;
    };
    PSFPicture s = picture(src), d = picture(dst), work{};
    PSFRect sr, second, aux;
    uint16_t flag;
    if (PSFRectangles(f, &sr, &second, &aux, &d.rect, &flag, 0, 0) != PSFSuccess) return;
    if (PSFAllocPicture(&s, &aux, &work) != PSFSuccess) return;
    PSFSharpen(f, &s, nullptr, &work, &d, nullptr, nullptr);
    PSFFreePicture(&work);
}

double real(Bytes& in, double lo, double hi) { return lo + (hi - lo) * in.u8() / 255.0; }

void scale(PSFFilter f, Bytes& in, bool wide) {
    const double a = real(in, -3, 3), b = real(in, -1, 1), c = real(in, -1, 1), d = real(in, -3, 3);
    const double m[4] = {a, b, c, d}, o[2] = {real(in, -8, 8), real(in, -8, 8)};
    if (PSFAffineSetup(f, m, o) != PSFSuccess) return;
    const int32_t W = 11, H = 7, planes = 2, bytes = wide ? 2 : 1;
    const int32_t DW = 1 + in.u8() % 24, DH = 1 + in.u8() % 24;
    std::vector<uint8_t> src(size_t(W * H * planes * bytes)), dst(size_t(DW * DH * planes * bytes));
    for (auto& v : src) v = in.u8();
    auto picture = [&](std::vector<uint8_t>& data, int32_t w, int32_t h) {
        PSFPicture p{};
        p.rect = {0, 0, w, h};
        p.width = w;
        p.height = h;
        p.planeCount = planes;
        for (int i = 0; i < planes; ++i)
            p.planes[i] = {w, planes * bytes, h, w * planes * bytes, wide ? PSFSample16b : PSFSample8,
                           data.data() + i * bytes};
        return p;
    };
    int32_t edges[2 * planes] = {in.u8() % 3, in.u8() * 3, in.u8() % 3, in.u8() * 5};
    PSFPicture s = picture(src, W, H), dd = picture(dst, DW, DH), work{};
    PSFRect sr = s.rect, second, aux, reach;
    uint16_t flag;
    if (PSFRectangles(f, &sr, &second, &aux, &reach, &flag, 0, 1) == PSFSuccess &&
        PSFAllocPicture(&dd, &aux, &work) == PSFSuccess) {
        PSFScale(f, &s, &work, &dd, edges, nullptr, nullptr);
        PSFFreePicture(&work);
    }
    // Destination strips of a few rows inside one bracket.
    const PSFRect whole = s.rect;
    if (PSFStripBegin(f, &whole) != PSFSuccess) return;
    const int32_t rows = 1 + in.u8() % 8;
    for (int32_t y = 0; y < DH; y += rows) {
        PSFRect dr{0, y, DW, y + rows < DH ? y + rows : DH}, r{};
        if (PSFRectangles(f, &r, &second, &aux, &dr, &flag, 1, 0) != PSFSuccess) break;
        if (r.x0 < 0 || r.y0 < 0 || r.x1 > W || r.y1 > H || r.x1 <= r.x0 || r.y1 <= r.y0) continue;
        PSFPicture ps = picture(src, W, H);
        ps.rect = r;
        for (int i = 0; i < planes; ++i) {
            ps.planes[i].columns = r.x1 - r.x0;
            ps.planes[i].rows = r.y1 - r.y0;
            ps.planes[i].data = src.data() + (size_t(r.y0) * W + size_t(r.x0)) * planes * bytes + i * bytes;
        }
        PSFPicture pd = picture(dst, DW, DH);
        pd.rect = dr;
        for (int i = 0; i < planes; ++i) {
            pd.planes[i].rows = dr.y1 - dr.y0;
            pd.planes[i].data = dst.data() + size_t(dr.y0) * DW * planes * bytes + i * bytes;
        }
        if (PSFAllocPicture(&pd, &aux, &work) != PSFSuccess) continue;
        PSFScale(f, &ps, &work, &pd, edges, nullptr, nullptr);
        PSFFreePicture(&work);
    }
    PSFStripEnd(f);
}

// A resampling filter of the bytes' sizes, levels and taps.
PSFFilter resampler(Bytes& in) {
    const int32_t taps = 1 + in.u8() % 33, phases = 1 + in.u8() % 70, levels = 1 + in.u8() % 3;
    std::vector<double> values, kernels;
    double v = 1.5;
    for (int32_t l = 0; l < levels; ++l) values.push_back(v -= 0.05 + in.u8() / 300.0);
    for (int64_t i = 0; i < int64_t(taps) * phases * levels; ++i) kernels.push_back((int8_t(in.u8()) + 16) / 64.0);
    PSFFilter f = 0;
    PSFCreateFilterFromData(theCaller(), 0, levels, phases, taps, values.data(), kernels.data(), nullptr, &f);
    return f;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 16)) return 0;
    Bytes in{data, size};
    const uint8_t how = in.u8();
    std::vector<uint8_t> buffer;
    if (how % 2) {
        buffer = writtenFilter(in);
    } else {
        buffer.assign(data + in.pos < data + size ? data + in.pos : data + size, data + size);
        in.pos = size;
    }
    PSFFilter f = 0;
    if (PSFLoadFilterFromBuffer(theCaller(), buffer.data(), uint32_t(buffer.size()), &f) == PSFSuccess) {
        uint8_t table[256];
        for (auto& t : table) t = in.u8();
        const int32_t threshold = in.u8();
        for (double level : {0.3, 1.5, 2.2, -1.0, 7.0}) {
            for (uint16_t useTable : {0, 1}) {
                if (PSFSharpenSetupT(f, level, useTable, table, threshold) != PSFSuccess) continue;
                sharpen(f, in, how & 2);
            }
        }
        scale(f, in, how & 4);
        PSFFreeFilter(f);
    }
    if (PSFFilter r = resampler(in)) {
        scale(r, in, how & 8);
        PSFFreeFilter(r);
    }
    return 0;
}
