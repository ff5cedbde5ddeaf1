#pragma once
// Our own small raw container, read by the stand-in model drivers:
//   0 "ZPRO", 4 version 1, 8 width, 12 height, 16 pixel offset,
//   20 attribute-table offset, 24 attribute count (all little-endian uint32);
//   the pixels: width x height x 3 16-bit samples of 12-bit RGB, row by row;
//   the attribute table after the pixels: per attribute id, type, count and
//   byte length (32-bit each), then the bytes, padded to 4.
#include "ByteView.h"

#include <cstdint>
#include <map>
#include <vector>

namespace zyn {

struct ZproAttribute {
    int32_t type = 0;
    int32_t count = 0;
    std::vector<uint8_t> bytes;
};

struct ZproHeader {
    uint32_t width = 0;
    uint32_t height = 0;
    uint64_t pixelOffset = 0;
    uint64_t tableOffset = 0;
    uint32_t attributeCount = 0;
};

constexpr uint64_t kZproHeaderBytes = 28;
constexpr uint32_t kZproMaxSide = 65535;

// The byte length an attribute of that type and count must have; -1 for a
// type or count the container does not hold.
int64_t ZproValueBytes(int32_t type, int32_t count);

// Checks the header against the file's size: the pixels and the table lie
// inside the file, the table after the pixels, the count fits the table.
bool ParseZproHeader(lumora::ByteView header, uint64_t fileSize, ZproHeader& out);
// Every entry of the table checked against the bytes held; a later entry of
// the same id replaces an earlier one.
bool ParseZproAttributes(lumora::ByteView table, uint32_t count, std::map<int32_t, ZproAttribute>& out);
// The table as stored (the inverse of ParseZproAttributes).
std::vector<uint8_t> SerializeZproAttributes(const std::map<int32_t, ZproAttribute>& attributes);

} // namespace zyn
