#pragma once
// The application's English texts by resource id, as the program carries
// them (the same table that gives the translation file its rows).
#include <string>

// The resource text, or empty for an id the program does not have.
std::string LoadResourceString(int id);
