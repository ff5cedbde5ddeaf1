#pragma once
// A folder shown as a contact sheet: the document of the class library over
// the sheet's logic (SheetDocument: the core's sheet, the slides, the
// selection, the folder watcher, Save and the close question). This class
// joins that logic to the program's windows.
#include "CDocumentBase.h"
#include "CDocumentSound.h"
#include "SheetDocument.h"

#include <memory>
#include <vector>

class CMainFrame;

class CContactSheetDoc : public CDocumentBase, public SheetHost {
public:
    CContactSheetDoc();
    ~CContactSheetDoc() override;
    bool OnOpenDocument(const wxString& path) override;
    bool OnNewDocument() override { return false; }
    bool OnCloseDocument() override;
    bool OnSaveModified() override;
    bool IsModified() const override;
    void Modify(bool modified) override;

    // The sheet's logic; it outlives the document while a late watcher ends.
    SheetDocument& Sheet() { return *sheet_; }
    const std::shared_ptr<SheetDocument>& SheetPtr() const { return sheet_; }
    // The selected slides in selection order.
    std::vector<SheetDocument::SlidePtr> GetSelectionState() { return sheet_->GetSelectionState(); }
    NimbalCore::ImageList* GetImageList() { return sheet_->GetImageList(); }
    NimbalCore::ImageRendering* FindImageByName(const std::string& name) { return sheet_->FindImageByName(name); }

    std::vector<NimbalCore::ImageRendering*> GetSelectedRenderings() override { return sheet_->GetSelectedImages(); }
    bool GetFocusedImage(NimbalCore::ImageRendering** rendering) override {
        return sheet_->GetFocusedImage(rendering);
    }
    std::optional<UndoSelection> GetUndoSelection() override { return sheet_->GetUndoSelection(); }
    void RestoreSelection(UndoSelection selection) override { sheet_->RestoreSelection(std::move(selection)); }

    // The Image menu's commands: the selected slides under the wait cursor
    // and the sheet's lock.
    Kind CommandKind() override { return Kind::kSheet; }
    bool ApplyProcessParams(const NimbalCore::ImageProcessParam& params,
                            NimbalCore::ImageRendering* rendering) override {
        return sheet_->ApplyProcessParams(params, rendering);
    }
    void BeginCommand() override;
    void EndCommand() override;

    // SheetHost.
    bool HasMainWindow() override;
    bool HasSheetView() override;
    void RefreshImageBars(NimbalCore::ImageRendering* rendering) override;
    void ClearImageBars() override;
    void FollowFocusWithCloseUp(NimbalCore::ImageRendering* rendering) override;
    void ClearStatusPanes() override;
    void SetCountsPane(const std::string& text) override;
    void ShowSheet() override;
    void SlideAdded() override { RelayoutSoon(); }
    void RemoveSlides(const std::vector<std::shared_ptr<SheetSlide>>&) override { RelayoutSoon(); }
    void SoundsChanged(const std::shared_ptr<SheetSlide>& slide) override;
    void SlidesReordered() override { RelayoutSoon(); }
    void RemoveFromUndo(const NimbalCore::ImageRendering* rendering) override {
        CDocumentBase::RemoveImageFromUndo(rendering);
    }
    int AskSaveFailure(const std::string& message, int& yesToAll) override;
    int SaveImagesAs(const std::vector<std::shared_ptr<SheetSlide>>& slides, int titleId) override;
    bool IsSoundPlaying() override { return sound_->Player().IsPlaying(); }
    void StopSoundAndWait(const std::string& waitText) override;

protected:
    void SetRenaming(bool renaming) override;
    void ImagesChanged() override { UpdateAllViews(); }

private:
    // Review: the selected images one at a time.
    void OnReview(wxCommandEvent& event);
    void OnUpdateReview(wxUpdateUIEvent& event);
    // Sort by name or date, and the four selection commands.
    void OnSort(wxCommandEvent& event);
    void OnUpdateSort(wxUpdateUIEvent& event);
    void OnSelectCommand(wxCommandEvent& event);
    void OnUpdateSelectCommand(wxUpdateUIEvent& event);
    // Save Balance File of the focused slide's image.
    void OnSaveBalanceFile(wxCommandEvent& event);
    // Send To (33108): the selected slides, in selection order.
    void OnSendToEditor(wxCommandEvent& event);
    void OnFileSave(wxCommandEvent& event);
    void OnUpdateFileSave(wxUpdateUIEvent& event);
    // The main frame the sheet's window sits in, or null.
    CMainFrame* MainFrame();
    // A burst of added or removed slides lays the view out once.
    void RelayoutSoon();

    std::shared_ptr<SheetDocument> sheet_;
    std::unique_ptr<CDocumentSound> sound_;
    bool relayoutQueued_ = false;
    // False once the document is gone (tasks queued for it see it).
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    bool closed_ = false;
    wxDECLARE_DYNAMIC_CLASS(CContactSheetDoc);
};
