#include "SaveSelectedPresenter.h"

#include "CLocaleText.h"
#include "LocalizedText.h"
#include "MessageBoxService.h"
#include "ProfileItemManager.h"
#include "ProgramLauncher.h"
#include "RenameValidation.h"
#include "StringIds.h"

namespace {

std::string FileNamePart(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string OpenWithCaption(const std::string& program) {
    std::string text = LoadTranslatedString(IDS_OPEN_WITH_NAME);
    const size_t at = text.find("%s");
    if (at != std::string::npos) text.replace(at, 2, FileNamePart(program));
    return text;
}

FolderPickerState& Folder() { return FolderPickerState::Of(FolderPickerKind::Save); }

} // namespace

SaveSelectedState& SaveSelectedState::Get() {
    static SaveSelectedState state;
    return state;
}

int SaveSelectedPresenter::FileTypeFromSettings() {
    int type = 0;
    ProfileItemManager().GetInt(PI_SAVE_AS_FILE_TYPE, type);
    return type >= kFileTypeTIFF && type <= kFileTypeAsIs ? type : kFileTypeTIFF;
}

SaveSelectedPresenter::SaveSelectedPresenter(DialogView& view) : view_(view) {
    SaveSelectedState& s = SaveSelectedState::Get();
    Folder().folderPath.clear();
    Folder().folderChosen = 0;
    s.renameFiles = 0;
    ProfileItemManager pm;
    pm.GetString(PI_SAVE_AS_BASENAME, s.baseName);
    pm.GetInt(PI_SAVE_AS_NUM_DIGITS, s.numDigits);
    if (s.numDigits == 0) s.numDigits = 1;
    pm.GetInt(PI_SAVE_AS_START_FROM, s.startFrom);
    if (s.startFrom == 0) s.startFrom = 1;
    pm.GetInt(PI_TIFF_OPEN_WITH, s.openWith);
    pm.GetString(PI_SEND_FILES_TO_PATH, s.openWithApp);
}

void SaveSelectedPresenter::InitDialog() {
    SaveSelectedState& s = SaveSelectedState::Get();
    view_.SetCaption(s.title);
    view_.ShowItem(kPickerFileNameLabel, false);
    view_.ShowItem(kPickerFileNameEdit, false);
    view_.SetItemText(kPickerFileTypeLabel, LoadTranslatedString(IDS_FORMAT_LABEL));
    view_.ShowItem(kPickerOk, false);

    view_.SetItemText(kRenameDigitsEdit, FormatCLocale("%d", s.numDigits));
    view_.SetItemText(kRenameStartEdit, FormatCLocale("%d", s.startFrom));
    view_.SetItemText(kRenameBaseNameEdit, s.baseName);
    view_.SetCheck(kRenameFilesBox, 0);
    view_.EnableItem(kRenameBaseNameEdit, false);
    view_.EnableItem(kRenameDigitsEdit, false);
    view_.EnableItem(kRenameStartEdit, false);

    if (s.openWith) view_.SetCheck(kSaveOpenWithBox, 1);
    std::string program = s.openWithApp;
    if (program.empty()) program = ProgramLauncher::Current().DefaultApplicationFor("image/tiff");
    s.openWithAvailable = !program.empty();
    if (s.openWithAvailable) {
        view_.SetItemText(kSaveOpenWithBox, OpenWithCaption(program));
    } else {
        s.openWith = 0;
        view_.SetCheck(kSaveOpenWithBox, 0);
        view_.EnableItem(kSaveOpenWithBox, false);
    }
}

void SaveSelectedPresenter::SelectionChanged(const std::string& selection) {
    FolderPickerState& f = Folder();
    f.folderPath = TrackedFolder(selection);
    const FolderButtonState button = FolderButtonFor(FolderPickerKind::Save, f.folderPath);
    view_.SetItemText(kPickerSaveFolderButton, button.text);
    view_.EnableItem(kPickerSaveFolderButton, button.enabled);
}

void SaveSelectedPresenter::TypeChanged(int filterIndex) {
    SaveSelectedState& s = SaveSelectedState::Get();
    s.fileType = filterIndex;
    if (filterIndex == kFileTypeAsIs) {
        view_.SetCheck(kSaveOpenWithBox, 0);
        view_.EnableItem(kSaveOpenWithBox, false);
        view_.EnableItem(kSaveOptionsButton, false);
    } else {
        view_.SetCheck(kSaveOpenWithBox, s.openWith ? 1 : 0);
        view_.EnableItem(kSaveOpenWithBox, s.openWithAvailable);
        view_.EnableItem(kSaveOptionsButton, true);
    }
}

void SaveSelectedPresenter::RenameClicked() {
    SaveSelectedState& s = SaveSelectedState::Get();
    s.renameFiles = view_.GetCheck(kRenameFilesBox) ? 1 : 0;
    view_.EnableItem(kRenameBaseNameEdit, s.renameFiles != 0);
    const bool numbers = s.renameFiles && s.imageCount >= 2;
    view_.EnableItem(kRenameDigitsEdit, numbers);
    view_.EnableItem(kRenameStartEdit, numbers);
}

void SaveSelectedPresenter::OpenWithClicked() {
    SaveSelectedState& s = SaveSelectedState::Get();
    s.openWith = view_.GetCheck(kSaveOpenWithBox) ? 1 : 0;
    ProfileItemManager().SetInt(PI_TIFF_OPEN_WITH, s.openWith);
}

void SaveSelectedPresenter::OptionsClicked(const std::function<void(int)>& showOptions) {
    if (showOptions) showOptions(SaveSelectedState::Get().fileType);
}

void SaveSelectedPresenter::FolderButtonClicked() {
    SaveSelectedState& s = SaveSelectedState::Get();
    if (!s.renameFiles) {
        Accept();
        return;
    }
    const RenameCheck check = CheckRenameSetup(view_.GetItemText(kRenameBaseNameEdit),
                                               view_.GetItemText(kRenameDigitsEdit),
                                               view_.GetItemText(kRenameStartEdit), s.imageCount, s.numDigits,
                                               s.startFrom);
    s.baseName = check.baseName;
    s.numDigits = check.numDigits;
    s.startFrom = check.startFrom;
    if (!check.ok) {
        MessageBoxService::Current().Show(check.message, LoadTranslatedString(IDS_APP_TITLE),
                                          MessageBoxService::kOk);
        view_.FocusItem(check.focusId);
        return;
    }
    ProfileItemManager pm;
    pm.SetString(PI_SAVE_AS_BASENAME, s.baseName);
    pm.SetInt(PI_SAVE_AS_NUM_DIGITS, s.numDigits);
    pm.SetInt(PI_SAVE_AS_START_FROM, s.startFrom);
    Accept();
}

void SaveSelectedPresenter::Accept() {
    FolderPickerState& f = Folder();
    f.folderPath = AcceptedFolder(FolderPickerKind::Save, f.folderPath);
    f.folderChosen = 1;
    view_.EndAsCancel();
}
