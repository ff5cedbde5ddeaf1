#include "FpFilterWriter.h"

#include "FpAttributeList.h"
#include "FpFilterRecord.h"
#include "FpKernelBlock.h"
#include "FpKernels.h"
#include "Locked.h"

#include <cstring>

namespace kestra {

namespace {

void putLittle(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}
void putBig(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}

} // namespace

FpStatus FpBufferSize(Handle filter, uint32_t& size) {
    size = 0;
    Handle header = 0, list = 0, kernels = 0;
    const FpStatus state = FpFilterParts(filter, &header, &list, &kernels);
    if (state != FpHasKernels && state != FpAttributesOnly) return state;
    uint64_t total = uint64_t(kHeaderSize) + FpAttributeTextLength(list);
    if (state == FpHasKernels) {
        Locked<FpFilterHeader> h(header);
        if (h && h->words[FpFilterHeader::KernelFlag]) {
            Locked<FpKernelSet> set(kernels);
            if (!set || !set->slot(kSlotKernels).handle) return FpNoKernelTable;
            Locked<FpKernelTable> t(set->slot(kSlotKernels).handle);
            if (!t) return FpNoKernelTable;
            total += uint64_t(t->sampleCount) * uint64_t(t->bytesPerSample) + kKernelBlockSlack;
            if (t->secondTable) total += uint64_t(t->levels) * uint64_t(t->variants) * uint64_t(t->bytesPerSample) * 2;
        }
    }
    if (total > UINT32_MAX) return FpNoMemory;
    size = uint32_t(total);
    return FpOk;
}

FpStatus FpWriteHeader(VxStream* s, FpFilterHeader& header, uint32_t textLength) {
    header.words[FpFilterHeader::TextLength] = textLength;
    uint8_t bytes[kHeaderSize];
    for (uint32_t i = 0; i < kHeaderWords; ++i) putLittle(bytes + i * 4, header.words[i]);
    std::memcpy(bytes + kHeaderWords * 4, header.reserved, kHeaderReserved);
    return Vx_write(s, bytes, sizeof bytes) ? FpOk : FpFailed;
}

FpStatus FpWriteAttributeText(VxStream* s, Handle listHandle) {
    if (!listHandle) return FpNoAttributeList;
    if (uint64_t(kHeaderSize) + FpAttributeTextLength(listHandle) > kMaxHeaderAndText) return FpNoMemory;
    Locked<FpAttributeList> list(listHandle);
    if (!list) return FpNoAttributeList;
    for (int32_t i = 0; i < list->count; ++i) {
        const FpAttributePair& p = list->pairs()[i];
        char id[12];
        VxItoa(p.id, id);
        Locked<char> value(p.text);
        const char* text = value ? value.get() : "";
        if (!Vx_write(s, id, uint32_t(std::strlen(id))) || !Vx_write(s, "=", 1) ||
            !Vx_write(s, text, uint32_t(std::strlen(text))) || !Vx_write(s, "\n", 1))
            return FpStreamFailed;
    }
    return Vx_write(s, "", 1) ? FpOk : FpStreamFailed;
}

FpStatus FpWriteKernel(VxStream* s, const FpFilterHeader& header, Handle kernels) {
    if (header.words[FpFilterHeader::KernelFlag] == 0) return FpNoKernelFlag;
    FpLockedKernelSet set(kernels);
    FpKernelTable* t = set ? set->slot(kSlotKernels).table : nullptr;
    if (!t || t->headerWord != kKernelBlockWord) return FpNoKernelTable;
    uint8_t bytes[kKernelBlockHeaderSize];
    putBig(bytes + 0, t->headerWord);
    putBig(bytes + 4, uint32_t(t->taps));
    putBig(bytes + 8, uint32_t(t->variants));
    putBig(bytes + 12, uint32_t(t->levels));
    putBig(bytes + 16, uint32_t(t->bytesPerSample));
    putBig(bytes + 20, uint32_t(t->fractionBits));
    putBig(bytes + 24, uint32_t(t->word6));
    std::memcpy(bytes + 28, t->kindName, 4);
    std::memcpy(bytes + 32, &t->word8, 4);
    putBig(bytes + 36, t->word10);
    putBig(bytes + 40, uint32_t(t->secondTable));
    putBig(bytes + 44, t->word11);
    putBig(bytes + 48, t->word12);
    if (!Vx_write(s, bytes, sizeof bytes)) return FpBadFilterData;
    return FpTransferSamples(*t, s, "w");
}

FpStatus FpStoreFilter(Handle filter, uint32_t& count, void* buffer) {
    const uint32_t room = count;
    count = 0;
    Handle headerHandle = 0, list = 0, kernels = 0;
    const FpStatus state = FpFilterParts(filter, &headerHandle, &list, &kernels);
    // A filter without kernels would be stored as bytes that cannot be
    // loaded again: it is refused, and nothing is written.
    if (state != FpHasKernels) return state;
    VxStream s;
    if (!VxOpen(nullptr, "m", &s, nullptr, buffer, room)) return FpStreamNotOpen;
    Locked<FpFilterHeader> header(headerHandle);
    FpStatus st = header ? FpWriteHeader(&s, *header, FpAttributeTextLength(list)) : FpBadFilterData;
    if (st == FpOk) st = FpWriteAttributeText(&s, list);
    if (st == FpOk) st = FpWriteKernel(&s, *header, kernels);
    count = s.written;
    Vx_close(&s);
    return st;
}

} // namespace kestra
