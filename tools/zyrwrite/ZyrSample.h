#pragma once
// A small valid raw file of the camera line: IFD0 (descriptive tags, sized as
// the header image), SubIFDs[0] the header image, SubIFDs[1] the sensor data,
// and the private directory with the tags the raw image classes require.
// Tests start from it and change what they need through the writer.
#include <cstdint>
#include <string>
#include <vector>

#include "ZyrWriter.h"

struct ZyrSampleOptions {
    lumora::ByteOrder order = lumora::ByteOrder::Big;
    std::string model = "ZYNM11";       // model-name prefix (family 1)
    int markerVersion = -1;             // >= 0: "FILE VERSION n" in the Model's second 16 bytes
    uint32_t version = 0x02000000;      // private tag 3502
    uint32_t sensorWidth = 64;
    uint32_t sensorHeight = 48;
    uint32_t thumbWidth = 32;           // header image; also IFD0's width and height
    uint32_t thumbHeight = 24;
    bool colour = true;
    ZyrWriter::HeaderLengthWord headerWord = ZyrWriter::HeaderLengthWord::Exact;
    uint32_t headerWordValue = 0;
    // Sensor data already coded (lossless JPEG, ...): written as the sensor strip
    // as it is, with this Compression value. Empty: plain 16-bit samples.
    std::vector<uint8_t> codedSensorData;
    uint16_t compression = 1;
    // Tag 291 (the stored 16-bit table) in IFD0, as the oldest models write it:
    // -1 when the model is one of the oldest, 0 never, 1 always.
    int mainTable = -1;
    uint32_t mainTableCount = 256;
    // A camera JPEG file: the TIFF structure inside an APP1 segment.
    bool jpeg = false;

    // Sensor data of the raw families: plain data is 16-bit big-endian words
    // holding the 12-bit samples left-justified (whatever the file's byte
    // order); ljpegSensor codes the same samples as a lossless-JPEG stream
    // (one component, precision 12) with Compression 7. Plain data of the
    // family-2 class (models ZYNM13 and ZYNM18 below version 3) is one byte per
    // sample, the top 8 bits of the same samples (BitsPerSample 8), and its
    // tag 291 has one entry per code (256, whatever tableLength says).
    bool ljpegSensor = false;

    // Processing tags of the raw image classes of families 1 and 3. The ones
    // the classes require are always written; these switch the optional ones
    // (the four groups on by default are left out of the oldest models' files).
    uint32_t margin = 2;               // 1003/1004; 1005/1006 leave the same on the far sides
    uint16_t cameraPreset = 0;         // 1020
    uint32_t fileGeneration = 16;      // 3200
    uint32_t colourTableGeneration = 16; // 3604
    uint16_t demosaicThreshold = 0;    // 3662, written when non-zero
    bool balanceTags = true;           // 2010..2014, 2025, 2125, 2200..2204, 2306, 2318, 2340
    bool sensitivityPairs = true;      // 2320..2323
    bool sharpening = true;            // 2350..2357
    bool thumbTable = true;            // 2313, 2315
    bool toneCurve1 = false;           // 2341
    bool rowOffsets = false;           // 1040: a ramp, one value per sensor row
    bool columnOffsets = false;        // 1039: one value per sensor column, at least 65
    bool gainMap = false;              // 2402, 2403, 2404: three planes of tiles
    uint32_t gainTile = 16;            //   tile width and height
    int colourCurves = 0;              // 0 none, 3601 (curve sets) or 3602 (knot lists)
    bool settingsData = false;         // 1009 (12 bytes) and 1026 (3 bytes, inline)
    int64_t tagWord = -1;              // >= 0: 1002, the camera's tag flag
    bool iptc = false;                 // 33723 in IFD0: one caption record, 64 bytes
    bool sensingMethod = false;        // 37399 in IFD0 (an entry an IPTC block may take over)
    bool storedSettings = true;        // 1021: 58 bytes
    // Family-2 files (models ZYNM13 and ZYNM18): the transfer curves 3107/3108
    // are always written; the new format (tag 3502 major version 2) also carries
    // the byte, shifted, third and output tables and both tone curves.
    bool f2Tables = true;              // 3100, 3605, 3606, 3607, 3610, 3611 (new format only)
    bool f2CurveTags = true;           // 3109..3111, 3122..3125, 3131, 3132, 3142..3146
    uint16_t f2DirectionThreshold = 500; // 3131 and 3132
    // Version-3 files (tag 3502 major version 3) carry the thumbnail source
    // table 2317 and a complete look 0 (3610, 3670) in place of 2301, 2330 and
    // 2331; these switch their optional parts.
    bool measuredBalance = false;      // 3110, 3122, 3125 with a usable 2025/2125
    uint16_t measured3110 = 1000;
    int32_t measured3122 = 700;
    std::vector<uint16_t> badColumns;  // 2310, 2311 (minimum level 1), 2319; the columns are written as 0
    uint16_t badColumnLevel = 3;       // 2319
    int32_t chromaLayout = -1;         // >= 0: 3692 (chromaSensitivity) and 3693
    uint32_t chromaSensitivity = 64;
    bool thumbSourceTable = true;      // 2317
    // Entries of the 16-bit tables 291 (sensor data; not for 8-bit codes), 2301 and 2305;
    // fewer make a smaller file (fuzz seeds).
    uint32_t tableLength = 4096;
};

