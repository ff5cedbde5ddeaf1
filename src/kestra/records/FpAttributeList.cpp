#include "FpAttributeList.h"

#include "Locked.h"

#include <cstdlib>
#include <cstring>

namespace kestra {

namespace {

uint32_t listBytes(int32_t capacity) {
    return uint32_t(sizeof(FpAttributeList) + sizeof(FpAttributePair) * uint32_t(capacity));
}

Handle newList(int32_t capacity) {
    const Handle h = allocBufferHandle(listBytes(capacity));
    if (!h) return 0;
    Locked<FpAttributeList> list(h);
    if (!list) {
        freeBuffer(h);
        return 0;
    }
    std::memset(list.get(), 0, listBytes(capacity));
    list->capacity = capacity;
    return h;
}

// A list of 100 more pairs holding the old one's pairs; the old one is freed.
FpStatus grow(Handle& list) {
    Locked<FpAttributeList> old(list);
    if (!old) return FpNoListMemory;
    if (old->capacity > INT32_MAX - kListGrowth) return FpNoListMemory;
    const Handle h = newList(old->capacity + kListGrowth);
    if (!h) return FpNoListMemory;
    {
        Locked<FpAttributeList> fresh(h);
        if (!fresh) {
            freeBuffer(h);
            return FpNoListMemory;
        }
        fresh->count = old->count;
        std::memcpy(fresh->pairs(), old->pairs(), sizeof(FpAttributePair) * size_t(old->count));
    }
    old.release();
    freeBuffer(list);
    list = h;
    return FpOk;
}

int32_t digits(int32_t id) {
    char buf[12];
    return int32_t(std::strlen(VxItoa(id, buf)));
}

} // namespace

FpStatus FpNewList(Handle& list) {
    list = newList(kListGrowth);
    return list ? FpOk : FpNoListMemory;
}

FpStatus FpCheckValueLength(int64_t length) {
    if (length < 1) return FpTextCut;
    if (length > kMaxValueLength) return FpValueTooLong;
    return FpOk;
}

FpStatus FpAttributeListOp(Handle listHandle, FpAttributePair& pair, int32_t operation) {
    if (!listHandle) return FpNoListMemory;
    Locked<FpAttributeList> list(listHandle);
    if (!list) return FpNoListMemory;
    FpAttributePair* pairs = list->pairs();
    int32_t at = -1;
    for (int32_t i = 0; i < list->count; ++i)
        if (pairs[i].id == pair.id) {
            at = i;
            break;
        }
    switch (operation) {
    case FpListPut:
        if (at >= 0) {
            if (pairs[at].text) freeBuffer(pairs[at].text);
            pairs[at].text = pair.text;
        } else {
            if (list->count >= list->capacity) return FpNoListMemory;
            pairs[list->count++] = pair;
        }
        return FpOk;
    case FpListGet:
        if (at >= 0) pair.text = pairs[at].text;
        return FpOk;
    case FpListDelete:
        if (at >= 0) {
            if (pairs[at].text) freeBuffer(pairs[at].text);
            std::memmove(&pairs[at], &pairs[at + 1], sizeof(FpAttributePair) * size_t(list->count - at - 1));
            pairs[list->count - 1] = FpAttributePair{};
            --list->count;
        }
        return FpOk;
    default:
        return FpFailed;
    }
}

FpStatus FpAppendAttribute(Handle& list, int32_t id, Handle text) {
    if (!list) {
        list = newList(kListGrowth);
        if (!list) return FpNoListMemory;
    }
    bool full;
    {
        Locked<FpAttributeList> l(list);
        if (!l) return FpNoListMemory;
        full = l->count >= l->capacity;
    }
    if (full && grow(list) != FpOk) return FpNoListMemory;
    FpAttributePair pair{id, text};
    return FpAttributeListOp(list, pair, FpListPut);
}

FpStatus FpPutAttribute(Handle& list, int32_t id, const char* text) {
    if (!text || !text[0]) {
        if (list) {
            FpAttributePair pair{id, 0};
            FpAttributeListOp(list, pair, FpListDelete);
        }
        return FpOk;
    }
    const size_t length = strnlen(text, size_t(kMaxValueLength) + 1);
    const FpStatus lengthOk = FpCheckValueLength(int64_t(length));
    if (lengthOk != FpOk) return lengthOk;
    if (id == 0) return FpBadAttribute;
    const Handle h = allocBufferHandle(uint32_t(length + 1));
    if (!h) return FpNoListMemory;
    {
        Locked<char> copy(h);
        if (!copy) {
            freeBuffer(h);
            return FpNoListMemory;
        }
        std::memcpy(copy.get(), text, length + 1);
    }
    const FpStatus s = FpAppendAttribute(list, id, h);
    if (s != FpOk) freeBuffer(h);
    return s;
}

FpStatus FpFindAttribute(Handle list, int32_t id, int32_t& limit, char* text) {
    FpAttributePair pair{id, 0};
    if (!list || FpAttributeListOp(list, pair, FpListGet) != FpOk || !pair.text) return FpBadAttribute;
    Locked<char> value(pair.text);
    if (!value) return FpBadAttribute;
    const int32_t length = int32_t(std::strlen(value.get()));
    const int32_t room = limit;
    limit = length;
    if (length < room) {
        std::memcpy(text, value.get(), size_t(length) + 1);
        return FpOk;
    }
    if (room > 0) {
        std::memcpy(text, value.get(), size_t(room - 1));
        text[room - 1] = 0;
    }
    return FpTextCut;
}

FpStatus FpFreeAttributeList(Handle listHandle) {
    if (!listHandle) return FpOk;
    {
        Locked<FpAttributeList> list(listHandle);
        if (list)
            for (int32_t i = 0; i < list->count; ++i)
                if (list->pairs()[i].text) freeBuffer(list->pairs()[i].text);
    }
    freeBuffer(listHandle);
    return FpOk;
}

FpStatus FpGetLongById(Handle list, int32_t id, int32_t& value) {
    char text[kMaxValueLength + 1];
    int32_t limit = sizeof text;
    const FpStatus s = FpFindAttribute(list, id, limit, text);
    if (s != FpOk) return s;
    value = VxAtoi(text);
    return FpOk;
}

FpStatus FpGetDoubleById(Handle list, int32_t id, double& value) {
    char text[kMaxValueLength + 1];
    int32_t limit = sizeof text;
    const FpStatus s = FpFindAttribute(list, id, limit, text);
    if (s != FpOk) return s;
    value = std::strtod(text, nullptr);
    return FpOk;
}

uint32_t FpAttributeTextLength(Handle listHandle) {
    if (!listHandle) return 0;
    Locked<FpAttributeList> list(listHandle);
    if (!list) return 0;
    uint64_t length = 1;
    for (int32_t i = 0; i < list->count; ++i) {
        const FpAttributePair& p = list->pairs()[i];
        Locked<char> value(p.text);
        length += uint64_t(digits(p.id)) + (value ? std::strlen(value.get()) : 0) + 2;
    }
    return length > UINT32_MAX ? UINT32_MAX : uint32_t(length);
}

} // namespace kestra
