#pragma once
// Camera JPEG files and RGB TIFF files of the camera line, for tests and tools.
//
// A camera JPEG file is a baseline JPEG stream whose APP1 segment ("Exif") holds
// a TIFF structure: IFD0 describes the JPEG image (its data are the stream's
// segments after APP1), the private directory carries the camera's tags, and
// the directory after IFD0 is an RGB thumbnail kept inside the structure. An
// RGB TIFF file is the same structure on its own, IFD0 then holding the image
// as plain 8-bit RGB (or grey) after the head.
#include <cstdint>
#include <string>
#include <vector>

#include "ByteView.h"

struct ZyrCameraFileOptions {
    lumora::ByteOrder order = lumora::ByteOrder::Big;
    std::string model = "ZYNM18";
    bool rgbTiff = false;          // an RGB TIFF file instead of a camera JPEG
    uint32_t width = 64;           // RGB TIFF files are wider than 512 pixels
    uint32_t height = 48;
    bool colour = true;            // false: one grey component
    uint32_t thumbWidth = 16;
    uint32_t thumbHeight = 12;
    int quality = 90;
    bool storedSettings = true;    // private tag 1021, 58 bytes
    bool settingsData = false;     // private tags 1009 (the camera-settings text) and 1026
    int64_t tagWord = -1;          // >= 0: private tag 1002, the camera's tag flag
    uint32_t descriptionField = 64; // bytes of the ImageDescription field
    // APP13 before APP1: a Photoshop block with this IPTC data (none when
    // empty); in an RGB TIFF file, tag 33723 in IFD0.
    std::vector<uint8_t> iptc;
    bool app8 = false;             // an APP8 segment with a resolution record
    // IFD0's XResolution and YResolution (numerator, denominator) and unit.
    uint32_t resolution[2] = {300, 1};
    uint16_t resolutionUnit = 2;
    // Damage for tests: a stream wider than the directories say, a grey stream
    // in a colour file, a stream cut short by this many bytes (the directory's
    // count follows it).
    uint32_t streamExtraWidth = 0;
    bool greyStream = false;
    uint32_t cutStream = 0;
};

class ZyrCameraFile {
public:
    static std::vector<uint8_t> Make(const ZyrCameraFileOptions& options);
    // The image's pixels (channel c of pixel (x, y)) and the thumbnail's.
    static uint8_t Pixel(uint32_t x, uint32_t y, int c);
    static uint8_t ThumbPixel(uint32_t x, uint32_t y, int c);
    // The baseline JPEG stream (SOI to EOI, no APP segments) of the image.
    static std::vector<uint8_t> Compress(const ZyrCameraFileOptions& options);
};
