#include "FileTreeDialog.h"

#include "FolderPicker.h"

#include <wx/button.h>
#include <wx/choice.h>
#include <wx/dirctrl.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <filesystem>

namespace {

std::vector<std::string> Split(const std::string& filter) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t bar = filter.find('|', start);
        parts.push_back(filter.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
        if (bar == std::string::npos) break;
        start = bar + 1;
    }
    while (!parts.empty() && parts.back().empty()) parts.pop_back();
    return parts;
}

// "*.*" means every file, with or without an extension.
std::string UnixPattern(const std::string& pattern) { return pattern == "*.*" ? "*" : pattern; }

} // namespace

FileTreeDialog::FileTreeDialog(wxWindow* parent, const wxString& title, const wxString& okLabel,
                               const std::string& filter, const std::string& initialFolder, int filterIndex)
    : wxDialog(parent, wxID_ANY, title, wxDefaultPosition, wxDefaultSize, wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER) {
    const std::vector<std::string> parts = Split(filter);
    std::vector<std::string> names;
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        names.push_back(parts[i]);
        patterns_.push_back(UnixPattern(parts[i + 1]));
    }
    if (patterns_.empty()) {
        names.push_back("*");
        patterns_.push_back("*");
    }

    std::error_code ec;
    const std::string start =
        !initialFolder.empty() && std::filesystem::is_directory(initialFolder, ec) ? initialFolder : wxGetHomeDir().utf8_string();
    tree_ = new wxGenericDirCtrl(this, wxID_ANY, wxString::FromUTF8(start), wxDefaultPosition, wxSize(460, 300),
                                 wxDIRCTRL_3D_INTERNAL);

    auto* nameRow = new wxBoxSizer(wxHORIZONTAL);
    nameRow->Add(new wxStaticText(this, kPickerFileNameLabel, "File &name:", wxDefaultPosition, wxSize(90, -1)), 0,
                 wxALIGN_CENTRE_VERTICAL | wxRIGHT, 5);
    // Enter in the name field presses the dialog's button.
    name_ = new wxTextCtrl(this, kPickerFileNameEdit, wxEmptyString, wxDefaultPosition, wxDefaultSize,
                           wxTE_PROCESS_ENTER);
    nameRow->Add(name_, 1, wxALIGN_CENTRE_VERTICAL);
    nameRow->Add(new wxButton(this, wxID_OK, okLabel), 0, wxLEFT, 8);

    auto* typeRow = new wxBoxSizer(wxHORIZONTAL);
    typeRow->Add(new wxStaticText(this, kPickerFileTypeLabel, "Files of &type:", wxDefaultPosition, wxSize(90, -1)),
                 0, wxALIGN_CENTRE_VERTICAL | wxRIGHT, 5);
    types_ = new wxChoice(this, kPickerFileTypeList);
    for (const std::string& n : names) types_->Append(wxString::FromUTF8(n));
    typeRow->Add(types_, 1, wxALIGN_CENTRE_VERTICAL);
    typeRow->Add(new wxButton(this, wxID_CANCEL, "Cancel"), 0, wxLEFT, 8);

    sizer_ = new wxBoxSizer(wxVERTICAL);
    sizer_->Add(tree_, 1, wxEXPAND | wxALL, 8);
    sizer_->Add(nameRow, 0, wxEXPAND | wxLEFT | wxRIGHT, 8);
    sizer_->Add(typeRow, 0, wxEXPAND | wxALL, 8);

    const int index = filterIndex >= 1 && size_t(filterIndex) <= patterns_.size() ? filterIndex : 1;
    types_->SetSelection(index - 1);
    ApplyFilter(index);
    tree_->SetPath(wxString::FromUTF8(start));

    tree_->Bind(wxEVT_DIRCTRL_SELECTIONCHANGED, [this](wxTreeEvent& e) {
        e.Skip();
        SelectionChanged(GetPath());
    });
    tree_->Bind(wxEVT_DIRCTRL_FILEACTIVATED, [this](wxTreeEvent&) { Accept(); });
    types_->Bind(wxEVT_CHOICE, [this](wxCommandEvent&) {
        ApplyFilter(GetFilterIndex());
        SelectionChanged(GetPath());
        TypeChanged(GetFilterIndex());
    });
    name_->Bind(wxEVT_TEXT_ENTER, [this](wxCommandEvent&) { Accept(); });
    Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { Accept(); }, wxID_OK);
}

void FileTreeDialog::AddTemplate(wxSizer* sizer) {
    if (sizer) sizer_->Add(sizer, 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, 8);
    SetSizerAndFit(sizer_);
    SelectionChanged(GetPath());
}

void FileTreeDialog::ApplyFilter(int index) {
    const std::string path = tree_->GetPath().utf8_string();
    wxString filter;
    for (const std::string& p : patterns_) filter += (filter.empty() ? "" : "|") + wxString("files|") + p;
    tree_->SetFilter(filter);
    tree_->SetFilterIndex(index - 1);
    tree_->ReCreateTree();
    if (!path.empty()) tree_->SetPath(wxString::FromUTF8(path));
}

std::string FileTreeDialog::GetPath() const {
    std::string path = tree_->GetPath().utf8_string();
    const std::string name = name_->GetValue().utf8_string();
    if (!name.empty() && name_->IsShown()) {
        if (!name.empty() && name[0] == '/') return name;
        std::error_code ec;
        const std::string folder = std::filesystem::is_directory(path, ec) ? path : TrackedFolder(path);
        return folder + (folder.empty() || folder.back() != '/' ? "/" : "") + name;
    }
    return path;
}

int FileTreeDialog::GetFilterIndex() const { return types_->GetSelection() + 1; }

void FileTreeDialog::SelectPath(const std::string& path) {
    tree_->SetPath(wxString::FromUTF8(path));
    SelectionChanged(GetPath());
}

void FileTreeDialog::SelectFilterIndex(int index) {
    types_->SetSelection(index - 1);
    wxCommandEvent event(wxEVT_CHOICE, types_->GetId());
    event.SetEventObject(types_);
    event.SetInt(index - 1);
    types_->GetEventHandler()->ProcessEvent(event);
}

void FileTreeDialog::Accept() {
    if (IsModal()) EndModal(wxID_OK);
}
