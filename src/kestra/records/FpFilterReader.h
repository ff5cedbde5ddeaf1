#pragma once
// Reading a stored filter: the 500-byte header in either byte order, the
// attribute text and the kernel block. Every count from the bytes is checked
// against the bytes given before anything is allocated for it.
#include "FpRecords.h"
#include "FpStatus.h"

namespace kestra {

// A filter holding the header and attributes of the buffer.
FpStatus FpNewFilterFromBuffer(Handle& filter, const void* buffer, uint32_t size);
// Attaches the buffer's kernel block to a filter that holds attributes only.
FpStatus FpLoadKernelFromBuffer(Handle filter, uint32_t size, const void* buffer);

FpStatus FpReadHeader(VxStream* stream, Handle& header);
FpStatus FpReadHeaderWords(VxStream* stream, FpFilterHeader& header);
FpStatus FpParseAttributeText(VxStream* stream, uint32_t length, Handle& list);
FpStatus FpReadKernel(VxStream* stream, const FpFilterHeader& header, Handle& kernelSet);
void FpSwapHeader(FpFilterHeader& header);

} // namespace kestra
