#include "ImageWerks.h"

#include "Image.h"
#include "ImageKinds.h"
#include "ImagePool.h"
#include "NbErrorCodes.h"
#include "YlmErrp.h"

#include <atomic>
#include <map>
#include <strings.h>

namespace NimbalCore {

namespace {

// Once per run, the first raw file a model driver opens decides whether the
// drivers' images can be coloured; written by whichever thread gets there
// first.
std::atomic<bool> gProfilesChecked{false};
std::atomic<bool> gProfilesComplete{false};

// The file's extension without its dot, upper-cased.
std::string UpperExtension(const FilePathSpec& path) {
    std::string extension = path.GetExtension();
    if (!extension.empty() && extension[0] == '.') extension.erase(0, 1);
    for (char& c : extension)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return extension;
}

// Opens a new image of one kind; true with it in out.
template <class Make>
bool TryKind(Make make, ImageRef& out) {
    Image* made = make();
    if (!made) return false;
    ImageRef image(made);
    if (image->Open() != 0) return false;
    out = image;
    return true;
}

bool IsSound(ImageWerks& werks, const FilePathSpec& path) {
    return strcasecmp(werks.GetExtension(path).c_str(), "wav") == 0;
}

} // namespace

void ImageWerks::ResetProfileCheck() {
    gProfilesComplete.store(false);
    gProfilesChecked.store(false);
}

int ImageWerks::Pool(const FilePathSpec& path, ImageRef& image) {
    ImagePool* pool = ImagePool::Instance();
    // A folder watcher and the user-interface thread may open a new file
    // at the same moment: the second to pool it shares the first's image.
    for (int attempt = 0;; ++attempt) {
        try {
            pool->AddImage(image);
            return 0;
        } catch (const YlmErrp& e) {
            if (e.GetCode() != NbErrAddImageFailed || attempt == 2) throw;
        }
        ImageRef pooled;
        if (pool->Lookup(path, pooled)) {
            image = pooled;
            return 0;
        }
        // The other image left the pool again in between: pool this one.
    }
}

int ImageWerks::OpenImage(const FilePathSpec& path, ImageRef& out) {
    out.Reset();
    if (ImagePool::Instance()->Lookup(path, out)) return 0;
    if (OpenWithPlugIns(path, out) == 0) return Pool(path, out);

    ImageKinds* kinds = ImageKinds::Get();
    auto tiff = [&] { return kinds ? kinds->NewFinishedTIFFImage(path) : nullptr; };
    auto jpeg = [&] { return kinds ? kinds->NewFinishedJPEGImage(path) : nullptr; };

    const std::string extension = UpperExtension(path);
    if ((extension == "TIF" || extension == "TIFF") && TryKind(tiff, out)) return Pool(path, out);
    if ((extension == "JPG" || extension == "JPEG") && TryKind(jpeg, out)) return Pool(path, out);
    if (extension == "ZYR" && OpenRawImage(path, out, 0) == 0) return Pool(path, out);

    // Any other extension, or a kind that refused the file: every kind in
    // turn, each with an object of its own.
    if (TryKind(tiff, out) || TryKind(jpeg, out) || OpenRawImage(path, out, 0) == 0) return Pool(path, out);
    out.Reset();
    return NbErrUnsupportedImage;
}

int ImageWerks::OpenRawImage(const FilePathSpec& path, ImageRef& out, int openOption) {
    out.Reset();
    ImagePool* pool = ImagePool::Instance();
    ImageKinds* kinds = ImageKinds::Get();
    if (!kinds) return NbErrUnsupportedImage;

    for (const int driverKind : pool->StartedDriverKinds()) {
        if (gProfilesChecked.load() && !gProfilesComplete.load()) break;
        ImageRef image;
        if (!TryKind([&] { return kinds->NewDriverImage(path, driverKind); }, image)) continue;
        if (!gProfilesChecked.load()) {
            gProfilesComplete.store(kinds->HasRequiredProfiles());
            gProfilesChecked.store(true);
        }
        if (!gProfilesComplete.load()) return NbErrProfileNotFound;
        out = image;
        return 0;
    }

    Image* made = kinds->NewCameraInterfaceImage(path);
    if (!made) return NbErrUnsupportedImage;
    ImageRef image(made);
    if (kinds->OpenCameraInterfaceImage(made, openOption) != 0) return NbErrUnsupportedImage;
    out = image;
    return 0;
}

int ImageWerks::OpenWithPlugIns(const FilePathSpec& path, ImageRef& out) {
    out.Reset();
    ImageKinds* kinds = ImageKinds::Get();
    const std::vector<ImageKinds::FolderPlugIn> plugIns = kinds ? kinds->GetFolderPlugIns()
                                                                : std::vector<ImageKinds::FolderPlugIn>();
    if (plugIns.empty()) return NbErrUnsupportedImage;

    const std::string extension = UpperExtension(path);
    if (!extension.empty())
        for (const ImageKinds::FolderPlugIn& plugIn : plugIns)
            if (plugIn.acceptsExtension(extension) && TryKind([&] { return plugIn.newImage(path); }, out)) return 0;
    // Then every plug-in, whatever it says of the extension.
    for (const ImageKinds::FolderPlugIn& plugIn : plugIns)
        if (TryKind([&] { return plugIn.newImage(path); }, out)) return 0;
    return NbErrUnsupportedImage;
}

std::string ImageWerks::GetExtension(const FilePathSpec& path) {
    const std::string name = path.GetFileName();
    const size_t dot = name.find_last_of('.');
    if (dot == std::string::npos) return std::string();
    return name.substr(dot + 1, 3);
}

void ImageWerks::ProcessFolderChanges(std::vector<FilePathSpec> added, std::vector<FilePathSpec> removed,
                                      ImageWerksCB* callback) {
    if (!callback) return;
    ImagePool* pool = ImagePool::Instance();

    // By name, in byte order: an image's sound files come after it.
    std::map<std::string, FilePathSpec> files;
    for (const FilePathSpec& file : added) files.emplace(file.GetFileName(), file);

    ImageRef held;
    for (auto it = files.begin(); it != files.end();) {
        const FilePathSpec& file = it->second;
        ImageRef image;
        int opened = NbErrUnsupportedImage;
        // One file that a kind fails on must not end the scan: the files
        // after it, and the image held for its report, would never be shown.
        try {
            opened = OpenImage(file, image);
        } catch (const YlmErrp&) {
        } catch (int) {
        } catch (NbErrorCodes) {
        }
        if (opened == 0) {
            if (held && callback->ImageFound(held) == ImageWerksCB::kStopScan) return;
            held = image;
            it = files.erase(it);
        } else if (!IsSound(*this, file)) {
            it = files.erase(it);
        } else if ((held && held->AddSound(file)) || pool->OfferSound(file)) {
            it = files.erase(it);
        } else {
            ++it;
        }
    }
    // The images opened later in the walk are pooled by now.
    for (const auto& entry : files)
        if (IsSound(*this, entry.second)) pool->OfferSound(entry.second);
    if (held) callback->ImageFound(held);
    held.Reset();

    for (const FilePathSpec& file : removed) {
        ImageRef image;
        if (pool->Lookup(file, image)) image->NotifyImageChange(ImageChangeFile);
        if (IsSound(*this, file)) pool->WithdrawSound(file);
    }
}

} // namespace NimbalCore
