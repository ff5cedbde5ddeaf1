#include "ZyrSample.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>

#include "LosslessJpegEncoder.h"

using lumora::ByteOrder;

namespace {

std::vector<uint16_t> ramp(uint32_t n, uint32_t top) { return ZyrSample::Ramp(n, top); }

std::vector<std::pair<uint32_t, uint32_t>> identityMatrix() {
    return {{1, 1}, {0, 1}, {0, 1}, {0, 1}, {1, 1}, {0, 1}, {0, 1}, {0, 1}, {1, 1}};
}

// A balance-like matrix that differs per preset, so a reader's choice shows.
std::vector<std::pair<uint32_t, uint32_t>> presetMatrix(uint32_t k) {
    return {{1024 + 16 * k, 1024}, {0, 1024}, {0, 1024},  {0, 1024}, {1024, 1024},
            {0, 1024},             {0, 1024}, {0, 1024}, {1024 + 32 * k, 1024}};
}

std::vector<uint16_t> asWords(const std::vector<int16_t>& v) { return std::vector<uint16_t>(v.begin(), v.end()); }

} // namespace

std::vector<uint8_t> ZyrSample::ModelField(const std::string& name, int markerVersion) {
    std::vector<uint8_t> field(32, 0);
    std::memcpy(field.data(), name.data(), std::min<size_t>(name.size(), 16));
    if (markerVersion >= 0) {
        const std::string marker = "FILE VERSION " + std::to_string(markerVersion);
        std::memcpy(field.data() + 16, marker.data(), std::min<size_t>(marker.size(), 16));
    }
    return field;
}

