#pragma once
// A small big-endian ("MM") TIFF file assembled in memory and written at once.
// The caller lays the file out: where the data area starts, which directories
// follow each other and which entries they hold; the writer places each
// entry's value in the entry or in the data area, copying fields from a raw
// file as the TIFF reader found them. Every copy is checked against the source
// bytes and the buffer.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ByteView.h"
#include "RawTiffReader.h"
#include "VqStatus.h"

class SdkFile;

class RawTiffWriter {
public:
    static constexpr uint32_t kHeaderBytes = 8;
    static constexpr uint32_t kEntryBytes = 12;
    // The longest file name: eight characters, the full stop and two letters,
    // with the separator before it.
    static constexpr size_t kMaxNameLength = 12;

    // A field of the source file: its entry as the reader found it, where that
    // entry lies and the bytes (and their order) its value is taken from.
    struct Source {
        lumora::ByteView bytes;
        lumora::ByteOrder order = lumora::ByteOrder::Big;
    };

    RawTiffWriter();
    ~RawTiffWriter();
    RawTiffWriter(const RawTiffWriter&) = delete;
    RawTiffWriter& operator=(const RawTiffWriter&) = delete;

    // A path whose name ends in ".wb" (any case), eight characters at most
    // before it, after a folder.
    static VqStatus CheckFileName(const char* path);
    // Creates the file new: an existing one answers 80 and is left alone.
    VqStatus Open(const char* path);
    VqStatus Close();
    // Closes and removes the file Open created, so that a failed write leaves
    // nothing in the way of the next attempt.
    void Discard();
    VqStatus Begin(uint32_t bufferSize, uint32_t dataStart);
    VqStatus PutShort(uint16_t value);
    // Rewrites a 16-bit word written before (a directory's entry count).
    VqStatus PatchShort(uint32_t offset, uint16_t value);
    VqStatus PutNextDirectory(bool last);
    // One entry copied from the source; VQ_ERR_VALUE_ABSENT for a type that
    // cannot be written (nothing is advanced). Out-of-line values are turned
    // big-endian element by element.
    VqStatus PutEntry(const RawTiffReader::Entry& entry, uint32_t entryPosition, const Source& source);
    // With a text, the field's value is the text (without its terminator).
    VqStatus PutTextEntry(const char* text, const RawTiffReader::Entry& entry, uint32_t entryPosition,
                          const Source& source);
    // The entry whose value is the directory that follows this entry and one
    // next-directory word.
    VqStatus PutSubDirectoryEntry(const RawTiffReader::Entry& entry);
    // Tag 1036: three SHORTs in the data area.
    VqStatus PutShortTriple(uint16_t a, uint16_t b, uint16_t c);
    VqStatus Flush();

    const std::vector<uint8_t>& buffer() const { return buffer_; }
    uint32_t entryCursor() const { return entryCursor_; }
    uint32_t dataCursor() const { return dataCursor_; }

private:
    bool Fits(uint64_t at, uint64_t count) const { return at + count <= buffer_.size(); }
    void Put16(uint32_t at, uint16_t value);
    void Put32(uint32_t at, uint32_t value);
    VqStatus PutHead(uint16_t tag, uint16_t type, uint32_t count);
    // Copies count elements of type from the source at offset into the data
    // area, big-endian.
    VqStatus CopyValues(uint16_t type, uint32_t count, uint64_t offset, const Source& source);

    std::unique_ptr<SdkFile> file_;
    std::string path_;
    std::vector<uint8_t> buffer_;
    uint32_t entryCursor_ = 0;
    uint32_t dataCursor_ = 0;
};
