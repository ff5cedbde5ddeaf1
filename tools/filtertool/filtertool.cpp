// filtertool: looks at filter files and buffers by hand.
//   filtertool print FILE             the stored fields of a filter file
//   filtertool store --little|--big IN OUT
//                                     loads IN through Kestra and stores it
//                                     again (big-endian: the header swapped)
//   filtertool sample OUT [--big]     writes a small sharpening filter
//   filtertool resampler OUT          writes a resampling filter: 32 taps,
//                                     8 phases of linear interpolation
//   filtertool kernels FILE           the kernels (and blend pairs) as stored
//                                     integers and as multiples of 1/512
//   filtertool rescale IN RESAMPLER SCALE OUT
//                                     a sharpening filter stretched by SCALE
//                                     with the resampling filter RESAMPLER
//   filtertool resize IN TAPS OUT     a sharpening filter with TAPS taps
#include "FilterBufferWriter.h"
#include "FilterPrinter.h"

#include "Kestra.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

namespace {

int usage() {
    std::cerr << "usage: filtertool print FILE\n"
                 "       filtertool store --little|--big IN OUT\n"
                 "       filtertool sample OUT [--big]\n"
                 "       filtertool resampler OUT\n"
                 "       filtertool kernels FILE\n"
                 "       filtertool rescale IN RESAMPLER SCALE OUT\n"
                 "       filtertool resize IN TAPS OUT\n";
    return 2;
}

bool readFile(const std::string& path, std::vector<uint8_t>& bytes) {
    std::ifstream f(path, std::ios::binary);
    if (!f) return false;
    bytes.assign(std::istreambuf_iterator<char>(f), {});
    return !f.bad();
}

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(f);
}

std::string statusText(PSFStatus s) {
    char text[256];
    PSFGetErrorText(s, sizeof text, text);
    return text;
}

int store(bool big, const std::string& in, const std::string& out) {
    std::vector<uint8_t> bytes;
    if (!readFile(in, bytes)) {
        std::cerr << in << ": cannot read\n";
        return 1;
    }
    PSFCaller caller = 0;
    PSFStatus s = PSFInitialize(&caller);
    if (s != PSFSuccess) {
        std::cerr << statusText(s) << "\n";
        return 1;
    }
    PSFFilter filter = 0;
    s = PSFLoadFilterFromBuffer(caller, bytes.data(), uint32_t(bytes.size()), &filter);
    std::vector<uint8_t> stored;
    if (s == PSFSuccess) {
        uint32_t size = 0;
        s = PSFGetBufferSize(filter, &size);
        stored.resize(size);
        uint32_t count = 0;
        if (s == PSFSuccess) s = PSFStoreFilterToBuffer(filter, stored.data(), size, &count);
        stored.resize(count);
        PSFFreeFilter(filter);
    }
    PSFTerminate(caller);
    if (s != PSFSuccess) {
        std::cerr << in << ": " << statusText(s) << "\n";
        return 1;
    }
    if (big)
        for (size_t w = 0; w < 9; ++w) std::swap(stored[w * 4], stored[w * 4 + 3]), std::swap(stored[w * 4 + 1], stored[w * 4 + 2]);
    if (!writeFile(out, stored)) {
        std::cerr << out << ": cannot write\n";
        return 1;
    }
    return 0;
}

// A caller of the library for one command, ended on every path.
class Session {
public:
    Session() { status_ = PSFInitialize(&caller_); }
    ~Session() {
        for (PSFFilter f : filters_) PSFFreeFilter(f);
        if (status_ == PSFSuccess) PSFTerminate(caller_);
    }
    bool ok() const { return status_ == PSFSuccess; }
    bool load(const std::string& path, PSFFilter& filter) {
        std::vector<uint8_t> bytes;
        if (!readFile(path, bytes)) {
            std::cerr << path << ": cannot read\n";
            return false;
        }
        return check(PSFLoadFilterFromBuffer(caller_, bytes.data(), uint32_t(bytes.size()), &filter), path) &&
               keep(filter);
    }
    bool keep(PSFFilter filter) {
        filters_.push_back(filter);
        return true;
    }
    bool save(PSFFilter filter, const std::string& path) {
        uint32_t size = 0, count = 0;
        if (!check(PSFGetBufferSize(filter, &size), path)) return false;
        std::vector<uint8_t> bytes(size);
        if (!check(PSFStoreFilterToBuffer(filter, bytes.data(), size, &count), path)) return false;
        bytes.resize(count);
        if (!writeFile(path, bytes)) {
            std::cerr << path << ": cannot write\n";
            return false;
        }
        return true;
    }
    static bool check(PSFStatus s, const std::string& what) {
        if (s == PSFSuccess) return true;
        std::cerr << what << ": " << statusText(s) << "\n";
        return false;
    }

private:
    PSFCaller caller_ = 0;
    PSFStatus status_;
    std::vector<PSFFilter> filters_;
};

int32_t attribute(PSFFilter f, int32_t id) {
    PSFAttributeValue v{};
    return PSFGetFilterAttribute(f, id, &v) == PSFSuccess ? v.value.integer : 0;
}

