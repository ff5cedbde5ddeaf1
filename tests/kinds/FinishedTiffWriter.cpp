#include "FinishedTiffWriter.h"

#include <fstream>

namespace {

struct Entry {
    uint16_t tag, type;
    uint32_t count;
    std::vector<uint8_t> data; // the value bytes in file order
    bool atOffset = false;     // the value field holds offset, data is not written
    uint32_t offset = 0;
};

struct Out {
    bool big;
    std::vector<uint8_t> b;
    void u16(uint16_t v) {
        if (big) b.push_back(uint8_t(v >> 8)), b.push_back(uint8_t(v));
        else b.push_back(uint8_t(v)), b.push_back(uint8_t(v >> 8));
    }
    void u32(uint32_t v) {
        if (big) u16(uint16_t(v >> 16)), u16(uint16_t(v));
        else u16(uint16_t(v)), u16(uint16_t(v >> 16));
    }
    void put16(size_t at, uint16_t v) {
        if (big) b[at] = uint8_t(v >> 8), b[at + 1] = uint8_t(v);
        else b[at] = uint8_t(v), b[at + 1] = uint8_t(v >> 8);
    }
    void put32(size_t at, uint32_t v) {
        if (big) put16(at, uint16_t(v >> 16)), put16(at + 2, uint16_t(v));
        else put16(at, uint16_t(v)), put16(at + 2, uint16_t(v >> 16));
    }
};

Entry Short(Out& o, uint16_t tag, std::vector<uint16_t> v) {
    Out t{o.big, {}};
    for (auto x : v) t.u16(x);
    return {tag, 3, uint32_t(v.size()), t.b};
}
Entry Long(Out& o, uint16_t tag, uint32_t v) {
    Out t{o.big, {}};
    t.u32(v);
    return {tag, 4, 1, t.b};
}
Entry Ascii(uint16_t tag, const std::string& s) {
    std::vector<uint8_t> d(s.begin(), s.end());
    d.push_back(0);
    return {tag, 2, uint32_t(d.size()), d};
}

// Writes a directory at the end of o; values over 4 bytes follow it.
// Returns the position of its next-directory link.
size_t WriteIFD(Out& o, std::vector<Entry> entries) {
    const size_t start = o.b.size();
    const size_t valuesAt = start + 2 + 12 * entries.size() + 4;
    size_t extra = valuesAt;
    o.u16(uint16_t(entries.size()));
    std::vector<uint8_t> tail;
    for (auto& e : entries) {
        o.u16(e.tag), o.u16(e.type), o.u32(e.count);
        if (e.atOffset) {
            o.u32(e.offset);
        } else if (e.data.size() <= 4) {
            auto d = e.data;
            d.resize(4, 0);
            o.b.insert(o.b.end(), d.begin(), d.end());
        } else {
            o.u32(uint32_t(extra));
            tail.insert(tail.end(), e.data.begin(), e.data.end());
            if (tail.size() % 2) tail.push_back(0);
            extra = valuesAt + tail.size();
        }
    }
    const size_t link = o.b.size();
    o.u32(0);
    o.b.insert(o.b.end(), tail.begin(), tail.end());
    return link;
}

} // namespace

