#pragma once
// The Paste Special dialog's logic: which groups of the copied settings go
// to the selected images. With Preview ticked every change of a box is shown
// on the images at once through the document, and taken back when a box is
// cleared; the undo step the caller opened holds the state every revert
// returns to. The boxes are kept in the settings on OK only.
#include "DialogView.h"
#include "EnableTarget.h"
#include "SettingsDocument.h"

#include <vector>

enum PasteSpecialControl : int {
    kPasteSelectAll = 4,
    kPasteSelectNone = 6,
    kPasteCrop = 1338,
    kPasteRotation = 1340,
    kPasteExposureComp = 1341,
    kPasteTone = 1342,
    kPasteBalance = 1344,
    kPasteLook = 1346,
    kPasteNoise = 1347,
    kPasteSharpening = 1348,
    kPastePreview = 1349,
    kPasteIPTC = 1350,
    kPasteTagging = 1351,
    kPasteLens = 1352,
};

// Undo and redo texts of the step the caller opens around the dialog.
enum PasteSpecialStringId : int {
    IDS_UNDO_PASTE_SPECIAL = 62124,
    IDS_REDO_PASTE_SPECIAL = 62125,
};

class PasteSpecialPresenter {
public:
    struct GroupBox {
        int boxId;
        int group;        // the parameter group it pastes
        int settingsItem; // where its state is kept
    };
    // The group boxes in screen order, which is the order of the groups.
    static const std::vector<GroupBox>& GroupBoxes();

    // document may be null: the boxes then work and nothing is previewed.
    // dialog is the window that disables itself around document calls.
    PasteSpecialPresenter(DialogView& view, EnableTarget& dialog, SettingsDocument* document)
        : view_(view), dialog_(dialog), document_(document) {}

    void InitDialog();
    void OnSelectAll();
    void OnSelectNone();
    // A group box was clicked (its new state is in the view).
    void OnGroupClicked(int boxId);
    void OnPreviewClicked();
    void OnOK();

    // Appends the ticked boxes' groups in screen order.
    void CollectSelectedGroups();
    void PreviewSelectedGroups();

    // After OK: the ticked groups.
    std::vector<int> groups;
    std::vector<int> revertGroups;

private:
    // Every document call: the dialog is disabled and is the busy dialog
    // while the call runs, and is enabled again however the call ends.
    template <class Call> void RunBusy(Call call);
    bool PreviewTicked() { return view_.GetCheck(kPastePreview) != 0; }

    DialogView& view_;
    EnableTarget& dialog_;
    SettingsDocument* document_;
};
