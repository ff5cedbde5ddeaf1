#include "MessagePump.h"

#include <wx/app.h>

void PumpMessages() {
    static bool pumping = false;
    if (pumping || !wxTheApp) return;
    pumping = true;
    wxTheApp->Yield(true);
    wxTheApp->ProcessPendingEvents();
    pumping = false;
}
