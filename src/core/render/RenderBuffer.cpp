#include "RenderBuffer.h"

#include "BlockOMemoryLock.h"
#include "BlockOMemoryPool.h"
#include "ImageRendering.h"
#include "NbErrorCodes.h"
#include "StCriticalSectionLock.h"
#include "YlmErrp.h"

#include <new>

namespace NimbalCore {

namespace {

// Makes the buffer's memory hold its bounds; true when this call made it.
bool FitMemory(RenderBuffer& buffer) {
    const NbRect b = buffer.GetBounds();
    const int64_t height = int64_t(b.bottom) - b.top + 1;
    const int64_t needed = int64_t(buffer.GetRowBytes()) * height;
    if (needed < 0 || uint64_t(needed) > BlockOMemoryBase::kMaxSize)
        YLM_THROW("RenderBuffer::Create", NbErrAllocFailed);
    if (buffer.GetData() && int64_t(buffer.GetSize()) >= needed) return false;
    if (buffer.GetData()) buffer.Free();
    buffer.Create(uint64_t(needed));
    return true;
}

} // namespace

RenderBuffer::~RenderBuffer() { RenderBuffer::Free(); }

void RenderBuffer::Create(uint64_t size) {
    if (IsAllocated() || GetData()) return;
    if (size > kMaxSize) YLM_THROW("RenderBuffer::Create", NbErrAllocFailed);
    BlockOMemoryPool::Instance(true)->MakeRoomFor(size);
    uint8_t* memory = nullptr;
    try {
        memory = new uint8_t[size ? size : 1];
    } catch (const std::bad_alloc&) {
        memory = nullptr;
    }
    if (!memory) {
        SetAllocated(false);
        ClearLastUse();
        SetSize(0);
        YLM_THROW("RenderBuffer::Create", NbErrAllocFailed);
    }
    data_.store(memory, std::memory_order_release);
    Touch();
    SetSize(int32_t(size));
    SetAllocated(true);
    RegisterWithPool();
}

void RenderBuffer::Free() {
    if (!data_.load(std::memory_order_acquire)) return;
    StCriticalSectionLock guard(BlockOMemoryPool::Instance(true)->GetLock());
    void* data = data_.exchange(nullptr, std::memory_order_acq_rel);
    if (!data) return;
    UnregisterFromPool();
    delete[] static_cast<uint8_t*>(data);
    SetAllocated(false);
    ClearLastUse();
    SetSize(0);
}

void RenderIntoBuffer(RenderBuffer* buffer, ImageRendering* rendering, ProgressCB* progress, int renderScale,
                      int area) {
    if (!buffer || !rendering) return;
    bool created = false;
    try {
        BlockOMemoryLock pin(buffer);
        created = FitMemory(*buffer);
        rendering->RenderImage(buffer, area, progress, renderScale);
    } catch (...) {
        if (created) buffer->Free();
        throw;
    }
}

void RenderBuffer::RenderFrom(ImageRendering* rendering, ProgressCB* progress, int renderScale, int area) {
    try {
        RenderIntoBuffer(this, rendering, progress, renderScale, area);
    } catch (...) {
        if (IsAllocated()) Free();
        throw;
    }
}

void RenderBuffer::RenderThumbnailFrom(ImageRendering* rendering) {
    if (!rendering) return;
    try {
        BlockOMemoryLock pin(this);
        FitMemory(*this);
        rendering->RenderThumbnail(this);
    } catch (...) {
        if (IsAllocated()) Free();
        throw;
    }
}

} // namespace NimbalCore
