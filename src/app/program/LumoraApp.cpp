// Lumora. The toolkit starts on X11 unless the user chose a backend: the
// key poll of the main frame asks the X server for the state of Ctrl and
// Shift, which a Wayland session does not answer.
#include "CLumoraApp.h"

#include <cstdlib>

wxIMPLEMENT_APP_NO_MAIN(CLumoraApp);

int main(int argc, char** argv) {
    setenv("GDK_BACKEND", "x11", 0);
    return wxEntry(argc, argv);
}