std::vector<uint8_t> FinishedTiffWriter::Build(FinishedTiffSpec& s) {
    const uint32_t bytes = s.bits / 8;
    const size_t dataSize = size_t(s.width) * s.height * s.samples * bytes;
    if (s.pixels.empty()) {
        s.pixels.resize(dataSize);
        for (size_t i = 0; i < dataSize; ++i) s.pixels[i] = uint8_t(i * 7 + 3);
    }
    const size_t thumbSize = size_t(s.thumbWidth) * s.thumbHeight * s.thumbChannels;
    if (s.thumbPixels.empty()) {
        s.thumbPixels.resize(thumbSize);
        for (size_t i = 0; i < thumbSize; ++i) s.thumbPixels[i] = uint8_t(i * 5 + 1);
    }
    Out o{s.bigEndian, {}};
    o.b = s.bigEndian ? std::vector<uint8_t>{'M', 'M', 0, 42} : std::vector<uint8_t>{'I', 'I', 42, 0};
    o.u32(8);
    std::vector<Entry> ifd0 = {
        Long(o, 256, s.width), Long(o, 257, s.height), Short(o, 258, std::vector<uint16_t>(s.samples, uint16_t(s.bits))),
        Short(o, 259, {1}), Short(o, 262, {uint16_t(s.samples == 3 ? 2 : 1)}), Ascii(271, s.make), Ascii(272, s.model),
        Long(o, 273, 0), Short(o, 274, {1}), Short(o, 277, {uint16_t(s.samples)}), Long(o, 278, s.height),
        Long(o, 279, uint32_t(dataSize)), Ascii(305, s.software), Ascii(306, "2024:05:06 07:08:09"),
                               Long(o, 33424, 0),
                               Long(o, 34665, 0),
                               Entry{34675, 7, uint32_t(s.icc.size()), s.icc}};
    std::vector<Entry> kept;
    for (auto& e : ifd0) {
        auto it = s.override0.find(e.tag);
        if (it != s.override0.end()) {
            if (it->second == 0xFFFFFFFFu) continue;
            e = e.type == 3 ? Short(o, e.tag, {uint16_t(it->second)}) : Long(o, e.tag, it->second);
        }
        if (e.tag == 34665 && !s.withExif) continue;
        if ((e.tag == 33424 && !s.withPrivate) || (e.tag == 34675 && s.icc.empty())) continue;
        kept.push_back(e);
    }
    for (const FinishedTiffExtraEntry& x : s.extra0)
        kept.push_back({x.tag, x.type, x.count, x.data, x.offset != 0, x.offset});
    const size_t ifd0At = o.b.size();
    const size_t link0 = WriteIFD(o, kept);
    auto patch = [&](size_t ifdAt, uint16_t tag, uint32_t value) {
        uint16_t n = kept.size();
        for (size_t i = 0; i < n; ++i) {
            size_t e = ifdAt + 2 + 12 * i;
            uint16_t t = s.bigEndian ? uint16_t(o.b[e] << 8 | o.b[e + 1]) : uint16_t(o.b[e + 1] << 8 | o.b[e]);
            if (t == tag && !s.override0.count(tag)) o.put32(e + 8, value);
        }
    };
    if (s.withExif) {
        patch(ifd0At, 34665, uint32_t(o.b.size()));
        WriteIFD(o, {Ascii(33432, "(c) test")});
    }
    if (s.withPrivate) {
        patch(ifd0At, 33424, uint32_t(o.b.size()));
        Out t{o.big, {}};
        t.u32(s.colorCode), t.u32(s.colorCode);
        WriteIFD(o, {Entry{3303, 4, 2, t.b}});
    }
    if (s.withIFD1) {
        o.put32(link0, uint32_t(o.b.size()));
        std::vector<Entry> ifd1 = {Long(o, 256, s.thumbWidth), Long(o, 257, s.thumbHeight), Short(o, 259, {1}),
                                   Long(o, 273, 0), Short(o, 277, {uint16_t(s.thumbChannels)})};
        const size_t ifd1At = o.b.size();
        WriteIFD(o, ifd1);
        o.put32(ifd1At + 2 + 12 * 3 + 8, uint32_t(o.b.size()));
        o.b.insert(o.b.end(), s.thumbPixels.begin(), s.thumbPixels.end());
    }
    patch(ifd0At, 273, uint32_t(o.b.size()));
    o.b.insert(o.b.end(), s.pixels.begin(), s.pixels.end());
    return o.b;
}

void FinishedTiffWriter::Write(const std::string& path, FinishedTiffSpec& spec) {
    const auto b = Build(spec);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}
