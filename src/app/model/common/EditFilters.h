#pragma once
// Which typed characters the program's special edit fields take. Only typed
// characters are filtered: pasted text goes in as it is.
#include <string>

// Control characters and digits; a minus sign only while the text holds
// none (wherever it goes).
bool NumericEditAccepts(char32_t typed, const std::string& currentText);
// Everything but the eight characters " / : < > ? \ |. The asterisk stays:
// base names use it to mark where the number goes.
bool HostFolderEditAccepts(char32_t typed);
