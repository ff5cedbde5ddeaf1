#include "ZproWriter.h"

#include <cstdio>
#include <cstring>
#include <memory>

namespace {
void Put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}
void PutSlot(std::vector<uint8_t>& out, const void* v) {
    const auto* p = static_cast<const uint8_t*>(v);
    out.insert(out.end(), p, p + 4);
}
} // namespace

ZproValue ZproValue::Ints(int32_t type, std::vector<int32_t> values) {
    ZproValue v;
    v.type = type;
    v.count = int32_t(values.size());
    for (int32_t x : values) PutSlot(v.bytes, &x);
    return v;
}

ZproValue ZproValue::Floats(int32_t type, std::vector<float> values) {
    ZproValue v;
    v.type = type;
    v.count = int32_t(values.size());
    for (float x : values) PutSlot(v.bytes, &x);
    return v;
}

ZproValue ZproValue::Text(const std::string& text, bool nul) {
    ZproValue v;
    v.type = 3;
    v.bytes.assign(text.begin(), text.end());
    if (nul) v.bytes.push_back(0);
    v.count = int32_t(v.bytes.size());
    return v;
}

ZproValue ZproValue::Block(std::vector<uint8_t> bytes) {
    ZproValue v;
    v.type = 5;
    v.count = int32_t(bytes.size());
    v.bytes = std::move(bytes);
    return v;
}

ZproValue ZproValue::Rect(int32_t firstRow, int32_t firstColumn, int32_t endRow, int32_t endColumn) {
    ZproValue v = Ints(18, {firstRow, firstColumn, endRow, endColumn});
    v.count = 1;
    return v;
}

void ZproSpec::SetDefaults() {
    using V = ZproValue;
    attributes.clear();
    const int32_t w = int32_t(width), h = int32_t(height);
    Set(532, V::Ints(2, {modelCode}));
    Set(525, V::Text("2024:05:17 14:03:27"));
    Set(401, V::Ints(2, {w}));
    Set(402, V::Ints(2, {h}));
    Set(530, V::Ints(2, {0, 1, 2}));
    Set(403, V::Ints(2, {w / 2}));
    Set(404, V::Ints(2, {h / 2}));
    Set(405, V::Ints(2, {w < 405 ? w : 405}));
    Set(406, V::Ints(2, {h < 406 ? h : 406}));
    Set(526, V::Text("Zyn stand-in driver 1.0"));
    Set(501, V::Text("SN" + std::to_string(modelCode) + "0042"));
    Set(1921, V::Ints(1, {0}));
    Set(1970, V::Ints(2, {0}));
    Set(1971, V::Ints(2, {0}));
    Set(1972, V::Ints(2, {10}));
    Set(1900, V::Block({}));
    Set(1905, V::Text(""));
    Set(531, V::Text(""));
    Set(524, V::Text("Orvex test"));
    Set(1953, V::Ints(2, {0}));
    Set(1959, V::Ints(2, {1}));
    Set(1958, V::Floats(19, {0.0f, 0.5f, 1.0f}));
    Set(1961, V::Floats(10, {0.02f}));
    Set(1960, V::Ints(1, {0}));
    Set(1957, V::Floats(19, {0.0f, 0.5f, 1.0f}));
    Set(1962, V::Floats(19, {0.0f, 0.5f, 1.0f}));
    Set(502, V::Text("ZYNP" + std::to_string(modelCode)));
    Set(503, V::Text("1.0.3"));
    Set(528, V::Ints(2, {1234}));
    Set(527, V::Text("Shutter: 1/125\nAperture: f/8\n"));
    Set(1951, V::Ints(2, {mono ? 1 : 3}));
    Set(1920, V::Ints(2, {1}));
    Set(1901, V::Ints(2, {0, 1}));
    Set(300, V::Ints(17, {1000, 1000, 1000}));
    Set(305, V::Ints(17, {1000, 1000, 1000}));
    Set(301, V::Ints(17, {800, 1000, 1400}));
    Set(303, V::Ints(17, {900, 1000, 1200}));
    Set(302, V::Ints(17, {1050, 1000, 950}));
    Set(304, V::Ints(17, {1100, 1000, 900}));
    Set(306, V::Ints(17, {1020, 1000, 980}));
    Set(1820, V::Ints(2, {50}));
    Set(1821, V::Ints(2, {0, 1, 2, 3}));
    Set(1822, V::Ints(2, {0}));
    Set(1823, V::Ints(2, {50}));
    Set(1824, V::Ints(2, {0}));
    Set(1847, V::Ints(2, {0}));
    Set(1968, V::Ints(2, {0}));
    Set(1846, V::Ints(2, {0, 1, 2, 3}));
    Set(320, V::Ints(2, {0, 1, 2, 3, 4, 5}));
    Set(321, V::Ints(17, {0, 5500, 0}));
    Set(322, V::Ints(17, {4500, 5500, 7000}));
    Set(323, V::Ints(17, {2500, 3200, 4000}));
    Set(324, V::Ints(17, {3500, 4200, 5000}));
    Set(325, V::Ints(17, {5000, 6000, 7000}));
    Set(326, V::Ints(17, {2000, 5000, 10000}));
    Set(327, V::Ints(17, {2000, 5200, 10000}));
    Set(328, V::Ints(17, {2000, 5000, 10000}));
    Set(329, V::Ints(17, {0, 5500, 0}));
    Set(331, V::Ints(9, {0, 0, 0}));
    Set(332, V::Ints(9, {-10, 0, 10}));
    Set(1801, V::Floats(10, {-2.0f}));
    Set(1802, V::Floats(10, {2.0f}));
    Set(1800, V::Floats(10, {0.0f}));
    Set(1803, V::Floats(10, {0.3f}));
    Set(1811, V::Ints(2, {0}));
    Set(1840, V::Ints(2, {0}));
    Set(1841, V::Ints(2, {0}));
    Set(1842, V::Ints(2, {0}));
    Set(1843, V::Ints(2, {0}));
    Set(1844, V::Ints(2, {0}));
    Set(1850, V::Ints(2, {1}));
    Set(1857, V::Ints(2, {0}));
    Set(1860, V::Ints(8, {0, 0, 0}));
    Set(1861, V::Ints(8, {3, 2, 0}));
    Set(1862, V::Ints(8, {0, 0, 0}));
    Set(1863, V::Ints(8, {3, 2, 0}));
    Set(1864, V::Ints(8, {6, 3, 0}));
    Set(1865, V::Ints(8, {9, 4, 0}));
    Set(1867, V::Ints(2, {0}));
    Set(1922, V::Ints(15, {0}));
    Set(1923, V::Rect(0, 0, 0, 0));
    Set(1927, V::Ints(15, {0}));
    Set(1928, V::Rect(0, 0, 0, 0));
    Set(1954, V::Ints(2, {0}));
}

