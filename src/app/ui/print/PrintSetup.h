#pragma once
// The program's printer and page settings, one set for every print and
// preview, and the Print Setup command over them.
#include <wx/cmndata.h>

class wxWindow;

wxPrintDialogData& ProgramPrintDialogData();

// The page set-up dialog over the program's settings; OK keeps what the
// user chose, Cancel changes nothing. Answers the dialog's result.
int RunPrintSetup(wxWindow* parent);
