#pragma once
// Moves or copies the files of dropped renderings, one rendering per call,
// into a contact sheet's folder, with their sound files, reporting the
// percentage of the drop done after each.
#include "FilePathSpec.h"

#include <cstdint>

namespace NimbalCore {

class ImageRendering;
class ProgressCB;

class DropImageHandler {
public:
    // mode 0 moves (a copy across file systems), any other mode copies.
    DropImageHandler(const FilePathSpec& folder, int32_t total, ProgressCB* progress, int32_t mode)
        : folder_(folder), progress_(progress), total_(total), mode_(mode) {}
    virtual ~DropImageHandler() = default;

    // A copy onto an existing file fails with 1805; a move replaces an
    // existing file of the name in one step (across file systems with a
    // complete copy), so a failed move leaves both files as they were and
    // the image opens again. 1711 when the progress callback cancels, after
    // this rendering's files are handled.
    virtual void operator()(ImageRendering* rendering);

private:
    void MoveImage(const FilePathSpec& source, const FilePathSpec& target);
    void ReplaceByCopy(const FilePathSpec& source, const FilePathSpec& target);

    FilePathSpec folder_;
    ProgressCB* progress_;
    int32_t done_ = 0;
    int32_t total_;
    int32_t mode_;
};

} // namespace NimbalCore
