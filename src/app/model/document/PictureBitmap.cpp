#include "PictureBitmap.h"

#include "BlockOMemoryLock.h"
#include "BlockOMemoryPool.h"
#include "Image.h"
#include "LocalizedText.h"
#include "MessageBoxService.h"
#include "NbErrorCodes.h"
#include "StCriticalSectionLock.h"
#include "StringIds.h"
#include "YlmErrp.h"

#include <algorithm>
#include <cstring>
#include <new>

using NimbalCore::BlockOMemoryPool;
using NimbalCore::ImageRendering;
using NimbalCore::NbRect;

namespace {

// The header's fields, little-endian whatever the machine.
void StoreLittle32(uint8_t* at, uint32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = uint8_t(value >> (8 * i));
}
void StoreLittle16(uint8_t* at, uint16_t value) {
    at[0] = uint8_t(value);
    at[1] = uint8_t(value >> 8);
}

void WriteGreyTable(uint8_t* table) {
    for (int i = 0; i < PictureBitmap::kGreyTableEntries; ++i) {
        table[4 * i] = table[4 * i + 1] = table[4 * i + 2] = uint8_t(i);
        table[4 * i + 3] = 0;
    }
}

// The offsets of the header's fields.
enum HeaderField : int {
    kBiSize = 0, kBiWidth = 4, kBiHeight = 8, kBiPlanes = 12, kBiBitCount = 14, kBiCompression = 16,
    kBiSizeImage = 20, kBiXPelsPerMeter = 24, kBiYPelsPerMeter = 28, kBiClrUsed = 32, kBiClrImportant = 36,
};

} // namespace

PictureBitmap::PictureBitmap()
    : swatch_(kSwatchSampleSize), rendering_(NimbalCore::ImageRef(), NimbalCore::ImageProcessParam()) {
    pixelType_ = RGB;
    channels_ = 3;
    bytesPerSample_ = 1;
    rowBytes_ = 0;
    bounds_ = NbRect(0, 0, 0, 0);
    SetPurgePriority(kPurgeFirst);
}

PictureBitmap::~PictureBitmap() {
    if (block_) ReleaseBits();
}

int64_t PictureBitmap::RowBytesFor(int64_t width, int32_t channels) { return (width * channels + 3) / 4 * 4; }

void PictureBitmap::Create(uint64_t minimumSize) {
    if (IsAllocated() || block_) return;
    bytesPerSample_ = 1;
    const int64_t width = bounds_.Width(), height = bounds_.Height();
    const int64_t rowBytes = RowBytesFor(width, channels_);
    int32_t tableEntries = 1;
    if (channels_ == 1) {
        pixelType_ = Gray;
        tableEntries = kGreyTableEntries;
    } else {
        pixelType_ = BGR;
    }
    const auto fail = [this] {
        SetAllocated(false);
        ClearLastUse();
        SetSize(0);
        YLM_THROW("CPictureView::Create", NimbalCore::NbErrAllocFailed);
    };
    // Bounds that describe no picture, or one no block can hold, are as
    // memory that cannot be had: nothing is allocated.
    if (width <= 0 || height <= 0 || (channels_ != 1 && channels_ != 3) ||
        height > int64_t(kMaxSize) / std::max<int64_t>(rowBytes, 1))
        fail();
    uint64_t size = uint64_t(height * rowBytes) + 4 * uint64_t(tableEntries) + kHeaderBytes;
    size = std::max(size, minimumSize);
    if (size > kMaxSize) fail();
    rowBytes_ = int32_t(rowBytes);
    BlockOMemoryPool::Instance(true)->MakeRoomFor(size);
    uint8_t* memory = new (std::nothrow) uint8_t[size];
    if (!memory) fail();
    // Pixels a kind does not write show black, never what the memory held.
    std::memset(memory, 0, size);
    block_.reset(memory);
    Touch();
    SetAllocated(true);
    SetSize(int32_t(size));
    WriteHeader(memory, int32_t(width), -int32_t(height), uint32_t(size));
    if (channels_ == 1) {
        WriteGreyTable(memory + kHeaderBytes);
        pixels_ = memory + kGreyPixelOffset;
    } else {
        pixels_ = memory + kHeaderBytes;
    }
    ++generation_;
    RegisterWithPool();
}

