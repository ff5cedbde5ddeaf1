#pragma once
// The Printing Preferences dialog's values: the contact sheet's print size
// and whether the main frame's dialog bars may dock. Read from the settings
// when the dialog opens, stored on OK; the docking choice takes effect at
// once through the callback, the print size at the next contact-sheet print.
#include "DialogView.h"

#include <functional>

enum PrintPreferencesControl : int {
    kPrintSizeSameAsView = 1183,
    kPrintSizeSmall = 1184,
    kPrintSizeMedium = 1185,
    kPrintSizeLarge = 1186,
    kPrintAllowDocking = 1259,
};

class PrintPreferencesPresenter {
public:
    // Called on OK with the stored docking setting (1 may dock, 0 not).
    using DockingApplier = std::function<void(int allowDocking)>;

    explicit PrintPreferencesPresenter(DialogView& view) : view_(view) {}
    void SetDockingApplier(DockingApplier applier) { applyDocking_ = std::move(applier); }

    // The dialog appears: settings into the controls.
    void InitDialog();
    // OK: the controls into the settings, then the docking setting applied.
    void OnOK();

    // 0 Same as View, 1 Small, 2 Medium, 3 Large.
    int printSize = 0;
    int allowDocking = 1;

private:
    DialogView& view_;
    DockingApplier applyDocking_;
};
