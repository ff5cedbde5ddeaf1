#include "ExportImageArray.h"

#include "BlockOMemoryLock.h"
#include "BlockOMemoryPool.h"
#include "Image.h"
#include "ImageRendering.h"
#include "LabelGlyphs.h"
#include "NbErrorCodes.h"
#include "StCriticalSectionLock.h"
#include "YlmErrp.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

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

void ExportImageArray::RenderFromRendering(ImageRendering* rendering, ProgressCB* progress, int subsample) {
    if (!rendering) return;
    BlockOMemoryLock pin(this);
    const int32_t colorMode = rendering->GetProcessParamPtr()->colorMode;
    if (colorMode != 0 && colorMode != 1 && colorMode != 2) return;
    // A colour pixel type over a one-channel array would have the renderer
    // write three samples a pixel into rows sized for one: such an array
    // (a monochrome image exported in colour mode 0) is rendered as grey.
    pixelType_ = (colorMode == 2 || channels_ == 1) ? Gray : RGB;

    auto fail = [this](int code) {
        Free();
        YLM_THROW("ExportImageArray::RenderFromRendering", code);
    };
    try {
        NbRect bounds = rendering->GetCropDimensions();
        if (subsample == 2 || subsample == 4)
            bounds = NbRect(bounds.left, bounds.top, int32_t(bounds.Width() / subsample - 1),
                            int32_t(bounds.Height() / subsample - 1));
        if (bounds.Width() <= 0 || bounds.Height() <= 0) fail(NbErrRenderFailed);
        const int64_t rowBytes = (bounds.Width() * bytesPerSample_ * channels_ + 3) & ~int64_t(3);
        if (rowBytes > INT32_MAX) fail(NbErrAllocFailed);
        const uint64_t needed = uint64_t(rowBytes) * uint64_t(bounds.Height());
        bounds_ = bounds;
        rowBytes_ = int32_t(rowBytes);
        if (GetPixels() && uint64_t(GetSize()) < needed) Free();
        if (!GetPixels()) Create(needed);
        rendering->RenderImage(this, 0, progress, subsample);
        rendering->GetImage()->Get()->FreeCachedData();
    } catch (const YlmErrp&) {
        Free();
        throw;
    } catch (const std::bad_alloc&) {
        fail(NbErrAllocFailed);
    } catch (int code) {
        // A bare status from below is a failure, never a silent cancel.
        fail(code == NbErrRenderCancelled || code == 0 ? int(NbErrRenderFailed) : code);
    } catch (...) {
        fail(NbErrRenderFailed);
    }
}

namespace {

// The glyph of a printable ASCII character, '?' for anything else (a
// multi-byte character counts once).
const uint8_t* GlyphFor(unsigned char c) {
    if (c < kLabelGlyphFirst || c >= kLabelGlyphFirst + kLabelGlyphCount) c = '?';
    return kLabelGlyphs[c - kLabelGlyphFirst];
}

} // namespace

bool ExportImageArray::DrawTextLabel(std::string text) {
    if (text.empty()) return false;
    uint8_t* pixels = pixels_.load(std::memory_order_acquire);
    if (!pixels || (channels_ != 1 && channels_ != 3) || (bytesPerSample_ != 1 && bytesPerSample_ != 2)) return false;
    const int64_t arrayWidth = bounds_.Width(), arrayHeight = bounds_.Height();
    if (arrayWidth <= 0 || arrayHeight <= 0) return false;

    // The label as a one-byte-per-pixel picture: black everywhere, each
    // character cell white with black ink.
    std::vector<uint8_t> bitmap(size_t(kLabelWidth) * kLabelHeight, 0x00);
    const std::string padded = " " + text + " ";
    int x = 0;
    for (size_t i = 0; i < padded.size() && x < kLabelWidth; ++i) {
        const unsigned char c = static_cast<unsigned char>(padded[i]);
        if ((c & 0xC0) == 0x80) continue;
        const uint8_t* glyph = GlyphFor(c);
        for (int r = 0; r < kLabelHeight; ++r)
            for (int g = 0; g < kLabelGlyphAdvance && x + g < kLabelWidth; ++g)
                bitmap[size_t(r) * kLabelWidth + size_t(x + g)] = (glyph[r] & (0x80 >> g)) ? 0x00 : 0xFF;
        x += kLabelGlyphAdvance;
    }

    const int columns = int(std::min<int64_t>(arrayWidth, kLabelWidth));
    int width = 0;
    for (int c = columns - 1; c >= 0; --c)
        if (bitmap[size_t(c)] != 0) {
            width = c + 1;
            break;
        }
    const int height = int(std::min<int64_t>(arrayHeight, kLabelHeight));
    const int samples = pixelType_ == Gray ? 1 : channels_;
    for (int r = 0; r < height; ++r) {
        uint8_t* row = pixels + int64_t(r) * rowBytes_;
        for (int c = 0; c < width; ++c) {
            const uint8_t b = bitmap[size_t(r) * kLabelWidth + size_t(c)];
            uint8_t* p = row + int64_t(c) * channels_ * bytesPerSample_;
            std::memset(p, b, size_t(samples) * size_t(bytesPerSample_));
        }
    }
    return true;
}

} // namespace NimbalCore
