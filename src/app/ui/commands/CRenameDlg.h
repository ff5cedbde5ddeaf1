#pragma once
// The Rename dialog: one image's new file name, or for several images a base
// name with a sequence number of a chosen width from a chosen start, with
// the first image's resulting name shown. The caller renames after Rename
// (wxID_OK) and reads the base name, the digits and the start.
#include "RenamePresenter.h"
#include "WxDialogView.h"
#include "WxEditFieldView.h"

#include <wx/dialog.h>

class wxStaticText;

class CRenameDlg : public wxDialog {
public:
    // name: one image's whole file name, or the first image's name without
    // its extension for several; extension with its dot (may be empty).
    CRenameDlg(int imageCount, const std::string& name, const std::string& extension, wxWindow* parent = nullptr);
    int ShowModal() override;

    virtual std::string GetBaseName() { return presenter_.GetBaseName(); }
    virtual void SetBaseName(const std::string& name) { presenter_.SetBaseName(name); }
    virtual int GetStartFrom() { return presenter_.GetStartFrom(); }
    virtual void SetStartFrom(int start) { presenter_.SetStartFrom(start); }
    virtual int GetNumDigits() { return presenter_.GetNumDigits(); }
    virtual void SetNumDigits(int digits) { presenter_.SetNumDigits(digits); }

    // The name image i of the batch gets (its extension not included).
    std::string ApplyNumbering(int digits, int start, const std::string& name) const {
        return presenter_.ApplyNumbering(digits, start, name);
    }
    RenamePresenter& Presenter() { return presenter_; }

private:
    // The problem line keeps its width: long texts wrap.
    void RewrapMessage();

    WxDialogView view_;
    WxEditFieldView fields_;
    RenamePresenter presenter_;
    wxStaticText* message_ = nullptr;
    bool initialised_ = false;
};