ZyrSample::Ifds ZyrSample::Fill(ZyrWriter& w, const ZyrSampleOptions& o) {
    Ifds d;
    d.main = w.AddIfd();
    d.thumbnail = w.AddIfd();
    d.raw = w.AddIfd();
    d.privateIfd = w.AddIfd();

    // Header image: 8-bit RGB, a soft gradient.
    std::vector<uint8_t> thumb;
    thumb.reserve(size_t(o.thumbWidth) * o.thumbHeight * 3);
    for (uint32_t y = 0; y < o.thumbHeight; ++y)
        for (uint32_t x = 0; x < o.thumbWidth; ++x) {
            thumb.push_back(uint8_t(x * 255 / (o.thumbWidth ? o.thumbWidth : 1)));
            thumb.push_back(uint8_t(y * 255 / (o.thumbHeight ? o.thumbHeight : 1)));
            thumb.push_back(128);
        }

    // IFD0: the descriptive tags; its size is the header image's.
    w.Longs(d.main, 254, {0});
    w.Longs(d.main, 256, {o.thumbWidth});
    w.Longs(d.main, 257, {o.thumbHeight});
    w.Shorts(d.main, 258, {8, 8, 8});
    w.Shorts(d.main, 259, {1});
    w.Shorts(d.main, 262, {2});
    w.Ascii(d.main, 270, "1 Lumora synthetic raw file");
    w.Ascii(d.main, 271, "Lumora");
    if (o.iptc) {
        std::vector<uint8_t> iptc = {0x1C, 2, 120, 0, 7, 'c', 'a', 'p', 't', 'i', 'o', 'n'};
        iptc.resize(64, 0);
        w.Bytes(d.main, 33723, 7, iptc);
    }
    if (o.sensingMethod) w.Shorts(d.main, 37399, {2});
    w.Bytes(d.main, 272, 2, ModelField(o.model, o.markerVersion));
    w.Strip(d.main, thumb, ZyrWriter::Placement::Header);
    w.Shorts(d.main, 277, {uint16_t(o.colour ? 3 : 1)});
    if (o.mainTable > 0 || (o.mainTable < 0 && IsOldestModel(o.model)))
        w.Shorts(d.main, 291, ramp(o.mainTableCount, 4095));
    w.Longs(d.main, 278, {o.thumbHeight});
    w.Ascii(d.main, 305, "zyrwrite 1.0");
    w.Ascii(d.main, 306, "2024:05:17 10:30:00");
    w.SubIfds(d.main, {d.thumbnail, d.raw});
    w.Ascii(d.main, 33405, o.model + " synthetic");
    w.PrivateIfd(d.main, d.privateIfd);
    w.Rationals(d.main, 33434, {{1, 125}});
    w.Rationals(d.main, 33437, {{8, 1}});
    w.Shorts(d.main, 34850, {2});
    w.Longs(d.main, 37393, {1});
    w.Rationals(d.main, 37397, {{100, 1}});

    // SubIFDs[0]: the header image.
    w.Longs(d.thumbnail, 254, {1});
    w.Longs(d.thumbnail, 256, {o.thumbWidth});
    w.Longs(d.thumbnail, 257, {o.thumbHeight});
    w.Shorts(d.thumbnail, 258, {8, 8, 8});
    w.Shorts(d.thumbnail, 259, {1});
    w.Shorts(d.thumbnail, 262, {2});
    w.Strip(d.thumbnail, thumb, ZyrWriter::Placement::Header);
    w.Shorts(d.thumbnail, 277, {3});
    w.Longs(d.thumbnail, 278, {o.thumbHeight});
    w.Shorts(d.thumbnail, 284, {1});

    // SubIFDs[1]: the sensor data, after the header.
    std::vector<uint8_t> sensor = o.codedSensorData;
    uint16_t compression = o.compression;
    if (sensor.empty() && o.ljpegSensor) {
        std::vector<uint16_t> samples;
        samples.reserve(size_t(o.sensorWidth) * o.sensorHeight);
        for (uint32_t y = 0; y < o.sensorHeight; ++y)
            for (uint32_t x = 0; x < o.sensorWidth; ++x) {
                const bool bad = std::find(o.badColumns.begin(), o.badColumns.end(), x) != o.badColumns.end();
                samples.push_back(bad ? 0 : SensorSample(x, y));
            }
        ljpegenc::EncodeOptions e;
        e.columns = o.sensorWidth;
        e.rows = o.sensorHeight;
        e.precision = 12;
        ljpegenc::encodeLosslessJpeg(samples.data(), e, sensor);
        compression = 7;
    } else if (sensor.empty() && EightBitSamples(o)) {
        sensor.reserve(size_t(o.sensorWidth) * o.sensorHeight);
        for (uint32_t y = 0; y < o.sensorHeight; ++y)
            for (uint32_t x = 0; x < o.sensorWidth; ++x) {
                const bool bad = std::find(o.badColumns.begin(), o.badColumns.end(), x) != o.badColumns.end();
                sensor.push_back(bad ? 0 : SensorCode(x, y));
            }
    } else if (sensor.empty()) {
        sensor.reserve(size_t(o.sensorWidth) * o.sensorHeight * 2);
        for (uint32_t y = 0; y < o.sensorHeight; ++y)
            for (uint32_t x = 0; x < o.sensorWidth; ++x) {
                const bool bad = std::find(o.badColumns.begin(), o.badColumns.end(), x) != o.badColumns.end();
                const uint16_t v = bad ? 0 : uint16_t(SensorSample(x, y) << 4);
                sensor.push_back(uint8_t(v >> 8));
                sensor.push_back(uint8_t(v));
            }
    }
    w.Longs(d.raw, 254, {0});
    w.Longs(d.raw, 256, {o.sensorWidth});
    w.Longs(d.raw, 257, {o.sensorHeight});
    const bool eightBit = EightBitSamples(o);
    w.Shorts(d.raw, 258, {uint16_t(eightBit ? 8 : 16)});
    w.Shorts(d.raw, 259, {compression});
    w.Shorts(d.raw, 262, {32803});
    w.Strip(d.raw, sensor, ZyrWriter::Placement::Sensor);
    w.Shorts(d.raw, 277, {1});
    w.Longs(d.raw, 278, {o.sensorHeight});
    w.Rationals(d.raw, 282, {{300, 1}});
    w.Rationals(d.raw, 283, {{300, 1}});
    w.Shorts(d.raw, 284, {1});
    // 8-bit codes index a table of one entry per code, which lifts them to 12 bits.
    w.Shorts(d.raw, 291, eightBit ? ramp(kEightBitCodes, 4095) : ramp(o.tableLength, 4095));
    w.Shorts(d.raw, 296, {2});
    w.Bytes(d.raw, 33422, 1, {1, 0, 2, 1});

    // The private directory.
    const uint32_t margin = o.margin;
    const ZyrWriter::IfdId p = d.privateIfd;
    w.Ascii(p, 1001, "Lumora synthetic camera");
    w.Longs(p, 1003, {margin});
    w.Longs(p, 1004, {margin});
    w.Longs(p, 1005, {o.sensorWidth > 2 * margin ? o.sensorWidth - 2 * margin : o.sensorWidth});
    w.Longs(p, 1006, {o.sensorHeight > 2 * margin ? o.sensorHeight - 2 * margin : o.sensorHeight});
    w.Longs(p, 1007, {0});
    w.Longs(p, 1008, {0});
    w.Shorts(p, 1018, {0});
    w.Shorts(p, 1020, {o.cameraPreset});
    if (o.storedSettings) w.Bytes(p, 1021, 7, std::vector<uint8_t>(58, 0));
    if (o.tagWord >= 0) w.Longs(p, 1002, {uint32_t(o.tagWord)});
    if (o.settingsData) {
        w.Bytes(p, 1009, 7, {'S', 'E', 'T', 'T', 'I', 'N', 'G', 'S', '-', '1', '0', '9'});
        w.Bytes(p, 1026, 7, {'X', 'Y', 'Z'});
    }
    for (uint16_t tag = 2020; tag <= 2024; ++tag) w.Rationals(p, tag, identityMatrix());
    if (IsFamily2Model(o.model)) {
        // Family-2 illuminants are in the transfer curves' domain (0 ... 3612);
        // 2120 is the reference light.
        for (uint32_t k = 0; k < 5; ++k)
            w.Rationals(p, uint16_t(2120 + k), {{2620 - 15 * k, 1}, {2568, 1}, {2520 + 15 * k, 1}});
    } else {
        for (uint16_t tag = 2120; tag <= 2124; ++tag) w.Rationals(p, tag, {{1, 1}, {1, 1}, {1, 1}});
    }
    w.Rationals(p, 2300, identityMatrix());
    const bool v3 = IsVersion3(o.version) && !IsOldestModel(o.model);
    if (!v3) w.Shorts(p, 2301, ramp(o.tableLength, 4095));
    w.Shorts(p, 2305, ramp(o.tableLength, 65535));
    if (!v3) {
        w.Shorts(p, 2330, {1}, 8);
        w.Rationals(p, 2331, {{1, 2}});
    }
    w.Longs(p, 3200, {o.fileGeneration});
    w.Longs(p, 3502, {o.version});
    w.Longs(p, 3604, {o.colourTableGeneration});
    if (o.demosaicThreshold) w.Shorts(p, 3662, {o.demosaicThreshold});

    // The processing tags below came with the raw families; the oldest
    // models' files do not carry them.
    const bool rawFamily = !IsOldestModel(o.model);
    if (rawFamily && o.balanceTags) {
        for (uint16_t tag = 2010; tag <= 2014; ++tag) w.Rationals(p, tag, presetMatrix(10 + tag - 2010u));
        w.Rationals(p, 2025, presetMatrix(2));
        w.Rationals(p, 2125, {{2100, 10}, {1000, 10}, {1600, 10}});
        for (uint16_t tag = 2200; tag <= 2204; ++tag) w.Rationals(p, tag, {{1000 + 50 * (tag - 2200u), 1000}});
        w.Rationals(p, 2306, {{100, 1}});
        w.Rationals(p, 2318, {{371, 1}});
        w.Rationals(p, 2340, {{110, 100}, {0, 100}, {uint32_t(-10), 100}, {0, 100}, {100, 100}, {0, 100}, {uint32_t(-10), 100},
                               {0, 100}, {110, 100}},
                    10);
    }
    if (rawFamily && o.sensitivityPairs)
        for (uint16_t tag = 2320; tag <= 2323; ++tag) w.Rationals(p, tag, {{100, 1}, {50 * (tag - 2319u), 1}});
    if (rawFamily && o.sharpening) {
        w.Shorts(p, 2350, {0});
        std::vector<uint16_t> kernel(25, uint16_t(-1));
        kernel[12] = 24;
        w.Shorts(p, 2351, kernel, 8);
        w.Shorts(p, 2352, {12});
        w.Shorts(p, 2353, {40});
        w.Shorts(p, 2354, {300});
        w.Shorts(p, 2355, {8, 16, 32});
        w.Shorts(p, 2356, {0});
        w.Shorts(p, 2357, {0});
    }
    if (rawFamily && o.thumbTable) {
        w.Longs(p, 2313, {1});
        // Indexed by the header image's 8-bit samples: 256 entries onto the
        // sensor's 12-bit scale, as bright as the picture it came from.
        w.Shorts(p, 2315, ThumbTable());
    }
    if (o.toneCurve1) w.Shorts(p, 2341, ramp(4096, 3000));
    if (o.rowOffsets) w.Shorts(p, 1040, asWords(RowOffsets(o.sensorHeight)), 8);
    // The column smoothing reads 64 values at either end: never fewer than 65.
    if (o.columnOffsets) w.Shorts(p, 1039, asWords(ColumnOffsets(std::max(o.sensorWidth, 65u))), 8);
    if (o.gainMap) {
        const uint32_t t = o.gainTile ? o.gainTile : 1;
        const uint32_t tiles = ((o.sensorWidth + t - 1) / t) * ((o.sensorHeight + t - 1) / t);
        w.Longs(p, 2402, {t});
        w.Longs(p, 2403, {t});
        w.Bytes(p, 2404, 1, GainPlanes(tiles));
    }
    if (o.colourCurves == 3601) {
        std::vector<uint8_t> bytes;
        for (int16_t v : CurveSets()) w.Put16(bytes, uint16_t(v));
        w.RawData(p, 3601, 7, uint32_t(bytes.size()), bytes);
    } else if (o.colourCurves == 3602) {
        std::vector<uint8_t> bytes;
        for (uint16_t v : KnotLists()) w.Put16(bytes, v);
        w.RawData(p, 3602, 7, uint32_t(bytes.size()), bytes);
    }

    if (v3) {
        if (o.thumbSourceTable) w.Shorts(p, 2317, ramp(o.tableLength, 4095));
        // Look 0: a gentle tone curve and a matrix that is not the identity.
        std::vector<uint16_t> look(4096);
        for (uint32_t i = 0; i < look.size(); ++i)
            look[i] = uint16_t(std::lround(4095.0 * std::pow(i / 4095.0, 0.9)));
        w.Shorts(p, 3610, look);
        w.Rationals(p, 3670, {{110, 100}, {uint32_t(-5), 100}, {uint32_t(-5), 100}, {uint32_t(-5), 100}, {110, 100},
                              {uint32_t(-5), 100}, {uint32_t(-5), 100}, {uint32_t(-5), 100}, {110, 100}},
                    10);
        if (o.measuredBalance) {
            // The measured matrix shares preset 0's numerators (so the camera's
            // index of it is 0) over its own denominators.
            w.Remove(p, 2025);
            w.Rationals(p, 2025, {{1, 2}, {0, 2}, {0, 2}, {0, 2}, {1, 2}, {0, 2}, {0, 2}, {0, 2}, {1, 2}});
            w.Remove(p, 2125);
            w.Rationals(p, 2125, {{2100, 10}, {1000, 10}, {1600, 10}});
            // Family-2 files write these with their curve tags.
            if (!IsFamily2Model(o.model)) {
                w.Shorts(p, 3110, {o.measured3110});
                w.Longs(p, 3122, {uint32_t(o.measured3122)}, 9);
                w.Longs(p, 3125, {1});
            }
        }
        if (!o.badColumns.empty()) {
            w.Shorts(p, 2310, {uint16_t(o.badColumns.size())});
            w.Bytes(p, 2311, 7, BadColumnEntries(o.badColumns));
            w.Shorts(p, 2319, {o.badColumnLevel});
        }
        if (o.chromaLayout >= 0) {
            w.Longs(p, 3692, {o.chromaSensitivity});
            w.Longs(p, 3693, {uint32_t(o.chromaLayout)});
        }
    }

    // A camera JPEG file holds its structure in one APP1 segment: no tables there.
    if (IsFamily2Model(o.model) && !o.jpeg) {
        w.Shorts(p, 3107, F2CurveA());
        w.Shorts(p, 3108, F2CurveB());
        const bool newFormat = (o.version >> 24) == 2;
        if (newFormat && o.f2Tables) {
            std::vector<uint8_t> bytes(1024);
            for (uint32_t i = 0; i < 1024; ++i) bytes[i] = uint8_t(i / 4);
            w.Bytes(p, 3100, 1, bytes);
            w.Shorts(p, 3605, ramp(4096, 4095));
            w.Shorts(p, 3606, ramp(4096, 4095));
            w.Shorts(p, 3607, ramp(4096, 65535));
            w.Shorts(p, 3610, ramp(4096, 4095));
            w.Shorts(p, 3611, ramp(4096, 4095));
        }
        if (o.f2CurveTags) {
            w.Shorts(p, 3109, {0});
            w.Shorts(p, 3110, {2568});
            w.Shorts(p, 3111, {3612});
            w.Longs(p, 3122, {2568}, 9);
            w.Longs(p, 3123, {40}, 9);
            w.Longs(p, 3124, {uint32_t(-30)}, 9);
            w.Longs(p, 3125, {1});
            w.Shorts(p, 3131, {o.f2DirectionThreshold});
            w.Shorts(p, 3132, {o.f2DirectionThreshold});
            w.Shorts(p, 3142, {2868});
            w.Shorts(p, 3143, {2268});
            w.Shorts(p, 3144, {0});
            w.Shorts(p, 3145, {0});
            w.Shorts(p, 3146, {0});
        }
    }

    w.SetHeaderLengthWord(o.headerWord, o.headerWordValue);
    return d;
}