class ZyrSample {
public:
    struct Ifds {
        ZyrWriter::IfdId main = -1;
        ZyrWriter::IfdId thumbnail = -1;
        ZyrWriter::IfdId raw = -1;
        ZyrWriter::IfdId privateIfd = -1;
    };

    // Fills an empty writer (made with options.order) and says which directory is which.
    static Ifds Fill(ZyrWriter& writer, const ZyrSampleOptions& options);
    static std::vector<uint8_t> Make(const ZyrSampleOptions& options);
    // The Model field: the name in the first 16 bytes, the optional file-version
    // marker in the next 16.
    static std::vector<uint8_t> ModelField(const std::string& name, int markerVersion);
    // Whether a model name is one of the oldest models (family 0).
    static bool IsOldestModel(const std::string& name);
    static bool IsFamily2Model(const std::string& name);
    // The family-2 transfer curves: linear -> curve domain (4096 entries, 0 ... 3612)
    // and back (3613 entries).
    static std::vector<uint16_t> F2CurveA();
    static std::vector<uint16_t> F2CurveB();
    // A JPEG stream: a JFIF APP0, an APP1 segment ("Exif" and two zeros) that
    // holds tiff, then EOI.
    // Empty when tiff does not fit in one segment.
    static std::vector<uint8_t> WrapInJpeg(const std::vector<uint8_t>& tiff);
    // The tables the raw-family options write, for tests that check what a
    // reader made of them.
    static std::vector<uint16_t> Ramp(uint32_t n, uint32_t top);
    static std::vector<int16_t> RowOffsets(uint32_t rows);
    static std::vector<int16_t> ColumnOffsets(uint32_t columns);
    static std::vector<uint8_t> GainPlanes(uint32_t tiles);  // three planes of tiles values
    static std::vector<int16_t> CurveSets();                 // tag 3601's 16-bit words
    static std::vector<uint16_t> KnotLists();                 // tag 3602's 16-bit words
    static std::vector<uint16_t> ThumbTable();                // tag 2315: 256 entries, 0 ... 4095
    static bool IsVersion3(uint32_t version) { return (version >> 24) == 3; }
    // Tag 2311's bytes for the listed columns: kind 1, minimum level 1, the
    // column big-endian.
    static std::vector<uint8_t> BadColumnEntries(const std::vector<uint16_t>& columns);
    // The plain sensor sample at (x, y).
    static uint16_t SensorSample(uint32_t x, uint32_t y) { return uint16_t((x * 37 + y * 101) & 0x0FFF); }
    // The same sample as the 8-bit code of a family-2 file.
    static uint8_t SensorCode(uint32_t x, uint32_t y) { return uint8_t(SensorSample(x, y) >> 4); }
    static constexpr uint32_t kEightBitCodes = 256;
    // Whether the options make plain sensor data of 8-bit codes.
    static bool EightBitSamples(const ZyrSampleOptions& options);
};
