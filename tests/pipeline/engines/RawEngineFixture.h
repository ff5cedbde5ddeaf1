#pragma once
// Synthetic raw files of families 1 and 3 for the raw engine: 12-bit mosaics
// written as plain big-endian 16-bit samples (12 bits at the top) or as a
// lossless-JPEG stream, and an engine whose parameters are set through the
// renderer's table the way the image sets them.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "EngineTestSupport.h"
#include "LosslessJpegEncoder.h"
#include "RawEngine.h"
#include "SharpenStage.h"

namespace lumora::test {

struct Sensor {
    int width = 0;
    int height = 0;
    std::vector<uint16_t> samples; // 12-bit
    uint16_t& at(int r, int c) { return samples[size_t(r) * width + c]; }
};

// Red at the odd columns of even rows, blue at the even columns of odd rows.
inline Sensor FlatSensor(int w, int h, uint16_t red, uint16_t green, uint16_t blue) {
    Sensor s{w, h, std::vector<uint16_t>(size_t(w) * h)};
    for (int r = 0; r < h; ++r)
        for (int c = 0; c < w; ++c) s.at(r, c) = (r % 2 == 0) ? (c % 2 ? red : green) : (c % 2 ? green : blue);
    return s;
}

// Smooth shading, edges and noise: something every stage has work on.
inline Sensor BusySensor(int w, int h, uint32_t seed, uint16_t step = 1) {
    Sensor s{w, h, std::vector<uint16_t>(size_t(w) * h)};
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> noise(-60, 60);
    for (int r = 0; r < h; ++r)
        for (int c = 0; c < w; ++c) {
            int v = 300 + (c * 2500) / w + (r * 800) / h + noise(rng);
            if ((c / 16 + r / 16) % 2) v += 400;
            if (r % 2 == 0 && c % 2 == 1) v = v * 3 / 4;
            if (r % 2 == 1 && c % 2 == 0) v = v / 2;
            v = std::clamp(v, 0, 4095);
            s.at(r, c) = uint16_t(v / step * step);
        }
    return s;
}

struct RawFile {
    std::vector<uint8_t> bytes;
    uint32_t dataOffset = 0;
    uint32_t dataSize = 0;
    bool compressed = false;
};

inline RawFile PlainFile(const Sensor& s, uint32_t headerBytes = 128) {
    RawFile f;
    f.bytes.assign(headerBytes, 0x5A);
    f.dataOffset = headerBytes;
    for (uint16_t v : s.samples) {
        const uint16_t stored = uint16_t(v << 4);
        f.bytes.push_back(uint8_t(stored >> 8));
        f.bytes.push_back(uint8_t(stored));
    }
    f.dataSize = uint32_t(f.bytes.size() - headerBytes);
    return f;
}

// Two interleaved components of half the width, as the cameras write the mosaic.
inline RawFile LosslessFile(const Sensor& s, uint32_t precision = 12, uint32_t headerBytes = 128,
                            uint32_t predictor = 1) {
    ljpegenc::EncodeOptions o;
    o.columns = uint32_t(s.width / 2);
    o.rows = uint32_t(s.height);
    o.components = 2;
    o.precision = precision;
    o.predictor = predictor;
    std::vector<uint16_t> in(s.samples.size());
    for (size_t i = 0; i < in.size(); ++i) in[i] = uint16_t(s.samples[i] >> (12 - std::min(precision, 12u)));
    std::vector<uint8_t> stream;
    if (!ljpegenc::encodeLosslessJpeg(in.data(), o, stream)) std::abort();
    RawFile f;
    f.bytes.assign(headerBytes, 0x5A);
    f.dataOffset = headerBytes;
    f.bytes.insert(f.bytes.end(), stream.begin(), stream.end());
    f.dataSize = uint32_t(stream.size());
    f.compressed = true;
    return f;
}

struct EngineOptions {
    bool colour = true;
    uint16_t balance[3] = {1000, 1000, 1000};
    bool offsets = false;     // row and column offsets, raised precision
    bool gainMap = false;
    bool sharpen = false;
    bool mosaicFilter = false;
    uint16_t demosaicThreshold = 0;
    bool identityCurves = true; // else a tone curve and a gamma output curve
    float linearGain = 1.0f;
    int32_t precisionFactor = 8;
};

// Owns the tables an image would own and sets every parameter the engine reads.
struct EngineSetup {
    std::vector<uint16_t> unpack, tone, outputCurve, gainMap, cfa;
    uint8_t sharpenKernel[56] = {};

