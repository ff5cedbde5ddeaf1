#pragma once
// One resize job through the scale plug-in: set up for a source size, a
// destination size and a pixel format, the source rows a destination strip
// needs (or the destination rows a source strip gives), and one strip at a
// time over the caller's interleaved buffers described as plug-in pictures.
// Answers NbErrorCodes values; nothing is thrown.
#include "ExportScaler.h"
#include "Kestra.h"
#include "VxFilt.h"

namespace NimbalCore {

PSFRect NbRectToPSFRect(const NbRect& rect);
NbRect PSFRectToNbRect(int32_t x0, int32_t y0, int32_t x1, int32_t y1);

class ImageScaler : public ExportScaler {
public:
    // Binds the process's scale plug-in when it holds one.
    ImageScaler();
    ~ImageScaler() override;
    ImageScaler(const ImageScaler&) = delete;
    ImageScaler& operator=(const ImageScaler&) = delete;

    int32_t Setup(bool sourceDriven, const NbRect& source, const NbRect& destination, int32_t bytesPerSample,
                  int32_t channels, int32_t numerator, int32_t denominator) override;
    int32_t GetBufferSizes(size_t* workBytes, size_t* destinationBytes) override;
    int32_t GetSourceRect(NbRect* sourceStrip, NbRect* destinationStrip, NbRect* second) override;
    int32_t StripBegin() override;
    int32_t StripEnd() override;
    int32_t ProcessStrip(void* work, const NbRect& sourceStrip, VrelSharpenPlanes* source,
                         const NbRect& destinationStrip, VrelSharpenPlanes* destination,
                         ExportScalerProgress progress, void* user) override;
    int32_t Close() override;

    bool IsSetUp() const { return setUp_ != 0; }
    bool InStrip() const { return inStrip_ != 0; }

private:
    void DescribePlanes(PSFPicture& picture, uint8_t* first, int32_t pixelStride, int32_t rowStride,
                        int32_t columns, int32_t rows) const;

    bool bound_ = false;
    VxFiltProcs procs_{};
    VxFiltPlugIn plugIn_ = 0;
    PSFRect sourceImage_{};
    PSFRect sourceStrip_{};
    PSFRect destinationImage_{};
    PSFRect destinationStrip_{};
    PSFRect second_{};
    PSFRect work_{};
    int32_t bytesPerSample_ = 0;
    int32_t channels_ = 0;
    int32_t bytesPerPixel_ = 0;
    uint8_t setUp_ = 0;
    uint8_t inStrip_ = 0;
    uint16_t rectanglesFlag_ = 1;
    uint16_t sourceDriven_ = 0;
    uint16_t rectanglesMode_ = 1;
    PSFPicture sourcePicture_{};
    PSFPicture workPicture_{};
    PSFPicture destinationPicture_{};
};

} // namespace NimbalCore
