#include "TiffBuilder.h"

#include "NbErrorCodes.h"
#include "TiffTag.h"
#include "TiffTypeSize.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace NimbalCore {

namespace {

uint32_t ReadHost32(const uint8_t b[4]) {
    return uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) | (uint32_t(b[3]) << 24);
}

void WriteHost32(uint8_t b[4], uint32_t v) {
    for (int i = 0; i < 4; ++i) b[i] = uint8_t(v >> (8 * i));
}

void PutBig16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v >> 8);
    p[1] = uint8_t(v);
}

void PutBig32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (24 - 8 * i));
}

bool IsDateTime(uint16_t tag) {
    return tag == TiffTagDateTime || tag == TiffTagDateTimeOriginal || tag == TiffTagDateTimeDigitized;
}

// Hundredths, cut toward zero; a value beyond what 32 bits hold keeps the
// nearest one rather than wrapping.
int32_t Hundredths(double value) {
    const double scaled = std::trunc(value * 100.0);
    if (std::isnan(scaled)) return 0;
    if (scaled >= double(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
    if (scaled <= double(std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
    return int32_t(scaled);
}

uint32_t RoundUpPast(uint64_t end) { return uint32_t((end + 31) & ~uint64_t(15)); }

} // namespace

TiffBuilder::TiffBuilder(int32_t mode) : BlockOMemory(0), mode_(mode) {}

TiffBuilder::~TiffBuilder() = default;

void TiffBuilder::Free() {
    ClearEntries();
    BlockOMemory::Free();
}

int TiffBuilder::NewIFD(int id) {
    // Ids index the eight descriptors: anything else would write past them.
    if (id < 0 || id >= kUnusedId) throw int(NbErrBadArgument);
    IFD& ifd = ifds_[id];
    ifd.id = id;
    ifd.entries.clear();
    ifd.entryCount = 0;
    ifd.next = 0;
    ++ifdCount_;
    current_ = id;
    return id;
}

void TiffBuilder::SetNextIFD(int index) {
    if (current_ >= 0) ifds_[current_].next = index;
}

int32_t TiffBuilder::GetEntryCount(int id) const { return ifds_[id].entryCount; }

int32_t TiffBuilder::GetIFDOffset(int id) const { return ifds_[id].offset; }

void TiffBuilder::AppendValue(const uint8_t* bytes, uint32_t length) {
    valueArea_.insert(valueArea_.end(), bytes, bytes + length);
    valueAreaLength_ += int32_t(length);
    // Every value starts on an even offset.
    if (length & 1) {
        valueArea_.push_back(0);
        ++valueAreaLength_;
    }
}

void TiffBuilder::AddEntry(TiffEntry* caller) {
    // A bare status, as the core's callers catch them.
    if (!caller) throw int(NbErrNullTiffEntry);
    if (current_ < 0) return;
    Entry entry;
    entry.tag = caller->tag;
    entry.type = caller->type;
    entry.count = caller->count;
    const uint8_t* source = static_cast<const uint8_t*>(caller->value);
    uint64_t length = uint64_t(TiffTypeSize(entry.type)) * entry.count;

    // Dates are cut to their fixed 20 bytes on our own copy; the caller's
    // string is never written to. Only text is cut: a date tag of another
    // type from a damaged source keeps its count, so its bytes stay whole.
    std::vector<uint8_t> date;
    if (IsDateTime(entry.tag) && entry.type == TiffTypeAscii && length > kDateTimeBytes && source) {
        date.assign(source, source + kDateTimeBytes);
        date[kDateTimeBytes - 1] = 0;
        entry.count = kDateTimeBytes;
        caller->count = kDateTimeBytes;
        length = kDateTimeBytes;
        source = date.data();
    }

    if (length <= kInlineBytes) {
        const bool byteWise = entry.type == TiffTypeByte || entry.type == TiffTypeAscii ||
                              entry.type == TiffTypeUndefined;
        if (source) std::memcpy(entry.inlineValue, source, byteWise ? size_t(length) : kInlineBytes);
    } else {
        entry.offset = uint32_t(valueAreaLength_);
        if (entry.type == TiffTypeFloat || entry.type == TiffTypeDouble) {
            // Stored as rationals of hundredths, signed when negative.
            std::vector<uint8_t> converted;
            bool negative = false;
            for (uint32_t i = 0; i < entry.count; ++i) {
                double v;
                if (entry.type == TiffTypeFloat) {
                    float f;
                    std::memcpy(&f, source + 4 * uint64_t(i), sizeof f);
                    v = f;
                } else {
                    std::memcpy(&v, source + 8 * uint64_t(i), sizeof v);
                }
                if (i == 0) negative = v < 0;
                uint8_t pair[8];
                WriteHost32(pair, uint32_t(Hundredths(v)));
                WriteHost32(pair + 4, 100);
                converted.insert(converted.end(), pair, pair + 8);
            }
            entry.type = negative ? TiffTypeSRational : TiffTypeRational;
            AppendValue(converted.data(), uint32_t(converted.size()));
        } else {
            AppendValue(source, uint32_t(length));
        }
    }
    IFD& ifd = ifds_[current_];
    ifd.entries.push_back(entry);
    ++ifd.entryCount;
    *caller = TiffEntry{0, 0, 0, nullptr};
}

void TiffBuilder::AddString(uint16_t tag, const std::string& text) {
    if (text.empty()) return;
    TiffEntry entry{tag, TiffTypeAscii, uint32_t(text.size() + 1), text.c_str()};
    AddEntry(&entry);
}

void TiffBuilder::ClearEntries() {
    valueArea_.clear();
    valueArea_.shrink_to_fit();
    valueAreaLength_ = 0;
    for (IFD& ifd : ifds_) {
        ifd.entries.clear();
        ifd.entries.shrink_to_fit();
    }
}

void TiffBuilder::SwapValues(uint16_t type, int byteCount, void* data) const {
    uint8_t* p = static_cast<uint8_t*>(data);
    switch (type) {
    case TiffTypeShort: case TiffTypeSShort:
        for (int i = 0; i + 1 < byteCount; i += 2) std::swap(p[i], p[i + 1]);
        break;
    case TiffTypeLong: case TiffTypeRational: case TiffTypeSLong: case TiffTypeSRational:
        for (int i = 0; i + 3 < byteCount; i += 4) {
            std::swap(p[i], p[i + 3]);
            std::swap(p[i + 1], p[i + 2]);
        }
        break;
    default:
        break;
    }
}

void TiffBuilder::SwapEntry(const Entry& entry, uint8_t out[kEntryBytes]) const {
    PutBig16(out, entry.tag);
    PutBig16(out + 2, entry.type);
    PutBig32(out + 4, entry.count);
    const uint64_t length = uint64_t(TiffTypeSize(entry.type)) * entry.count;
    if (length > kInlineBytes) {
        PutBig32(out + 8, entry.offset);
    } else {
        std::memcpy(out + 8, entry.inlineValue, kInlineBytes);
        SwapValues(entry.type, kInlineBytes, out + 8);
    }
}

uint32_t TiffBuilder::PositionOffset(const std::vector<const IFD*>& order, int k) const {
    return k < int(order.size()) ? uint32_t(order[k]->offset) : 0;
}

uint32_t TiffBuilder::FixUp(const Entry& entry, uint32_t word, uint32_t dataStart,
                            const std::vector<const IFD*>& order) const {
    const bool tiff = mode_ == TiffFile;
    switch (entry.tag) {
    case TiffTagStripOffsets:
        if (!tiff || word == 0) return dataStart;
        if (word == 1) return dataStart + uint32_t(mainImageBytes_);
        return word;
    case TiffTagJPEGInterchangeFormat: return dataStart;
    case TiffTagSubIFDs: return 0;
    case TiffTagPrivateIFD: return tiff ? PositionOffset(order, 2) : 0;
    case TiffTagExifIFD: return PositionOffset(order, tiff ? 3 : 2);
    case TiffTagGPSInfoIFD: return PositionOffset(order, 4);
    case TiffTagInteroperabilityIFD: return PositionOffset(order, 3);
    default: return word;
    }
}

void TiffBuilder::Build() {
    static const uint8_t kFileHeader[kHeaderBytes] = {0x4D, 0x4D, 0x00, 0x2A, 0x00, 0x00, 0x00, 0x08};

    std::vector<const IFD*> order;
    for (const IFD& ifd : ifds_)
        if (ifd.id != kUnusedId) order.push_back(&ifd);
    std::stable_sort(order.begin(), order.end(), [](const IFD* a, const IFD* b) { return a->id < b->id; });

    uint64_t end = kHeaderBytes;
    for (const IFD* ifd : order) {
        ifds_[ifd->id].offset = int32_t(end);
        end += 2 + uint64_t(kEntryBytes) * ifd->entries.size() + 4;
    }
    const uint32_t valueStart = RoundUpPast(end);
    const uint32_t dataStart = RoundUpPast(uint64_t(valueStart) + uint32_t(valueAreaLength_));

    Create(dataStart);
    uint8_t* block = static_cast<uint8_t*>(GetData());
    std::memset(block, 0, dataStart);
    std::memcpy(block, kFileHeader, kHeaderBytes);
    if (!valueArea_.empty()) std::memcpy(block + valueStart, valueArea_.data(), valueArea_.size());

    for (const IFD* ifd : order) {
        uint8_t* p = block + ifd->offset;
        PutBig16(p, uint16_t(ifd->entries.size()));
        p += 2;
        for (Entry entry : ifd->entries) {
            const uint64_t length = uint64_t(TiffTypeSize(entry.type)) * entry.count;
            if (length > kInlineBytes) {
                entry.offset += valueStart;
                // The IPTC block travels as the bytes it is.
                if (entry.tag != TiffTagIPTC) SwapValues(entry.type, int(length), block + entry.offset);
                entry.offset = FixUp(entry, entry.offset, dataStart, order);
            } else {
                WriteHost32(entry.inlineValue, FixUp(entry, ReadHost32(entry.inlineValue), dataStart, order));
            }
            SwapEntry(entry, p);
            p += kEntryBytes;
        }
        PutBig32(p, ifd->next == 0 ? 0 : PositionOffset(order, ifd->next));
    }
    ClearEntries();
}

} // namespace NimbalCore
