#pragma once
// A small image built from a stream of source rows: set up for a source
// rectangle, fed one row at a time, it keeps only the rows and columns it
// needs, reduced to fit its size limits (averaged, bilinear or copied), and
// may be letterboxed into 160 x 120.
#include "BlockOMemory.h"
#include "ExportImageArray.h"
#include "NbRect.h"

#include <cstdint>
#include <string>

namespace NimbalCore {

class File;

class Thumbnail : public ExportImageArray {
public:
    enum Kind : int32_t { Normal = 0, ByteLimited = 1, Letterboxed = 2 };
    enum Mode : int32_t { Bilinear = 0, Copy = 1, Average = 2 };

    Thumbnail();
    ~Thumbnail() override;

    // Zero-filled pixels of that size (kept when the size is the same).
    void Create(uint64_t size) override;
    void Free() override;
    void SetPurgePriority(int32_t priority) override;

    virtual void AddRow(const uint8_t* row);
    // Reads the pixels of the current bounds from a file; 2201 when they
    // cannot be had.
    virtual int64_t ReadFromFile(File* file, int64_t offset);
    virtual int32_t GetUserValue() const { return userValue_; }
    virtual void SetUserValue(int32_t value) { userValue_ = value; }
    virtual int32_t GetMaxWidth() const { return maxWidth_; }
    virtual int32_t GetMaxHeight() const { return maxHeight_; }
    // The square limit for a camera model, or -1 when the model is unknown.
    virtual int32_t SetLimitsForModel(const std::string& model);
    virtual void SetLimits(const NbRect& rect);
    virtual void ConvertGrayToRGB();
    virtual int32_t GetByteBudget();
    virtual void AddRowBilinear(const uint8_t* row);
    virtual void AddRowCopy(const uint8_t* row);
    virtual void AddRowAverage(const uint8_t* row);

    // byteLimit -1: none (only kind 1 honours one).
    void Setup(const NbRect& source, int channels, int bytesPerSample, int kind, int mode, int byteLimit);
    void Finish();
    // Shrinks rect to the limits; the scale, 1.0 when it fitted.
    double ForceRectToThumbnailLimits(NbRect& rect, int channels, int byteLimit);

    double GetScale() const { return scale_; }
    int32_t GetMode() const { return mode_; }
    int32_t GetLetterboxTop() const { return letterboxTop_; }
    int32_t GetLetterboxLeft() const { return letterboxLeft_; }
    int32_t GetVisibleWidth() const { return visibleWidth_; }
    int32_t GetVisibleHeight() const { return visibleHeight_; }
    bool IsFinished() const { return finished_; }

private:
    struct Column {
        uint32_t offset;
        uint32_t weight;     // 16 - f
        uint32_t nextWeight; // f
    };
    bool BeginRow(const uint8_t* row, int64_t* n);
    uint8_t* OutputRowStart();
    void FinishOutputRow(uint8_t* end);
    uint32_t SourceRowBytes() const;

    int32_t nextTriggerRow_ = 0;
    int32_t outputRowsDone_ = 0;
    int32_t sourceRowsReceived_ = 0;
    int32_t halfStep_ = 0;
    int32_t userValue_ = 0;
    int32_t sourceChannels_ = 0;
    int32_t sourceBytesPerSample_ = 0;
    int32_t maxWidth_ = 156;
    int32_t maxHeight_ = 156;
    int32_t kind_ = Normal;
    int32_t letterboxTop_ = 0;
    int32_t letterboxLeft_ = 0;
    int32_t visibleWidth_ = 0;
    int32_t visibleHeight_ = 0;
    int32_t byteBudget_ = 0;
    BlockOMemory columnTable_;
    BlockOMemory previousRow_;
    uint8_t* outputPointer_ = nullptr;
    double scale_ = 1.0;
    NbRect sourceRect_;
    int32_t mode_ = Average;
    bool finished_ = false;
};

} // namespace NimbalCore
