#include "MakerBlockWriter.h"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

namespace {

void Put16(std::vector<uint8_t>& b, uint16_t v) { b.push_back(uint8_t(v >> 8)), b.push_back(uint8_t(v)); }
void Put32(std::vector<uint8_t>& b, uint32_t v) { Put16(b, uint16_t(v >> 16)), Put16(b, uint16_t(v)); }
void Set32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    b[at] = uint8_t(v >> 24), b[at + 1] = uint8_t(v >> 16), b[at + 2] = uint8_t(v >> 8), b[at + 3] = uint8_t(v);
}

struct Entry {
    uint16_t tag, type;
    uint32_t count;
    std::vector<uint8_t> value; // big-endian bytes
};

Entry Short(uint16_t tag, uint16_t v) {
    Entry e{tag, 3, 1, {}};
    Put16(e.value, v);
    return e;
}
Entry Long(uint16_t tag, uint32_t v) {
    Entry e{tag, 4, 1, {}};
    Put32(e.value, v);
    return e;
}
Entry Ascii(uint16_t tag, const std::string& s) {
    Entry e{tag, 2, uint32_t(s.size() + 1), {}};
    e.value.assign(s.begin(), s.end());
    e.value.push_back(0);
    return e;
}
Entry Rationals(uint16_t tag, const uint32_t (*pairs)[2], size_t n) {
    Entry e{tag, 5, uint32_t(n), {}};
    for (size_t i = 0; i < n; ++i) Put32(e.value, pairs[i][0]), Put32(e.value, pairs[i][1]);
    return e;
}

// Appends a big-endian directory and the values that do not fit in its
// entries; answers its offset from the header at headerAt.
uint32_t WriteIFD(std::vector<uint8_t>& b, size_t headerAt, std::vector<Entry> entries) {
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& c) { return a.tag < c.tag; });
    if ((b.size() - headerAt) % 2) b.push_back(0);
    const size_t ifd = b.size();
    Put16(b, uint16_t(entries.size()));
    size_t values = ifd + 2 + 12 * entries.size() + 4;
    std::vector<uint8_t> tail;
    for (const Entry& e : entries) {
        Put16(b, e.tag), Put16(b, e.type), Put32(b, e.count);
        if (e.value.size() <= 4) {
            std::vector<uint8_t> v = e.value;
            v.resize(4, 0);
            b.insert(b.end(), v.begin(), v.end());
        } else {
            Put32(b, uint32_t(values + tail.size() - headerAt));
            tail.insert(tail.end(), e.value.begin(), e.value.end());
            if (tail.size() % 2) tail.push_back(0);
        }
    }
    Put32(b, 0);
    b.insert(b.end(), tail.begin(), tail.end());
    return uint32_t(ifd - headerAt);
}

std::vector<uint8_t> Segment(uint8_t marker, const std::vector<uint8_t>& body) {
    if (body.size() + 2 > 0xFFFF) throw std::length_error("segment too long");
    std::vector<uint8_t> s{0xFF, marker};
    Put16(s, uint16_t(body.size() + 2));
    s.insert(s.end(), body.begin(), body.end());
    return s;
}

// A segment body starting with the text (and its zero byte), then a TIFF
// header, ready for directories.
std::vector<uint8_t> TiffBody(const std::string& text, size_t& headerAt) {
    std::vector<uint8_t> b(text.begin(), text.end());
    b.push_back(0);
    headerAt = b.size();
    b.insert(b.end(), {'M', 'M', 0, 42, 0, 0, 0, 8});
    return b;
}

std::vector<uint8_t> Zelt1(const MakerBlockSpec& s) {
    size_t h = 0;
    std::vector<uint8_t> b = TiffBody("ZELT1", h);
    std::vector<Entry> e{Ascii(1009, s.settingsText), Long(37393, s.imageNumber), Short(1020, s.selector),
                         Short(1029, s.selector2), Short(1019, s.selector3), Rationals(2119, s.balance, 3),
                         Short(3517, s.gainFlag), Long(3110, s.gainA), Long(3122, s.gainB),
                         Short(3516, s.outputProfileKind), Rationals(2307, &s.reference, 1)};
    for (int m = 0; m < 4; ++m) {
        uint32_t pairs[9][2];
        for (int i = 0; i < 9; ++i) {
            if (s.identityMatrices) pairs[i][0] = (i % 4 == 0) ? 1 : 0, pairs[i][1] = 1;
            else pairs[i][0] = s.matrices[m][i][0], pairs[i][1] = s.matrices[m][i][1];
        }
        e.push_back(Rationals(uint16_t(2020 + m), pairs, 9));
    }
    std::vector<uint16_t> curve = s.curve;
    if (curve.empty())
        for (int i = 0; i < 1024; ++i) curve.push_back(uint16_t(4 * i));
    Entry c{2317, 3, uint32_t(curve.size()), {}};
    for (uint16_t v : curve) Put16(c.value, v);
    e.push_back(c);
    const uint32_t ifd = WriteIFD(b, h, e);
    Set32(b, h + 4, ifd);
    return Segment(0xE5, b);
}