    void Configure(RawEngine& e, MemoryImage& image, const RawFile& file, int width, int height,
                   const EngineOptions& o) {
        image.file = file.bytes;
        SetParameter(e, RP_IS_COLOR, int32_t(o.colour));
        RendererImage* img = &image;
        SetParameter(e, RP_IMAGE, img);
        SetParameter(e, RP_RAW_WIDTH, int32_t(width));
        SetParameter(e, RP_RAW_HEIGHT, int32_t(height));
        SetParameter(e, RP_DATA_OFFSET, int32_t(file.dataOffset));
        SetParameter(e, RP_DATA_SIZE, int32_t(file.dataSize));
        SetParameter(e, RP_DATA_COMPRESSED, int32_t(file.compressed));
        SetParameter(e, RP_CACHE_SAMPLE_BYTES, int32_t(2));
        SetParameter(e, RP_DATA_FORMAT, int32_t(1));

        unpack.resize(4096);
        for (int i = 0; i < 4096; ++i) unpack[i] = uint16_t(i);
        SetParameter(e, RP_UNPACK_TABLE, unpack.data());
        SetParameter(e, RP_UNPACK_TABLE_SIZE, int32_t(unpack.size()));
        SetParameter(e, RP_LINEAR_MAX, unpack.back());

        tone.resize(4096);
        outputCurve.resize(4096);
        for (int i = 0; i < 4096; ++i) {
            tone[i] = o.identityCurves ? uint16_t(i) : uint16_t(std::lround(4095.0 * std::sqrt(i / 4095.0)));
            outputCurve[i] = o.identityCurves ? uint16_t(i * 16)
                                              : uint16_t(std::lround(65535.0 * std::pow(i / 4095.0, 1 / 1.8)));
        }
        SetParameter(e, RP_TONE_CURVE, tone.data());
        SetParameter(e, RP_TONE_CURVE_SIZE, int32_t(tone.size()));
        SetParameter(e, RP_OUTPUT_CURVE, outputCurve.data());
        SetParameter(e, RP_OUTPUT_CURVE_SIZE, int32_t(outputCurve.size()));

        RationalValue identity[9] = {};
        for (int i = 0; i < 9; ++i) identity[i] = {i % 4 == 0 ? 4096 : 0, 4096};
        RationalValue saturate[9] = {{5120, 4096}, {-512, 4096}, {-512, 4096}, {-512, 4096}, {5120, 4096},
                                     {-512, 4096}, {-512, 4096}, {-512, 4096}, {5120, 4096}};
        std::memcpy(e.Parameter(RP_COLOR_MATRIX), identity, sizeof identity);
        std::memcpy(e.Parameter(RP_COLOR_MATRICES), o.identityCurves ? identity : saturate, sizeof identity);

        SetParameter(e, RP_WHITE_BALANCE, o.balance);
        const SdkRect window{0, 0, int16_t(width), int16_t(height)};
        SetParameter(e, RP_OUTPUT_WINDOW, window);
        SetParameter(e, RP_LINEAR_GAIN, o.linearGain);
        SetParameter(e, RP_PRECISION_FACTOR, o.precisionFactor);
        SetParameter(e, RP_DEMOSAIC_THRESHOLD, o.demosaicThreshold);

        if (o.offsets) {
            // Renderer-owned blocks: the renderer frees them.
            auto* rows = static_cast<int16_t*>(std::malloc(sizeof(int16_t) * height));
            auto* cols = static_cast<int16_t*>(std::malloc(sizeof(int16_t) * width));
            for (int r = 0; r < height; ++r) rows[r] = int16_t(-80 + (r % 7) * 8);
            for (int c = 0; c < width; ++c) cols[c] = int16_t((c % 5) * 4 - 8);
            SetParameter(e, RP_ROW_OFFSETS, rows);
            SetParameter(e, RP_COLUMN_OFFSETS, cols);
            SetParameter(e, RP_OFFSET_TABLE_SIZE, int32_t(height));
        }
        if (o.gainMap) {
            const int tw = 16, th = 16;
            const int tiles = ((width + tw - 1) / tw) * ((height + th - 1) / th);
            gainMap.resize(size_t(tiles) * 4);
            for (size_t i = 0; i < gainMap.size(); ++i) gainMap[i] = uint16_t(120 + (i * 7) % 24);
            SetParameter(e, RP_GAIN_TILE_WIDTH, int32_t(tw));
            SetParameter(e, RP_GAIN_TILE_HEIGHT, int32_t(th));
            SetParameter(e, RP_GAIN_MAP_SIZE, int32_t(tiles));
            SetParameter(e, RP_GAIN_MAP, gainMap.data());
        }
        if (o.sharpen) {
            int16_t block[28];
            int32_t values[5];
            SharpenStage::GetPresetParameters(block, &values[0], &values[1], &values[2], &values[3], &values[4], 11);
            std::memcpy(e.Parameter(RP_SHARPEN_KERNEL), block, sizeof block);
            SetParameter(e, RP_SHARPEN_ON, int32_t(block[1]));
            for (int i = 0; i < 5; ++i) SetParameter(e, RP_SHARPEN_1 + i, values[i]);
            SetParameter(e, RP_SHARPEN_ALLOWED, int32_t(1));
        }
        if (o.mosaicFilter) {
            cfa.assign(4096, 40);
            SetParameter(e, RP_CFA_TABLE_SIZE, uint16_t(4096));
            uint16_t* t = cfa.data();
            SetParameter(e, RP_CFA_TABLE_1, t);
            SetParameter(e, RP_CFA_TABLE_2, t);
            SetParameter(e, RP_CFA_TABLE_3, t);
        }
    }
};

struct Rendered {
    VqStatus status = VQ_OK;
    std::vector<uint8_t> bytes;
    int strips = 0;
};

// Renders the whole window; with stripBytes set the buffer holds that many bytes
// and a strip callback gathers the strips into one picture.
inline Rendered Render(RawEngine& e, uint32_t type, uint32_t outputBytes, uint32_t stripBytes = 0,
                       const ProgressRecord* progress = nullptr) {
    SetParameter(e, RP_OUTPUT_TYPE, int32_t(type));
    struct Gather {
        std::vector<uint8_t> all;
        std::vector<uint8_t> strip;
        size_t used = 0;
        int strips = 0;
    } g;
    Rendered out;
    ImageBufferRecord rec{};
    if (stripBytes == 0) {
        g.all.assign(outputBytes, 0xAB);
        rec.buffer = g.all.data();
        rec.bufferBytes = outputBytes;
    } else {
        g.strip.assign(stripBytes, 0xAB);
        rec.buffer = g.strip.data();
        rec.bufferBytes = stripBytes;
        rec.userValue = 0;
        static thread_local Gather* current = nullptr;
        current = &g;
        rec.stripCallback = [](void* buffer, uint32_t count, int32_t) -> void* {
            const uint8_t* b = static_cast<const uint8_t*>(buffer);
            current->all.insert(current->all.end(), b, b + count);
            ++current->strips;
            return buffer;
        };
    }
    out.status = e.RenderImage(&rec, progress);
    out.bytes = std::move(g.all);
    out.strips = g.strips;
    return out;
}

} // namespace lumora::test
