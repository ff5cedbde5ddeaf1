#include "AppCommands.h"

#include "CFileOpenDialog.h"
#include "LocalizedText.h"
#include "OpenFileFilter.h"
#include "SendToMenuItem.h"
#include "StringIds.h"
#include "WxMenuSeam.h"

#include <wx/filedlg.h>
#include <wx/menu.h>

void RunOpenCommand(wxWindow* parent, const std::function<void(const std::string&)>& open) {
    CFileOpenDialog dialog(parent, OpenFilterWildcard(), OpenDialogStartFolder());
    dialog.SetTitle(wxString::FromUTF8(OpenDialogTitle()));
    dialog.SelectFilterIndex(kOpenFilterInitialIndex + 1);
    const int answer = dialog.ShowModal();
    std::string opened;
    if (CFileOpenDialog::folderChosen())
        opened = CFileOpenDialog::folderPath();
    else if (answer == wxID_OK)
        opened = dialog.GetPath();
    if (opened.empty()) return;
    open(opened);
    const std::string shown = CFileOpenDialog::folderPath();
    if (!shown.empty()) RememberOpenFolder(shown);
}

void RunOpenWithCommand(wxWindow* parent, wxMenuBar* menus) {
    wxFileDialog dialog(parent, wxString::FromUTF8(LoadTranslatedString(IDS_OPEN_WITH_TITLE)),
                        wxString::FromUTF8(OpenWithStartFolder()), wxEmptyString, wxString::FromUTF8(OpenWithFilter()),
                        wxFD_OPEN | wxFD_FILE_MUST_EXIST);
    if (dialog.ShowModal() != wxID_OK) return;
    const std::string path = dialog.GetPath().utf8_string();
    if (!IsRunnableProgram(path) || !menus) return;
    WxMenuSeam seam(menus);
    SetOpenWithProgram(path, seam);
}
