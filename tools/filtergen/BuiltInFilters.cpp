#include "BuiltInFilters.h"

#include "Kestra.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace filtergen {

namespace {

constexpr int32_t kVariants = 64;
constexpr int32_t kSharpeningLevels = 4;
constexpr int32_t kResamplerTaps = 32;
constexpr int32_t kResamplerLevels = 18;
constexpr int32_t kOne = 512;
constexpr const char* kDate = "2026:01:01:00:00:00";
constexpr const char* kCopyright = "Lumora built-in filter";

// A kernel with its blend pair's first member (the second is 512 − a).
struct Row {
    std::vector<int32_t> taps;
    int32_t a;
};

// The rows a sharpening filter is drawn through: the weakest and strongest
// variant of the strongest level (index 0) and of level index 2; level 1
// lies half way, level 3 is zero.
struct SharpeningDesign {
    int32_t taps;
    Row weak0, strong0, weak2, strong2;
};

const SharpeningDesign k5Tap{5, {{16, 120, 240, 120, 16}, -945}, {{41, 128, 174, 128, 41}, -1902},
                             {{16, 120, 240, 120, 16}, -399}, {{34, 128, 188, 128, 34}, -803}};
const SharpeningDesign k7Tap{7, {{5, 109, 33, 218, 33, 109, 5}, -624}, {{1, 98, 59, 196, 59, 98, 1}, -1255},
                             {{5, 109, 33, 218, 33, 109, 5}, -264}, {{4, 111, 30, 222, 30, 111, 4}, -530}};

int32_t roundHalfAway(double x) { return int32_t(x < 0 ? x - 0.5 : x + 0.5); }

// Sample by sample between two rows, the centre tap keeping the sum at 512.
Row between(const Row& from, const Row& to, double t) {
    Row r;
    int32_t sum = 0;
    for (size_t i = 0; i < from.taps.size(); ++i) {
        r.taps.push_back(roundHalfAway(from.taps[i] + (to.taps[i] - from.taps[i]) * t));
        sum += r.taps.back();
    }
    r.taps[r.taps.size() / 2] += kOne - sum;
    r.a = roundHalfAway(from.a + (to.a - from.a) * t);
    return r;
}

Row sharpeningRow(const SharpeningDesign& d, int32_t level, int32_t variant) {
    if (level == 3 || variant == 0) return Row{std::vector<int32_t>(size_t(d.taps), 0), 0};
    const double t = (variant - 1) / double(kVariants - 2);
    const Row r0 = between(d.weak0, d.strong0, t);
    const Row r2 = between(d.weak2, d.strong2, t);
    if (level == 0) return r0;
    if (level == 2) return r2;
    return between(r0, r2, 0.5);
}

bool setText(PSFFilter f, int32_t id, const std::string& text) {
    std::vector<uint8_t> record(sizeof(PSFAttributeValue) + text.size() + 1, 0);
    auto* v = reinterpret_cast<PSFAttributeValue*>(record.data());
    v->type = PSFAttrTypeString;
    std::memcpy(v->value.text, text.c_str(), text.size() + 1);
    return PSFSetFilterAttribute(f, id, v) == PSFSuccess;
}

std::vector<uint8_t> store(PSFFilter f, std::string& why) {
    uint32_t size = 0, count = 0;
    if (PSFGetBufferSize(f, &size) != PSFSuccess) {
        why = "no buffer size";
        return {};
    }
    std::vector<uint8_t> bytes(size);
    if (PSFStoreFilterToBuffer(f, bytes.data(), size, &count) != PSFSuccess) {
        why = "not stored";
        return {};
    }
    bytes.resize(count);
    return bytes;
}

// Makes the filter, stamps it and stores it at its fixed size: the copyright
// text takes up what the kernels and the other attributes leave.
std::vector<uint8_t> make(PSFCaller caller, int32_t id, int32_t kind, int32_t levels, int32_t taps,
                          const std::vector<double>& levelValues, const std::vector<double>& kernels,
                          const std::vector<double>* second, const char* description, std::string& why) {
    PSFFilter f = 0;
    if (PSFCreateFilterFromData(caller, kind, levels, kVariants, taps, levelValues.data(), kernels.data(),
                                second ? second->data() : nullptr, &f) != PSFSuccess) {
        why = "not created";
        return {};
    }
    std::vector<uint8_t> bytes;
    std::string copyright = kCopyright;
    bool ok = setText(f, PSFAttrDate, kDate) && (!description || setText(f, PSFAttrDescription, description)) &&
              setText(f, PSFAttrCopyright, copyright);
    if (ok) bytes = store(f, why);
    const uint32_t target = BuiltInFilterSize(id);
    if (ok && !bytes.empty() && bytes.size() < target) {
        copyright += " ";
        copyright += std::string(target - bytes.size() - 1, '-');
        ok = setText(f, PSFAttrCopyright, copyright);
        if (ok) bytes = store(f, why);
    }
    PSFFreeFilter(f);
    if (!ok) why = "attributes refused";
    if (!ok || bytes.size() != target) {
        if (why.empty()) why = "size " + std::to_string(bytes.size()) + " instead of " + std::to_string(target);
        return {};
    }
    return bytes;
}

std::vector<uint8_t> sharpening(PSFCaller caller, int32_t id, const SharpeningDesign& d, const char* description,
                                std::string& why) {
    std::vector<double> kernels, second;
    for (int32_t l = 0; l < kSharpeningLevels; ++l)
        for (int32_t v = 0; v < kVariants; ++v) {
            const Row r = sharpeningRow(d, l, v);
            for (int32_t t : r.taps) kernels.push_back(t / double(kOne));
            second.push_back(r.a / double(kOne));
            second.push_back((kOne - r.a) / double(kOne));
        }
    return make(caller, id, 1 /* sharpening kind */, kSharpeningLevels, d.taps, {3, 2, 1, 0},
                kernels, &second, description, why);
}

double sinc(double x) {
    if (x == 0) return 1.0;
    const double px = M_PI * x;
    return std::sin(px) / px;
}

// Band-limited phases: a sinc of the level's bandwidth under a sinc window
// of the kernel's half length. Tap t of phase v weighs the input at
// t − 15 − v/64 from the sample position; each phase sums to 512.
std::vector<uint8_t> resampler(PSFCaller caller, std::string& why) {
    std::vector<double> levels, kernels;
    for (int32_t l = 0; l < kResamplerLevels; ++l) levels.push_back((20 - l) * 0.05);
    for (int32_t l = 0; l < kResamplerLevels; ++l) {
        const double band = levels[size_t(l)];
        for (int32_t v = 0; v < kVariants; ++v) {
            std::array<double, kResamplerTaps> h{};
            double sum = 0;
            for (int32_t t = 0; t < kResamplerTaps; ++t) {
                const double x = t - 15 - v / double(kVariants);
                h[size_t(t)] = band * sinc(band * x) * sinc(x / 16.0);
                sum += h[size_t(t)];
            }
            std::array<int32_t, kResamplerTaps> k{};
            int32_t total = 0, largest = 0;
            for (int32_t t = 0; t < kResamplerTaps; ++t) {
                k[size_t(t)] = roundHalfAway(h[size_t(t)] / sum * kOne);
                total += k[size_t(t)];
                if (k[size_t(t)] > k[size_t(largest)]) largest = t;
            }
            k[size_t(largest)] += kOne - total;
            for (int32_t t : k) kernels.push_back(t / double(kOne));
        }
    }
    return make(caller, 2004, 0 /* resampling kind */, kResamplerLevels, kResamplerTaps, levels, kernels, nullptr,
                "filter for resampling sharpening filters", why);
}

// The first nine header words in the other byte order.
void toBigEndian(std::vector<uint8_t>& bytes) {
    for (size_t w = 0; w < 9 && bytes.size() >= (w + 1) * 4; ++w) {
        std::swap(bytes[w * 4], bytes[w * 4 + 3]);
        std::swap(bytes[w * 4 + 1], bytes[w * 4 + 2]);
    }
}

} // namespace

uint32_t BuiltInFilterSize(int32_t id) {
    switch (id) {
    case 2003: return 4324;
    case 2004: return 74642;
    case 2005: return 5363;
    default: return 0;
    }
}

std::vector<uint8_t> BuiltInFilter(int32_t id, std::string& why) {
    why.clear();
    PSFCaller caller = 0;
    if (PSFInitialize(&caller) != PSFSuccess) {
        why = "Kestra did not start";
        return {};
    }
    std::vector<uint8_t> bytes;
    switch (id) {
    case 2003: bytes = sharpening(caller, id, k5Tap, "5-point USM filter", why); break;
    case 2004: bytes = resampler(caller, why); break;
    case 2005:
        bytes = sharpening(caller, id, k7Tap, nullptr, why);
        toBigEndian(bytes);
        break;
    default: why = "no such filter";
    }
    PSFTerminate(caller);
    return bytes;
}

} // namespace filtergen
