#pragma once
// The one TIFF parser of the camera interface. It works on bytes the caller has
// already loaded (usually a file's head), checks every read against them and
// copies the values of the tags the system knows into a RawIfdRecord. It never
// follows a directory on its own except in FindTag.
#include <cstdint>

#include "ByteView.h"
#include "LookTable.h"
#include "RawIfdRecord.h"
#include "ResolutionRecord.h"
#include "VqStatus.h"

class RawTiffReader {
public:
    struct Entry {
        uint16_t tag = 0;
        uint16_t type = 0;
        uint32_t count = 0;
        uint32_t value = 0; // value word: 16-bit SHORT/SSHORT of count 1, else the 32-bit field
    };

    // Directories hold 9 to 512 entries.
    static constexpr uint16_t kMinEntries = 9;
    static constexpr uint16_t kMaxEntries = 512;
    // With the next-link check, a link above this is refused.
    static constexpr uint32_t kMaxNextIfd = 1000000;
    // The header test looks at no more than this many bytes.
    static constexpr uint64_t kHeaderProbe = 4096;

    void Clear();

    // The byte order the first four bytes give ("MM", 42 or "II", 42); false
    // when they are no TIFF header.
    static bool HeaderOrder(lumora::ByteView head, lumora::ByteOrder& order);
    VqStatus ReadHeader(lumora::ByteView buffer, uint32_t& firstIfd);
    VqStatus ReadIfd(lumora::ByteView buffer, uint32_t ifdOffset, RawIfdRecord& record,
                     ResolutionRecord* resolution, LookTable* looks, bool checkNext);
    // Walks directories (next links, then the private directory, then SubIFDs) for
    // one tag; answers the first match in a directory whose index is at least
    // occurrence, visiting at most limit + 1 directories.
    VqStatus FindTag(lumora::ByteView buffer, uint32_t startOffset, uint16_t tag, uint32_t occurrence,
                     uint32_t limit, Entry& out, uint32_t& entryPosition);

    // Typed readers on the current entry; count is min(count, maximum) on return.
    VqStatus ReadAscii(char* destination, uint32_t& count, uint32_t maximum);
    VqStatus ReadShorts(uint16_t* destination, uint32_t& count, uint32_t maximum);
    VqStatus ReadLongs(uint32_t* destination, uint32_t& count, uint32_t maximum);
    VqStatus ReadRationalPairs(uint32_t* destination, uint32_t& count, uint32_t maximum);
    VqStatus ReadRationalFloats(float* destination, uint32_t& count, uint32_t maximum);
    VqStatus ReadMatrixRationals(uint32_t* destination18);
    VqStatus ReadTripleRationals(uint32_t* destination6);

    // File-order reads checked against the loaded bytes; a failed read yields 0
    // and leaves VQ_ERR_READ_PAST_BUFFER in the reader.
    uint16_t ReadWord16(uint64_t offset);
    uint32_t ReadWord32(uint64_t offset);
    void PutWord32(uint8_t* destination, uint32_t value) const;
    // Loads the 12-byte entry at offset into the current entry.
    VqStatus ReadEntry(uint64_t offset);

    // Rewrites the data of tag 270 in a loaded header so that the new text ends
    // where the old data ends; oldCount receives the old count.
    VqStatus ReplaceDescription(uint8_t* buffer, uint64_t length, uint32_t ifdOffset, uint32_t& oldCount,
                                const char* text, uint32_t textLength);
    // Puts a directory's entries (directory starts at its 2-byte count) in tag
    // order and drops duplicates; entryPosition is the offset of tag's entry
    // from the start of the directory, 0 when absent.
    VqStatus SortEntries(uint8_t* directory, uint64_t length, bool& changed, uint16_t& count, uint16_t tag,
                         uint32_t& entryPosition);

    bool bigEndian() const { return bigEndian_ != 0; }
    lumora::ByteOrder order() const { return bigEndian_ ? lumora::ByteOrder::Big : lumora::ByteOrder::Little; }
    void setOrder(lumora::ByteOrder order) { bigEndian_ = order == lumora::ByteOrder::Big; }
    VqStatus error() const { return error_; }
    const Entry& current() const { return current_; }
    uint64_t currentPosition() const { return currentPosition_; }

    static uint16_t TypeSize(uint16_t type);

private:
    VqStatus ApplyTag(RawIfdRecord& r, ResolutionRecord* resolution, LookTable* looks);
    VqStatus CheckFileVersion();
    VqStatus ReadLookCurve(LookTable& looks, int look);
    VqStatus ReadLookMatrix(LookTable& looks, int look);
    VqStatus ReadLookNames(LookTable& looks);
    VqStatus ReadRationalWords(uint32_t* destination, uint32_t pairs);
    // Offset of the current entry's data: its own value field when the data fits
    // in four bytes, else the value word.
    uint64_t DataOffset() const;
    // Offset of a SHORT array of two or more values.
    uint64_t ShortsOffset() const;

    uint32_t bigEndian_ = 0;
    Entry current_;
    uint64_t currentPosition_ = 0;
    VqStatus error_ = VQ_OK;
    lumora::ByteView view_;
};
