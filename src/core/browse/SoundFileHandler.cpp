#include "SoundFileHandler.h"

#include "File.h"

namespace NimbalCore {

void SoundFileHandler::operator()(const FilePathSpec& soundFile) {
    FilePathSpec target = folder_;
    target.Append(soundFile.GetFileName());
    File file(soundFile);
    if (mode_ == 0 && soundFile.IsSameVolume(target)) file.Move(target);
    else file.Copy(target, true);
}

} // namespace NimbalCore
