#pragma once
// One slide of a contact sheet as the document keeps it: its own copy of the
// rendering (a counted reference to the image with the parameters the slide
// shows), its selection mark and its image's path. It listens to its image,
// and hands every change to the window that shows it, if any.
#include "ImageChangeCB.h"
#include "ImageRendering.h"

#include <atomic>
#include <functional>
#include <mutex>

class SheetSlide : public NimbalCore::ImageChangeCB {
public:
    enum class Mark { kNotSelected, kSelected, kFocused };

    // Starts listening to the rendering's image.
    explicit SheetSlide(const NimbalCore::ImageRendering& rendering);
    ~SheetSlide() override;
    SheetSlide(const SheetSlide&) = delete;
    SheetSlide& operator=(const SheetSlide&) = delete;

    NimbalCore::ImageRendering* GetRendering() { return &rendering_; }
    NimbalCore::FilePathSpec GetImagePath();
    // Whether the slide shows the file of that path.
    bool ShowsFile(const NimbalCore::FilePathSpec& path);

    Mark GetMark() const { return mark_.load(); }
    bool IsSelected() const { return GetMark() != Mark::kNotSelected; }
    void MarkUnselected() { SetMark(Mark::kNotSelected); }
    void MarkSelected() { SetMark(Mark::kSelected); }
    void MarkFocused() { SetMark(Mark::kFocused); }

    // Told of every change of the mark or of the image, on the thread that
    // made it; empty stops the telling.
    void SetObserver(std::function<void()> observer);

    void ImageFileChanged(const NimbalCore::FilePathSpec&) override {}
    void ProcessParamsChanged(const NimbalCore::FilePathSpec&) override { Changed(); }
    void SoundsChanged(const NimbalCore::FilePathSpec&) override { Changed(); }
    void ImageSaved(const NimbalCore::FilePathSpec&) override {}
    void TagChanged(const NimbalCore::FilePathSpec&) override { Changed(); }
    void ImageRenamed(const NimbalCore::FilePathSpec&, const NimbalCore::FilePathSpec&) override { Changed(); }

private:
    void SetMark(Mark mark);
    void Changed();

    NimbalCore::ImageRendering rendering_;
    std::atomic<Mark> mark_{Mark::kNotSelected};
    std::mutex observerLock_;
    std::function<void()> observer_;
};
