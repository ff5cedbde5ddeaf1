#pragma once
// Writes small finished TIFF files for the tests: IFD0 with one strip of
// interleaved samples, an Exif directory and IFD1 with an uncompressed
// thumbnail, in either byte order. Fields can be changed or dropped to make
// the faulty files the tests need.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct FinishedTiffExtraEntry {
    uint16_t tag, type;
    uint32_t count;
    std::vector<uint8_t> data; // the value bytes in file order, placed after IFD0...
    uint32_t offset = 0;       // ...unless this offset is written in their place
};

struct FinishedTiffSpec {
    bool bigEndian = true;
    uint32_t width = 4, height = 3, samples = 3, bits = 8;
    std::string make = "Orvex", model = "ZYNM01 test", software = "ORVEX PROFESSIONAL Zyn Lumora 1.0";
    uint32_t thumbWidth = 2, thumbHeight = 2, thumbChannels = 3;
    bool withExif = true, withIFD1 = true;
    // Tags whose value (SHORT/LONG) replaces the one written, or 0xFFFFFFFF to drop the tag.
    std::map<uint16_t, uint32_t> override0;
    std::vector<uint8_t> icc;                   // tag 34675 when not empty
    std::vector<FinishedTiffExtraEntry> extra0; // further IFD0 entries
    bool withPrivate = false;                   // a private directory (tag 33424)...
    uint32_t colorCode = 3;                     // ...holding the colour codes (tag 3303)
    std::vector<uint8_t> pixels;                // empty: a ramp
    std::vector<uint8_t> thumbPixels;           // empty: a ramp
};

class FinishedTiffWriter {
public:
    static std::vector<uint8_t> Build(FinishedTiffSpec& spec);
    static void Write(const std::string& path, FinishedTiffSpec& spec);
};
