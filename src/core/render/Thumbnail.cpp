#include "Thumbnail.h"

#include "File.h"
#include "NbErrorCodes.h"
#include "YlmErrp.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace NimbalCore {

namespace {

constexpr int32_t kLetterboxWidth = 160;
constexpr int32_t kLetterboxHeight = 120;
constexpr int32_t kLetterboxBudget = 8500;

struct ModelLimit {
    const char* text;
    int32_t limit;
    int32_t budget;
};
const ModelLimit kModelLimits[] = {{"Plover", 255, 35000}, {"Corvid", 375, 35000},   {"Heron", 375, 35000},
                                   {"ZynAuk", 304, 15000}, {"ZynKeelX", 288, 15000}, {"Petrelix", 288, 15000}};

} // namespace

Thumbnail::Thumbnail() {
    // The work blocks live only while rows are fed, under the owner's pin;
    // the pool never takes them from under a reduction.
    columnTable_.SetNotPooled(true);
    previousRow_.SetNotPooled(true);
    rowBytes_ = int32_t(channels_ * bounds_.Width());
}

Thumbnail::~Thumbnail() { Thumbnail::Free(); }

void Thumbnail::Create(uint64_t size) {
    if (GetPixels() && uint64_t(GetSize()) != size) ExportImageArray::Free();
    ExportImageArray::Create(size);
    if (GetPixels()) std::memset(GetPixels(), 0, size_t(size));
}

void Thumbnail::Free() {
    columnTable_.Free();
    previousRow_.Free();
    ExportImageArray::Free();
}

void Thumbnail::SetPurgePriority(int32_t priority) {
    ExportImageArray::SetPurgePriority(priority);
    columnTable_.SetPurgePriority(priority);
    previousRow_.SetPurgePriority(priority);
}

uint32_t Thumbnail::SourceRowBytes() const {
    return uint32_t(sourceRect_.Width() * sourceBytesPerSample_ * sourceChannels_);
}

double Thumbnail::ForceRectToThumbnailLimits(NbRect& rect, int channels, int byteLimit) {
    const int64_t width = rect.Width(), height = rect.Height();
    if (width <= 0 || height <= 0) YLM_THROW("Thumbnail::ForceRectToThumbnailLimits", NbErrBadThumbnailRect);
    if (width <= maxWidth_ && height <= maxHeight_ && (byteLimit < 0 || width * height * channels <= byteLimit))
        return 1.0;
    const double rx = double(width) / maxWidth_, ry = double(height) / maxHeight_;
    double scale;
    int64_t newWidth, newHeight;
    if (kind_ == Letterboxed) {
        scale = std::max(rx, ry);
        letterboxTop_ = letterboxLeft_ = 0;
        if (rx > ry) {
            visibleWidth_ = kLetterboxWidth;
            visibleHeight_ = int32_t(double(height) / rx);
            letterboxTop_ = (kLetterboxHeight - visibleHeight_) / 2;
        } else if (ry > rx) {
            visibleHeight_ = kLetterboxHeight;
            visibleWidth_ = int32_t(double(width) / ry);
            letterboxLeft_ = (kLetterboxWidth - visibleWidth_) / 2;
        } else {
            visibleWidth_ = kLetterboxWidth;
            visibleHeight_ = kLetterboxHeight;
        }
        rect = NbRect(rect.left, rect.top, rect.left + kLetterboxWidth - 1, rect.top + kLetterboxHeight - 1);
        return scale;
    }
    if (rx > ry) {
        scale = rx;
        newWidth = maxWidth_;
        newHeight = int64_t(double(height) / rx);
    } else {
        scale = ry;
        newHeight = maxHeight_;
        newWidth = int64_t(double(width) / ry);
    }
    if (byteLimit >= 0) {
        int tries = 0;
        while (newWidth * newHeight * channels > byteLimit) {
            if (++tries > 50) YLM_THROW("Thumbnail::ForceRectToThumbnailLimits", NbErrBadThumbnailRect);
            scale *= 1.01;
            newWidth = int64_t(double(width) / scale);
            newHeight = int64_t(double(height) / scale);
        }
    }
    rect = NbRect(rect.left, rect.top, int32_t(rect.left + newWidth - 1), int32_t(rect.top + newHeight - 1));
    visibleWidth_ = int32_t(newWidth);
    visibleHeight_ = int32_t(newHeight);
    return scale;
}

