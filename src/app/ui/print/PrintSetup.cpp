#include "PrintSetup.h"

#include <wx/printdlg.h>

wxPrintDialogData& ProgramPrintDialogData() {
    // Never destroyed: the toolkit's printing may be gone by the time
    // static objects are.
    static auto* data = new wxPrintDialogData;
    return *data;
}

int RunPrintSetup(wxWindow* parent) {
    wxPageSetupDialogData setup(ProgramPrintDialogData().GetPrintData());
    wxPageSetupDialog dialog(parent, &setup);
    const int result = dialog.ShowModal();
    if (result == wxID_OK) ProgramPrintDialogData().SetPrintData(dialog.GetPageSetupData().GetPrintData());
    return result;
}
