#include "CPictureView.h"

#include "CProgressDlg.h"
#include "ExportImageArray.h"
#include "Image.h"
#include "ImageRendering.h"

#include <wx/dc.h>
#include <wx/image.h>

#include <map>
#include <memory>
#include <utility>

int CPictureView::Render(NimbalCore::ImageRendering* rendering, int mode, int progress, int reduction) {
    if (!rendering || (reduction != 1 && reduction != 2 && reduction != 4)) return 0;
    try {
        // The image kind says how large the whole image is at each level it
        // renders; the picture is made that size (turned as the parameters
        // turn it), so it always holds the whole image.
        NimbalCore::ImageRef* image = rendering->GetImage();
        if (!*image) return 0;
        const std::map<int, NimbalCore::NbRect> levels = (*image)->GetAvailableResolutions();
        const auto level = levels.find(reduction);
        if (level == levels.end()) return 0;
        int64_t width = int64_t(level->second.right) + 1, height = int64_t(level->second.bottom) + 1;
        const int degrees = int(rendering->GetProcessParamPtr()->rotation);
        if (degrees == 90 || degrees == 270) std::swap(width, height);
        if (width <= 0 || height <= 0 || width > 16384 || height > 16384) return 0;
        NimbalCore::ExportImageArray array;
        array.SetPixelType(NimbalCore::PixelArray::RGB);
        array.SetBytesPerSample(1);
        array.SetBounds(NimbalCore::NbRect(0, 0, int32_t(width - 1), int32_t(height - 1)));
        array.SetRowBytes(int32_t(width * 3));
        array.Create(uint64_t(width * height * 3));
        // A long render shows its progress over the main window (which it
        // holds disabled meanwhile) and keeps the program responsive.
        std::unique_ptr<CProgressDlg> dialog;
        if (progress == 0 || progress == 1) {
            dialog = std::make_unique<CProgressDlg>();
            if (!dialog->Create(nullptr, progress == 1)) dialog.reset();
        }
        rendering->RenderImage(&array, mode, dialog.get(), reduction);
        dialog.reset();
        wxImage picture(static_cast<int>(width), static_cast<int>(height));
        std::copy_n(static_cast<const unsigned char*>(array.GetData()), width * height * 3, picture.GetData());
        bitmap_ = wxBitmap(picture);
        return 1;
    } catch (...) {
        // A failed render, the core's or an image kind's own, leaves the
        // picture empty.
        bitmap_ = wxBitmap();
        return 0;
    }
}

void CPictureView::Draw(wxDC& dc, const wxRect& destination) const {
    if (!bitmap_.IsOk() || destination.IsEmpty()) return;
    wxImage scaled = bitmap_.ConvertToImage().Scale(destination.width, destination.height, wxIMAGE_QUALITY_BILINEAR);
    dc.DrawBitmap(wxBitmap(scaled), destination.GetPosition());
}
