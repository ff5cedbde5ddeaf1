#include "FpAttributes.h"

#include "FpAttributeList.h"
#include "FpContext.h"
#include "FpFilterRecord.h"
#include "FpKernels.h"
#include "Locked.h"
#include "PsfConversions.h"

#include <cstring>

namespace kestra {

namespace {
// Copies a value as the list does: whole when shorter than the room, else cut
// with 126.
FpStatus copyLimited(const std::string& value, int32_t& limit, char* text) {
    const int32_t room = limit;
    limit = int32_t(value.size());
    if (int32_t(value.size()) < room) {
        std::memcpy(text, value.c_str(), value.size() + 1);
        return FpOk;
    }
    if (room > 0) {
        std::memcpy(text, value.data(), size_t(room - 1));
        text[room - 1] = 0;
    }
    return FpTextCut;
}
} // namespace

bool FpIsComputedAttribute(int32_t id) {
    return id == 16 || (id >= 30002 && id <= 30008) || id == 30011;
}

bool FpIsReadOnlyAttribute(int32_t id) {
    return id == 16 || id == kAttrProcessorVersion || id == 30000 || (id >= 30002 && id <= 30008) || id == 30011;
}

FpStatus FpComputedAttribute(Handle setHandle, int32_t id, std::string& text) {
    Locked<FpKernelSet> set(setHandle);
    if (!set || !set->slot(kSlotKernels).handle) return FpNoKernelTable;
    const uint32_t version = set->version;
    Locked<FpKernelTable> t(set->slot(kSlotKernels).handle);
    if (!t) return FpNoKernelTable;
    switch (id) {
    case 16: text = PsfLongToText(int32_t(version)); break;
    case 30002: text = PsfLongToText(t->taps); break;
    case 30003: text = PsfLongToText(t->variants); break;
    case 30004: text = PsfLongToText(t->levels); break;
    case 30005: text = PsfLongToText(t->bytesPerSample); break;
    case 30006: text = PsfLongToText(t->fractionBits); break;
    case 30007: text = PsfLongToText(t->word6); break;
    case 30008: text.assign(t->kindName, strnlen(t->kindName, sizeof t->kindName)); break;
    case 30011: text = PsfLongToText(t->secondTable); break;
    default: return FpBadAttribute;
    }
    return FpOk;
}

FpStatus FpGetAttributeText(Handle filter, int32_t id, int32_t& limit, char* text) {
    if (id == kAttrProcessorVersion) return copyLimited(kProcessorVersion, limit, text);
    FpThreadScope thread;
    if (!thread) return FpNoThreadContext;
    Handle list = 0, kernels = 0;
    const FpStatus state = FpFilterParts(filter, nullptr, &list, &kernels);
    if (state != FpHasKernels && state != FpAttributesOnly) return FpBadFilterHandle;
    if (state == FpHasKernels && FpIsComputedAttribute(id)) {
        std::string value;
        const FpStatus s = FpComputedAttribute(kernels, id, value);
        if (s != FpOk) return s;
        return copyLimited(value, limit, text);
    }
    return FpFindAttribute(list, id, limit, text);
}

FpStatus FpSetAttributeText(Handle filter, int32_t id, const char* text) {
    FpThreadScope thread;
    if (!thread) return FpNoThreadContext;
    if (FpIsReadOnlyAttribute(id)) return FpBadAttribute;
    Handle list = 0;
    const FpStatus state = FpFilterAttributes(filter, list);
    if (state != FpHasKernels && state != FpAttributesOnly) return FpBadFilterHandle;
    const FpStatus s = FpPutAttribute(list, id, text);
    FpSetFilterAttributes(filter, list); // the list moves to a new handle when it grows
    return s;
}

} // namespace kestra
