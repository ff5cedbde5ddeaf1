#pragma once
// A folder shown as a contact sheet: the core's sheet of the folder's
// images with the document's selection of slides.
#include "CDocumentBase.h"
#include "ContactSheet.h"

#include <vector>

class CSlideMountView;

class CContactSheetDoc : public CDocumentBase, public NimbalCore::ContactSheet {
public:
    CContactSheetDoc();
    bool OnOpenDocument(const wxString& path) override;
    bool OnNewDocument() override { return false; }

    // The selected slides in selection order (an entry may be null).
    std::vector<CSlideMountView*>* GetSelectionState() { return &selection_; }
    std::vector<NimbalCore::ImageRendering*> GetSelectedRenderings() override;

    void ReportDropFailures(std::vector<std::string> names) override;
    // The sheet's list takes the new name and its slides their new order,
    // except while the sheet's own Rename runs (it updates once at its end).
    void ImageRenamed(const NimbalCore::FilePathSpec& oldPath, const NimbalCore::FilePathSpec& newPath) override;
    void ActivateImage(const NimbalCore::FilePathSpec& path) override;
    bool ContainsImage(const NimbalCore::FilePathSpec& path) override { return ContactSheet::ContainsImage(path); }

private:
    // Review: the selected images one at a time.
    void OnReview(wxCommandEvent& event);
    void OnUpdateReview(wxUpdateUIEvent& event);
    // Send To (33108): the selected slides, in selection order.
    void OnSendToEditor(wxCommandEvent& event);

    std::vector<CSlideMountView*> selection_;
    wxDECLARE_DYNAMIC_CLASS(CContactSheetDoc);
};
