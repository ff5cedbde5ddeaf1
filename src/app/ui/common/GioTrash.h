#pragma once
// The desktop's wastebasket as GIO keeps it (the freedesktop.org trash: the
// file and a note of where it came from, so the file manager can put it
// back).
#include "Trash.h"

class GioTrash final : public Trash {
public:
    std::vector<Failure> MoveToTrash(const std::vector<std::string>& paths) override;
};
