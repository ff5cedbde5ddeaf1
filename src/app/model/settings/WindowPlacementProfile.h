#pragma once
// A window's placement kept as ten values in a section of its own.
#include "WindowPlacement.h"
#include "WindowPlacementTarget.h"

#include <string>

class WindowPlacementProfile : public WindowPlacement {
public:
    // Reads the ten values (each absent one keeps the record's field), shows
    // a minimised window normally, and applies the placement unless its
    // normal rectangle misses the primary screen altogether; false then.
    bool RestoreTo(const std::string& section, WindowPlacementTarget& window);
    // Takes the window's placement and writes the ten values.
    void SaveFrom(const std::string& section, WindowPlacementTarget& window);
};
