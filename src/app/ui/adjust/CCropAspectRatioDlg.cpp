#include "CCropAspectRatioDlg.h"

#include "LocalizedText.h"
#include "TranslateWindow.h"

#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {
std::string FormatPart(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return ToLocaleDecimalPoint(text);
}
} // namespace

CCropAspectRatioDlg::CCropAspectRatioDlg(float widthPart, float heightPart, wxWindow* parent)
    : wxDialog(parent, wxID_ANY, "Crop Aspect Ratio"), width_(widthPart), height_(heightPart) {
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    row->Add(new wxStaticText(this, wxID_ANY, "Constrain to:"), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 6);
    widthEdit_ = new wxTextCtrl(this, 1175, wxString::FromUTF8(FormatPart(widthPart)));
    heightEdit_ = new wxTextCtrl(this, 1176, wxString::FromUTF8(FormatPart(heightPart)));
    row->Add(widthEdit_, 0, wxALIGN_CENTER_VERTICAL);
    row->Add(new wxStaticText(this, wxID_ANY, "X"), 0, wxALIGN_CENTER_VERTICAL | wxLEFT | wxRIGHT, 6);
    row->Add(heightEdit_, 0, wxALIGN_CENTER_VERTICAL);
    auto* column = new wxBoxSizer(wxVERTICAL);
    column->Add(row, 0, wxALL, 10);
    note_ = new wxStaticText(this, 1177, wxEmptyString);
    column->Add(note_, 0, wxLEFT | wxRIGHT | wxEXPAND, 10);
    auto* buttons = new wxStdDialogButtonSizer;
    ok_ = new wxButton(this, wxID_OK);
    buttons->AddButton(ok_);
    buttons->AddButton(new wxButton(this, wxID_CANCEL));
    buttons->Realize();
    column->Add(buttons, 0, wxALL | wxALIGN_RIGHT, 10);
    SetSizerAndFit(column);
    TranslateWindowText(this, false);
    widthEdit_->Bind(wxEVT_TEXT, &CCropAspectRatioDlg::OnChange, this);
    heightEdit_->Bind(wxEVT_TEXT, &CCropAspectRatioDlg::OnChange, this);
    Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
        if (Exchange()) EndModal(wxID_OK);
    }, wxID_OK);
}

bool CCropAspectRatioDlg::ReadPart(const std::string& text, float& value, std::string& message) {
    const std::string plain = FromLocaleDecimalPoint(text);
    const char* begin = plain.c_str();
    while (*begin == ' ') ++begin;
    char* end = nullptr;
    errno = 0;
    const double read = std::strtod(begin, &end);
    while (end && *end == ' ') ++end;
    if (*begin == '\0' || end == begin || *end != '\0' || errno != 0 || !std::isfinite(read)) {
        message = TranslateString("Please enter a number.");
        return false;
    }
    if (read < 0.0 || read > 9999.99) {
        message = TranslateString("Please enter a number between 0 and 9999.99.");
        return false;
    }
    // A part of 0 makes no ratio.
    if (read <= 0.0) {
        message = TranslateString("Please enter a number greater than 0.");
        return false;
    }
    value = static_cast<float>(read);
    return true;
}

bool CCropAspectRatioDlg::Exchange() {
    float width = 0, height = 0;
    std::string message;
    const bool ok = ReadPart(widthEdit_->GetValue().utf8_string(), width, message) &&
                    ReadPart(heightEdit_->GetValue().utf8_string(), height, message);
    note_->SetLabel(ok ? wxString() : wxString::FromUTF8(message));
    ok_->Enable(ok);
    if (ok) {
        width_ = width;
        height_ = height;
    }
    return ok;
}

void CCropAspectRatioDlg::OnChange(wxCommandEvent&) { Exchange(); }
