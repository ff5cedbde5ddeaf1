#include "InstalledImageKinds.h"

#include "ColorEngine.h"
#include "FinishedJPEGImage.h"
#include "FinishedTIFFImage.h"
#include "ProImage.h"
#include "ZynImage.h"

#include <mutex>

namespace NimbalCore {

void InstalledImageKinds::Install() {
    static InstalledImageKinds kinds;
    ImageKinds::Install(&kinds);
    ProImage::InstallPoolSteps();
    ZynImage::InstallPoolStep();
}

Image* InstalledImageKinds::NewFinishedTIFFImage(const FilePathSpec& path) { return new FinishedTIFFImage(path); }

Image* InstalledImageKinds::NewFinishedJPEGImage(const FilePathSpec& path) { return new FinishedJPEGImage(path); }

Image* InstalledImageKinds::NewDriverImage(const FilePathSpec& path, int driverKind) {
    return new ProImage(path, driverKind);
}

Image* InstalledImageKinds::NewCameraInterfaceImage(const FilePathSpec& path) { return new ZynImage(path); }

int InstalledImageKinds::OpenCameraInterfaceImage(Image* image, int openOption) {
    return static_cast<ZynImage*>(image)->Open(openOption != 0);
}

std::vector<ImageKinds::FolderPlugIn> InstalledImageKinds::GetFolderPlugIns() {
    std::vector<FolderPlugIn> plugIns;
    for (const YlmRefPtr<BBPlugIn>& plugIn : ProImage::GetFolderPlugIns()) {
        FolderPlugIn entry;
        entry.acceptsExtension = [plugIn](const std::string& extension) {
            // The plug-in learns its extension on first use; a folder
            // watcher and the user-interface thread may both ask.
            static std::mutex asking;
            std::lock_guard<std::mutex> guard(asking);
            return plugIn->AcceptsExtension(extension);
        };
        entry.newImage = [plugIn](const FilePathSpec& path) -> Image* { return new ProImage(path, plugIn); };
        plugIns.push_back(std::move(entry));
    }
    return plugIns;
}

bool InstalledImageKinds::HasRequiredProfiles() {
    return ColorEngine::Instance(0, 1)->GetMissingStaticProfiles().empty();
}

} // namespace NimbalCore
