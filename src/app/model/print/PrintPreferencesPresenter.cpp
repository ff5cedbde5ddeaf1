#include "PrintPreferencesPresenter.h"

#include "ProfileItemManager.h"

namespace {
constexpr int kSizeButtons[] = {kPrintSizeSameAsView, kPrintSizeSmall, kPrintSizeMedium, kPrintSizeLarge};
constexpr int kSizeCount = int(sizeof kSizeButtons / sizeof kSizeButtons[0]);
} // namespace

void PrintPreferencesPresenter::InitDialog() {
    ProfileItemManager settings;
    settings.GetInt(PI_CONTACT_SHEET_PRINT_SIZE, printSize);
    settings.GetInt(PI_ALLOW_DOCKING, allowDocking);
    // A size from a hand-edited file that names no button selects none;
    // OK then keeps it rather than silently turning it into another size.
    for (int i = 0; i < kSizeCount; ++i) view_.SetCheck(kSizeButtons[i], printSize == i ? 1 : 0);
    view_.SetCheck(kPrintAllowDocking, allowDocking != 0 ? 1 : 0);
}

void PrintPreferencesPresenter::OnOK() {
    for (int i = 0; i < kSizeCount; ++i)
        if (view_.GetCheck(kSizeButtons[i])) printSize = i;
    allowDocking = view_.GetCheck(kPrintAllowDocking) ? 1 : 0;
    ProfileItemManager settings;
    settings.SetInt(PI_CONTACT_SHEET_PRINT_SIZE, printSize);
    settings.SetInt(PI_ALLOW_DOCKING, allowDocking);
    if (applyDocking_) applyDocking_(allowDocking);
}
