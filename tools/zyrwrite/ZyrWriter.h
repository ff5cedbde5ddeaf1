#pragma once
// Writes synthetic raw files (ZYR: a TIFF structure with SubIFDs, a private
// directory and sensor strips after the header) for tests and tools. Any tag of
// any type in either byte order; directory links and strip offsets are
// resolved when the file is built; entries can also be written exactly as given
// (value word and all) to make malformed files.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "ByteView.h"

class ZyrWriter {
public:
    using IfdId = int;

    enum class Placement {
        Header, // inside the header (header image, thumbnail)
        Sensor, // after the header (sensor data)
    };
    enum class HeaderLengthWord {
        Exact, // the header's real length
        Zero,  // left empty, as some writers do
        Given, // the value passed to SetHeaderLengthWord
    };

    // Where things ended up in the last Build().
    struct Layout {
        std::vector<uint32_t> ifdOffsets;          // by IfdId
        std::vector<std::vector<uint32_t>> strips; // strip offsets by IfdId
        uint32_t headerLength = 0;
        uint64_t fileLength = 0;
    };

    explicit ZyrWriter(lumora::ByteOrder order = lumora::ByteOrder::Big) : order_(order) {}

    lumora::ByteOrder order() const { return order_; }

    // A new empty directory; the first one made is IFD0.
    IfdId AddIfd();

    // Entries. Values are host numbers, written in the file's byte order; the
    // entry's data goes inline when it fits in four bytes, else after the
    // directory.
    void Ascii(IfdId ifd, uint16_t tag, const std::string& text);               // count includes a NUL
    void AsciiField(IfdId ifd, uint16_t tag, const std::string& text, uint32_t count); // NUL-padded to count
    void Bytes(IfdId ifd, uint16_t tag, uint16_t type, const std::vector<uint8_t>& bytes); // types 1, 2, 6, 7
    void Shorts(IfdId ifd, uint16_t tag, const std::vector<uint16_t>& values, uint16_t type = 3);
    void Longs(IfdId ifd, uint16_t tag, const std::vector<uint32_t>& values, uint16_t type = 4);
    void Rationals(IfdId ifd, uint16_t tag, const std::vector<std::pair<uint32_t, uint32_t>>& values,
                   uint16_t type = 5);
    void Floats(IfdId ifd, uint16_t tag, const std::vector<float>& values);   // type 11
    void Doubles(IfdId ifd, uint16_t tag, const std::vector<double>& values); // type 12
    // Any type: the data bytes are taken as they are (already in file order).
    void RawData(IfdId ifd, uint16_t tag, uint16_t type, uint32_t count, const std::vector<uint8_t>& fileBytes);
    // An entry exactly as given, with no data of its own.
    void RawEntry(IfdId ifd, uint16_t tag, uint16_t type, uint32_t count, uint32_t valueWord);
    // Drops every entry of a tag.
    void Remove(IfdId ifd, uint16_t tag);

    // Links, resolved at build time: tag 330 (LONG), tag 33424 and the
    // next-directory link.
    void SubIfds(IfdId parent, const std::vector<IfdId>& children);
    void PrivateIfd(IfdId parent, IfdId child);
    void NextIfd(IfdId from, IfdId to);
    // One more strip of the directory (tags 273 and 279, LONG). The bytes are
    // written as they are, so coded data (lossless JPEG, ...) goes in the same
    // way as plain samples; the caller sets Compression. An entry of tag 273 or
    // 279 the caller adds to the directory replaces the one made up from the
    // strips (the strips are still written).
    void Strip(IfdId ifd, std::vector<uint8_t> bytes, Placement placement);

    void SetHeaderLengthWord(HeaderLengthWord mode, uint32_t value = 0) {
        headerWord_ = mode;
        headerWordValue_ = value;
    }
    // Where IFD0 starts (at least right after the 12-byte head).
    void SetFirstIfdOffset(uint32_t offset) { firstIfdOffset_ = offset; }
    // IFD0's values go between the head and IFD0, and IFD0 keeps room bytes
    // to itself (as the oldest cameras wrote it: 256 bytes at 768).
    void SetFirstIfdRoom(uint32_t room) { firstIfdRoom_ = room; }
    // Entries are written in tag order unless this is turned off (then in the
    // order they were added).
    void SetSorted(bool sorted) { sorted_ = sorted; }

    std::vector<uint8_t> Build(Layout* layout = nullptr) const;

    // Host numbers in the file's byte order.
    void Put16(std::vector<uint8_t>& out, uint16_t v) const;
    void Put32(std::vector<uint8_t>& out, uint32_t v) const;

private:
    enum class Kind { Data, Raw, SubIfdLink, PrivateLink, StripOffsets, StripCounts };
    struct Entry {
        uint16_t tag = 0;
        uint16_t type = 0;
        uint32_t count = 0;
        Kind kind = Kind::Data;
        std::vector<uint8_t> data; // file order
        uint32_t valueWord = 0;    // Kind::Raw
        std::vector<IfdId> links;  // Kind::SubIfdLink / PrivateLink
    };
    struct StripData {
        std::vector<uint8_t> bytes;
        Placement placement;
    };
    struct Ifd {
        std::vector<Entry> entries;
        std::vector<StripData> strips;
        IfdId next = -1;
    };

    void Add(IfdId ifd, Entry entry);

    lumora::ByteOrder order_;
    std::vector<Ifd> ifds_;
    HeaderLengthWord headerWord_ = HeaderLengthWord::Exact;
    uint32_t headerWordValue_ = 0;
    bool sorted_ = true;
    uint32_t firstIfdOffset_ = 12;
    uint32_t firstIfdRoom_ = 0;
};
