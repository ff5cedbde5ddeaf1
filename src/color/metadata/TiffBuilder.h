#pragma once
// Lays out up to eight image file directories and their out-of-line values as
// one big-endian TIFF header in a memory block: the 8-byte file header, the
// directories one after the other, then an aligned value area. The TIFF
// exporter writes the block and then the pixel rows at its end; the JPEG
// exporter builds its Exif segment with the same layout in the second mode.
#include "BlockOMemory.h"

#include <cstdint>
#include <string>
#include <vector>

namespace NimbalCore {

// What callers hand to AddEntry. The value is in host byte order; SHORT,
// SSHORT, LONG and SLONG values of count 1 point at a 32-bit integer.
struct TiffEntry {
    uint16_t tag;
    uint16_t type;
    uint32_t count;
    const void* value;
};

class TiffBuilder : public BlockOMemory {
public:
    enum Mode : int32_t { TiffFile = 0, JpegExif = 1 };
    static constexpr int kMaxIFDs = 8;
    static constexpr int32_t kUnusedId = 8;
    static constexpr uint32_t kHeaderBytes = 8;
    static constexpr uint32_t kEntryBytes = 12;
    static constexpr uint32_t kInlineBytes = 4;
    static constexpr uint32_t kDateTimeBytes = 20;

    // One entry as a directory keeps it: the inline value's bytes in host
    // order, or the value's offset within the value area.
    struct Entry {
        uint16_t tag = 0;
        uint16_t type = 0;
        uint32_t count = 0;
        uint8_t inlineValue[4] = {};
        uint32_t offset = 0;
    };

    explicit TiffBuilder(int32_t mode);
    ~TiffBuilder() override;

    void Free() override;
    // Opens directory id (0 to 7) and makes it current; any other id throws
    // the bare NbErrorCodes value 2807.
    virtual int NewIFD(int id);
    virtual void SetNextIFD(int index);
    virtual void Build();
    // Throws the bare NbErrorCodes value 2110 for a null entry; zeroes the
    // caller's record afterwards.
    virtual void AddEntry(TiffEntry* entry);
    virtual void AddString(uint16_t tag, const std::string& text);
    virtual void ClearEntries();
    // The 12 bytes of an entry as the file holds them, big-endian.
    virtual void SwapEntry(const Entry& entry, uint8_t out[kEntryBytes]) const;
    // Host order to big-endian, in place, by field type.
    virtual void SwapValues(uint16_t type, int byteCount, void* data) const;

    void SetMainImageByteCount(int32_t bytes) { mainImageBytes_ = bytes; }
    int32_t GetIFDCount() const { return ifdCount_; }
    int32_t GetEntryCount(int id) const;
    int32_t GetIFDOffset(int id) const;
    int32_t GetValueAreaLength() const { return valueAreaLength_; }

private:
    struct IFD {
        std::vector<Entry> entries;
        int32_t id = kUnusedId;
        int32_t next = 0;
        int32_t entryCount = 0;
        int32_t offset = 0;
    };

    void AppendValue(const uint8_t* bytes, uint32_t length);
    uint32_t PositionOffset(const std::vector<const IFD*>& order, int k) const;
    uint32_t FixUp(const Entry& entry, uint32_t word, uint32_t dataStart,
                   const std::vector<const IFD*>& order) const;

    std::vector<uint8_t> valueArea_;
    IFD ifds_[kMaxIFDs];
    int32_t ifdCount_ = 0;
    int32_t current_ = -1;
    int32_t valueAreaLength_ = 0;
    int32_t mainImageBytes_ = 0;
    int32_t mode_ = TiffFile;
};

} // namespace NimbalCore
