#include "WxClipboard.h"

#include "PackedDib.h"

#include <wx/bitmap.h>
#include <wx/clipbrd.h>
#include <wx/dataobj.h>
#include <wx/image.h>
#include <wx/imagpng.h>

#include <algorithm>

namespace {

// The toolkit hands bitmaps to other programs, and reads them back, as PNG.
void NeedPngHandler() {
    if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG)) wxImage::AddHandler(new wxPNGHandler);
}

// Hands the data object to the clipboard, which then owns it; deletes it
// when the clipboard cannot be opened.
bool PutOnClipboard(wxDataObject* data) {
    wxClipboardLocker locker;
    if (!locker) {
        delete data;
        return false;
    }
    return wxTheClipboard->SetData(data);
}

} // namespace

bool WxClipboard::SetPicture(const std::vector<uint8_t>& packedDib) {
    const auto picture = PackedDib::Decode(lumora::ByteView(packedDib.data(), packedDib.size()));
    if (!picture) return false;
    NeedPngHandler();
    wxImage image(picture->width, picture->height, false);
    if (!image.IsOk()) return false;
    std::copy(picture->pixels.begin(), picture->pixels.end(), image.GetData());
    const wxBitmap bitmap(image);
    if (!bitmap.IsOk()) return false;
    return PutOnClipboard(new wxBitmapDataObject(bitmap));
}

bool WxClipboard::SetFiles(const std::vector<std::string>& paths) {
    if (paths.empty()) return false;
    auto* files = new wxFileDataObject;
    for (const std::string& path : paths) files->AddFile(wxString::FromUTF8(path));
    return PutOnClipboard(files);
}

std::vector<uint8_t> WxClipboard::GetPicture() {
    NeedPngHandler();
    wxClipboardLocker locker;
    if (!locker || !wxTheClipboard->IsSupported(wxDF_BITMAP)) return {};
    wxBitmapDataObject data;
    if (!wxTheClipboard->GetData(data) || !data.GetBitmap().IsOk()) return {};
    const wxImage image = data.GetBitmap().ConvertToImage();
    if (!image.IsOk()) return {};
    PackedDib::Rgb picture;
    picture.width = image.GetWidth();
    picture.height = image.GetHeight();
    picture.pixels.assign(image.GetData(), image.GetData() + size_t(picture.width) * size_t(picture.height) * 3);
    return PackedDib::Encode(picture);
}

std::vector<std::string> WxClipboard::GetFiles() {
    wxClipboardLocker locker;
    if (!locker || !wxTheClipboard->IsSupported(wxDF_FILENAME)) return {};
    wxFileDataObject data;
    if (!wxTheClipboard->GetData(data)) return {};
    std::vector<std::string> paths;
    for (const wxString& name : data.GetFilenames()) paths.push_back(name.utf8_string());
    return paths;
}
