#include "WxMessageBoxService.h"

#include <wx/msgdlg.h>
#include <wx/window.h>

namespace {

int ShowBox(const std::string& text, const std::string& caption, MessageBoxService::Buttons buttons,
            long iconStyle) {
    long style = wxOK;
    if (buttons == MessageBoxService::kOkCancel) style = wxOK | wxCANCEL;
    if (buttons == MessageBoxService::kYesNo) style = wxYES_NO;
    if (buttons == MessageBoxService::kYesNoCancel) style = wxYES_NO | wxCANCEL;
    wxMessageDialog box(wxGetActiveWindow(), wxString::FromUTF8(text), wxString::FromUTF8(caption),
                        style | iconStyle);
    switch (box.ShowModal()) {
    case wxID_OK: return MessageBoxService::kAnswerOk;
    case wxID_YES: return MessageBoxService::kAnswerYes;
    case wxID_NO: return MessageBoxService::kAnswerNo;
    default: return MessageBoxService::kAnswerCancel;
    }
}

} // namespace

int WxMessageBoxService::Show(const std::string& text, const std::string& caption, Buttons buttons) {
    return ShowBox(text, caption, buttons, wxICON_EXCLAMATION);
}

int WxMessageBoxService::ShowWithIcon(const std::string& text, const std::string& caption, Buttons buttons,
                                      Icon icon) {
    long style = wxICON_NONE;
    if (icon == kStop) style = wxICON_ERROR;
    if (icon == kInformation) style = wxICON_INFORMATION;
    if (icon == kExclamation) style = wxICON_EXCLAMATION;
    return ShowBox(text, caption, buttons, style);
}
