#include "FpFilterReader.h"

#include "FpAttributeList.h"
#include "FpFilterRecord.h"
#include "FpKernelBlock.h"
#include "FpKernels.h"
#include "FpLevelList.h"
#include "Locked.h"

#include <ByteView.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace kestra {

namespace {

using lumora::ByteOrder;
using lumora::ByteView;

constexpr int32_t kMaxFractionBits = 15;
constexpr int kMaxIdCharacters = 9;

// A stream over bytes that are only read.
bool openReader(VxStream& s, const void* buffer, uint32_t size) {
    return VxOpen(nullptr, "m", &s, nullptr, const_cast<void*>(buffer), size) != 0;
}

uint64_t remaining(const VxStream& s) { return s.position <= s.size ? uint64_t(s.size) - s.position : 0; }

uint32_t swap32(uint32_t v) { return (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24); }

// The id part of a line: up to the first '='. Answers 1 with the id (0 when
// the line is to be skipped) or 110 when the id part runs to ten characters.
FpStatus lineId(const char* line, int32_t& id, const char*& value) {
    id = 0;
    value = nullptr;
    int n = 0;
    const char* p = line;
    for (; *p && *p != '='; ++p) {
        if (++n > kMaxIdCharacters) return FpBadAttribute;
        if (!((*p >= '0' && *p <= '9') || *p == '-')) return FpOk; // not an attribute line
    }
    std::string digits(line, size_t(p - line));
    id = VxAtoi(digits.c_str());
    value = *p == '=' ? p + 1 : p;
    return FpOk;
}

} // namespace

void FpSwapHeader(FpFilterHeader& h) {
    for (uint32_t& w : h.words) w = swap32(w);
}

FpStatus FpReadHeaderWords(VxStream* s, FpFilterHeader& h) {
    uint8_t bytes[kHeaderSize];
    if (!Vx_read(s, bytes, sizeof bytes)) return FpFailed;
    const ByteView view(bytes, sizeof bytes);
    for (uint32_t i = 0; i < kHeaderWords; ++i) view.u32(uint64_t(i) * 4, ByteOrder::Little, h.words[i]);
    view.copy(kHeaderWords * 4, h.reserved, kHeaderReserved);
    return FpOk;
}

FpStatus FpReadHeader(VxStream* s, Handle& out) {
    out = 0;
    const Handle h = allocBufferHandle(sizeof(FpFilterHeader));
    if (!h) return FpNoMemory;
    Locked<FpFilterHeader> header(h);
    if (!header) {
        freeBuffer(h);
        return FpNoMemory;
    }
    FpStatus st = FpReadHeaderWords(s, *header);
    if (st == FpOk) {
        if (header->words[FpFilterHeader::Magic] == kFilterMagicSwapped) FpSwapHeader(*header);
        if (header->words[FpFilterHeader::Magic] != kFilterMagic) st = FpBadFilterData;
    } else {
        st = FpBadFilterData;
    }
    header.release();
    if (st != FpOk) {
        freeBuffer(h);
        return st;
    }
    out = h;
    return FpOk;
}

FpStatus FpParseAttributeText(VxStream* s, uint32_t length, Handle& list) {
    list = 0;
    if (length == 0) return FpOk;
    if (uint64_t(kHeaderSize) + length > kMaxHeaderAndText) return FpBadFilterData;
    if (remaining(*s) < length) return FpBadFilterData;
    // One byte more than the text, so that the last line ends even when the
    // text's own last byte is not a NUL.
    auto* text = static_cast<char*>(allocBufferPtr(length + 1));
    if (!text) return FpNoMemory;
    if (!Vx_read(s, text, length)) {
        freeBufferPtr(text);
        return FpBadFilterData;
    }
    text[length] = 0;
    std::replace(text, text + length, '\n', '\0');

    // A text, even one without a single attribute line, gives a list, so that
    // the filter stores again as it was read.
    FpStatus st = FpNewList(list);
    uint32_t pos = 0;
    while (st == FpOk && pos + 1 < length) {
        const char* line = text + pos;
        const uint32_t lineLength = uint32_t(std::strlen(line));
        int32_t id;
        const char* value;
        st = lineId(line, id, value);
        if (st == FpOk && id != 0) st = FpPutAttribute(list, id, value);
        pos += lineLength + 1;
    }
    freeBufferPtr(text);
    if (st != FpOk) {
        FpFreeAttributeList(list);
        list = 0;
    }
    return st;
}

