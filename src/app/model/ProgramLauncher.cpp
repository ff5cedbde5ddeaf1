#include "ProgramLauncher.h"

namespace {

class NoPrograms final : public ProgramLauncher {
public:
    std::string DefaultApplicationFor(const std::string&) override { return {}; }
};

NoPrograms gNone;
ProgramLauncher* gLauncher = nullptr;

} // namespace

ProgramLauncher& ProgramLauncher::Current() { return gLauncher ? *gLauncher : gNone; }

void ProgramLauncher::SetCurrent(ProgramLauncher* launcher) { gLauncher = launcher; }
