#include "PasteSpecialPresenter.h"

#include "BusyDialog.h"
#include "ProfileItemManager.h"

const std::vector<PasteSpecialPresenter::GroupBox>& PasteSpecialPresenter::GroupBoxes() {
    static const std::vector<GroupBox> boxes = {
        {kPasteCrop, 0, PI_PASTE_SPECIAL_CROP},
        {kPasteRotation, 1, PI_PASTE_SPECIAL_ROTATE},
        {kPasteExposureComp, 2, PI_PASTE_SPECIAL_EXPOSURE_COMP},
        {kPasteTone, 3, PI_PASTE_SPECIAL_TONE},
        {kPasteBalance, 4, PI_PASTE_SPECIAL_BALANCE},
        {kPasteLens, 10, PI_PASTE_SPECIAL_LENS},
        {kPasteLook, 5, PI_PASTE_SPECIAL_LOOK},
        {kPasteNoise, 6, PI_PASTE_SPECIAL_NOISE},
        {kPasteSharpening, 7, PI_PASTE_SPECIAL_SHARPENING},
        {kPasteIPTC, 8, PI_PASTE_SPECIAL_IPTC},
        {kPasteTagging, 9, PI_PASTE_SPECIAL_TAGGING},
    };
    return boxes;
}

namespace {

// Gives the dialog back when the call ends, also by an exception, which
// goes on to the caller.
class BusyScope {
public:
    explicit BusyScope(EnableTarget& dialog) : dialog_(dialog) {
        BusyDialog = &dialog_;
        dialog_.Enable(false);
    }
    ~BusyScope() {
        ReenableBusyDialog();
        // A nested busy dialog may have taken the pointer meanwhile; this
        // dialog must not stay disabled for it.
        if (!dialog_.IsEnabled()) dialog_.Enable(true);
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    EnableTarget& dialog_;
};

} // namespace

template <class Call> void PasteSpecialPresenter::RunBusy(Call call) {
    if (!document_) return;
    BusyScope busy(dialog_);
    call(*document_);
}

void PasteSpecialPresenter::InitDialog() {
    // The Preview choice is stored but never offered again: opening never
    // changes the images by itself.
    view_.SetCheck(kPastePreview, 0);
    ProfileItemManager settings;
    for (const GroupBox& box : GroupBoxes()) {
        int value = 0;
        settings.GetInt(box.settingsItem, value);
        view_.SetCheck(box.boxId, value != 0 ? 1 : 0);
    }
}

void PasteSpecialPresenter::CollectSelectedGroups() {
    for (const GroupBox& box : GroupBoxes())
        if (view_.GetCheck(box.boxId)) groups.push_back(box.group);
}

void PasteSpecialPresenter::PreviewSelectedGroups() {
    groups.clear();
    CollectSelectedGroups();
    // Emptied also when the paste throws: the list is only OK's answer.
    struct Clear {
        std::vector<int>& list;
        ~Clear() { list.clear(); }
    } clear{groups};
    RunBusy([this](SettingsDocument& document) { document.PasteSettings(groups); });
}

void PasteSpecialPresenter::OnSelectAll() {
    for (const GroupBox& box : GroupBoxes()) view_.SetCheck(box.boxId, 1);
    if (PreviewTicked()) PreviewSelectedGroups();
}

void PasteSpecialPresenter::OnSelectNone() {
    for (const GroupBox& box : GroupBoxes()) view_.SetCheck(box.boxId, 0);
    if (PreviewTicked()) RunBusy([](SettingsDocument& document) { document.RevertLastUndo(false); });
}

void PasteSpecialPresenter::OnGroupClicked(int boxId) {
    if (!PreviewTicked()) return;
    for (const GroupBox& box : GroupBoxes()) {
        if (box.boxId != boxId) continue;
        if (view_.GetCheck(boxId)) {
            PreviewSelectedGroups();
        } else {
            revertGroups.assign(1, box.group);
            RunBusy([this](SettingsDocument& document) { document.RevertGroupsOfLastUndo(revertGroups); });
        }
        return;
    }
}

void PasteSpecialPresenter::OnPreviewClicked() {
    if (PreviewTicked()) PreviewSelectedGroups();
    else RunBusy([](SettingsDocument& document) { document.RevertLastUndo(false); });
}

void PasteSpecialPresenter::OnOK() {
    ProfileItemManager settings;
    settings.SetInt(PI_PASTE_SPECIAL_PREVIEW, PreviewTicked() ? 1 : 0);
    for (const GroupBox& box : GroupBoxes()) settings.SetInt(box.settingsItem, view_.GetCheck(box.boxId) ? 1 : 0);
    CollectSelectedGroups();
}
