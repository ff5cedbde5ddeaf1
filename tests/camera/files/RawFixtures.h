#pragma once
// Small raw heads for the reader's tests, built with the ZYR writer.
#include <cstdint>
#include <vector>

#include "ZyrSample.h"
#include "ZyrWriter.h"

namespace rawfixtures {

// A directory of n entries: the given ones plus filler LONG tags.
inline void fill(ZyrWriter& w, ZyrWriter::IfdId ifd, int entries, int already) {
    for (int i = already; i < entries; ++i) w.Longs(ifd, uint16_t(50000 + i), {uint32_t(i)});
}

// IFD0 with `mainEntries` entries (width, model, private link and filler) and
// a private directory of nine entries.
inline std::vector<uint8_t> minimal(lumora::ByteOrder order, int mainEntries, bool withPrivate = true) {
    ZyrWriter w(order);
    auto main = w.AddIfd();
    auto priv = w.AddIfd();
    w.Longs(main, 256, {32});
    w.Bytes(main, 272, 2, ZyrSample::ModelField("ZYNM11", -1));
    int used = 2;
    if (withPrivate) {
        w.PrivateIfd(main, priv);
        ++used;
    }
    fill(w, main, mainEntries, used);
    w.Longs(priv, 3502, {0x02000000});
    fill(w, priv, 9, 1);
    return w.Build();
}

} // namespace rawfixtures
