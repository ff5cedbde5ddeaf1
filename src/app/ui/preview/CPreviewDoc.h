#pragma once
// One image file shown in a preview window: the core's preview of the
// image with its current rendering.
#include "CDocumentBase.h"
#include "CDocumentSound.h"
#include "Preview.h"

class CPreviewDoc : public CDocumentBase, public NimbalCore::Preview {
public:
    CPreviewDoc();
    ~CPreviewDoc() override;
    bool OnOpenDocument(const wxString& path) override;
    bool OnNewDocument() override { return false; }
    // A playing sound ends first, with the wait message.
    bool OnCloseDocument() override;

    // The rendering the preview shows; null before one exists.
    NimbalCore::ImageRendering* GetCurrentRendering();
    std::vector<NimbalCore::ImageRendering*> GetSelectedRenderings() override;
    // The level the picture is rendered at: 1 for Better (quality 1); for
    // Faster (0) the coarsest of the levels 1, 2 and 4 the image offers.
    int ChooseRenderScale(int quality);
    void ActivateImage(const NimbalCore::FilePathSpec& path) override;
    // The document, its window's tab and title take the image's new name.
    void ImageRenamed(const NimbalCore::FilePathSpec& oldPath, const NimbalCore::FilePathSpec& newPath) override;
    bool ContainsImage(const NimbalCore::FilePathSpec& path) override { return Preview::ContainsImage(path); }

    // The Image menu's commands work on the one image.
    Kind CommandKind() override { return Kind::kPreview; }
    bool ApplyProcessParams(const NimbalCore::ImageProcessParam& params,
                            NimbalCore::ImageRendering* rendering) override;

private:
    // Send To (33108): the image as the preview shows it.
    void OnSendToEditor(wxCommandEvent& event);
    // Save Balance File of the image.
    void OnSaveBalanceFile(wxCommandEvent& event);
    // The image's sounds, as the player plays them.
    SoundPlayer::Sounds ImageSounds();

    std::unique_ptr<CDocumentSound> sound_;

    wxDECLARE_DYNAMIC_CLASS(CPreviewDoc);
};
