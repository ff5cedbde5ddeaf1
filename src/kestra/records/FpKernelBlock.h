#pragma once
// The kernel block of a stored filter: 13 header words (big-endian except
// word 8, which keeps the writer's bytes; word 10 stored before word 9), the
// samples level by level, variant by variant, tap by tap as big-endian
// 16-bit values without padding, then the optional second table.
#include "FpRecords.h"
#include "FpStatus.h"

namespace kestra {

// Moves the samples between the stream and the table's padded storage: "r"
// reads them, "w" writes them. 101 for a short stream or a missing buffer.
FpStatus FpTransferSamples(FpKernelTable& table, VxStream* stream, const char* mode);
// Bytes of the block for this table, in 64 bits.
uint64_t FpKernelBlockSize(const FpKernelTable& table);

} // namespace kestra
