#pragma once
// A developed TIFF file: one uncompressed, interleaved strip of 8- or 16-bit
// gray or RGB samples, an Exif directory and a thumbnail directory. The
// directories are read once from the first 32768 bytes; the pixels are read
// from the file strip by strip as they are rendered.
#include "FinishedImage.h"

namespace NimbalCore {

class FinishedTIFFImage : public FinishedImage {
public:
    static constexpr uint64_t kHeaderBytes = 32768;
    static constexpr int32_t kStripRows = 256;
    static constexpr int64_t kCacheBlockBytes = 524288;

    explicit FinishedTIFFImage(const FilePathSpec& path);
    ~FinishedTIFFImage() override;

    int Open() override;
    void Close() override;
    void RenderImage(const ImageProcessParam& params, PixelArray& destination, bool useCrop, ProgressCB* progress,
                     int renderScale) override;
    void RenderThumbnail(const ImageProcessParam& params, PixelArray& destination) override;
    void RenderImageInternal(const ImageProcessParam& params, PixelArray& destination, bool useCrop,
                             ProgressCB* progress, int source) override;
    void CalculateClickBalance(int x, int y, uint16_t* a, uint16_t* b, uint16_t* c) override;
    void SetCameraSettings() override;

    // 0 or 1701: reads the first bytes and finds IFD0, the Exif directory,
    // the private directory and IFD1.
    virtual int FindIFDOffsets();
    // Packed rows of width pixels (pixelSize bytes each) copied turned by
    // angle; answers the bytes copied for 0, pixelSize otherwise.
    virtual int RotatePixelRows(uint8_t* destination, const uint8_t* source, int width, int rows, int angle);
    int RotatePixelRows(uint8_t* destination, const uint8_t* source, int width, int rows, int angle,
                        int pixelSize);
    // Rows of interleaved source pixels (source samples and bytes given)
    // into the destination's pixel type.
    virtual void SetBufferIntoPixelArray(PixelArray& destination, uint8_t* destinationRow, const uint8_t* sourceRows,
                                         int width, int rows);
    static void ConvertRows(PixelArray& destination, uint8_t* destinationRow, const uint8_t* sourceRows, int width,
                            int rows, int sourceSamples, int sourceBytes);
    // Reads the strip's rows of the main image (source 0) or the whole
    // thumbnail (source 2) into the layout's buffer.
    virtual void GetImageData(int source, const NbRect& strip, VrelSharpenPlanes& layout);

private:
    // GetImageData's reading; the 16-bit samples are left in the file's
    // order unless toHostOrder (an 8-bit render takes their high byte where
    // it lies, without a pass over the strip to swap them).
    void ReadImageData(int source, const NbRect& strip, VrelSharpenPlanes& layout, bool toHostOrder);
};

} // namespace NimbalCore
