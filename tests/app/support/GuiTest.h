#pragma once
// Helpers of the window tests: waiting for the toolkit, clicks and keys
// through the X test extension, modal dialogs reached through a hook, and a
// settings file of the test's own.
#include "ShellServices.h"

#include <wx/app.h>
#include <wx/dialog.h>
#include <wx/modalhook.h>
#include <wx/uiaction.h>
#include <wx/utils.h>
#include <wx/window.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <unistd.h>

namespace gui {

// Runs the toolkit until cond holds (true) or the time is up (false).
inline bool WaitFor(const std::function<bool()>& cond, int ms = 5000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        wxTheApp->Yield(true);
        wxTheApp->ProcessPendingEvents();
        if (cond()) return true;
        if (std::chrono::steady_clock::now() > end) return false;
        wxMilliSleep(5);
    }
}

inline void Settle(int ms = 60) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        wxTheApp->Yield(true);
        wxMilliSleep(5);
    }
}

inline bool OnScreen(wxWindow* w) { return WaitFor([w] { return w->IsShownOnScreen(); }); }

// A real click at the window's centre.
inline void Click(wxWindow* w) {
    OnScreen(w);
    Settle();
    wxUIActionSimulator sim;
    sim.MouseMove(w->GetScreenRect().GetPosition() + wxPoint(w->GetSize().x / 2, w->GetSize().y / 2));
    Settle(30);
    sim.MouseClick();
    Settle();
}

// Puts the pointer over the window (keys go where it is) and focuses it.
inline void Focus(wxWindow* w) {
    OnScreen(w);
    wxUIActionSimulator sim;
    sim.MouseMove(w->GetScreenRect().GetPosition() + wxPoint(w->GetSize().x / 2, w->GetSize().y / 2));
    Settle(30);
    w->SetFocus();
    WaitFor([w] { return wxWindow::FindFocus() == w; }, 2000);
    Settle(30);
}

// Types into the window that has the focus.
inline void TypeHere(const char* text) {
    wxUIActionSimulator sim;
    sim.Text(text);
    Settle();
}

inline void Type(wxWindow* w, const char* text) {
    Focus(w);
    wxUIActionSimulator sim;
    sim.Text(text);
    Settle();
}

inline void KeyHere(int keycode, int modifiers = wxMOD_NONE) {
    wxUIActionSimulator sim;
    sim.Char(keycode, modifiers);
    Settle();
}

inline void Key(wxWindow* w, int keycode, int modifiers = wxMOD_NONE) {
    Focus(w);
    wxUIActionSimulator sim;
    sim.Char(keycode, modifiers);
    Settle();
}

// Runs a scenario inside the next modal dialog of a given type once it is up.
class ModalScenario : public wxModalDialogHook {
public:
    explicit ModalScenario(std::function<void(wxDialog*)> scenario) : scenario_(std::move(scenario)) { Register(); }
    ~ModalScenario() override { Unregister(); }
    int Enter(wxDialog* dialog) override {
        if (scenario_) {
            auto run = std::move(scenario_);
            scenario_ = nullptr;
            dialog->CallAfter([dialog, run] {
                OnScreen(dialog);
                run(dialog);
            });
        }
        return wxID_NONE;
    }
    void Exit(wxDialog*) override {}

private:
    std::function<void(wxDialog*)> scenario_;
};

// A settings file of the test's own, installed behind the shell's seams.
class TempSettings {
public:
    TempSettings() {
        static int counter = 0;
        dir_ = std::filesystem::temp_directory_path() /
               ("lumora-gui-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        std::filesystem::create_directories(dir_);
        file_ = dir_ / "Lumora.conf";
    }
    ~TempSettings() {
        RemoveShellServices();
        std::filesystem::remove_all(dir_);
    }
    void Write(const std::string& text) { std::ofstream(file_, std::ios::binary) << text; }
    void Install() { InstallShellServices(file_); }
    std::string Read() const {
        std::ifstream in(file_, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    const std::filesystem::path& File() const { return file_; }
    const std::filesystem::path& Dir() const { return dir_; }

private:
    std::filesystem::path dir_, file_;
};

} // namespace gui
