#pragma once
// Writing a filter: the header (little-endian), the attribute text and the
// kernel block, into a memory stream over the caller's buffer.
#include "FpRecords.h"
#include "FpStatus.h"

namespace kestra {

// An upper bound of what FpStoreFilter writes.
FpStatus FpBufferSize(Handle filter, uint32_t& size);
// count: the room in (the bound), the bytes written out.
FpStatus FpStoreFilter(Handle filter, uint32_t& count, void* buffer);

FpStatus FpWriteHeader(VxStream* stream, FpFilterHeader& header, uint32_t textLength);
FpStatus FpWriteAttributeText(VxStream* stream, Handle list);
FpStatus FpWriteKernel(VxStream* stream, const FpFilterHeader& header, Handle kernelSet);

} // namespace kestra