void Thumbnail::Setup(const NbRect& source, int channels, int bytesPerSample, int kind, int mode, int byteLimit) {
    finished_ = false;
    kind_ = kind;
    mode_ = mode;
    if (kind != ByteLimited) byteLimit = -1;
    if (kind == Letterboxed) {
        maxWidth_ = kLetterboxWidth;
        maxHeight_ = kLetterboxHeight;
    }
    bounds_ = NbRect(0, 0, maxWidth_ - 1, maxHeight_ - 1);
    bytesPerSample_ = 1;
    SetPixelType(channels == 3 ? RGB : Gray);
    rowBytes_ = int32_t(channels_ * bounds_.Width());
    columnTable_.Free();
    sourceChannels_ = channels;
    sourceBytesPerSample_ = bytesPerSample;
    sourceRect_ = source;
    outputRowsDone_ = 0;
    sourceRowsReceived_ = 0;
    letterboxTop_ = letterboxLeft_ = 0;

    int64_t outWidth, outHeight;
    if (mode == Bilinear || mode == Average) {
        NbRect fitted(0, 0, int32_t(source.Width() - 1), int32_t(source.Height() - 1));
        scale_ = ForceRectToThumbnailLimits(fitted, channels_, byteLimit);
        if (scale_ == 1.0) mode_ = Copy;
        outWidth = fitted.Width();
        outHeight = fitted.Height();
        if (scale_ == 1.0) visibleWidth_ = int32_t(outWidth), visibleHeight_ = int32_t(outHeight);
    } else {
        outWidth = source.Width();
        outHeight = source.Height();
        if (outWidth <= 0 || outHeight <= 0 || outWidth > maxWidth_ || outHeight > maxHeight_)
            throw int(NbErrBadThumbnailRect);
        scale_ = 1.0;
        visibleWidth_ = int32_t(outWidth);
        visibleHeight_ = int32_t(outHeight);
    }
    bounds_ = NbRect(0, 0, int32_t(outWidth - 1), int32_t(outHeight - 1));
    rowBytes_ = int32_t(channels_ * outWidth);
    const uint64_t pixelBytes = uint64_t(rowBytes_) * uint64_t(outHeight);
    if (!GetPixels() || uint64_t(GetSize()) != pixelBytes) Create(pixelBytes);
    outputPointer_ = static_cast<uint8_t*>(GetPixels());
    if (mode_ != Bilinear && mode_ != Average) return;

    const uint32_t sampleByte = sourceBytesPerSample_ == 2 ? 1 : 0;
    const int64_t entries = std::max(outWidth, outHeight);
    columnTable_.Free();
    columnTable_.Create(uint64_t(entries) * sizeof(Column));
    auto* table = static_cast<Column*>(columnTable_.GetData());
    std::memset(table, 0, size_t(entries) * sizeof(Column));
    halfStep_ = int32_t(scale_ * 0.5);
    const int64_t step = std::max(1, halfStep_);
    // The pixel a column reads and the one step to its right stay inside
    // the source row.
    const int64_t lastWhole = std::max<int64_t>(0, source.Width() - 1 - step);
    for (int64_t i = 0; i < entries; ++i) {
        const double x = scale_ * double(i);
        const int64_t whole = std::min<int64_t>(int64_t(x), lastWhole);
        const uint32_t f = uint32_t((x - std::trunc(x)) * 16.0);
        table[i] = Column{uint32_t(sampleByte + uint64_t(sourceBytesPerSample_) * sourceChannels_ * whole), 16 - f, f};
    }
    if (kind_ == Letterboxed) outputPointer_ += int64_t(letterboxTop_) * rowBytes_;
    previousRow_.Free();
    previousRow_.Create(uint64_t(SourceRowBytes()) + 8);
    std::memset(previousRow_.GetData(), 0, size_t(SourceRowBytes()) + 8);
    nextTriggerRow_ = halfStep_;
}

