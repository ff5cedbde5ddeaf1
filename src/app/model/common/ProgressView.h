#pragma once
// What the progress presenter drives: the progress window's bar, its percent
// text, the message pump and the window itself.
#include <string>

class ProgressView {
public:
    virtual ~ProgressView() = default;
    // Dispatches what is waiting for the user-interface thread, without
    // waiting for more.
    virtual void PumpMessages() = 0;
    virtual void SetBarRange(int low, int high) = 0;
    virtual void SetBarStep(int step) = 0;
    // Each answers the bar's previous position.
    virtual int SetBarPos(int position) = 0;
    virtual int StepBar() = 0;
    virtual std::string GetPercentText() = 0;
    virtual void SetPercentText(const std::string& text) = 0;
    virtual void Pause(int milliseconds) = 0;
    // Whether the window exists, and its end.
    virtual bool HasWindow() = 0;
    virtual void CloseWindow() = 0;
};
