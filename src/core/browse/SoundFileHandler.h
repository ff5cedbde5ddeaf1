#pragma once
// Moves or copies one sound file into a drop's target folder.
#include "FilePathSpec.h"

namespace NimbalCore {

class SoundFileHandler {
public:
    // mode 0 moves when the folder is on the file's own file system; any
    // other mode, or another file system, copies.
    SoundFileHandler(const FilePathSpec& folder, int mode) : folder_(folder), mode_(mode) {}
    virtual ~SoundFileHandler() = default;

    // A copy onto an existing file fails with 1805, a move with 1816.
    virtual void operator()(const FilePathSpec& soundFile);

private:
    FilePathSpec folder_;
    int mode_;
};

} // namespace NimbalCore