uint16_t ZproPatternSample(uint32_t x, uint32_t y, int channel) {
    uint32_t hash = x * 0x9E3779B1u ^ y * 0x85EBCA77u ^ uint32_t(channel) * 0xC2B2AE3Du;
    hash ^= hash >> 15;
    const uint32_t base = channel == 0 ? x * 7 + y : channel == 1 ? x * 3 + y * 5 : (x + y) * 4;
    return uint16_t((base + (hash & 63) + 256) & 0x0FFF);
}

bool WriteZproFile(const std::string& path, const ZproSpec& spec) {
    const uint64_t pixelBytes = uint64_t(spec.width) * spec.height * 6;
    if (!spec.samples.empty() && spec.samples.size() * 2 != pixelBytes) return false;
    std::vector<uint8_t> head;
    head.insert(head.end(), {'Z', 'P', 'R', 'O'});
    Put32(head, 1);
    Put32(head, spec.width);
    Put32(head, spec.height);
    Put32(head, 28);
    Put32(head, uint32_t(28 + pixelBytes));
    Put32(head, uint32_t(spec.attributes.size()));
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "wb"), &std::fclose);
    if (!f || std::fwrite(head.data(), 1, head.size(), f.get()) != head.size()) return false;
    std::vector<uint8_t> row(size_t(spec.width) * 6);
    for (uint32_t y = 0; y < spec.height; ++y) {
        for (uint32_t x = 0; x < spec.width; ++x)
            for (int c = 0; c < 3; ++c) {
                const uint16_t v = spec.samples.empty() ? ZproPatternSample(x, y, c)
                                                        : spec.samples[(size_t(y) * spec.width + x) * 3 + c];
                row[size_t(x) * 6 + c * 2] = uint8_t(v);
                row[size_t(x) * 6 + c * 2 + 1] = uint8_t(v >> 8);
            }
        if (std::fwrite(row.data(), 1, row.size(), f.get()) != row.size()) return false;
    }
    std::vector<uint8_t> table;
    for (const auto& [id, v] : spec.attributes) {
        Put32(table, uint32_t(id));
        Put32(table, uint32_t(v.type));
        Put32(table, uint32_t(v.count));
        Put32(table, uint32_t(v.bytes.size()));
        table.insert(table.end(), v.bytes.begin(), v.bytes.end());
        while (table.size() % 4) table.push_back(0);
    }
    if (!table.empty() && std::fwrite(table.data(), 1, table.size(), f.get()) != table.size()) return false;
    return std::fclose(f.release()) == 0;
}
