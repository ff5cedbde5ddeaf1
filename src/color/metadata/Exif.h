#pragma once
// Gathers the Exif, GPS and camera metadata of an export's source file (a
// TIFF, or a JPEG with an APP1 "Exif" segment) so the exported file can carry
// it. Reads the first megabyte of the source; never writes a file.
#include "ByteView.h"
#include "ExifEntry.h"
#include "File.h"
#include "FilePathSpec.h"

#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace NimbalCore {

using lumora::ByteOrder;
using lumora::ByteView;

class Exif {
public:
    enum Status : int {
        Ok = 0,
        SourceUnreadable = 1701,
        ApexInputMissing = 2109,
        TagAbsent = 2116,
        NoExifBeforeImage = 2117,
        NotTiffOrExif = 2203,
        BadDirectory = 2205,
    };
    enum CollectFlags : int {
        CollectIFD0 = 0x01,
        CollectExifSlot = 0x04,
        CollectSecondSubIFD = 0x08,
        CollectGPS = 0x10,
        CollectTiffExif = 0x20,
        CollectFirstSubIFD = 0x40,
    };
    enum Kind : int { KindIFD0 = 1, KindExif = 4, KindGPS = 16 };
    static constexpr uint64_t kMaxSourceBytes = 1000000;
    static constexpr uint32_t kMaxDirectoryEntries = 1000;
    static constexpr uint32_t kMaxValueBytes = 65534;

    Exif() = default;
    Exif(const Exif&) = delete;
    Exif& operator=(const Exif&) = delete;
    virtual ~Exif() = default;

    virtual int ReadFromFile(const FilePathSpec& path);
    // The same parse over bytes already in memory (at most kMaxSourceBytes
    // of them are kept).
    int ReadFromBytes(ByteView bytes);
    virtual bool IsOpen() const { return file_ && file_->IsOpen(); }
    virtual void Close();
    virtual int ClearEntries();
    virtual int CollectEntries(int flags);
    virtual int GetEntriesForIFD(int kind, const std::vector<ExifEntry>** out);
    virtual int SetPixelDimensions(int width, int height);
    virtual int SetString(const std::string& text, int tag);
    virtual int SetEntry(ExifEntry entry);
    virtual int GetEntry(int tag, ExifEntry* out) const;
    virtual int GetString(int tag, std::string& out) const;
    virtual int CopyEntry(int newTag, int sourceTag);
    virtual int SetResolution(float x, float y, int unit);
    virtual int ComputeApexValues();
    virtual bool IsGPSValid() const;
    virtual bool DetectByteOrder(ByteView bytes);

    bool HasTag(uint16_t tag) const;
    bool RemoveTag(uint16_t tag);
    static uint16_t MapTIFFEPTag(uint16_t tag);
    static bool IsTagWanted(int flags, uint16_t tag);
    const std::vector<ExifEntry>& Entries() const { return entries_; }

private:
    int Parse();
    int ParseTIFFFile();
    int ParseJPEGFile();
    int ParseIFD(int flags, uint32_t offset);
    bool ReadUInt16(uint64_t offset, uint16_t& out) const;
    bool ReadUInt32(uint64_t offset, uint32_t& out) const;
    // One 12-byte entry at a file offset, in host order; false when it does
    // not lie inside the held bytes.
    bool ReadEntry(uint64_t at, ExifEntry& entry) const;
    int WalkIFD0(bool tiff);
    const uint8_t* Own(std::vector<uint8_t> bytes);

    std::vector<uint8_t> bytes_;   // file bytes and two zero bytes
    ByteView view_;
    std::unique_ptr<File> file_;   // the source, from ReadFromFile until Close
    std::vector<ExifEntry> entries_;
    std::vector<ExifEntry> output_;
    ByteOrder order_ = ByteOrder::Little;
    bool sourceIsTiff_ = false;
    bool sorted_ = false;
    uint64_t header_ = 0;
    uint32_t ifd0_ = 0, slot20_ = 0, slot04_ = 0, subIFD1_ = 0, subIFD2_ = 0, gps_ = 0;
    std::deque<std::vector<uint8_t>> owned_;   // values in host order and string copies
};

} // namespace NimbalCore
