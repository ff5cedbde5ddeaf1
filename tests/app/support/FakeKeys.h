#pragma once
// The keyboard as a test holds it.
#include "KeyState.h"

class FakeKeys : public KeyState {
public:
    FakeKeys() { KeyState::SetCurrent(this); }
    ~FakeKeys() override { KeyState::SetCurrent(nullptr); }
    bool IsDown(Key key) override {
        ++(key == kShift ? shiftAsked : ctrlAsked);
        return key == kShift ? shift : ctrl;
    }
    bool shift = false;
    bool ctrl = false;
    int shiftAsked = 0;
    int ctrlAsked = 0;
};
