#include "FolderPickerPresenter.h"

#include "LocalizedText.h"
#include "StringIds.h"

FolderPickerPresenter::FolderPickerPresenter(FolderPickerKind kind, DialogView& view) : kind_(kind), view_(view) {
    FolderPickerState& f = FolderPickerState::Of(kind_);
    f.folderPath.clear();
    f.folderChosen = 0;
}

void FolderPickerPresenter::InitDialog() {
    if (kind_ != FolderPickerKind::Browse) return;
    view_.ShowItem(kPickerFileNameLabel, false);
    view_.ShowItem(kPickerFileNameEdit, false);
    view_.ShowItem(kPickerOk, false);
    view_.SetItemText(kPickerFileTypeLabel, LoadTranslatedString(IDS_FORMAT_LABEL));
}

void FolderPickerPresenter::SelectionChanged(const std::string& selection) {
    FolderPickerState& f = FolderPickerState::Of(kind_);
    f.folderPath = TrackedFolder(selection);
    const FolderButtonState button = FolderButtonFor(kind_, f.folderPath);
    const int id = kind_ == FolderPickerKind::Open ? kPickerOpenFolderButton : kPickerSaveFolderButton;
    view_.SetItemText(id, button.text);
    view_.EnableItem(id, button.enabled);
}

void FolderPickerPresenter::FolderButtonClicked() {
    FolderPickerState& f = FolderPickerState::Of(kind_);
    f.folderPath = AcceptedFolder(kind_, f.folderPath);
    f.folderChosen = 1;
    view_.EndAsCancel();
}
