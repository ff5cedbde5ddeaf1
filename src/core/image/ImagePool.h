#pragma once
// The process-wide cache of open images: one shared Image per path, a limit
// on how many are open at once, sound files offered to the images they belong
// to, and the start-up and shut-down of the components the image kinds need.
//
// Locking: every path takes the pool's lock before an image's own lock
// (releasing an image, evicting, offering sounds), so the user-interface
// thread and the folder watchers cannot deadlock. The pool's lock outlives
// the pool, so a release after teardown finds no pool and touches nothing.
#include "FilePathSpec.h"
#include "ImageChangeCB.h"
#include "ImageRef.h"
#include "YlmMutex.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <vector>

namespace NimbalCore {

class Image;

class ImagePool : public ImageChangeCB {
public:
    // The components the pool starts, in start-up order. The camera
    // interface and the drivers arrive with their own code, which installs
    // how they open and close before the pool is created (1303 until then);
    // the sharpen library and the scale plug-in are opened by Image.
    enum Component : int {
        CameraInterface = 0, Wren3Driver, Wren4Driver, PloverDriver, SharpenLibrary, ScalePlugIn, ComponentCount
    };
    // Answers 0 or a status; may throw YlmErrp, and the last two a bare int.
    using OpenStep = int (*)();
    using CloseStep = void (*)();
    static void SetComponent(Component component, OpenStep open, CloseStep close);
    // The scan of the program's plug-in folder, last at start-up.
    static void SetPlugInFolderScan(void (*scan)());

    static ImagePool* Instance();
    // Destroys the pool (the application's exit).
    static void DeleteInstance();
    // The live pool or null; read it under GetPoolLock().
    static ImagePool* Live();
    static YlmMutex& GetPoolLock();

    ~ImagePool() override;
    ImagePool(const ImagePool&) = delete;
    ImagePool& operator=(const ImagePool&) = delete;

    void ImageFileChanged(const FilePathSpec&) override {}
    void ProcessParamsChanged(const FilePathSpec&) override {}
    void SoundsChanged(const FilePathSpec&) override {}
    void ImageSaved(const FilePathSpec&) override {}
    void TagChanged(const FilePathSpec&) override {}
    void ImageRenamed(const FilePathSpec& oldPath, const FilePathSpec& newPath) override;

    bool Contains(const FilePathSpec& path);
    // Whether this very image is the one pooled under the path.
    bool HoldsImage(const FilePathSpec& path, const Image* image);
    bool Lookup(const FilePathSpec& path, ImageRef& out);
    // 1100 when the path is pooled already.
    void AddImage(const ImageRef& image);
    void Remove(const FilePathSpec& path);
    void ImageOpened(const FilePathSpec& path);
    void ImageClosed();
    void CloseOldest(int count);
    bool OfferSound(const FilePathSpec& sound);
    bool WithdrawSound(const FilePathSpec& sound);

    int32_t GetOpenCount();
    size_t GetImageCount();
    // The kinds of the model drivers that started (2 Wren4, 0 Wren3,
    // 1 Plover), in the order raw files are offered to them.
    std::vector<int> StartedDriverKinds() const;

    int32_t cameraInterfaceStatus = 0;
    int32_t wren3DriverStatus = 0;
    int32_t wren4DriverStatus = 0;
    int32_t ploverDriverStatus = 0;
    int32_t sharpenLibraryStatus = 0;
    int32_t scalePlugInStatus = 0;

private:
    ImagePool() = default;
    void Startup();
    int32_t RunStep(Component component);

    std::map<FilePathSpec, ImageRef> images_;
    int32_t openCount_ = 0;
    int32_t openLimit_ = 50;
    int32_t closeBatch_ = 5;
};

} // namespace NimbalCore
