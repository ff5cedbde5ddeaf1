#pragma once
// The desktop's default applications, as GIO knows them, and programs
// started with an argument vector.
#include "ProgramLauncher.h"

class GioProgramLauncher : public ProgramLauncher {
public:
    std::string DefaultApplicationFor(const std::string& mimeType) override;
    bool StartProgram(const std::string& program, const std::vector<std::string>& arguments) override;
    bool OpenWithAssociatedProgram(const std::string& path) override;
};
