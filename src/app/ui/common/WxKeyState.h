#pragma once
// The keyboard's Ctrl and Shift as wx reports them.
#include "KeyState.h"

class WxKeyState : public KeyState {
public:
    bool IsDown(Key key) override;
};
