#pragma once
// The dialog that has disabled itself while it asks a document to apply or
// re-render settings; null when none does. The dialog sets it to itself
// before it disables itself; progress dialogs disable and re-enable it.
#include "EnableTarget.h"

extern EnableTarget* BusyDialog;

// When BusyDialog is set: enables that window and clears the pointer.
void ReenableBusyDialog();
