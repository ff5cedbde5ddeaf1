// Lumora. Until the main frame exists, the program starts its shell (the
// settings file, the language table, the colour engine) and shows the
// Preferences.
#include "COutputOptionsDlg.h"
#include "ColorEngine.h"
#include "ShellServices.h"

#include <wx/app.h>

class LumoraApp : public wxApp {
public:
    bool OnInit() override {
        UseProgramNumericLocale();
        InstallShellServices();
        LoadLanguageTable();
        NimbalCore::ColorEngine::Instance(0, 1);
        return true;
    }
    int OnRun() override {
        COutputOptionsDlg preferences(nullptr);
        preferences.ShowModal();
        return 0;
    }
    int OnExit() override {
        NimbalCore::ColorEngine::DeleteInstance();
        RemoveShellServices();
        return wxApp::OnExit();
    }
};

wxIMPLEMENT_APP(LumoraApp);