std::vector<uint8_t> ZyrSample::Make(const ZyrSampleOptions& options) {
    ZyrWriter w(options.order);
    Fill(w, options);
    std::vector<uint8_t> file = w.Build();
    return options.jpeg ? WrapInJpeg(file) : file;
}

std::vector<uint16_t> ZyrSample::Ramp(uint32_t n, uint32_t top) {
    std::vector<uint16_t> v(n);
    for (uint32_t i = 0; i < n; ++i) v[i] = uint16_t(n > 1 ? uint64_t(i) * top / (n - 1) : 0);
    return v;
}

std::vector<int16_t> ZyrSample::RowOffsets(uint32_t rows) {
    std::vector<int16_t> v(rows);
    for (uint32_t i = 0; i < rows; ++i) v[i] = int16_t(-3 + int32_t(i * 7 / (rows ? rows : 1)));
    return v;
}

std::vector<int16_t> ZyrSample::ColumnOffsets(uint32_t columns) {
    std::vector<int16_t> v(columns);
    for (uint32_t i = 0; i < columns; ++i) v[i] = int16_t(int32_t(i % 5) - 2 + (i >= columns / 2 ? 3 : 0));
    return v;
}

std::vector<uint8_t> ZyrSample::GainPlanes(uint32_t tiles) {
    std::vector<uint8_t> v;
    for (uint32_t plane = 0; plane < 3; ++plane)
        for (uint32_t t = 0; t < tiles; ++t) v.push_back(uint8_t(100 + 40 * plane + t % 7));
    return v;
}

