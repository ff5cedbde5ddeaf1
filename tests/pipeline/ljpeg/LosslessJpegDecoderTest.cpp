// Lossless-JPEG decoder: round trips through the test encoder, refused and
// damaged streams, the fast path against the plain reference path, threads.
#include "LjpegTestStreams.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <thread>

using lumora::LosslessJpegDecoder;
using ljpegtest::decode;
using ljpegtest::Decoded;
using ljpegtest::makeSamples;
using ljpegtest::options;
using Path = LosslessJpegDecoder::Path;

namespace {

std::vector<uint8_t> encode(const std::vector<uint16_t>& s, const ljpegenc::EncodeOptions& o) {
    std::vector<uint8_t> out;
    std::string error;
    EXPECT_TRUE(ljpegenc::encodeLosslessJpeg(s.data(), o, out, &error)) << error;
    return out;
}

// A stream split into its marker segments and entropy-coded data, so tests can
// damage one field and put it together again.
struct Segments {
    struct Segment {
        uint8_t marker;
        std::vector<uint8_t> payload; // without the length
    };
    std::vector<Segment> list;
    std::vector<uint8_t> data;

    explicit Segments(const std::vector<uint8_t>& s) {
        size_t i = 2;
        for (;;) {
            const uint8_t m = s[i + 1];
            const size_t len = size_t(s[i + 2]) << 8 | s[i + 3];
            list.push_back({m, std::vector<uint8_t>(s.begin() + long(i + 4), s.begin() + long(i + 2 + len))});
            i += 2 + len;
            if (m == 0xDA) break;
        }
        data.assign(s.begin() + long(i), s.end() - 2);
    }
    Segment& find(uint8_t marker) {
        for (auto& s : list)
            if (s.marker == marker) return s;
        ADD_FAILURE() << "no marker " << int(marker);
        return list[0];
    }
    void insertBefore(uint8_t marker, Segment seg) {
        auto it = std::find_if(list.begin(), list.end(), [&](const Segment& s) { return s.marker == marker; });
        list.insert(it, seg);
    }
    std::vector<uint8_t> join(bool withEoi = true) const {
        std::vector<uint8_t> out = {0xFF, 0xD8};
        for (const auto& s : list) {
            out.push_back(0xFF);
            out.push_back(s.marker);
            const size_t len = s.payload.size() + 2;
            out.push_back(uint8_t(len >> 8));
            out.push_back(uint8_t(len));
            out.insert(out.end(), s.payload.begin(), s.payload.end());
        }
        out.insert(out.end(), data.begin(), data.end());
        if (withEoi) {
            out.push_back(0xFF);
            out.push_back(0xD9);
        }
        return out;
    }
};

} // namespace

TEST(LosslessJpegDecoder, RoundTripsEveryPrecisionComponentsPredictorAndRestartInterval) {
    const uint32_t X = 37, Y = 19; // odd sizes; 19 rows with 2-row intervals wrap RST7 -> RST0
    for (uint32_t p : {2u, 8u, 12u, 14u, 16u})
        for (uint32_t n : {1u, 2u, 3u})
            for (uint32_t pred = 0; pred <= 7; ++pred)
                for (uint32_t rows : {0u, 1u, 2u, 7u}) {
                    SCOPED_TRACE("P=" + std::to_string(p) + " Ns=" + std::to_string(n) + " pred=" +
                                 std::to_string(pred) + " rows/interval=" + std::to_string(rows));
                    const auto samples = makeSamples(X, Y, n, p, p * 1000 + n * 100 + pred * 10 + rows);
                    const auto stream = encode(samples, options(X, Y, n, p, pred, rows * X));
                    const auto expected = ljpegtest::expectedOutput(samples, X, Y, n);
                    const uint32_t m = n >= 2 ? 2 : 1;
                    for (Path path : {Path::Fast, Path::Reference}) {
                        Decoded d = decode(stream, uint64_t(X) * Y * m, X * m, Y, path);
                        ASSERT_EQ(d.status, VQ_OK);
                        EXPECT_EQ(d.precision, int32_t(p));
                        EXPECT_EQ(d.outputBytes, int32_t(X * Y * m * 2));
                        EXPECT_EQ(d.samples.back(), 0xA5A5); // nothing past the capacity
                        d.samples.pop_back();
                        ASSERT_EQ(d.samples, expected);
                    }
                }
}