void Thumbnail::AddRow(const uint8_t* row) {
    switch (mode_) {
    case Bilinear: AddRowBilinear(row); break;
    case Copy: AddRowCopy(row); break;
    case Average: AddRowAverage(row); break;
    default: throw int(NbErrBadThumbnailRect);
    }
}

void Thumbnail::AddRowCopy(const uint8_t* row) {
    if (!row || !GetPixels() || outputRowsDone_ >= int32_t(bounds_.Height())) return;
    std::memcpy(static_cast<uint8_t*>(GetPixels()) + int64_t(outputRowsDone_) * rowBytes_, row, size_t(rowBytes_));
    ++outputRowsDone_;
}

bool Thumbnail::BeginRow(const uint8_t* row, int64_t* n) {
    if (!row || !GetPixels() || !previousRow_.GetData() || !columnTable_.GetData()) return false;
    *n = ++sourceRowsReceived_;
    if (outputRowsDone_ >= visibleHeight_) return false;
    if (*n == 1 || *n == nextTriggerRow_) std::memcpy(previousRow_.GetData(), row, SourceRowBytes());
    return true;
}

uint8_t* Thumbnail::OutputRowStart() {
    if (kind_ == Letterboxed) outputPointer_ += int64_t(letterboxLeft_) * channels_;
    return outputPointer_;
}

void Thumbnail::FinishOutputRow(uint8_t* end) {
    outputPointer_ = end;
    if (kind_ == Letterboxed)
        outputPointer_ += int64_t(kLetterboxWidth - letterboxLeft_ - visibleWidth_) * channels_;
    ++outputRowsDone_;
}

void Thumbnail::AddRowAverage(const uint8_t* row) {
    int64_t n;
    if (!BeginRow(row, &n)) return;
    const int64_t c = std::max(1, halfStep_);
    if (n != nextTriggerRow_ + c) return;
    const auto* table = static_cast<const Column*>(columnTable_.GetData());
    const auto* previous = static_cast<const uint8_t*>(previousRow_.GetData());
    const int64_t d = c * sourceBytesPerSample_ * sourceChannels_;
    uint8_t* out = OutputRowStart();
    for (int32_t k = 0; k < visibleWidth_; ++k) {
        const int64_t o = table[k].offset;
        for (int32_t j = 0; j < channels_; ++j) {
            const int64_t at = o + int64_t(j) * sourceBytesPerSample_;
            *out++ = uint8_t((uint32_t(row[at]) + row[at + d] + previous[at] + previous[at + d]) / 4);
        }
    }
    FinishOutputRow(out);
    nextTriggerRow_ = int32_t(double(outputRowsDone_) * scale_) + halfStep_;
    std::memcpy(previousRow_.GetData(), row, SourceRowBytes());
}

