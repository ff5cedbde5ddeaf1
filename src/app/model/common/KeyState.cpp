#include "KeyState.h"

namespace {

class NoKeys final : public KeyState {
public:
    bool IsDown(Key) override { return false; }
};

NoKeys gNoKeys;
KeyState* gState = nullptr;

} // namespace

KeyState& KeyState::Current() { return gState ? *gState : gNoKeys; }

void KeyState::SetCurrent(KeyState* state) { gState = state; }
