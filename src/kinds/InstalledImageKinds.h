#pragma once
// The image kinds as the image factory makes them: finished TIFF and JPEG
// files, raw files through the named model drivers and the folder plug-ins,
// and raw files through the camera interface. Install() also gives the image
// pool the start-up and shut-down of the drivers and the camera interface;
// a program calls it before the pool is first used.
#include "ImageKinds.h"

namespace NimbalCore {

class InstalledImageKinds : public ImageKinds {
public:
    static void Install();

    Image* NewFinishedTIFFImage(const FilePathSpec& path) override;
    Image* NewFinishedJPEGImage(const FilePathSpec& path) override;
    Image* NewDriverImage(const FilePathSpec& path, int driverKind) override;
    Image* NewCameraInterfaceImage(const FilePathSpec& path) override;
    int OpenCameraInterfaceImage(Image* image, int openOption) override;
    std::vector<FolderPlugIn> GetFolderPlugIns() override;
    bool HasRequiredProfiles() override;
};

} // namespace NimbalCore
