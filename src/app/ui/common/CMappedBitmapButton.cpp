#include "CMappedBitmapButton.h"

#include <wx/settings.h>

#include <map>

namespace {

constexpr int kImages = 4;

std::map<int, wxImage>& Strips() {
    static std::map<int, wxImage> strips;
    return strips;
}

} // namespace

void CMappedBitmapButton::RegisterStrip(int bitmapId, const wxImage& strip) { Strips()[bitmapId] = strip; }

CMappedBitmapButton::CMappedBitmapButton(wxWindow* parent, wxWindowID id)
    : wxBitmapButton(parent, id, wxBitmap(1, 1), wxDefaultPosition, wxDefaultSize, wxBU_EXACTFIT | wxBORDER_NONE) {
    Bind(wxEVT_SYS_COLOUR_CHANGED, &CMappedBitmapButton::OnSysColourChanged, this);
}

bool CMappedBitmapButton::SubclassAndLoad(wxWindowID id, wxWindow* parent, int bitmapId) {
    if (!parent ||
        !Create(parent, id, wxBitmap(1, 1), wxDefaultPosition, wxDefaultSize, wxBU_EXACTFIT | wxBORDER_NONE))
        return false;
    Bind(wxEVT_SYS_COLOUR_CHANGED, &CMappedBitmapButton::OnSysColourChanged, this);
    if (!LoadMappedBitmap(bitmapId)) return false;
    SizeToImage();
    return true;
}

wxImage CMappedBitmapButton::MapSystemColours(const wxImage& strip) {
    wxImage image = strip.Copy();
    struct Map {
        unsigned char r, g, b;
        wxSystemColour to;
    } const maps[] = {
        {0, 0, 0, wxSYS_COLOUR_BTNTEXT},
        {128, 128, 128, wxSYS_COLOUR_BTNSHADOW},
        {192, 192, 192, wxSYS_COLOUR_BTNFACE},
        {255, 255, 255, wxSYS_COLOUR_BTNHIGHLIGHT},
    };
    unsigned char* p = image.GetData();
    const size_t n = size_t(image.GetWidth()) * size_t(image.GetHeight());
    for (size_t i = 0; i < n; ++i, p += 3) {
        for (const Map& m : maps) {
            if (p[0] == m.r && p[1] == m.g && p[2] == m.b) {
                const wxColour c = wxSystemSettings::GetColour(m.to);
                p[0] = c.Red();
                p[1] = c.Green();
                p[2] = c.Blue();
                break;
            }
        }
    }
    return image;
}

bool CMappedBitmapButton::LoadMappedBitmap(int bitmapId) {
    images_.clear();
    bitmapId_ = bitmapId;
    const auto found = Strips().find(bitmapId);
    if (found == Strips().end() || !found->second.IsOk()) return false;
    const wxImage strip = MapSystemColours(found->second);
    const int width = strip.GetWidth() / kImages, height = strip.GetHeight();
    if (width <= 0 || height <= 0) return false;
    for (int i = 0; i < kImages; ++i) images_.emplace_back(strip.GetSubImage(wxRect(i * width, 0, width, height)));
    SetBitmapLabel(images_[0]);
    SetBitmapPressed(images_[1]);
    SetBitmapFocus(images_[2]);
    SetBitmapDisabled(images_[3]);
    return true;
}

void CMappedBitmapButton::SizeToImage() {
    if (images_.empty()) return;
    SetSize(images_[0].GetWidth(), images_[0].GetHeight());
}

void CMappedBitmapButton::OnSysColourChanged(wxSysColourChangedEvent& event) {
    event.Skip();
    if (images_.size() == size_t(kImages)) LoadMappedBitmap(bitmapId_);
    Refresh(true);
}
