#pragma once
// A push button whose four state pictures (normal, pressed, focused,
// disabled) come from one strip, four pictures wide, with the strip's
// standard button colours mapped to the current ones; the pictures follow a
// change of the system colours.
#include <wx/bmpbuttn.h>
#include <wx/image.h>

#include <vector>

class CMappedBitmapButton : public wxBitmapButton {
public:
    // The program's picture strips by resource id.
    static void RegisterStrip(int bitmapId, const wxImage& strip);

    CMappedBitmapButton() = default;
    CMappedBitmapButton(wxWindow* parent, wxWindowID id);

    // Makes the button in the parent, loads the strip and sizes the button
    // to one picture; false as soon as a step fails.
    bool SubclassAndLoad(wxWindowID id, wxWindow* parent, int bitmapId);
    // False when the strip cannot be found or cut into four pictures; the
    // button then shows nothing.
    bool LoadMappedBitmap(int bitmapId);
    void SizeToImage();

    int BitmapId() const { return bitmapId_; }
    size_t ImageCount() const { return images_.size(); }
    const wxBitmap& Image(size_t index) const { return images_.at(index); }

    // The standard colours mapped to the system's current ones.
    static wxImage MapSystemColours(const wxImage& strip);

private:
    void OnSysColourChanged(wxSysColourChangedEvent& event);

    std::vector<wxBitmap> images_;
    int bitmapId_ = -1;
};
