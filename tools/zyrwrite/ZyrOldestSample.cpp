#include "ZyrOldestSample.h"

#include <algorithm>

using lumora::ByteOrder;

std::vector<uint16_t> ZyrOldestSample::Table() {
    std::vector<uint16_t> t(256);
    for (uint32_t i = 0; i < 256; ++i) t[i] = uint16_t(i * 4095 / 255);
    return t;
}

void ZyrOldestSample::SetChecksum(std::vector<uint8_t>& block) {
    block.resize(kStoredBlockBytes, 0);
    uint32_t sum = 0;
    for (uint32_t i = 1; i < kStoredBlockBytes; ++i) sum += block[i];
    block[0] = uint8_t(sum);
}

std::vector<uint8_t> ZyrOldestSample::StoredBlock(uint8_t outputType, uint8_t balanceType,
                                                  const uint16_t (&triple)[3], uint16_t rotation,
                                                  const uint16_t (&window)[4], uint8_t look) {
    std::vector<uint8_t> b(kStoredBlockBytes, 0);
    auto put16 = [&](size_t at, uint16_t v) {
        b[at] = uint8_t(v);
        b[at + 1] = uint8_t(v >> 8);
    };
    b[1] = uint8_t((outputType << 4) | (balanceType & 0x0F));
    for (int i = 0; i < 3; ++i) put16(2 + 2 * size_t(i), triple[i]);
    put16(8, rotation);
    for (int i = 0; i < 4; ++i) put16(10 + 2 * size_t(i), window[i]);
    b[18] = look;
    SetChecksum(b);
    return b;
}