TEST(LosslessJpegDecoder, RoundTripsPointTransformSharedTablesAndWideRows) {
    struct Case { uint32_t x, y, n, p, pred, pt, ri; bool shared; };
    for (const Case c : {Case{5, 4, 1, 12, 4, 3, 0, false}, Case{6, 6, 2, 14, 7, 13, 12, true},
                         Case{4000, 3, 2, 14, 1, 0, 4000, false}, Case{1, 9, 2, 16, 6, 0, 2, false},
                         Case{9, 1, 1, 16, 5, 0, 0, true}}) {
        SCOPED_TRACE(std::to_string(c.x) + "x" + std::to_string(c.y));
        auto o = options(c.x, c.y, c.n, c.p, c.pred, c.ri);
        o.pointTransform = c.pt;
        o.sharedTable = c.shared;
        auto samples = makeSamples(c.x, c.y, c.n, c.p - c.pt, c.x + c.pred);
        const auto stream = encode(samples, o);
        for (Path path : {Path::Fast, Path::Reference}) {
            Decoded d = decode(stream, samples.size(), 0, 0, path);
            ASSERT_EQ(d.status, VQ_OK);
            d.samples.pop_back();
            EXPECT_EQ(d.samples, samples);
        }
    }
}

TEST(LosslessJpegDecoder, DifferenceCategory16IsHalfTheRangeWithoutExtraBits) {
    // Alternating 0 / 32768 at 16 bits: every difference after the first is
    // -32768, coded as symbol 16 with no extra bits after it.
    std::vector<uint16_t> samples(64);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = i % 2 ? 0x8000 : 0;
    const auto stream = encode(samples, options(16, 4, 1, 16, 1));
    for (Path path : {Path::Fast, Path::Reference}) {
        Decoded d = decode(stream, 64, 16, 4, path);
        ASSERT_EQ(d.status, VQ_OK);
        d.samples.pop_back();
        EXPECT_EQ(d.samples, samples);
    }
}

// A 3 x 2 image at 8 bits, built byte by byte so that the expected samples
// follow from the prediction rules alone, not from the test encoder. The one
// table gives symbols 0..8 the 4-bit codes 0000..1000. Row 0 codes the
// differences -28, +10, -19 (from the opening 128: 100, 110, 91); row 1 codes
// +20, +3, -5.
static std::vector<uint8_t> handStream(uint8_t predictor, std::vector<uint8_t> dri, std::vector<uint8_t> data) {
    std::vector<uint8_t> s = {0xFF, 0xD8, 0xFF, 0xC4, 0, 28, 0x00, 0, 0, 0, 9, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                              0, 1, 2, 3, 4, 5, 6, 7, 8};
    s.insert(s.end(), dri.begin(), dri.end());
    for (uint8_t b : {0xFF, 0xC3, 0, 11, 8, 0, 2, 0, 3, 1, 1, 0x11, 0, 0xFF, 0xDA, 0, 8, 1, 1, 0x00}) s.push_back(b);
    s.insert(s.end(), {predictor, 0, 0});
    s.insert(s.end(), data.begin(), data.end());
    s.insert(s.end(), {0xFF, 0xD9});
    return s;
}