FpStatus FpReadKernel(VxStream* s, const FpFilterHeader& header, Handle& out) {
    out = 0;
    if (header.words[FpFilterHeader::KernelFlag] == 0) return FpBadFilterData;
    uint8_t bytes[kKernelBlockHeaderSize];
    if (!Vx_read(s, bytes, sizeof bytes)) return FpBadFilterData;
    const ByteView view(bytes, sizeof bytes);
    FpKernelTable fields{};
    uint32_t w[13];
    for (int i = 0; i < 13; ++i) view.u32(uint64_t(i) * 4, ByteOrder::Big, w[i]);
    if (w[0] != kKernelBlockWord) return FpBadFilterData;
    fields.taps = int32_t(w[1]);
    fields.variants = int32_t(w[2]);
    fields.levels = int32_t(w[3]);
    fields.bytesPerSample = int32_t(w[4]);
    fields.fractionBits = int32_t(w[5]);
    fields.word6 = int32_t(w[6]);
    std::memcpy(fields.kindName, bytes + 28, 4);
    std::memcpy(&fields.word8, bytes + 32, 4); // the writer's own byte order, kept as it is
    fields.word10 = w[9];
    fields.secondTable = int32_t(w[10]);
    fields.word11 = w[11];
    fields.word12 = w[12];
    if (header.words[FpFilterHeader::Version] < kFormatVersion) fields.secondTable = 0;

    // Every count and size is settled before anything is allocated: the
    // samples must be there, and the padded storage must fit a buffer.
    if (fields.taps < 1 || fields.variants < 1 || fields.levels < 1) return FpBadFilterData;
    if (fields.bytesPerSample != 2) return FpBadFilterData;
    if (fields.fractionBits < 1 || fields.fractionBits > kMaxFractionBits) return FpBadFilterData;
    const uint64_t kernels = uint64_t(fields.levels) * uint64_t(fields.variants);
    const uint64_t sampleBytes = kernels * uint64_t(fields.taps) * 2;
    const uint64_t secondBytes = fields.secondTable ? kernels * 4 : 0;
    if (sampleBytes > remaining(*s) || secondBytes > remaining(*s) - sampleBytes) return FpBadFilterData;
    uint64_t paddedBytes, paddedSecond;
    if (!FpKernelStorageSize(fields.taps, fields.variants, fields.levels, 2, fields.secondTable != 0, paddedBytes,
                             paddedSecond))
        return FpBadFilterData;

    Handle setHandle;
    if (FpNewKernelSetHandle(setHandle) != FpOk) return FpNoMemory;
    Handle tableHandle;
    if (FpNewKernelTable(tableHandle) != FpOk) {
        FpReleaseKernelSet(setHandle);
        return FpNoMemory;
    }
    {
        Locked<FpKernelSet> set(setHandle);
        if (!set) {
            freeBuffer(tableHandle);
            FpReleaseKernelSet(setHandle);
            return FpNoMemory;
        }
        set->magic = header.words[FpFilterHeader::Magic];
        set->version = header.words[FpFilterHeader::Version];
        set->slot(kSlotKernels).handle = tableHandle;
    }
    FpStatus st = FpOk;
    {
        FpLockedKernelSet set(setHandle);
        FpKernelTable* t = set ? set->slot(kSlotKernels).table : nullptr;
        if (!t) {
            st = FpNoMemory;
        } else {
            fields.headerWord = kKernelBlockWord;
            fields.samples = nullptr;
            fields.second = nullptr;
            *t = fields;
            st = FpAllocKernelSamples(t);
            if (st == FpOk) st = FpTransferSamples(*t, s, "r");
        }
    }
    if (st != FpOk) {
        FpReleaseKernelSet(setHandle);
        return st;
    }
    out = setHandle;
    return FpOk;
}

FpStatus FpNewFilterFromBuffer(Handle& filter, const void* buffer, uint32_t size) {
    filter = 0;
    VxStream s;
    if (!buffer || !openReader(s, buffer, std::min<uint32_t>(size, kMaxHeaderAndText))) return FpStreamNotOpen;
    Handle header;
    FpStatus st = FpReadHeader(&s, header);
    if (st != FpOk) {
        Vx_close(&s);
        return st;
    }
    uint32_t textLength;
    {
        Locked<FpFilterHeader> h(header);
        textLength = h ? h->words[FpFilterHeader::TextLength] : 0;
    }
    Handle list = 0;
    st = FpParseAttributeText(&s, textLength, list);
    Vx_close(&s);
    if (st == FpOk) st = FpNewFilter(header, list, filter);
    if (st != FpOk) {
        FpFreeAttributeList(list);
        freeBuffer(header);
        filter = 0;
    }
    return st;
}

FpStatus FpLoadKernelFromBuffer(Handle filter, uint32_t size, const void* buffer) {
    Handle headerHandle = 0, list = 0;
    const FpStatus state = FpFilterParts(filter, &headerHandle, &list, nullptr);
    if (state != FpAttributesOnly) return state;
    VxStream s;
    if (!buffer || !openReader(s, buffer, size)) return FpStreamNotOpen;
    Handle again;
    FpStatus st = FpReadHeader(&s, again);
    uint32_t textLength = 0;
    if (st == FpOk) {
        {
            Locked<FpFilterHeader> h(again);
            textLength = h ? h->words[FpFilterHeader::TextLength] : 0;
        }
        freeBuffer(again);
        if (!Vx_skip(&s, textLength)) st = FpStreamFailed;
    }
    Handle set = 0;
    if (st == FpOk) {
        Locked<FpFilterHeader> header(headerHandle);
        st = header ? FpReadKernel(&s, *header, set) : FpBadFilterData;
    }
    Vx_close(&s);
    if (st != FpOk) return st;

    // The level search takes its count from the text: it may not name levels
    // the kernel block does not hold.
    int32_t textLevels;
    if (FpGetLongById(list, kAttrLevels, textLevels) == FpOk) {
        int32_t blockLevels = 0;
        {
            FpLockedKernelSet locked(set);
            if (locked && locked->slot(kSlotKernels).table) blockLevels = locked->slot(kSlotKernels).table->levels;
        }
        if (textLevels < 1 || textLevels > blockLevels) {
            FpReleaseKernelSet(set);
            return FpBadFilterData;
        }
    }
    return FpAttachKernels(filter, set);
}

} // namespace kestra
