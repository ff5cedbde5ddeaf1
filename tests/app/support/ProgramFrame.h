#pragma once
// The program's main frame as the program starts it: the image kinds, the
// image pool and the colour engine in place, a document manager with the
// program's templates, the frame shown.
#include "CMainFrame.h"
#include "ColorEngine.h"
#include "GuiTest.h"
#include "ImagePool.h"
#include "InstalledImageKinds.h"
#include "LumoraDocManager.h"
#include "WxCommandId.h"

#include <wx/app.h>

namespace gui {

// Null when the frame cannot be made; the manager is the caller's to delete.
inline CMainFrame* StartProgramFrame(LumoraDocManager*& manager, bool topWindow = false, int settleMs = 200) {
    NimbalCore::InstalledImageKinds::Install();
    NimbalCore::ImagePool::Instance();
    NimbalCore::ColorEngine::Instance(0, 1);
    manager = new LumoraDocManager;
    manager->RegisterTemplates();
    auto* frame = new CMainFrame(manager);
    if (!frame->CreateFrame()) return nullptr;
    if (topWindow) wxTheApp->SetTopWindow(frame);
    frame->Show();
    Settle(settleMs);
    return frame;
}

// What the frame's update handlers say of a menu command (enabled, checked).
inline wxUpdateUIEvent MenuItemState(CMainFrame* frame, int command) {
    wxUpdateUIEvent update(ToWxId(command));
    frame->ProcessWindowEvent(update);
    return update;
}

// A menu command as the frame receives it from the menu.
inline void SendMenuCommand(CMainFrame* frame, int command) {
    wxCommandEvent event(wxEVT_MENU, ToWxId(command));
    frame->ProcessWindowEvent(event);
}

} // namespace gui
