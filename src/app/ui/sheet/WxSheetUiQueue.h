#pragma once
// The program's way to the user-interface thread: the application's event
// queue (thread-safe to post to). Without an application the task is lost.
#include "SheetUiQueue.h"

#include <wx/app.h>

class WxSheetUiQueue final : public SheetUiQueue {
public:
    void CallAfter(std::function<void()> task) override {
        if (wxTheApp) wxTheApp->CallAfter(std::move(task));
    }
};
