#pragma once
// The windows Send To works through: the wait cursor, the batch's two
// three-button questions, its progress window and the pause at its end. The
// program shows real windows; tests answer for them.
#include <memory>
#include <string>

class SendImageUI {
public:
    // A question with Yes, Yes to All and a second button. One object
    // serves a whole batch, so Yes to All holds for the rest of it.
    class Question {
    public:
        virtual ~Question() = default;
        virtual void SetSecondButtonText(const std::string& text) = 0;
        // 1 for Yes and Yes to All, 2 for the second button (and the close
        // box).
        virtual int Ask(const std::string& message) = 0;
        virtual bool YesToAll() const = 0;
    };

    // The progress window of a batch: one step per entry, with Cancel.
    class Progress {
    public:
        virtual ~Progress() = default;
        // Whether Cancel was pressed since the last look.
        virtual bool CancelPressed() = 0;
        virtual void Step() = 0;
        virtual void Close() = 0;
        // Runs what waits for the user-interface thread, so the window
        // stays painted and its Cancel button is heard while one image is
        // written.
        virtual void KeepResponsive() = 0;
    };

    virtual ~SendImageUI() = default;
    virtual void BeginWaitCursor() = 0;
    // Back to the wait cursor after a question box.
    virtual void RestoreWaitCursor() = 0;
    virtual void EndWaitCursor() = 0;
    virtual std::unique_ptr<Question> MakeQuestion() = 0;
    // Shown at once with the caption of the string id, range 0 to entries;
    // null when the window cannot be made.
    virtual std::unique_ptr<Progress> MakeProgress(int captionId, int entries) = 0;
    virtual void Pause(int milliseconds) = 0;
};
