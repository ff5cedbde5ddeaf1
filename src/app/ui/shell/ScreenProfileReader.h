#pragma once
// The screen's colour profile as the X11 desktop publishes it: a colour-managed
// desktop puts the bytes of the monitor's profile into the root window's
// "_ICC_PROFILE" property. The colour engine loads profiles from files, so the
// bytes are copied into a file of the program's runtime folder.
#include <string>

namespace ScreenProfileReader {

// The file the screen's profile is copied to inside `folder`.
std::string FileIn(const std::string& folder);

// Copies the profile of the display's default screen into FileIn(folder) and
// answers that path; answers "" (and removes an earlier copy) when the display
// cannot be reached or publishes no profile. `displayName` as XOpenDisplay
// takes it; null means $DISPLAY.
std::string ReadIntoFolder(const std::string& folder, const char* displayName = nullptr);

// Installs the colour engine's display-profile hook: every question reads the
// property again, since the desktop may change the profile while we run.
void Install(const std::string& folder);

} // namespace ScreenProfileReader
