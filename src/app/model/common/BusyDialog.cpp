#include "BusyDialog.h"

EnableTarget* BusyDialog = nullptr;

void ReenableBusyDialog() {
    if (!BusyDialog) return;
    BusyDialog->Enable(true);
    BusyDialog = nullptr;
}
