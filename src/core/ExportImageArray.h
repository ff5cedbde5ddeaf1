#pragma once
// The purgeable pixel buffer an export renders into, one strip at a time: a
// caller keeps one for a whole batch and each exporter borrows it. Users pin
// it while they write or read it; between strips the memory pool may free it.
#include "PixelArray.h"

#include <atomic>

namespace NimbalCore {

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

private:
    std::atomic<uint8_t*> pixels_{nullptr};
};

} // namespace NimbalCore