std::vector<int16_t> ZyrSample::CurveSets() {
    // Sets for ISO 100 (code 140) and ISO 400 (code 146).
    std::vector<int16_t> t = {2, 140, 146};
    for (int16_t set = 0; set < 2; ++set) {
        t.insert(t.end(), {2, 2, 2});
        t.insert(t.end(), {0, int16_t(10 + set * 10), 4095, int16_t(50 + set * 10)});
        t.insert(t.end(), {0, int16_t(5 + set * 10), 4095, int16_t(25 + set * 10)});
        t.insert(t.end(), {0, int16_t(12 + set * 10), 4095, int16_t(60 + set * 10)});
    }
    return t;
}

std::vector<uint16_t> ZyrSample::KnotLists() {
    return {2, 3, 2,                       // knot counts R, G, B
            0, 10, 4095, 40,               // R
            0, 6, 2048, 20, 4095, 30,      // G
            0, 12, 4095, 44};              // B
}

std::vector<uint16_t> ZyrSample::ThumbTable() { return Ramp(256, 4095); }

std::vector<uint8_t> ZyrSample::BadColumnEntries(const std::vector<uint16_t>& columns) {
    std::vector<uint8_t> bytes;
    for (uint16_t c : columns) {
        const uint8_t entry[16] = {1, 1, uint8_t(c >> 8), uint8_t(c), 0, 0, 0x12, 0x34};
        bytes.insert(bytes.end(), std::begin(entry), std::end(entry));
    }
    return bytes;
}

