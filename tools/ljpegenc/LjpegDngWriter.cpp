#include "LjpegDngWriter.h"

#include <string>

namespace ljpegenc {
namespace {

struct Entry {
    uint16_t tag, type;
    uint32_t count;
    std::vector<uint8_t> data; // value bytes, little-endian
};

void le16(std::vector<uint8_t>& v, uint32_t x) { v.push_back(uint8_t(x)); v.push_back(uint8_t(x >> 8)); }
void le32(std::vector<uint8_t>& v, uint32_t x) { le16(v, x & 0xFFFF); le16(v, x >> 16); }

Entry shorts(uint16_t tag, std::vector<uint32_t> vals) {
    Entry e{tag, 3, uint32_t(vals.size()), {}};
    for (uint32_t x : vals) le16(e.data, x);
    return e;
}
Entry longs(uint16_t tag, std::vector<uint32_t> vals) {
    Entry e{tag, 4, uint32_t(vals.size()), {}};
    for (uint32_t x : vals) le32(e.data, x);
    return e;
}
Entry bytes(uint16_t tag, std::vector<uint8_t> vals) { return Entry{tag, 1, uint32_t(vals.size()), vals}; }
Entry ascii(uint16_t tag, const std::string& s) {
    Entry e{tag, 2, uint32_t(s.size() + 1), std::vector<uint8_t>(s.begin(), s.end())};
    e.data.push_back(0);
    return e;
}
Entry srationals(uint16_t tag, std::vector<int32_t> vals) {
    Entry e{tag, 10, uint32_t(vals.size() / 2), {}};
    for (int32_t x : vals) le32(e.data, uint32_t(x));
    return e;
}

} // namespace

std::vector<uint8_t> wrapLjpegAsDng(const std::vector<uint8_t>& stream, uint32_t width, uint32_t height,
                                    uint32_t bitsPerSample) {
    std::vector<Entry> entries = {
        longs(254, {0}),
        longs(256, {width}),
        longs(257, {height}),
        shorts(258, {bitsPerSample}),
        shorts(259, {7}),
        shorts(262, {32803}),
        ascii(271, "Lumora"),
        ascii(272, "LjpegTest"),
        shorts(274, {1}),
        shorts(277, {1}),
        shorts(284, {1}),
        longs(322, {width}),
        longs(323, {height}),
        longs(324, {0}), // patched below
        longs(325, {uint32_t(stream.size())}),
        shorts(33421, {2, 2}),
        bytes(33422, {0, 1, 1, 2}),
        bytes(50706, {1, 4, 0, 0}),
        ascii(50708, "Lumora LjpegTest"),
        longs(50717, {bitsPerSample >= 32 ? 0xFFFFFFFFu : (1u << bitsPerSample) - 1}),
        srationals(50721, {10000, 10000, 0, 10000, 0, 10000, 0, 10000, 10000, 10000, 0, 10000,
                           0, 10000, 0, 10000, 10000, 10000}),
        shorts(50778, {21}),
    };
    std::vector<uint8_t> out = {'I', 'I', 42, 0};
    le32(out, 8);
    const uint32_t ifdSize = 2 + 12 * uint32_t(entries.size()) + 4;
    uint32_t extra = 8 + ifdSize;
    std::vector<uint8_t> tail;
    uint32_t tileOffsetPos = 0;
    le16(out, uint32_t(entries.size()));
    for (auto& e : entries) {
        le16(out, e.tag);
        le16(out, e.type);
        le32(out, e.count);
        if (e.tag == 324) tileOffsetPos = uint32_t(out.size());
        if (e.data.size() <= 4) {
            std::vector<uint8_t> v = e.data;
            v.resize(4, 0);
            out.insert(out.end(), v.begin(), v.end());
        } else {
            le32(out, extra + uint32_t(tail.size()));
            tail.insert(tail.end(), e.data.begin(), e.data.end());
            if (tail.size() & 1) tail.push_back(0);
        }
    }
    le32(out, 0);
    out.insert(out.end(), tail.begin(), tail.end());
    const uint32_t dataOffset = uint32_t(out.size());
    out[tileOffsetPos] = uint8_t(dataOffset);
    out[tileOffsetPos + 1] = uint8_t(dataOffset >> 8);
    out[tileOffsetPos + 2] = uint8_t(dataOffset >> 16);
    out[tileOffsetPos + 3] = uint8_t(dataOffset >> 24);
    out.insert(out.end(), stream.begin(), stream.end());
    return out;
}

} // namespace ljpegenc
