#pragma once
// The purgeable pixel buffer an export renders into, one strip at a time: a
// caller keeps one for a whole batch and each exporter borrows it. Users pin
// it while they write or read it; between strips the memory pool may free it.
#include "PixelArray.h"

#include <atomic>
#include <string>

namespace NimbalCore {

class ImageRendering;
class ProgressCB;

class ExportImageArray : public PixelArray {
public:
    ExportImageArray() = default;
    ~ExportImageArray() override;

    // Nothing when a buffer is held; 1502 when the memory cannot be had.
    void Create(uint64_t size) override;
    void Free() override;
    void* GetData() const override { return GetPixels(); }
    virtual void* GetPixels() const { return pixels_.load(std::memory_order_acquire); }
    // Relative to the bounds' top-left corner; null outside the bounds.
    uint8_t* GetPixelAddress(int32_t x, int32_t y) override;
    // Renders the rendering's crop into the array, growing the buffer when
    // it is too small. Every failure frees the buffer and is thrown as a
    // YlmErrp: the core's own as it came (1711 for a cancel), anything else
    // naming this operation (1502 for memory), so no caller mistakes a
    // failed render for pixels or for a cancel.
    virtual void RenderFromRendering(ImageRendering* rendering, ProgressCB* progress, int subsample);

    // Maximum size of the label: a white box with black letters in the
    // top-left corner.
    static constexpr int kLabelWidth = 768;
    static constexpr int kLabelHeight = 16;
    // Draws a blank, the text and a blank in the top-left corner, cut to the
    // array's width and height. False, with the pixels untouched, for an
    // empty text, no buffer, or an array of other than 1 or 3 channels.
    bool DrawTextLabel(std::string text);

private:
    std::atomic<uint8_t*> pixels_{nullptr};
};

} // namespace NimbalCore
