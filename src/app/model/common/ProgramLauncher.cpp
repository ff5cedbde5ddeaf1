#include "ProgramLauncher.h"

namespace {

class NoPrograms final : public ProgramLauncher {
public:
    std::string DefaultApplicationFor(const std::string&) override { return {}; }
};

NoPrograms gNone;
ProgramLauncher* gLauncher = nullptr;

} // namespace

bool ProgramLauncher::StartProgram(const std::string&, const std::vector<std::string>&) { return false; }

bool ProgramLauncher::OpenWithAssociatedProgram(const std::string&) { return false; }

ProgramLauncher& ProgramLauncher::Current() { return gLauncher ? *gLauncher : gNone; }

void ProgramLauncher::SetCurrent(ProgramLauncher* launcher) { gLauncher = launcher; }
