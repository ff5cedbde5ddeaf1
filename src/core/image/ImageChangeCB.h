#pragma once
// A listener of one image: told of every change, with the image's path.
#include "FilePathSpec.h"

namespace NimbalCore {

enum ImageChangeType : int {
    ImageChangeFile = 0,
    ImageChangeParams = 1,
    ImageChangeSounds = 2,
    ImageChangeSaved = 3,
    ImageChangeTag = 4,
    ImageChangeRenamed = 5,
};

class ImageChangeCB {
public:
    virtual ~ImageChangeCB() = default;
    virtual void ImageFileChanged(const FilePathSpec& path) = 0;
    virtual void ProcessParamsChanged(const FilePathSpec& path) = 0;
    virtual void SoundsChanged(const FilePathSpec& path) = 0;
    virtual void ImageSaved(const FilePathSpec& path) = 0;
    virtual void TagChanged(const FilePathSpec& path) = 0;
    virtual void ImageRenamed(const FilePathSpec& oldPath, const FilePathSpec& newPath) = 0;
};

} // namespace NimbalCore
