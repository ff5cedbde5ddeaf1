#include "ImagePool.h"

#include "ColorServices.h"
#include "Folder.h"
#include "Image.h"
#include "NbErrorCodes.h"
#include "StCriticalSectionLock.h"
#include "StripWorkingBlocks.h"
#include "YlmErrp.h"

#include <mutex>
#include <vector>

namespace NimbalCore {

namespace {

std::atomic<ImagePool*> gPool{nullptr};

struct ComponentSteps {
    ImagePool::OpenStep open = nullptr;
    ImagePool::CloseStep close = nullptr;
};
ComponentSteps gComponents[ImagePool::ComponentCount];
void (*gPlugInFolderScan)() = nullptr;

bool PooledTest(const FilePathSpec& path) {
    StCriticalSectionLock guard(ImagePool::GetPoolLock());
    ImagePool* pool = ImagePool::Live();
    return pool && pool->Contains(path);
}

void CloseGuarded(ImagePool::Component component) {
    if (!gComponents[component].close) return;
    try {
        gComponents[component].close();
    } catch (...) {
        // Shutting down: a component that fails to close is left as it is.
    }
}

// Every image the pool holds, in path order, so that callers can call them
// without walking the map they may change.
std::vector<ImageRef> Snapshot(const std::map<FilePathSpec, ImageRef>& images) {
    std::vector<ImageRef> refs;
    refs.reserve(images.size());
    for (const auto& entry : images) refs.push_back(entry.second);
    return refs;
}

} // namespace

void ImagePool::SetComponent(Component component, OpenStep open, CloseStep close) {
    if (component < 0 || component >= ComponentCount) return;
    gComponents[component].open = open;
    gComponents[component].close = close;
}

void ImagePool::SetPlugInFolderScan(void (*scan)()) { gPlugInFolderScan = scan; }

YlmMutex& ImagePool::GetPoolLock() {
    // Never destroyed: releases may come after the pool and after exit's
    // destructors began.
    static YlmMutex* lock = new YlmMutex;
    return *lock;
}

ImagePool* ImagePool::Live() { return gPool.load(std::memory_order_acquire); }

ImagePool* ImagePool::Instance() {
    if (ImagePool* pool = gPool.load(std::memory_order_acquire)) return pool;
    // Two threads asking first would otherwise each make a pool, and images
    // would be counted in one of them while the other leaked.
    static std::mutex* creation = new std::mutex;
    std::lock_guard<std::mutex> guard(*creation);
    if (ImagePool* pool = gPool.load(std::memory_order_acquire)) return pool;
    ImagePool* pool = new ImagePool;
    gPool.store(pool, std::memory_order_release);
    Folder::SetPooledTest(&PooledTest);
    pool->Startup();
    return pool;
}

std::vector<int> ImagePool::StartedDriverKinds() const {
    std::vector<int> kinds;
    if (wren4DriverStatus == 0) kinds.push_back(2);
    if (wren3DriverStatus == 0) kinds.push_back(0);
    if (ploverDriverStatus == 0) kinds.push_back(1);
    return kinds;
}

void ImagePool::DeleteInstance() { delete gPool.load(std::memory_order_acquire); }

int32_t ImagePool::RunStep(Component component) {
    OpenStep open = gComponents[component].open;
    // The sharpen library and the scale plug-in are the image's own; the
    // others arrive with their components.
    if (component == SharpenLibrary) open = &Image::OpenSharpenLibrary;
    if (component == ScalePlugIn) open = &Image::OpenScalePlugIn;
    if (!open) return NbErrNotImplemented;
    try {
        return open();
    } catch (const YlmErrp& e) {
        return e.GetCode();
    } catch (int code) {
        return code;
    } catch (...) {
        return NbErrNotImplemented;
    }
}

void ImagePool::Startup() {
    cameraInterfaceStatus = RunStep(CameraInterface);
    wren3DriverStatus = RunStep(Wren3Driver);
    wren4DriverStatus = RunStep(Wren4Driver);
    ploverDriverStatus = RunStep(PloverDriver);
    sharpenLibraryStatus = RunStep(SharpenLibrary);
    scalePlugInStatus = RunStep(ScalePlugIn);
    if (gPlugInFolderScan) gPlugInFolderScan();
}

ImagePool::~ImagePool() {
    CloseGuarded(CameraInterface);
    CloseGuarded(Wren3Driver);
    CloseGuarded(PloverDriver);
    CloseGuarded(Wren4Driver);
    // A destructor cannot pass these failures on; the exit swallows them
    // anyway.
    try {
        Image::CloseSharpenLibrary();
        Image::CloseScalePlugIn();
    } catch (...) {
    }
    StripWorkingBlocks::Release();
    if (ColorServices* services = ColorServices::Get()) services->DeleteEngine();
    std::map<FilePathSpec, ImageRef> images;
    {
        StCriticalSectionLock guard(GetPoolLock());
        if (gPool.load() == this) gPool.store(nullptr, std::memory_order_release);
        Folder::SetPooledTest(nullptr);
        for (auto& entry : images_) {
            try {
                entry.second->RemoveImageChangeCB(this);
            } catch (const YlmErrp&) {
                // Not registered any more: nothing to undo.
            }
        }
        images.swap(images_);
    }
    // Released with no pool live: an image still held outside later finds
    // no pool and simply loses a count.
    images.clear();
}

bool ImagePool::Contains(const FilePathSpec& path) {
    StCriticalSectionLock guard(GetPoolLock());
    return images_.count(path) != 0;
}

bool ImagePool::HoldsImage(const FilePathSpec& path, const Image* image) {
    StCriticalSectionLock guard(GetPoolLock());
    auto it = images_.find(path);
    return it != images_.end() && it->second.Get() == image;
}

bool ImagePool::Lookup(const FilePathSpec& path, ImageRef& out) {
    StCriticalSectionLock guard(GetPoolLock());
    out.Reset();
    auto it = images_.find(path);
    if (it == images_.end()) return false;
    out = it->second;
    return true;
}

void ImagePool::AddImage(const ImageRef& image) {
    StCriticalSectionLock guard(GetPoolLock());
    if (!image) YLM_THROW("ImagePool::AddImage", NbErrAddImageFailed);
    const FilePathSpec path = image->GetFilePathSpec();
    if (!images_.emplace(path, image).second) YLM_THROW("ImagePool::AddImage", NbErrAddImageFailed);
    image->CenterCloseUpPoint();
    image->AddImageChangeCB(this);
}

void ImagePool::Remove(const FilePathSpec& path) {
    StCriticalSectionLock guard(GetPoolLock());
    auto it = images_.find(path);
    if (it == images_.end()) return;
    // The entry's reference goes after the entry, outside the map.
    ImageRef held = it->second;
    try {
        held->RemoveImageChangeCB(this);
    } catch (const YlmErrp&) {
        // Not registered (the image dropped its listeners): nothing to undo.
    }
    images_.erase(it);
}

void ImagePool::ImageOpened(const FilePathSpec&) {
    StCriticalSectionLock guard(GetPoolLock());
    if (++openCount_ > openLimit_) CloseOldest(closeBatch_);
}

void ImagePool::ImageClosed() {
    StCriticalSectionLock guard(GetPoolLock());
    --openCount_;
}

void ImagePool::CloseOldest(int count) {
    StCriticalSectionLock guard(GetPoolLock());
    std::multimap<time_t, ImageRef> byOpenTime;
    for (const auto& entry : images_)
        if (entry.second->IsOpen()) byOpenTime.emplace(entry.second->GetOpenTime(), entry.second);
    int closed = 0;
    for (auto it = byOpenTime.begin(); count > 0 && it != byOpenTime.end() && closed < count; ++it) {
        if (!it->second->IsClosable()) continue;
        it->second->Close();
        ++closed;
    }
}

bool ImagePool::OfferSound(const FilePathSpec& sound) {
    StCriticalSectionLock guard(GetPoolLock());
    for (const ImageRef& image : Snapshot(images_))
        if (image->AddSound(sound)) return true;
    return false;
}

bool ImagePool::WithdrawSound(const FilePathSpec& sound) {
    StCriticalSectionLock guard(GetPoolLock());
    for (const ImageRef& image : Snapshot(images_)) {
        try {
            if (image->RemoveSound(sound)) return true;
        } catch (const YlmErrp&) {
            // Not this image's sound.
        }
    }
    return false;
}

void ImagePool::ImageRenamed(const FilePathSpec& oldPath, const FilePathSpec&) {
    StCriticalSectionLock guard(GetPoolLock());
    auto it = images_.find(oldPath);
    if (it == images_.end()) return;
    ImageRef image = it->second;
    Remove(oldPath);
    AddImage(image);
}

int32_t ImagePool::GetOpenCount() {
    StCriticalSectionLock guard(GetPoolLock());
    return openCount_;
}

size_t ImagePool::GetImageCount() {
    StCriticalSectionLock guard(GetPoolLock());
    return images_.size();
}

} // namespace NimbalCore
