#pragma once
// Marks an image as rendering for a scope and gives back the old value at
// the end. Guards that overlap (on several threads too) give it back when
// the last one ends.
namespace NimbalCore {

class Image;

class StImageRenderingFlagRestorer {
public:
    explicit StImageRenderingFlagRestorer(Image* image);
    ~StImageRenderingFlagRestorer();
    StImageRenderingFlagRestorer(const StImageRenderingFlagRestorer&) = delete;
    StImageRenderingFlagRestorer& operator=(const StImageRenderingFlagRestorer&) = delete;

private:
    Image* image_;
};

} // namespace NimbalCore
