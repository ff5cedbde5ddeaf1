#pragma once
// A filter's attribute list: pairs {id, handle of a value text} in the order
// of first insertion, in a movable buffer that grows by 100 pairs.
#include "FpRecords.h"
#include "FpStatus.h"

namespace kestra {

enum FpListOperation : int32_t { FpListPut = 1, FpListGet = 2, FpListDelete = 3 };

// A new, empty list of capacity 100.
FpStatus FpNewList(Handle& list);
FpStatus FpPutAttribute(Handle& list, int32_t id, const char* text);
FpStatus FpAppendAttribute(Handle& list, int32_t id, Handle text);
FpStatus FpAttributeListOp(Handle list, FpAttributePair& pair, int32_t operation);
// limit: room at text in, the value's full length out.
FpStatus FpFindAttribute(Handle list, int32_t id, int32_t& limit, char* text);
FpStatus FpFreeAttributeList(Handle list);
FpStatus FpCheckValueLength(int64_t length);
FpStatus FpGetLongById(Handle list, int32_t id, int32_t& value);
FpStatus FpGetDoubleById(Handle list, int32_t id, double& value);
// Bytes of the list's stored text (lines and the final NUL); 0 without a list.
uint32_t FpAttributeTextLength(Handle list);

} // namespace kestra
