#pragma once
// The desktop's default applications, as GIO knows them.
#include "ProgramLauncher.h"

class GioProgramLauncher : public ProgramLauncher {
public:
    std::string DefaultApplicationFor(const std::string& mimeType) override;
};
