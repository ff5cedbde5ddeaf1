#pragma once
// Whether Ctrl or Shift is held right now. The program installs the
// keyboard's answer; tests install their own.

class KeyState {
public:
    enum Key { kControl, kShift };
    virtual ~KeyState() = default;
    virtual bool IsDown(Key key) = 0;

    // The process-wide answer; no key held until one is set.
    static KeyState& Current();
    static void SetCurrent(KeyState* state);
};
