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
    // A JPEG stream: a JFIF APP0, an APP1 segment ("Exif" and two zeros) that
    // holds tiff, then EOI.
    // Empty when tiff does not fit in one segment.
    static std::vector<uint8_t> WrapInJpeg(const std::vector<uint8_t>& tiff);
    // The plain sensor sample at (x, y).
    static uint16_t SensorSample(uint32_t x, uint32_t y) { return uint16_t((x * 37 + y * 101) & 0x0FFF); }
};
