#pragma once
// The first instance's side of the automation items: what a Request, a Poke
// and an Execute from another process do. The wxServer's connection calls
// these; the frame and the documents answer through the target.
#include <string>

class AutomationTarget {
public:
    virtual ~AutomationTarget() = default;
    virtual bool IsMainFrameVisible() = 0;
    // true: shown normally; false: hidden.
    virtual void ShowMainFrame(bool show) = 0;
    // Opens the path through the document manager (a folder as a contact
    // sheet, an image as a preview).
    virtual void OpenDocument(const std::string& path) = 0;
    // Restores the frame when iconized and raises the last active top-level
    // window (a modal dialog when one is up).
    virtual void BringForward() = 0;
};

class AutomationServer {
public:
    explicit AutomationServer(AutomationTarget& target) : target_(target) {}

    // Set at the end of start-up and on every tick of the frame's timer.
    void SetReady() { ready_ = true; }
    bool IsReady() const { return ready_; }

    // Visible → "1"/"0"; Ready → "1"/"0". false for an unknown item.
    bool OnRequest(const std::string& item, std::string& answer);
    // Visible "1"/"0": shows or hides when it differs. OpenFolder (UTF-8
    // path): opens it and stores it as item 5. false for an unknown item or
    // value.
    bool OnPoke(const std::string& item, const std::string& value);
    // Raise: brings the program forward.
    bool OnExecute(const std::string& command);

private:
    AutomationTarget& target_;
    bool ready_ = false;
};
