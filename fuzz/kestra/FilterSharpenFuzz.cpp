// A filter from the fuzzer's bytes (a filter buffer as given, or one written
// from the bytes' sizes and samples) is set up at a few levels, with and
// without a gain table, and sharpens a small picture: every index the strip
// derives from filter data is driven from outside.
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
    if (PSFLoadFilterFromBuffer(theCaller(), buffer.data(), uint32_t(buffer.size()), &f) != PSFSuccess) return 0;
    uint8_t table[256];
    for (auto& t : table) t = in.u8();
    const int32_t threshold = in.u8();
    for (double level : {0.3, 1.5, 2.2, -1.0, 7.0}) {
        for (uint16_t useTable : {0, 1}) {
            if (PSFSharpenSetupT(f, level, useTable, table, threshold) != PSFSuccess) continue;
            sharpen(f, in, how & 2);
        }
    }
    PSFFreeFilter(f);
    return 0;
}
