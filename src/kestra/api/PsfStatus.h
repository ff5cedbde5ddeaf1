#pragma once
// The processor's answers as PSF statuses; codes the table does not list
// pass through unchanged.
#include "FpStatus.h"

namespace kestra {

int32_t PsfMapStatus(FpStatus status);

} // namespace kestra
