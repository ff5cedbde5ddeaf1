#pragma once
// One image file shown in a preview window: the core's preview of the
// image with its current rendering.
#include "CDocumentBase.h"
#include "Preview.h"

class CPreviewDoc : public CDocumentBase, public NimbalCore::Preview {
public:
    CPreviewDoc();
    bool OnOpenDocument(const wxString& path) override;
    bool OnNewDocument() override { return false; }

    // The rendering the preview shows; null before one exists.
    NimbalCore::ImageRendering* GetCurrentRendering();
    std::vector<NimbalCore::ImageRendering*> GetSelectedRenderings() override;
    void ActivateImage(const NimbalCore::FilePathSpec& path) override;
    bool ContainsImage(const NimbalCore::FilePathSpec& path) override { return Preview::ContainsImage(path); }

private:
    // Send To (33108): the image as the preview shows it.
    void OnSendToEditor(wxCommandEvent& event);

    wxDECLARE_DYNAMIC_CLASS(CPreviewDoc);
};
