#pragma once
// What the program installs when it starts: the settings file, the display,
// the keyboard, message boxes, the desktop's applications, the wastebasket,
// the sound output and the clipboard behind the shell's seams, the language
// table, and the C locale for the program's own numbers.
#include <filesystem>

// After the toolkit started: the user's locale for everything but numbers,
// which the program writes and reads with a point.
void UseProgramNumericLocale();

// Installs the services (the settings file given, else the user's).
void InstallShellServices(const std::filesystem::path& settingsFile = {});
void RemoveShellServices();

// Loads the language table in the column of the "Language" setting; false
// (and English) when the table file cannot be read.
bool LoadLanguageTable();
