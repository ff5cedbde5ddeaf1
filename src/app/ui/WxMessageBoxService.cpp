#include "WxMessageBoxService.h"

#include <wx/msgdlg.h>
#include <wx/window.h>

int WxMessageBoxService::Show(const std::string& text, const std::string& caption, Buttons buttons) {
    long style = wxOK;
    if (buttons == kOkCancel) style = wxOK | wxCANCEL;
    if (buttons == kYesNo) style = wxYES_NO;
    wxMessageDialog box(wxGetActiveWindow(), wxString::FromUTF8(text), wxString::FromUTF8(caption),
                        style | wxICON_EXCLAMATION);
    switch (box.ShowModal()) {
    case wxID_OK: return kAnswerOk;
    case wxID_YES: return kAnswerYes;
    case wxID_NO: return kAnswerNo;
    default: return kAnswerCancel;
    }
}
