#include "MessageBoxService.h"

namespace {

class SilentBoxes final : public MessageBoxService {
public:
    int Show(const std::string&, const std::string&, Buttons buttons) override {
        return buttons == kYesNo || buttons == kYesNoCancel ? kAnswerYes : kAnswerOk;
    }
};

SilentBoxes gSilent;
MessageBoxService* gService = nullptr;

} // namespace

MessageBoxService& MessageBoxService::Current() { return gService ? *gService : gSilent; }

void MessageBoxService::SetCurrent(MessageBoxService* service) { gService = service; }
