#include "WxWhiteBalanceSaveDialog.h"

#include <wx/filedlg.h>

#include <filesystem>

std::optional<std::string> WxWhiteBalanceSaveDialog::AskPath(const std::string& filter, const std::string& folder,
                                                             const std::string& fileName) {
    // The filter text ends its list with "|" (or "||"): the toolkit's list
    // has no empty entries.
    std::string wildcard = filter;
    while (!wildcard.empty() && wildcard.back() == '|') wildcard.pop_back();
    wxFileDialog dialog(parent_, wxFileSelectorPromptStr, wxString::FromUTF8(folder), wxString::FromUTF8(fileName),
                        wxString::FromUTF8(wildcard), wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
    if (dialog.ShowModal() != wxID_OK) return std::nullopt;
    std::string path = dialog.GetPath().utf8_string();
    // The default extension when the user typed none.
    if (std::filesystem::path(path).extension().empty()) path += ".wb";
    return path;
}
