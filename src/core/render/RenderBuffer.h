#pragma once
// The core's own purgeable pixel array on the heap, and rendering a view of
// an image into it.
#include "PixelArray.h"

#include <atomic>

namespace NimbalCore {

class ImageRendering;
class ProgressCB;

class RenderBuffer : public PixelArray {
public:
    RenderBuffer() = default;
    ~RenderBuffer() override;

    // Nothing when memory is held; 1502 when it cannot be had.
    void Create(uint64_t size) override;
    // Keeps the purge priority (a pinned buffer stays pinned).
    void Free() override;
    void* GetData() const override { return data_.load(std::memory_order_acquire); }

    // Renders the view into this buffer; on failure the buffer is freed.
    void RenderFrom(ImageRendering* rendering, ProgressCB* progress, int renderScale, int area);
    void RenderThumbnailFrom(ImageRendering* rendering);

private:
    std::atomic<void*> data_{nullptr};
};

// Renders a view into a buffer, making its memory fit the bounds first; a
// buffer this call created is freed again when the render fails.
void RenderIntoBuffer(RenderBuffer* buffer, ImageRendering* rendering, ProgressCB* progress, int renderScale,
                      int area);

} // namespace NimbalCore
