#pragma once
// Answers of the filter processor. The PSF layer turns them into PSFStatus
// values through PsfMapStatus; codes it does not list reach the caller as
// they are.
#include <cstdint>

namespace kestra {

using FpStatus = int32_t;

enum : FpStatus {
    FpFailed = -1,
    FpOk = 1,
    FpNoMemory = 100,
    FpBadFilterData = 101,      // the stored filter is malformed
    FpNoProcessor = 102,
    FpBadLevel = 105,           // a level of the level list cannot be read
    FpBadFilterHandle = 106,
    FpHasKernels = 107,         // filter state: kernels attached
    FpAttributesOnly = 108,     // filter state: attributes only
    FpBadAttribute = 110,       // read-only, zero or unknown id
    FpEvalKindTable = 113,      // the evaluation-kind table is full or lacks the kind
    FpStreamFailed = 123,
    FpNoListMemory = 125,
    FpTextCut = 126,            // the value did not fit the reader's limit
    FpNoSharedMemory = 143,
    FpValueTooLong = 145,
    FpNoAttributeList = 148,
    FpStreamNotOpen = 161,
    FpNoThreadContext = 305,
    FpNoKernelFlag = 504,
    FpNoKernelTable = 514,
};

} // namespace kestra
