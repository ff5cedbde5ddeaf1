// The window tests' program: the toolkit is started once, in a user locale
// with a decimal comma when the machine has one, and the program's numeric
// locale is put in place as the program does it.
#include "ShellServices.h"

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/init.h>

#include <cstdlib>
#include <cstring>
#include <locale.h>

// The toolkit's caches live until the process ends.
extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }

namespace {

// A failed toolkit check fails the test instead of waiting in a dialog.
void AssertHandler(const wxString& file, int line, const wxString& func, const wxString& cond, const wxString& msg) {
    ADD_FAILURE_AT(file.utf8_string().c_str(), line)
        << "wx assertion in " << func.utf8_string() << ": " << cond.utf8_string() << " " << msg.utf8_string();
}

} // namespace

int main(int argc, char** argv) {
    bool listing = false;
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], "--gtest_list_tests", 18) == 0) listing = true;
    ::testing::InitGoogleTest(&argc, argv);
    if (listing) return RUN_ALL_TESTS();

    if (locale_t comma = newlocale(LC_ALL_MASK, "fr_FR.UTF-8", locale_t(0))) {
        freelocale(comma);
        setenv("LC_ALL", "fr_FR.UTF-8", 1);
    }
    setenv("NO_AT_BRIDGE", "1", 1);
    wxApp::SetInstance(new wxApp());
    int wxArgc = 1;
    char* wxArgv[] = {argv[0], nullptr};
    if (!wxEntryStart(wxArgc, wxArgv)) return 2;
    wxSetAssertHandler(AssertHandler);
    UseProgramNumericLocale();
    const int result = RUN_ALL_TESTS();
    wxEntryCleanup();
    return result;
}
