#pragma once
// The program's file dialog: a tree of folders and files with the type
// filter, the name field, the type list, and under them the controls of the
// dialog kind. The desktop's own file chooser cannot carry those controls.
#include <wx/dialog.h>

#include <string>
#include <vector>

class wxGenericDirCtrl;
class wxChoice;
class wxSizer;
class wxTextCtrl;

class FileTreeDialog : public wxDialog {
public:
    // filter: "Name|pattern|Name|pattern|" (a trailing "|" or "||" ends it);
    // filterIndex counts from 1.
    FileTreeDialog(wxWindow* parent, const wxString& title, const wxString& okLabel, const std::string& filter,
                   const std::string& initialFolder, int filterIndex);

    // The selection (a file or a folder); with the name field, the file it
    // names.
    std::string GetPath() const;
    int GetFilterIndex() const;
    // Shows a path as the user would by clicking it.
    void SelectPath(const std::string& path);
    // Picks a type as the user would in the list (counting from 1).
    void SelectFilterIndex(int index);

protected:
    // Adds the kind's controls below the standard ones, then lays out.
    void AddTemplate(wxSizer* sizer);
    virtual void SelectionChanged(const std::string&) {}
    virtual void TypeChanged(int) {}
    // OK or a double-clicked file; the default ends the dialog with OK.
    virtual void Accept();

    wxGenericDirCtrl* tree_ = nullptr;
    wxChoice* types_ = nullptr;
    wxTextCtrl* name_ = nullptr;

private:
    void ApplyFilter(int index);

    wxSizer* sizer_ = nullptr;
    std::vector<std::string> patterns_;
};
