#pragma once
// How the image factory makes images of the kinds. The kinds live above the
// core and install themselves here at start-up; without them the factory
// opens nothing. Every New... answers a new, unopened image of that kind for
// the path (null when none can be made).
#include "FilePathSpec.h"

#include <functional>
#include <string>
#include <vector>

namespace NimbalCore {

class Image;

class ImageKinds {
public:
    // One folder plug-in as the factory offers files to it. Copies hold the
    // plug-in, so a copy of the list stays usable while it is walked.
    struct FolderPlugIn {
        // The extension upper-cased, without its dot.
        std::function<bool(const std::string& extension)> acceptsExtension;
        std::function<Image*(const FilePathSpec& path)> newImage;
    };

    virtual ~ImageKinds() = default;

    static void Install(ImageKinds* kinds);
    // The installed kinds, or null.
    static ImageKinds* Get();

    virtual Image* NewFinishedTIFFImage(const FilePathSpec& path) = 0;
    virtual Image* NewFinishedJPEGImage(const FilePathSpec& path) = 0;
    // A raw image read by one of the named model drivers (0 Wren3, 1 Plover,
    // 2 Wren4).
    virtual Image* NewDriverImage(const FilePathSpec& path, int driverKind) = 0;
    // A raw image read through the camera interface, and that kind's own
    // open with an option (0 when it opened).
    virtual Image* NewCameraInterfaceImage(const FilePathSpec& path) = 0;
    virtual int OpenCameraInterfaceImage(Image* image, int openOption) = 0;
    // The folder plug-ins loaded at start-up, in the order they were loaded.
    virtual std::vector<FolderPlugIn> GetFolderPlugIns() = 0;
    // Whether the colour engine holds every profile that the model drivers'
    // images need.
    virtual bool HasRequiredProfiles() = 0;
};

} // namespace NimbalCore