std::vector<uint8_t> Meta(const MakerBlockSpec& s, uint32_t stream1Size, uint32_t stream2Size) {
    std::vector<uint8_t> b{'M', 'e', 't', 'a', 0, 0};
    const size_t h = b.size();
    b.insert(b.end(), {'M', 'M', 0, 42, 0, 0, 0, 8});
    const uint32_t variant = WriteIFD(b, h, {Long(2, s.formatVariant)});
    std::vector<Entry> ifd0{Long(50220, variant)};
    if (s.previewDirectory) {
        const uint32_t preview = WriteIFD(
            b, h,
            {Short(256, uint16_t(s.previewWidth)), Short(257, uint16_t(s.previewHeight)), Long(4, stream1Size),
             Long(5, stream2Size), Short(6, s.marker1), Short(8, s.marker2), Ascii(7, s.identifier1),
             Ascii(9, s.identifier2)});
        ifd0.push_back(Long(50285, preview));
    }
    Set32(b, h + 4, WriteIFD(b, h, ifd0));
    return Segment(0xE3, b);
}

// One data segment: the identifier, a header whose directory names the
// destination offset and the fragment, then the fragment's bytes.
std::vector<uint8_t> DataSegment(uint8_t marker, const std::string& id, uint32_t destination,
                                 const std::vector<uint8_t>& bytes) {
    std::vector<uint8_t> b(id.begin(), id.end());
    b.push_back(0);
    b.insert(b.end(), {'M', 'M', 0, 42, 0, 0, 0, 8});
    Put16(b, 2);
    Put16(b, 1), Put16(b, 4), Put32(b, 1), Put32(b, destination);
    Put16(b, 2), Put16(b, 7), Put32(b, uint32_t(bytes.size())), Put32(b, 38);
    Put32(b, 0);
    b.insert(b.end(), bytes.begin(), bytes.end());
    return Segment(marker, b);
}

struct BitWriter {
    std::vector<uint8_t> words;
    uint64_t acc = 0;
    int bits = 0;
    void Put(uint32_t value, int count) {
        acc |= uint64_t(value) << bits;
        bits += count;
        while (bits >= 16) Flush();
    }
    void Flush() {
        Put16(words, uint16_t(acc & 0xFFFF));
        acc >>= 16;
        bits = std::max(0, bits - 16);
    }
    void Finish() {
        if (bits > 0) Flush();
    }
};

} // namespace

std::vector<uint16_t> MakerBlockWriter::PreviewPattern(int width, int height, uint32_t seed) {
    std::vector<uint16_t> p(size_t(width) * size_t(height) * 3);
    uint32_t state = seed * 2654435761u + 7;
    auto next = [&] { return (state = state * 1664525u + 1013904223u) >> 24; };
    for (int by = 0; by < height; by += 2)
        for (int bx = 0; bx < width; bx += 2) {
            const int cr = int(next() % 61) - 30, cb = int(next() % 61) - 30;
            for (int y = by; y < std::min(by + 2, height); ++y)
                for (int x = bx; x < std::min(bx + 2, width); ++x) {
                    const int g = 60 + (x * 700 / std::max(1, width - 1) + y * 200 / std::max(1, height - 1)) % 880 +
                                  int(next() % 16);
                    uint16_t* px = &p[(size_t(y) * size_t(width) + size_t(x)) * 3];
                    px[0] = uint16_t(g + cr), px[1] = uint16_t(g), px[2] = uint16_t(g + cb);
                }
        }
    return p;
}