std::vector<uint8_t> ZyrOldestSample::Make(const ZyrOldestOptions& o) {
    ZyrWriter w(ByteOrder::Little);
    w.SetFirstIfdOffset(kFirstIfdOffset);
    const ZyrWriter::IfdId main = w.AddIfd();
    const ZyrWriter::IfdId first = w.AddIfd();
    const ZyrWriter::IfdId second = o.colour ? w.AddIfd() : -1;
    const uint32_t tw = o.sensorWidth / 8, th = o.sensorHeight / 8;
    const std::vector<uint8_t> plane(size_t(tw) * th, o.thumbnailCode);

    w.Ascii(main, 270, o.description);
    w.Ascii(main, 271, "Zyrex");
    w.Ascii(main, 272, o.model);
    w.Longs(main, 256, {o.sensorWidth});
    w.Longs(main, 257, {o.sensorHeight});
    w.Shorts(main, 277, {1});
    w.Shorts(main, 291, o.table.empty() ? Table() : o.table);
    w.Ascii(main, 305, "zyrwrite 1.0");
    w.Ascii(main, 306, "1998:05:17 10:30:00");
    w.Ascii(main, 33405, o.model + " old");
    if (o.classicHead) {
        w.SetFirstIfdRoom(256);
        w.Rationals(main, 282, {{72, 1}});
        w.Rationals(main, 283, {{72, 1}});
        w.Shorts(main, 296, {2});
    }
    for (uint32_t i = 0; i < o.fillerEntries; ++i) w.Shorts(main, uint16_t(40000 + i), {uint16_t(i)});
    if (o.colour)
        w.SubIfds(main, {first, second});
    else
        w.SubIfds(main, {first});

    std::vector<uint8_t> block = o.storedBlock;
    block.resize(kStoredBlockBytes, 0);
    std::vector<uint8_t> records(kRecordsBytes, 0);
    auto put16 = [](std::vector<uint8_t>& v, size_t at, uint16_t x) {
        v[at] = uint8_t(x);
        v[at + 1] = uint8_t(x >> 8);
    };
    if (o.records) {
        // Two shading records of unit gain, then the unpack offset.
        for (int r = 0; r < 2; ++r) {
            const size_t at = size_t(r) * 16;
            records[at] = uint8_t(3 + r);
            const uint32_t unit = 0x100000;
            for (int k = 0; k < 4; ++k) records[at + 12 + size_t(k)] = uint8_t(unit >> (8 * k));
        }
        records[32] = 5;
        put16(records, 33, o.unpackOffset);
    }
    if (o.block == ZyrOldestOptions::Block::InSettingsRecords) {
        // The block shares the last bytes of the records' value.
        std::copy(block.begin(), block.end(), records.begin() + kBlockInRecords);
    }
    // A file points at its block one way only: tag 65535 would stand for the
    // block as well.
    if (o.block == ZyrOldestOptions::Block::InSettingsRecords ||
        (o.block == ZyrOldestOptions::Block::None && o.records))
        w.Bytes(main, 65535, 7, records);
    if (o.block == ZyrOldestOptions::Block::Tag1021) {
        // The block in a field of its own, pointed at by tag 1021.
        w.Bytes(main, 1022, 7, block); // carrier: its offset is resolved below
    }
    if (o.iptc) {
        std::vector<uint8_t> iptc = {0x1C, 2, 120, 0, 7, 'c', 'a', 'p', 't', 'i', 'o', 'n'};
        iptc.resize(64, 0);
        w.Bytes(main, 33723, 7, iptc);
    }

    // Every directory carries the plain image tags readers expect.
    auto common = [&](ZyrWriter::IfdId ifd, uint32_t rows, uint16_t samples) {
        w.Longs(ifd, 254, {0});
        w.Shorts(ifd, 258, std::vector<uint16_t>(samples, 8));
        w.Shorts(ifd, 259, {1});
        w.Shorts(ifd, 262, {uint16_t(samples == 3 ? 2 : 1)});
        w.Longs(ifd, 278, {rows});
        w.Shorts(ifd, 284, {uint16_t(samples == 3 ? 2 : 1)});
    };
    if (o.colour) {
        common(first, th, 3);
        w.Longs(first, 256, {tw});
        w.Longs(first, 257, {th});
        w.Shorts(first, 277, {3});
        for (int i = 0; i < 3; ++i) w.Strip(first, plane, ZyrWriter::Placement::Header);
    } else {
        w.Strip(main, plane, ZyrWriter::Placement::Header);
    }
    const ZyrWriter::IfdId sensor = o.colour ? second : first;
    common(sensor, o.sensorHeight, 1);
    w.Longs(sensor, 256, {o.sensorWidth});
    w.Longs(sensor, 257, {o.sensorHeight});
    w.Shorts(sensor, 277, {1});
    if (o.resolution) {
        w.Rationals(sensor, 282, {{300, 1}});
        w.Rationals(sensor, 283, {{300, 1}});
        w.Shorts(sensor, 296, {2});
    }
    w.Strip(sensor, std::vector<uint8_t>(size_t(o.sensorWidth) * o.sensorHeight, o.sensorCode),
            ZyrWriter::Placement::Sensor);

    if (o.block != ZyrOldestOptions::Block::Tag1021) return w.Build();
    // Tag 1021 holds the offset of the carrier field's bytes.
    ZyrWriter::Layout layout;
    std::vector<uint8_t> file = w.Build(&layout);
    const uint32_t ifd0 = layout.ifdOffsets[size_t(main)];
    const uint16_t n = uint16_t(file[ifd0] | (file[ifd0 + 1] << 8));
    for (uint32_t e = 0; e < n; ++e) {
        const size_t at = ifd0 + 2 + 12 * size_t(e);
        if ((file[at] | (file[at + 1] << 8)) != 1022) continue;
        // Rewritten in place as tag 1021, type LONG, count 1, value the offset.
        const uint32_t offset = uint32_t(file[at + 8] | (file[at + 9] << 8) | (file[at + 10] << 16) |
                                         (uint32_t(file[at + 11]) << 24));
        file[at] = uint8_t(1021 & 0xFF);
        file[at + 1] = uint8_t(1021 >> 8);
        file[at + 2] = 4;
        file[at + 3] = 0;
        file[at + 4] = 1;
        file[at + 5] = file[at + 6] = file[at + 7] = 0;
        file[at + 8] = uint8_t(offset);
        file[at + 9] = uint8_t(offset >> 8);
        file[at + 10] = uint8_t(offset >> 16);
        file[at + 11] = uint8_t(offset >> 24);
    }
    return file;
}