void PictureBitmap::WriteHeader(uint8_t* block, int32_t width, int32_t height, uint32_t blockSize) const {
    std::memset(block, 0, kHeaderBytes);
    StoreLittle32(block + kBiSize, kHeaderBytes);
    StoreLittle32(block + kBiWidth, uint32_t(width));
    StoreLittle32(block + kBiHeight, uint32_t(height));
    StoreLittle16(block + kBiPlanes, 1);
    StoreLittle16(block + kBiBitCount, channels_ == 1 ? 8 : 24);
    StoreLittle32(block + kBiCompression, 0);
    StoreLittle32(block + kBiSizeImage, blockSize);
    StoreLittle32(block + kBiClrUsed, channels_ == 1 ? kGreyTableEntries : 0);
}

void PictureBitmap::ReleaseBits() {
    if (!block_) return;
    // Under the pool's lock, so that a purge on another thread and the owner
    // never both free the block.
    BlockOMemoryPool* pool = BlockOMemoryPool::Existing();
    if (pool) {
        NimbalCore::StCriticalSectionLock guard(pool->GetLock());
        if (!block_) return;
        UnregisterFromPool();
    }
    block_.reset();
    pixels_ = nullptr;
    SetAllocated(false);
    ClearLastUse();
    SetSize(0);
    ++generation_;
}

void PictureBitmap::GetSize(int& width, int& height) const {
    width = height = 0;
    if (!block_) return;
    width = int(bounds_.Width());
    height = int(bounds_.Height());
}

uint8_t* PictureBitmap::PixelAt(int x, int y) const {
    int width = 0, height = 0;
    GetSize(width, height);
    if (!pixels_ || x < 0 || y < 0 || x > width - 1 || y > height - 1) return nullptr;
    return pixels_ + int64_t(y) * rowBytes_ + int64_t(x) * channels_;
}

bool PictureBitmap::OpenProgress(bool, NimbalCore::ProgressCB** progress) {
    *progress = nullptr;
    return true;
}

void PictureBitmap::ReportRenderFailure() {
    MessageBoxService::Current().Show(LoadTranslatedString(kRenderFailedText), LoadTranslatedString(IDS_APP_TITLE),
                                      MessageBoxService::kOk);
}

bool PictureBitmap::Render(const ImageRendering* rendering, int area, int progress, int level) {
    if (!rendering || renderRunning_) return false;
    struct Running {
        bool& flag;
        explicit Running(bool& f) : flag(f) { flag = true; }
        ~Running() { flag = false; }
    } running(renderRunning_);
    // What the colour under a point samples later, rendered or not.
    rendering_ = *rendering;
    bool opened = false;
    try {
        const bool done = [&] {
            NimbalCore::BlockOMemoryLock pin(this);
            NimbalCore::ImageRef image = *rendering_.GetImage();
            if (!SetBoundsForArea(area, level)) return false;
            if (IsAllocated() || block_) ReleaseBits();
            Create(0);
            ImageRendering copy(rendering_);
            copy.GetProcessParamPtr()->outputSpaceMode = 1;
            if (area == kThumbnail) {
                copy.RenderThumbnail(this);
                return true;
            }
            NimbalCore::ProgressCB* callback = nullptr;
            if (progress != kNoProgress) {
                if (!OpenProgress(progress == kProgressWithCancel, &callback)) {
                    ReleaseBits();
                    return false;
                }
                opened = true;
            }
            // The core's render takes 0 for the crop, any other value for
            // the whole image.
            copy.RenderImage(this, area == kCroppedImage ? 0 : 1, callback, level);
            if (opened) CloseProgress();
            opened = false;
            return true;
        }();
        ++generation_;
        if (done) renderFailed_ = false;
        return done;
    } catch (const YlmErrp& error) {
        if (opened) CloseProgress();
        ReleaseBits();
        ++generation_;
        if (renderFailed_) throw;
        renderFailed_ = true;
        if (error.GetCode() != NimbalCore::NbErrRenderCancelled) ReportRenderFailure();
        return false;
    } catch (...) {
        if (opened) CloseProgress();
        ReleaseBits();
        ++generation_;
        renderFailed_ = true;
        return false;
    }
}

