#pragma once
// What the image commands (balance, lighting, noise, rotation, tags, the
// automatic settings) ask of a document beyond its undo steps: how it
// applies a parameter set to one of its images, the wait cursor and lock
// around a whole command, and whether it is a contact sheet, whose commands
// work on a selection and sum up their failures, or a preview of one image.
#include "SettingsDocument.h"

namespace NimbalCore {
class ImageProcessParam;
}

class ImageCommandDocument : public SettingsDocument {
public:
    enum class Kind { kSheet, kPreview };

    virtual Kind CommandKind() = 0;
    // Gives the rendering's image the set. A set equal to the present one
    // changes nothing and succeeds. The sheet answers a refused set with
    // false and no message (its command sums up); the preview tells the
    // user itself. An exception is reported at once and answers false.
    virtual bool ApplyProcessParams(const NimbalCore::ImageProcessParam& params,
                                    NimbalCore::ImageRendering* rendering) = 0;
    // Around a whole command: the wait cursor and the lock that keeps the
    // selection still (the sheet); nothing for the preview.
    virtual void BeginCommand() = 0;
    virtual void EndCommand() = 0;
    // The document has unsaved changes.
    virtual void MarkModified() = 0;
    // Whether the main window is there (the rules and some commands need it).
    virtual bool HasMainWindow() = 0;
    // The main window's current tool (a command id).
    virtual int CurrentTool() = 0;
};