TEST(LosslessJpegDecoder, PredictorsFollowTheirDefinitionsOnAHandBuiltStream) {
    const std::vector<uint8_t> data = {0x51, 0xA5, 0x2B, 0x16, 0x85, 0x9A};
    // Row 1: column 0 from the sample above (100 + 20); then Ra = 120, Rb = 110,
    // Rc = 100 for column 1 and Rb = 91, Rc = 110 for column 2. The halving
    // is a shift, so -19 halves to -10.
    struct Case { uint8_t predictor; uint16_t b1, b2; };
    for (const Case c : {Case{0, 3, 65531}, Case{1, 123, 118}, Case{2, 113, 86}, Case{3, 103, 105},
                         Case{4, 133, 109}, Case{5, 128, 113}, Case{6, 123, 92}, Case{7, 118, 99}}) {
        SCOPED_TRACE("predictor " + std::to_string(c.predictor));
        for (Path path : {Path::Fast, Path::Reference}) {
            Decoded d = decode(handStream(c.predictor, {}, data), 6, 3, 2, path);
            ASSERT_EQ(d.status, VQ_OK);
            EXPECT_EQ(d.precision, 8);
            EXPECT_EQ(d.outputBytes, 12);
            d.samples.pop_back();
            EXPECT_EQ(d.samples, (std::vector<uint16_t>{100, 110, 91, 120, c.b1, c.b2}));
        }
    }
}

