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
    // The plain sensor sample at (x, y).
    static uint16_t SensorSample(uint32_t x, uint32_t y) { return uint16_t((x * 37 + y * 101) & 0x0FFF); }
};
