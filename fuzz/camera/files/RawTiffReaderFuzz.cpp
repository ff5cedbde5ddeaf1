// Raw file heads from anywhere: the reader must answer a status and never read
// or write outside the bytes it was given.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "LookTable.h"
#include "RawContainer.h"
#include "RawTiffReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An exact-size copy so that any read past the end is seen.
    std::vector<uint8_t> bytes(data, data + size);
    const lumora::ByteView view(bytes.data(), bytes.size());

    RawIfdRecord main{}, priv{};
    LookTable looks;
    RawContainer::ReadMainAndPrivate(view, main, priv, &looks);
    LookTable::NameRecord name;
    for (uint32_t look = 0; look < 10; ++look) {
        name.look = look;
        looks.GetName(name, true, look & 1);
    }
    looks.CountLooks(true, true);

    uint32_t length = 0;
    RawContainer::HeaderLength(view, length);
    RawContainer::HeaderLengthFromSubIfd(view, length);

    RawTiffReader reader;
    uint32_t first = 0;
    if (reader.ReadHeader(view, first) != VQ_OK) return 0;
    RawIfdRecord rec{};
    ResolutionRecord res;
    for (uint32_t i = 0; i < main.subIfdCount && i < 5; ++i)
        reader.ReadIfd(view, main.subIfds[i], rec, &res, nullptr, true);

    RawTiffReader::Entry entry;
    uint32_t position = 0;
    reader.FindTag(view, first, 3502, 0, 4, entry, position);
    reader.FindTag(view, first, 256, 2, 0xFFFFFFFFu, entry, position);

    uint32_t oldCount = 0;
    reader.ReplaceDescription(bytes.data(), bytes.size(), first, oldCount, "Lumora", 6);

    if (first < bytes.size()) {
        uint16_t count = 0;
        if (reader.ReadIfd(view, first, rec, nullptr, nullptr, false) != VQ_ERR_READ_PAST_BUFFER) count = rec.entryCount;
        bool changed = false;
        reader.SortEntries(bytes.data() + first, bytes.size() - first, changed, count, 33723, position);
    }
    return 0;
}
