#pragma once
// Asks for the two parts of a custom crop ratio (width X height), each a
// number above 0 and at most 9999.99; OK is enabled only while both are.
#include <wx/dialog.h>

class wxButton;
class wxStaticText;
class wxTextCtrl;

class CCropAspectRatioDlg : public wxDialog {
public:
    CCropAspectRatioDlg(float widthPart, float heightPart, wxWindow* parent);
    float GetWidthPart() const { return width_; }
    float GetHeightPart() const { return height_; }

    // A part as typed: true with the value when it reads as a number above 0
    // and at most 9999.99 in the user's notation; else false and the message.
    static bool ReadPart(const std::string& text, float& value, std::string& message);

private:
    void OnChange(wxCommandEvent& event);
    bool Exchange();

    wxTextCtrl* widthEdit_ = nullptr;
    wxTextCtrl* heightEdit_ = nullptr;
    wxStaticText* note_ = nullptr;
    wxButton* ok_ = nullptr;
    float width_;
    float height_;
};