void Thumbnail::AddRowBilinear(const uint8_t* row) {
    int64_t n;
    if (!BeginRow(row, &n)) return;
    const int64_t c = std::max(1, halfStep_);
    if (n != nextTriggerRow_ + c) return;
    const auto* table = static_cast<const Column*>(columnTable_.GetData());
    const auto* previous = static_cast<const uint8_t*>(previousRow_.GetData());
    const int64_t d = c * sourceBytesPerSample_ * sourceChannels_;
    const double rowPosition = double(n - 1) / scale_;
    const uint32_t g = uint32_t((rowPosition - std::trunc(rowPosition)) * 16.0);
    uint8_t* out = OutputRowStart();
    for (int32_t k = 0; k < visibleWidth_; ++k) {
        const int64_t o = table[k].offset;
        const uint32_t wf = table[k].weight, f = table[k].nextWeight;
        for (int32_t j = 0; j < channels_; ++j) {
            const int64_t at = o + int64_t(j) * sourceBytesPerSample_;
            const uint32_t current = uint32_t(row[at]) * wf + uint32_t(row[at + d]) * f;
            const uint32_t before = uint32_t(previous[at]) * wf + uint32_t(previous[at + d]) * f;
            *out++ = uint8_t((current * g + before * (16 - g)) / 256);
        }
    }
    FinishOutputRow(out);
    nextTriggerRow_ = int32_t(int64_t(outputRowsDone_) * int64_t(scale_) + halfStep_);
}

void Thumbnail::Finish() {
    previousRow_.Free();
    columnTable_.Free();
    finished_ = true;
}

int64_t Thumbnail::ReadFromFile(File* file, int64_t offset) {
    const int64_t width = bounds_.Width(), height = bounds_.Height();
    if (!file || width <= 0 || height <= 0 || channels_ <= 0 || offset < 0) throw int(NbErrThumbnailReadFailed);
    bytesPerSample_ = 1;
    SetPixelType(channels_ == 3 ? RGB : Gray);
    const int64_t rowBytes = int64_t(channels_) * width;
    const int64_t total = rowBytes * height;
    // Bounds read from a file: refused before anything is allocated when
    // the file cannot hold the pixels they ask for.
    const int64_t fileSize = file->GetSize();
    if (rowBytes > 0x7FFFFFFF || fileSize < 0 || offset > fileSize || total > fileSize - offset ||
        uint64_t(total) > kMaxSize)
        throw int(NbErrThumbnailReadFailed);
    rowBytes_ = int32_t(rowBytes);
    ExportImageArray::Free();
    Create(uint64_t(total));
    try {
        file->Seek(offset, 0);
        file->ReadExactly(GetPixels(), 1, size_t(total));
    } catch (const YlmErrp&) {
        ExportImageArray::Free();
        throw int(NbErrThumbnailReadFailed);
    }
    return total;
}

void Thumbnail::SetLimits(const NbRect& rect) {
    maxWidth_ = int32_t(rect.Width());
    maxHeight_ = int32_t(rect.Height());
}

int32_t Thumbnail::SetLimitsForModel(const std::string& model) {
    for (const ModelLimit& m : kModelLimits)
        if (model.find(m.text) != std::string::npos) {
            maxWidth_ = maxHeight_ = m.limit;
            byteBudget_ = m.budget;
            return m.limit;
        }
    return -1;
}

int32_t Thumbnail::GetByteBudget() {
    if (kind_ == Letterboxed) byteBudget_ = kLetterboxBudget;
    return byteBudget_;
}

void Thumbnail::ConvertGrayToRGB() {
    if (channels_ != 1 || !GetPixels()) return;
    const int64_t width = bounds_.Width(), height = bounds_.Height();
    const int32_t b = bytesPerSample_;
    const int64_t oldRowBytes = rowBytes_;
    std::vector<uint8_t> gray(static_cast<uint8_t*>(GetPixels()),
                              static_cast<uint8_t*>(GetPixels()) + size_t(oldRowBytes * height));
    channels_ = 3;
    pixelType_ = RGB;
    rowBytes_ = int32_t((3 * width * b + 3) & ~int64_t(3));
    ExportImageArray::Free();
    Create(uint64_t(rowBytes_) * uint64_t(height));
    auto* out = static_cast<uint8_t*>(GetPixels());
    for (int64_t y = 0; y < height; ++y)
        for (int64_t x = 0; x < width; ++x)
            for (int k = 0; k < 3; ++k)
                std::memcpy(out + y * rowBytes_ + (x * 3 + k) * b, gray.data() + y * oldRowBytes + x * b, size_t(b));
}

} // namespace NimbalCore