int printKernels(const std::string& path) {
    Session session;
    PSFFilter f = 0;
    if (!session.ok() || !session.load(path, f)) return 1;
    const int32_t taps = attribute(f, PSFAttrTaps), variants = attribute(f, PSFAttrVariants),
                  levels = attribute(f, PSFAttrLevels), fraction = attribute(f, PSFAttrFractionBits);
    const bool second = attribute(f, PSFAttrHasSecondTable) != 0;
    std::vector<double> k(size_t(taps) * size_t(variants) * size_t(levels)), pairs(size_t(variants) * size_t(levels) * 2);
    if (!Session::check(PSFGetFilterData(f, k.data(), second ? pairs.data() : nullptr), path)) return 1;
    const double one = double(1 << fraction);
    std::cout << taps << " taps, " << variants << " variants, " << levels << " levels, " << fraction
              << " fraction bits" << (second ? ", blend pairs" : "") << "\n";
    char text[64];
    for (int32_t l = 0; l < levels; ++l) {
        for (int32_t v = 0; v < variants; ++v) {
            const double* kernel = &k[(size_t(l) * size_t(variants) + size_t(v)) * size_t(taps)];
            std::cout << "level " << l << " variant " << v << "\n  integers:";
            for (int32_t t = 0; t < taps; ++t) std::cout << " " << std::lround(kernel[t] * one);
            std::cout << "\n  /512:    ";
            for (int32_t t = 0; t < taps; ++t) {
                std::snprintf(text, sizeof text, " %.6f", std::lround(kernel[t] * one) / 512.0);
                std::cout << text;
            }
            std::cout << "\n";
            if (second) {
                const double* p = &pairs[(size_t(l) * size_t(variants) + size_t(v)) * 2];
                std::snprintf(text, sizeof text, "  pair: %ld %ld (%.6f %.6f of 512)\n", std::lround(p[0] * one),
                              std::lround(p[1] * one), std::lround(p[0] * one) / 512.0, std::lround(p[1] * one) / 512.0);
                std::cout << text;
            }
        }
    }
    return 0;
}

int rescale(const std::string& in, const std::string& resamplerPath, const std::string& scale, const std::string& out) {
    char* end = nullptr;
    const double s = std::strtod(scale.c_str(), &end);
    if (end == scale.c_str() || *end) return usage();
    Session session;
    PSFFilter f = 0, r = 0, g = 0;
    if (!session.ok() || !session.load(in, f) || !session.load(resamplerPath, r)) return 1;
    if (!Session::check(PSFScaleSharpeningFilter(f, s, r, &g), in) || !session.keep(g)) return 1;
    return session.save(g, out) ? 0 : 1;
}

int resize(const std::string& in, const std::string& taps, const std::string& out) {
    char* end = nullptr;
    const long n = std::strtol(taps.c_str(), &end, 10);
    if (end == taps.c_str() || *end || n < INT32_MIN || n > INT32_MAX) return usage();
    Session session;
    PSFFilter f = 0, g = 0;
    if (!session.ok() || !session.load(in, f)) return 1;
    if (!Session::check(PSFResetKernelSize(f, int32_t(n), &g), in) || !session.keep(g)) return 1;
    return session.save(g, out) ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) return usage();
    const std::string command = argv[1];
    if (command == "print" && argc == 3) {
        std::vector<uint8_t> bytes;
        if (!readFile(argv[2], bytes)) {
            std::cerr << argv[2] << ": cannot read\n";
            return 1;
        }
        return filtertool::FilterPrinter::print(bytes, std::cout) ? 0 : 1;
    }
    if (command == "store" && argc == 5) {
        const std::string order = argv[2];
        if (order != "--little" && order != "--big") return usage();
        return store(order == "--big", argv[3], argv[4]);
    }
    if (command == "sample" && (argc == 3 || (argc == 4 && std::strcmp(argv[3], "--big") == 0))) {
        filtertool::FilterSpec spec;
        spec.bigEndian = argc == 4;
        spec.text = filtertool::SharpeningText(spec.levels, spec.variants, spec.taps);
        return writeFile(argv[2], filtertool::WriteFilterBuffer(spec)) ? 0 : 1;
    }
    if (command == "resampler" && argc == 3) {
        filtertool::FilterSpec spec;
        spec.taps = 32;
        spec.variants = 8;
        spec.levels = 1;
        spec.kindName = {'k', 'i', 0, 0};
        spec.secondFlag = 0;
        spec.text = filtertool::AttributeLines({{2, "0"}, {30000, "1"}, {30004, "1"}, {30003, "8"}, {30002, "32"},
                                                {30257, "1."}});
        for (int32_t p = 0; p < spec.variants; ++p)
            for (int32_t t = 0; t < spec.taps; ++t)
                spec.samples.push_back(int16_t(t == 15 ? 512 - 64 * p : t == 16 ? 64 * p : 0));
        return writeFile(argv[2], filtertool::WriteFilterBuffer(spec)) ? 0 : 1;
    }
    if (command == "kernels" && argc == 3) return printKernels(argv[2]);
    if (command == "rescale" && argc == 6) return rescale(argv[2], argv[3], argv[4], argv[5]);
    if (command == "resize" && argc == 5) return resize(argv[2], argv[3], argv[4]);
    return usage();
}
