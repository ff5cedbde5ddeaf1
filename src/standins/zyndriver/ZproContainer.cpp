#include "ZproContainer.h"

#include <cstring>

namespace zyn {

using lumora::ByteOrder;

int64_t ZproValueBytes(int32_t type, int32_t count) {
    if (count < 0) return -1;
    switch (type) {
    case 3:
    case 5: return count;
    case 18: return int64_t(count) * 16;
    case 1:
    case 2:
    case 8:
    case 9:
    case 10:
    case 15:
    case 17:
    case 19: return int64_t(count) * 4;
    default: return -1;
    }
}

bool ParseZproHeader(lumora::ByteView header, uint64_t fileSize, ZproHeader& out) {
    uint32_t version = 0, width = 0, height = 0, pixels = 0, table = 0, count = 0;
    if (!header.contains(0, kZproHeaderBytes) || std::memcmp(header.data(), "ZPRO", 4) != 0) return false;
    if (!header.u32(4, ByteOrder::Little, version) || !header.u32(8, ByteOrder::Little, width) ||
        !header.u32(12, ByteOrder::Little, height) || !header.u32(16, ByteOrder::Little, pixels) ||
        !header.u32(20, ByteOrder::Little, table) || !header.u32(24, ByteOrder::Little, count))
        return false;
    if (version != 1 || width == 0 || height == 0 || width > kZproMaxSide || height > kZproMaxSide) return false;
    const uint64_t pixelBytes = uint64_t(width) * height * 6;
    if (pixels < kZproHeaderBytes || uint64_t(pixels) + pixelBytes > fileSize) return false;
    if (uint64_t(table) < uint64_t(pixels) + pixelBytes || table > fileSize) return false;
    // Each entry needs at least its 16-byte head.
    if (uint64_t(count) > (fileSize - table) / 16) return false;
    out.width = width;
    out.height = height;
    out.pixelOffset = pixels;
    out.tableOffset = table;
    out.attributeCount = count;
    return true;
}

bool ParseZproAttributes(lumora::ByteView table, uint32_t count, std::map<int32_t, ZproAttribute>& out) {
    lumora::ByteReader reader(table, ByteOrder::Little);
    std::map<int32_t, ZproAttribute> attributes;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t id = 0, type = 0, n = 0, length = 0;
        if (!reader.u32(id) || !reader.u32(type) || !reader.u32(n) || !reader.u32(length)) return false;
        if (n > 0x7FFFFFFF || ZproValueBytes(int32_t(type), int32_t(n)) != int64_t(length)) return false;
        const uint64_t padded = (uint64_t(length) + 3) & ~uint64_t(3);
        if (!table.contains(reader.pos(), padded)) return false;
        ZproAttribute a;
        a.type = int32_t(type);
        a.count = int32_t(n);
        a.bytes.resize(length);
        if (!reader.bytes(a.bytes.data(), length) || !reader.skip(padded - length)) return false;
        attributes[int32_t(id)] = std::move(a);
    }
    out.swap(attributes);
    return true;
}

namespace {
void PutU32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}
} // namespace

std::vector<uint8_t> SerializeZproAttributes(const std::map<int32_t, ZproAttribute>& attributes) {
    std::vector<uint8_t> out;
    for (const auto& [id, a] : attributes) {
        PutU32(out, uint32_t(id));
        PutU32(out, uint32_t(a.type));
        PutU32(out, uint32_t(a.count));
        PutU32(out, uint32_t(a.bytes.size()));
        out.insert(out.end(), a.bytes.begin(), a.bytes.end());
        while (out.size() % 4) out.push_back(0);
    }
    return out;
}

} // namespace zyn
