#include "Clipboard.h"

namespace {

class NoClipboard final : public Clipboard {
public:
    bool SetPicture(const std::vector<uint8_t>&) override { return false; }
    bool SetFiles(const std::vector<std::string>&) override { return false; }
    std::vector<uint8_t> GetPicture() override { return {}; }
    std::vector<std::string> GetFiles() override { return {}; }
};

NoClipboard gNone;
Clipboard* gClipboard = nullptr;

} // namespace

Clipboard& Clipboard::Current() { return gClipboard ? *gClipboard : gNone; }

void Clipboard::SetCurrent(Clipboard* clipboard) { gClipboard = clipboard; }