bool ZyrSample::IsOldestModel(const std::string& name) {
    if (name.rfind("ZYNX09", 0) == 0) return true;
    if (name.size() < 6 || name.rfind("ZYNM", 0) != 0) return false;
    const int id = (name[4] - '0') * 10 + (name[5] - '0');
    return name[4] >= '0' && name[4] <= '9' && name[5] >= '0' && name[5] <= '9' && id >= 1 && id <= 10;
}

std::vector<uint8_t> ZyrSample::WrapInJpeg(const std::vector<uint8_t>& tiff) {
    const size_t segment = 2 + 6 + tiff.size();
    if (segment > 0xFFFF) return {};
    // A JFIF APP0 first, as cameras write it: density unit 1, 300 dots per inch.
    std::vector<uint8_t> out = {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0, 1, 1, 1, 1, 44, 1, 44, 0, 0};
    const uint8_t app1[] = {0xFF, 0xE1, uint8_t(segment >> 8), uint8_t(segment), 'E', 'x', 'i', 'f', 0, 0};
    out.insert(out.end(), std::begin(app1), std::end(app1));
    out.insert(out.end(), tiff.begin(), tiff.end());
    out.push_back(0xFF);
    out.push_back(0xD9);
    return out;
}

bool ZyrSample::EightBitSamples(const ZyrSampleOptions& o) {
    return IsFamily2Model(o.model) && !IsVersion3(o.version) && !o.jpeg && !o.ljpegSensor &&
           o.codedSensorData.empty();
}

bool ZyrSample::IsFamily2Model(const std::string& name) {
    return name.rfind("ZYNM13", 0) == 0 || name.rfind("ZYNM18", 0) == 0;
}

std::vector<uint16_t> ZyrSample::F2CurveA() {
    std::vector<uint16_t> t(4096);
    for (uint32_t i = 0; i < t.size(); ++i) t[i] = uint16_t(std::lround(1000.0 * std::log10(i + 1.0)));
    return t;
}

std::vector<uint16_t> ZyrSample::F2CurveB() {
    std::vector<uint16_t> t(3613);
    for (uint32_t i = 0; i < t.size(); ++i) t[i] = uint16_t(std::lround(std::pow(10.0, i / 1000.0)) - 1);
    return t;
}