bool PictureBitmap::SetBoundsForArea(int area, int level) {
    const NimbalCore::ImageProcessParam* params = rendering_.GetProcessParamPtr();
    if (!params) return false;
    if (params->colorMode == 0) SetPixelType(BGR);
    else if (params->colorMode == 2) SetPixelType(Gray);
    else return false;
    switch (area) {
    case kThumbnail: bounds_ = rendering_.GetThumbnailBounds(); return true;
    case kWholeImage: {
        if (level != 1 && level != 2 && level != 4) return false;
        NimbalCore::ImageRef image = *rendering_.GetImage();
        NbRect r(0, 0, 0, 0);
        if (image) {
            const auto levels = image->GetAvailableResolutions();
            if (const auto found = levels.find(level); found != levels.end()) r = found->second;
        }
        const int degrees = int(params->rotation);
        if (degrees == 90 || degrees == 270) std::swap(r.right, r.bottom);
        bounds_ = NbRect(0, 0, r.right, r.bottom);
        return true;
    }
    case kCroppedImage: bounds_ = rendering_.GetCropDimensions(); return true;
    default: return false;
    }
}

void PictureBitmap::GetPixelColor(int x, int y, int* status, float scale, uint16_t& red, uint16_t& green,
                                  uint16_t& blue) {
    red = green = blue = 0;
    if (status) *status = 0;
    if (!block_) {
        if (status) *status = NimbalCore::NbErrPixelFormatUnsupported;
        return;
    }
    if (x < 0 || y < 0) return;
    int width = 0, height = 0;
    GetSize(width, height);
    const int64_t s = std::max<int64_t>(int64_t(scale), 1);
    x = int(std::min<int64_t>(x, width * s - 1));
    y = int(std::min<int64_t>(y, height * s - 1));
    const NbRect image = rendering_.GetImageBounds();
    const double rx = double(image.Width()) / double(width * s);
    const double ry = double(image.Height()) / double(height * s);
    const double half = std::min(rx, ry) / 2.0;
    const int radius = half < 1.0 ? 1 : int(half);
    uint16_t rgb[3] = {0, 0, 0};
    int32_t grey = 0;
    const int sampled = swatch_.Sample(&rendering_, x, y, radius, rgb, &grey);
    if (status) *status = sampled;
    if (channels_ == 1) {
        red = green = blue = uint16_t(grey);
    } else {
        red = rgb[0];
        green = rgb[1];
        blue = rgb[2];
    }
}

void PictureBitmap::CopyToClipboardDib(PictureBitmap* target, int left, int top, int right, int bottom) const {
    if (!target || !block_ || right < left || bottom < top) return;
    const int64_t rowLength = RowBytesFor(int64_t(bytesPerSample_) * (int64_t(right) - left + 1), channels_);
    const uint32_t clrUsed = channels_ == 1 ? kGreyTableEntries : 0;
    const int64_t headerPart = kHeaderBytes + 4 * int64_t(clrUsed);
    const int64_t total = (int64_t(bottom) - top + 1) * rowLength + headerPart;
    target->channels_ = channels_;
    target->pixelType_ = pixelType_;
    target->bounds_ = NbRect(0, 0, right - left, bottom - top);
    target->ReleaseBits();
    target->Create(uint64_t(total));
    uint8_t* out = target->block_.get();
    std::memcpy(out, block_.get(), size_t(headerPart));
    StoreLittle32(out + kBiSizeImage, uint32_t(total));
    StoreLittle32(out + kBiHeight, uint32_t(bottom - top + 1));
    StoreLittle32(out + kBiWidth, uint32_t(right - left + 1));
    if (channels_ > 1) {
        StoreLittle32(out + kBiClrUsed, 0);
        StoreLittle16(out + kBiBitCount, 24);
    } else {
        WriteGreyTable(out + kHeaderBytes);
    }
    // Bottom-up: the rectangle's last row comes first. Only the pixels of a
    // row are read (its padding and rows outside the picture stay black).
    uint8_t* at = out + headerPart;
    std::memset(at, 0, size_t(total - headerPart));
    const int64_t copyBytes = std::min<int64_t>(rowLength, (int64_t(right) - left + 1) * channels_);
    for (int row = bottom; row >= top; --row, at += rowLength) {
        const uint8_t* from = PixelAt(left, row);
        if (from && PixelAt(right, row)) std::memcpy(at, from, size_t(copyBytes));
    }
    ++target->generation_;
}

