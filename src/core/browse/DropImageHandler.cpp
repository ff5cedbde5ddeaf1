#include "DropImageHandler.h"

#include "File.h"
#include "Image.h"
#include "ImageRendering.h"
#include "NbErrorCodes.h"
#include "ProgressCB.h"
#include "SoundFileHandler.h"
#include "YlmErrp.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <vector>

namespace NimbalCore {

void DropImageHandler::operator()(ImageRendering* rendering) {
    Image* image = rendering->GetImage()->Get();
    const std::vector<FilePathSpec> sounds = *image->GetSounds();
    SoundFileHandler soundHandler(folder_, mode_);
    for (const FilePathSpec& sound : sounds) soundHandler(sound);

    const FilePathSpec source = image->GetFilePathSpec();
    FilePathSpec target = folder_;
    target.Append(image->GetFileName());

    if (mode_ == 0 && source.IsSameVolume(target)) {
        const bool wasOpen = image->IsOpen();
        if (wasOpen) {
            image->SetOpenDisabled(true);
            image->Close();
        }
        try {
            MoveImage(source, target);
        } catch (...) {
            // The file is still in its place: it may open again.
            if (wasOpen) image->SetOpenDisabled(false);
            throw;
        }
    } else {
        if (image->IsOpen()) image->Close();
        // A move drop replaces a file of the name, as on one file system,
        // but only with a complete copy; a copy drop never replaces.
        if (mode_ == 0 && target.Exists()) ReplaceByCopy(source, target);
        else File(source).Copy(target, true);
        File(target).MakeWritable();
    }

    ++done_;
    if (progress_ && !progress_->Progress(total_ > 0 ? done_ * 100 / total_ : 100))
        YLM_THROW("DropImageHandler::operator()", NbErrRenderCancelled);
}

void DropImageHandler::MoveImage(const FilePathSpec& source, const FilePathSpec& target) {
    if (!target.Exists()) {
        File(source).Move(target);
        return;
    }
    // An existing file of the name is replaced in the one step of the
    // rename, never deleted beforehand: a move that fails loses nothing.
    if (source.IsSameFile(target)) YLM_THROW("DropImageHandler::operator()", NbErrMoveOntoItself);
    if (std::rename(source.GetPath().c_str(), target.GetPath().c_str()) != 0)
        YLM_THROW("DropImageHandler::operator()", NbErrMoveFailed);
}

void DropImageHandler::ReplaceByCopy(const FilePathSpec& source, const FilePathSpec& target) {
    // The copy is made beside the target and renamed over it when complete:
    // a copy that fails leaves the target as it was.
    std::string temporary = target.GetFolder().GetPath() + "/.lumora-drop-XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) YLM_THROW("DropImageHandler::operator()", NbErrFileCopyFailed);
    ::close(fd);
    try {
        File(source).Copy(FilePathSpec(temporary), false);
    } catch (...) {
        ::unlink(temporary.c_str());
        throw;
    }
    if (std::rename(temporary.c_str(), target.GetPath().c_str()) != 0) {
        ::unlink(temporary.c_str());
        YLM_THROW("DropImageHandler::operator()", NbErrFileCopyFailed);
    }
}

} // namespace NimbalCore