std::vector<uint8_t> MakerBlockWriter::EncodePreview(int width, int height, const std::vector<uint16_t>& pixels,
                                                     std::vector<uint32_t>& offsets) {
    std::vector<uint8_t> stream;
    offsets.clear();
    auto at = [&](int x, int y) { return &pixels[(size_t(std::min(y, height - 1)) * size_t(width) + size_t(x)) * 3]; };
    for (int p = 0; 2 * p < height; ++p)
        for (int c = 0; c * 128 < width; ++c) {
            if (p != 0 || c != 0) offsets.push_back(uint32_t(stream.size()));
            const int first = c * 128, count = std::min(128, width - first);
            const int blocks = (count + 1) / 2;
            std::vector<int> categories;
            BitWriter bits;
            int predictor[6] = {0, 0, 0, 0, 0, 0};
            for (int j = 0; j < blocks; ++j) {
                const int x0 = first + 2 * j, x1 = std::min(x0 + 1, first + count - 1);
                const uint16_t* tl = at(x0, 2 * p);
                const int cr = tl[0] - tl[1], cb = tl[2] - tl[1];
                const int a = (cb + cr) >> 2;
                int v[6] = {at(x0, 2 * p)[1] + a, at(x1, 2 * p)[1] + a, at(x0, 2 * p + 1)[1] + a,
                            at(x1, 2 * p + 1)[1] + a, cb, cr};
                const int base[6] = {predictor[1], v[0], predictor[3], v[2], predictor[4], predictor[5]};
                for (int k = 0; k < 6; ++k) {
                    const int u = v[k] - base[k];
                    int t = 0;
                    while ((std::abs(u) >> t) != 0) ++t;
                    categories.push_back(t);
                    if (t) bits.Put(uint32_t(u > 0 ? u : u + (1 << t) - 1), t);
                }
                std::copy(v, v + 6, predictor);
            }
            bits.Finish();
            const size_t categoryBytes = 2 * ((categories.size() + 3) / 4);
            std::vector<uint8_t> nibbles(categoryBytes, 0);
            for (size_t i = 0; i < categories.size(); ++i)
                nibbles[i / 2] |= uint8_t(categories[i] << ((i & 1) ? 4 : 0));
            stream.insert(stream.end(), nibbles.begin(), nibbles.end());
            stream.insert(stream.end(), bits.words.begin(), bits.words.end());
        }
    offsets.push_back(uint32_t(stream.size()));
    return stream;
}

std::vector<uint8_t> MakerBlockWriter::Insert(const std::vector<uint8_t>& jpeg, const MakerBlockSpec& spec) {
    std::vector<uint8_t> blocks, zelt, meta, data;
    if (spec.zelt1) zelt = Zelt1(spec);
    uint32_t stream1Size = 0, stream2Size = 0;
    if (!spec.preview.empty()) {
        std::vector<uint32_t> offsets;
        const std::vector<uint8_t> stream2 =
            EncodePreview(spec.previewWidth, spec.previewHeight, spec.preview, offsets);
        std::vector<uint8_t> stream1;
        for (uint32_t o : offsets) Put32(stream1, o);
        stream1Size = uint32_t(stream1.size());
        stream2Size = uint32_t(stream2.size());
        const std::vector<uint8_t> s1 = DataSegment(spec.marker1, spec.identifier1, 0, stream1);
        data.insert(data.end(), s1.begin(), s1.end());
        for (size_t from = 0; from < stream2.size(); from += spec.fragmentBytes) {
            const size_t n = std::min(spec.fragmentBytes, stream2.size() - from);
            if (spec.dropLastFragment && from + n == stream2.size()) break;
            const std::vector<uint8_t> part(stream2.begin() + long(from), stream2.begin() + long(from + n));
            const std::vector<uint8_t> s2 = DataSegment(spec.marker2, spec.identifier2, uint32_t(from), part);
            data.insert(data.end(), s2.begin(), s2.end());
        }
    }
    if (spec.meta) meta = Meta(spec, stream1Size, stream2Size);
    if (spec.metaFirst) blocks = meta, blocks.insert(blocks.end(), zelt.begin(), zelt.end());
    else blocks = zelt, blocks.insert(blocks.end(), meta.begin(), meta.end());
    blocks.insert(blocks.end(), data.begin(), data.end());
    if (!spec.largeThumbnail.empty()) {
        std::vector<uint8_t> b{'L', 'M', 'B', 'i', 'g', 'T', 'N', 0, 0, 0, 0, 0};
        Put16(b, spec.largeWidth), Put16(b, spec.largeHeight), Put16(b, 0);
        b.insert(b.end(), spec.largeThumbnail.begin(), spec.largeThumbnail.end());
        const std::vector<uint8_t> s = Segment(0xE4, b);
        blocks.insert(blocks.end(), s.begin(), s.end());
    }
    if (jpeg.size() < 2) throw std::invalid_argument("not a JPEG");
    std::vector<uint8_t> out(jpeg.begin(), jpeg.begin() + 2);
    out.insert(out.end(), blocks.begin(), blocks.end());
    out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
    return out;
}
