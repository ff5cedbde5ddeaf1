#include "ExportImageArray.h"

#include "BlockOMemoryPool.h"
#include "NbErrorCodes.h"
#include "StCriticalSectionLock.h"
#include "YlmErrp.h"

#include <new>

namespace NimbalCore {

ExportImageArray::~ExportImageArray() { ExportImageArray::Free(); }

void ExportImageArray::Create(uint64_t size) {
    if (GetPixels()) return;
    if (size > kMaxSize) YLM_THROW("ExportImageArray::Create", NbErrAllocFailed);
    BlockOMemoryPool::Instance(true)->MakeRoomFor(size);
    uint8_t* pixels = nullptr;
    try {
        pixels = new uint8_t[size ? size : 1];
    } catch (const std::bad_alloc&) {
        pixels = nullptr;
    }
    if (!pixels) {
        SetAllocated(false);
        ClearLastUse();
        SetSize(0);
        YLM_THROW("ExportImageArray::Create", NbErrAllocFailed);
    }
    pixels_.store(pixels, std::memory_order_release);
    SetSize(int32_t(size));
    Touch();
    SetAllocated(true);
    RegisterWithPool();
}

void ExportImageArray::Free() {
    if (!pixels_.load(std::memory_order_acquire)) return;
    // Under the pool's lock, so that the owner and a purge on another thread
    // never both free the buffer.
    BlockOMemoryPool* pool = BlockOMemoryPool::Instance(true);
    StCriticalSectionLock guard(pool->GetLock());
    uint8_t* pixels = pixels_.exchange(nullptr, std::memory_order_acq_rel);
    if (!pixels) return;
    UnregisterFromPool();
    delete[] pixels;
    SetAllocated(false);
    ClearLastUse();
    SetSize(0);
}

uint8_t* ExportImageArray::GetPixelAddress(int32_t x, int32_t y) {
    uint8_t* pixels = pixels_.load(std::memory_order_acquire);
    if (!pixels || x < 0 || y < 0 || int64_t(x) > int64_t(bounds_.right) - bounds_.left ||
        int64_t(y) > int64_t(bounds_.bottom) - bounds_.top)
        return nullptr;
    return pixels + int64_t(y) * rowBytes_ + int64_t(x) * channels_ * bytesPerSample_;
}

} // namespace NimbalCore
