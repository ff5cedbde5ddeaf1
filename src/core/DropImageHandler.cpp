#include "DropImageHandler.h"

#include "File.h"
#include "Image.h"
#include "ImageRendering.h"
#include "NbErrorCodes.h"
#include "ProgressCB.h"
#include "SoundFileHandler.h"
#include "YlmErrp.h"

#include <cstdio>
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
        File(source).Copy(target, true).MakeWritable();
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

} // namespace NimbalCore
