#pragma once
// The caller's progress procedure for the strip running in this thread, and
// the run record handed to the processor; shared by sharpening and scaling.
#include "FpProgress.h"
#include "Kestra.h"

namespace kestra {

int32_t PsfCallProgress(PSFProgressProc proc, int phase, int percent, void* user);
FpProgressHook PsfPushProgress(PSFProgressProc proc, void* user);
void PsfPopProgress(PSFProgressProc proc);
int32_t PsfInitRunContext(FpProgressHook hook, uint32_t caller, FpRunRecord& run);

} // namespace kestra