TEST(LosslessJpegDecoder, RestartIntervalsOfWholeRowsAndShorterThanARow) {
    // Ri = 3 = X: row 1 follows RST0 and opens again from 128 (148, 151, 146).
    const std::vector<uint8_t> restarted = {0x51, 0xA5, 0x2B, 0x3F, 0xFF, 0xD0, 0x5A, 0x16, 0x6B};
    // Ri = 2 is shorter than a row: no restart handling at all, the data as
    // without a DRI segment.
    const std::vector<uint8_t> plain = {0x51, 0xA5, 0x2B, 0x16, 0x85, 0x9A};
    struct Case { const char* name; std::vector<uint8_t> stream; std::vector<uint16_t> samples; };
    const std::vector<Case> cases = {
        {"Ri = X", handStream(4, {0xFF, 0xDD, 0, 4, 0, 3}, restarted), {100, 110, 91, 148, 151, 146}},
        {"Ri < X", handStream(4, {0xFF, 0xDD, 0, 4, 0, 2}, plain), {100, 110, 91, 120, 133, 109}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (Path path : {Path::Fast, Path::Reference}) {
            Decoded d = decode(c.stream, 6, 3, 2, path);
            ASSERT_EQ(d.status, VQ_OK);
            d.samples.pop_back();
            EXPECT_EQ(d.samples, c.samples);
        }
    }
}

TEST(LosslessJpegDecoder, RefusesMalformedStreamsWithFormatError) {
    const auto samples1 = makeSamples(8, 6, 1, 12, 7);
    const auto samples2 = makeSamples(8, 6, 2, 12, 8);
    const auto base1 = encode(samples1, options(8, 6, 1, 12, 1));
    const auto base2 = encode(samples2, options(8, 6, 2, 12, 1, 16));
    using Mut = std::function<std::vector<uint8_t>()>;
    auto edit = [](const std::vector<uint8_t>& b, std::function<void(Segments&)> f) {
        Segments s(b);
        f(s);
        return s.join();
    };
    struct Case { const char* name; Mut make; };
    const std::vector<Case> cases = {
        {"no SOI", [&] { auto s = base1; s[1] = 0xD9; return s; }},
        {"empty input", [&] { return std::vector<uint8_t>{}; }},
        {"DQT", [&] { return edit(base1, [](Segments& s) { s.insertBefore(0xC3, {0xDB, std::vector<uint8_t>(65)}); }); }},
        {"progressive frame", [&] { return edit(base1, [](Segments& s) { s.find(0xC3).marker = 0xC2; }); }},
        {"arithmetic frame", [&] { return edit(base1, [](Segments& s) { s.find(0xC3).marker = 0xCB; }); }},
        {"TEM", [&] { return edit(base1, [](Segments& s) { s.insertBefore(0xC3, {0x01, {}}); }); }},
        {"RST before the frame", [&] { return edit(base1, [](Segments& s) { s.insertBefore(0xC3, {0xD0, {}}); }); }},
        {"second frame", [&] { return edit(base1, [](Segments& s) { s.insertBefore(0xDA, s.find(0xC3)); }); }},
        {"scan before the frame", [&] { return edit(base1, [](Segments& s) { s.insertBefore(0xC3, s.find(0xDA)); }); }},
        {"DRI length 5", [&] { return edit(base1, [](Segments& s) { s.insertBefore(0xC3, {0xDD, {0, 8, 0}}); }); }},
        {"DHT class 1", [&] { return edit(base1, [](Segments& s) { s.find(0xC4).payload[0] = 0x10; }); }},
        {"DHT id 4", [&] { return edit(base1, [](Segments& s) { s.find(0xC4).payload[0] = 4; }); }},
        {"DHT over 256 symbols", [&] { return edit(base1, [](Segments& s) { s.find(0xC4).payload[16] = 255; s.find(0xC4).payload[15] = 2; }); }},
        {"DHT longer than its segment", [&] { return edit(base1, [](Segments& s) { s.find(0xC4).payload.pop_back(); }); }},
        {"Y zero", [&] { return edit(base1, [](Segments& s) { auto& f = s.find(0xC3).payload; f[1] = f[2] = 0; }); }},
        {"X zero", [&] { return edit(base1, [](Segments& s) { auto& f = s.find(0xC3).payload; f[3] = f[4] = 0; }); }},
        {"P 1", [&] { return edit(base1, [](Segments& s) { s.find(0xC3).payload[0] = 1; }); }},
        {"P 17", [&] { return edit(base1, [](Segments& s) { s.find(0xC3).payload[0] = 17; }); }},
        {"Lf wrong", [&] { return edit(base1, [](Segments& s) { s.find(0xC3).payload.push_back(0); }); }},
        {"Ns 0", [&] { return edit(base1, [](Segments& s) { auto& p = s.find(0xDA).payload; p = {0, 1, 0, 0}; }); }},
        {"Ls wrong", [&] { return edit(base1, [](Segments& s) { s.find(0xDA).payload.push_back(0); }); }},
        {"unknown scan component", [&] { return edit(base1, [](Segments& s) { s.find(0xDA).payload[1] = 9; }); }},
        {"H 2 outside the scan", [&] {
             return edit(base1, [](Segments& s) {
                 auto& f = s.find(0xC3).payload;
                 f[5] = 2;
                 f.insert(f.end(), {7, 0x21, 0});
             });
         }},
        {"V 2", [&] { return edit(base1, [](Segments& s) { s.find(0xC3).payload[7] = 0x12; }); }},
        {"empty table slot", [&] { return edit(base1, [](Segments& s) { s.find(0xDA).payload[2] = 0x30; }); }},
        {"table selector 5", [&] { return edit(base1, [](Segments& s) { s.find(0xDA).payload[2] = 0x50; }); }},
        {"predictor 8", [&] { return edit(base1, [](Segments& s) { s.find(0xDA).payload[3] = 8; }); }},
        {"Pt not below P", [&] { return edit(base1, [](Segments& s) { s.find(0xDA).payload[5] = 12; }); }},
        {"over-subscribed table", [&] {
             return edit(base1, [](Segments& s) {
                 auto& t = s.find(0xC4).payload; // three 1-bit codes
                 std::fill(t.begin() + 1, t.begin() + 17, 0);
                 t[1] = 3;
                 t.resize(17 + 3);
             });
         }},
        {"wrong restart marker", [&] {
             auto s = base2;
             for (size_t i = s.size() - 2; i > 0; --i)
                 if (s[i] == 0xFF && s[i + 1] == 0xD0) { s[i + 1] = 0xD1; break; }
             return s;
         }},
        {"restart interval inside a row", [&] { return edit(base1, [](Segments& s) { s.insertBefore(0xC3, {0xDD, {0, 12}}); }); }},
        {"EOI before the scan", [&] { return edit(base1, [](Segments& s) { s.insertBefore(0xDA, {0xD9, {}}); }); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto stream = c.make();
        for (Path path : {Path::Fast, Path::Reference}) {
            Decoded d = decode(stream, 8 * 6 * 2, 0, 0, path);
            EXPECT_EQ(d.status, VQ_ERR_LJPEG_FORMAT);
            EXPECT_EQ(d.outputBytes, 0);
            EXPECT_EQ(d.samples.back(), 0xA5A5);
        }
    }
}

TEST(LosslessJpegDecoder, RefusesSymbolsAbove16) {
    // One 1-bit code for symbol 17; the data's first bit selects it.
    const std::vector<uint8_t> s = {0xFF, 0xD8, 0xFF, 0xC4, 0, 20, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 17,
                                    0xFF, 0xC3, 0, 11, 12, 0, 2, 0, 2, 1, 1, 0x11, 0,
                                    0xFF, 0xDA, 0, 8, 1, 1, 0, 1, 0, 0, 0x00, 0x00, 0xFF, 0xD9};
    for (Path path : {Path::Fast, Path::Reference}) {
        Decoded d = decode(s, 4, 0, 0, path);
        EXPECT_EQ(d.status, VQ_ERR_LJPEG_FORMAT);
        EXPECT_EQ(d.precision, 12);
    }
}

TEST(LosslessJpegDecoder, ChecksTheSizeTheCallerExpectsAndTheOutputCapacity) {
    const auto samples = makeSamples(10, 4, 2, 14, 3);
    const auto stream = encode(samples, options(10, 4, 2, 14, 1));
    struct Case { uint64_t capacity; uint32_t w, h; VqStatus status; };
    for (const Case c : {Case{80, 20, 4, VQ_OK}, Case{80, 10, 4, VQ_ERR_LJPEG_FORMAT}, Case{80, 20, 3, VQ_ERR_LJPEG_FORMAT},
                         Case{80, 40, 2, VQ_ERR_LJPEG_FORMAT}, Case{79, 20, 4, VQ_ERR_LJPEG_FORMAT},
                         Case{79, 0, 0, VQ_ERR_LJPEG_FORMAT}, Case{80, 0, 0, VQ_OK}}) {
        SCOPED_TRACE(std::to_string(c.capacity) + " " + std::to_string(c.w) + "x" + std::to_string(c.h));
        Decoded d = decode(stream, c.capacity, c.w, c.h);
        EXPECT_EQ(d.status, c.status);
        EXPECT_EQ(d.samples[c.capacity], 0xA5A5);
        if (c.status != VQ_OK) {
            EXPECT_TRUE(std::all_of(d.samples.begin(), d.samples.end(), [](uint16_t v) { return v == 0xA5A5; }));
        }
    }
}

TEST(LosslessJpegDecoder, StreamsThatRunOutDeliverTheRowsAndAnswerBadFile) {
    const uint32_t X = 16, Y = 12;
    const auto samples = makeSamples(X, Y, 2, 14, 11);
    const auto stream = encode(samples, options(X, Y, 2, 14, 1));
    const auto restarts = encode(samples, options(X, Y, 2, 14, 1, 3 * X));
    Segments seg(stream);

    struct Case { const char* name; std::vector<uint8_t> s; VqStatus status; int32_t bytes; bool exact; };
    std::vector<uint8_t> noEoi(stream.begin(), stream.end() - 2);
    std::vector<uint8_t> half(stream.begin(), stream.begin() + long(stream.size() / 2));
    Segments cut(stream);
    cut.data.resize(cut.data.size() / 2); // EOI right after half the data
    std::vector<uint8_t> trailing = stream;
    trailing.insert(trailing.end(), {0x12, 0xFF, 0xD8, 0xFF, 0xC2});
    Segments second(stream);
    std::vector<uint8_t> twoScans = second.join(false);
    for (uint8_t b : {0xFF, 0xDA, 0, 8, 1, 1, 0, 1, 0, 0, 0xFF, 0xD9}) twoScans.push_back(b);
    Segments after(stream);
    std::vector<uint8_t> tablesAfter = after.join(false);
    {
        const auto& dht = after.find(0xC4).payload;
        tablesAfter.insert(tablesAfter.end(), {0xFF, 0xC4, uint8_t((dht.size() + 2) >> 8), uint8_t(dht.size() + 2)});
        tablesAfter.insert(tablesAfter.end(), dht.begin(), dht.end());
        tablesAfter.insert(tablesAfter.end(), {0xFF, 0xDD, 0, 4, 0, 1, 0xFF, 0xFE, 0, 3, 'x', 0xFF, 0xD9});
    }
    Segments withApp(stream);
    withApp.insertBefore(0xC3, {0xE1, {1, 2, 3}});
    withApp.insertBefore(0xDA, {0xFE, {'h', 'i'}});
    Segments sof0(stream);
    sof0.find(0xC3).marker = 0xC0;
    std::vector<uint8_t> restartsCut(restarts.begin(), restarts.end() - 6);
    std::vector<uint8_t> restartsHalf(restarts.begin(), restarts.begin() + long(restarts.size() / 2));

    const int32_t full = int32_t(X * Y * 2 * 2);
    const std::vector<Case> cases = {
        {"no EOI", noEoi, VQ_ERR_BAD_FILE, full, true},
        {"ends inside the data", half, VQ_ERR_BAD_FILE, full, false},
        {"EOI cuts the data short", cut.join(), VQ_ERR_BAD_FILE, full, false},
        {"ends inside the last restart interval", restartsCut, VQ_ERR_BAD_FILE, full, false},
        {"ends before a restart marker is due", restartsHalf, VQ_ERR_LJPEG_FORMAT, 0, false},
        {"bytes after EOI", trailing, VQ_OK, full, true},
        {"a second scan is checked, not decoded", twoScans, VQ_OK, full, true},
        {"tables, DRI and COM after the scan", tablesAfter, VQ_OK, full, true},
        {"APP and COM segments", withApp.join(), VQ_OK, full, true},
        {"SOF0 frame", sof0.join(), VQ_OK, full, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Decoded ref;
        for (Path path : {Path::Fast, Path::Reference}) {
            Decoded d = decode(c.s, X * Y * 2, X * 2, Y, path);
            EXPECT_EQ(d.status, c.status);
            EXPECT_EQ(d.outputBytes, c.bytes);
            EXPECT_EQ(d.precision, 14);
            d.samples.pop_back();
            if (c.exact) {
                EXPECT_EQ(d.samples, samples);
            }
            if (path == Path::Fast) {
                ref = d;
            } else {
                EXPECT_EQ(d.samples, ref.samples); // both fill missing data alike
            }
        }
    }
}

TEST(LosslessJpegDecoder, PassThroughTouchesNothing) {
    LosslessJpegDecoder dec;
    auto& p = dec.parameters();
    *p[LosslessJpegDecoder::PassThrough] = 1;
    *p[LosslessJpegDecoder::InputBytes] = 4;
    *p[LosslessJpegDecoder::OutputBytes] = 77;
    *p[LosslessJpegDecoder::Precision] = 12;
    const uint8_t junk[4] = {1, 2, 3, 4};
    uint16_t out[4] = {9, 9, 9, 9};
    EXPECT_EQ(dec.Decode(junk, out, 4, 2, 2), VQ_OK);
    EXPECT_EQ(*p[LosslessJpegDecoder::OutputBytes], 77);
    EXPECT_EQ(*p[LosslessJpegDecoder::Precision], 12);
    EXPECT_EQ(out[0], 9);
    EXPECT_EQ(dec.Decode(nullptr, out, 4, 2, 2), VQ_ERR_NULL_PLANES);
    EXPECT_EQ(dec.Decode(junk, nullptr, 4, 2, 2), VQ_ERR_NULL_PLANES);
}

TEST(LosslessJpegDecoder, OneDecoderServesSeveralDecodesInTurn) {
    const auto a = makeSamples(12, 5, 2, 12, 1), b = makeSamples(7, 3, 1, 16, 2);
    const auto sa = encode(a, options(12, 5, 2, 12, 6, 24)), sb = encode(b, options(7, 3, 1, 16, 7));
    LosslessJpegDecoder dec;
    auto& p = dec.parameters();
    std::vector<uint16_t> out(120);
    *p[LosslessJpegDecoder::InputBytes] = int32_t(sa.size());
    ASSERT_EQ(dec.Decode(sa.data(), out.data(), out.size(), 24, 5), VQ_OK);
    EXPECT_EQ(std::vector<uint16_t>(out.begin(), out.begin() + 120), a);
    *p[LosslessJpegDecoder::InputBytes] = int32_t(sb.size());
    ASSERT_EQ(dec.Decode(sb.data(), out.data(), out.size(), 7, 3), VQ_OK);
    EXPECT_EQ(std::vector<uint16_t>(out.begin(), out.begin() + 21), b);
    EXPECT_EQ(*p[LosslessJpegDecoder::Precision], 16);
    EXPECT_EQ(*p[LosslessJpegDecoder::OutputBytes], 42);
}

TEST(LosslessJpegDecoder, FastPathMatchesReferenceOnDamagedStreams) {
    std::mt19937 rng(1234);
    struct Src { uint32_t x, y, n, p, pred, ri; };
    for (const Src s : {Src{24, 10, 2, 14, 1, 48}, Src{17, 9, 1, 12, 4, 0}, Src{10, 8, 2, 16, 7, 10},
                        Src{9, 7, 3, 10, 5, 0}}) {
        const auto samples = makeSamples(s.x, s.y, s.n, s.p, s.x * s.y);
        const auto base = encode(samples, options(s.x, s.y, s.n, s.p, s.pred, s.ri));
        const uint64_t capacity = uint64_t(s.x) * s.y * (s.n >= 2 ? 2 : 1);
        for (int trial = 0; trial < 400; ++trial) {
            auto m = base;
            const int kind = trial % 4;
            if (kind == 0) {
                for (int k = 0, flips = 1 + int(rng() % 4); k < flips; ++k) m[rng() % m.size()] ^= uint8_t(1u << (rng() % 8));
            } else if (kind == 1) {
                m.resize(rng() % m.size());
            } else if (kind == 2) {
                m[rng() % m.size()] = uint8_t(rng());
            } else {
                m.insert(m.begin() + long(rng() % m.size()), {0xFF, uint8_t(rng())});
            }
            SCOPED_TRACE("trial " + std::to_string(trial));
            const Decoded f = decode(m, capacity, 0, 0, Path::Fast);
            const Decoded r = decode(m, capacity, 0, 0, Path::Reference);
            ASSERT_EQ(f.status, r.status);
            ASSERT_EQ(f.outputBytes, r.outputBytes);
            ASSERT_EQ(f.precision, r.precision);
            ASSERT_EQ(f.samples.back(), 0xA5A5);
            if (f.status == VQ_OK || f.status == VQ_ERR_BAD_FILE) {
                ASSERT_EQ(f.samples, r.samples);
            }
        }
    }
}

TEST(LosslessJpegDecoder, TwoThreadsDecodeAsOneAfterTheOther) {
    const auto a = makeSamples(600, 80, 2, 14, 5), b = makeSamples(900, 70, 1, 12, 6);
    const auto sa = encode(a, options(600, 80, 2, 14, 1, 1200)), sb = encode(b, options(900, 70, 1, 12, 6));
    // A damaged copy of b, so that one thread also meets errors and filler.
    auto sc = sb;
    sc.resize(sc.size() * 2 / 3);
    const Decoded ra = decode(sa, a.size(), 1200, 80), rb = decode(sb, b.size(), 900, 70), rc = decode(sc, b.size(), 900, 70);
    ASSERT_EQ(ra.status, VQ_OK);
    ASSERT_EQ(rb.status, VQ_OK);
    ASSERT_EQ(rc.status, VQ_ERR_BAD_FILE);
    bool same[3] = {true, true, true};
    auto run = [&](int which) {
        for (int i = 0; i < 20; ++i) {
            if (which == 0) {
                Decoded d = decode(sa, a.size(), 1200, 80);
                same[0] = same[0] && d.status == ra.status && d.samples == ra.samples;
            } else {
                Decoded d = decode(i % 2 ? sb : sc, b.size(), 900, 70);
                const Decoded& e = i % 2 ? rb : rc;
                same[which] = same[which] && d.status == e.status && d.samples == e.samples && d.outputBytes == e.outputBytes;
            }
        }
    };
    std::thread t0(run, 0), t1(run, 1), t2(run, 2);
    t0.join();
    t1.join();
    t2.join();
    EXPECT_TRUE(same[0]);
    EXPECT_TRUE(same[1]);
    EXPECT_TRUE(same[2]);
}
