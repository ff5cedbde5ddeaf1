#pragma once
// One slide of a contact sheet: the image's thumbnail and name. It holds its
// own copy of the rendering (a counted reference to the image and the
// parameters), so the slide stays sound whatever the sheet's list does with
// its entries, and it listens to its image to show a new name at once.
#include "ImageChangeCB.h"
#include "ImageRendering.h"

#include <wx/bitmap.h>
#include <wx/panel.h>

class CSlideMountView : public wxPanel, public NimbalCore::ImageChangeCB {
public:
    static constexpr int kSlideSize = 150;
    CSlideMountView(wxWindow* sheet, const NimbalCore::ImageRendering& rendering);
    ~CSlideMountView() override;
    CSlideMountView(const CSlideMountView&) = delete;
    CSlideMountView& operator=(const CSlideMountView&) = delete;

    NimbalCore::ImageRendering* GetRendering() { return &rendering_; }

    void ImageFileChanged(const NimbalCore::FilePathSpec&) override {}
    void ProcessParamsChanged(const NimbalCore::FilePathSpec&) override {}
    void SoundsChanged(const NimbalCore::FilePathSpec&) override {}
    void ImageSaved(const NimbalCore::FilePathSpec&) override {}
    void TagChanged(const NimbalCore::FilePathSpec&) override {}
    // The name under the thumbnail is drawn again.
    void ImageRenamed(const NimbalCore::FilePathSpec& oldPath, const NimbalCore::FilePathSpec& newPath) override;

private:
    void OnPaint(wxPaintEvent& event);
    void MakeThumbnail();

    NimbalCore::ImageRendering rendering_;
    wxBitmap thumbnail_;
    bool tried_ = false;
};
