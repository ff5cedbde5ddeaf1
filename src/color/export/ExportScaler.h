#pragma once
// The resampler an exporter drives when an export is resized. The exporters
// live below the image kinds, which own the scale plug-in, so they reach the
// kinds' scaler through this interface and a factory the kinds install when
// the image pool starts.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "NbRect.h"
#include "VrelSharpen.h"

namespace NimbalCore {

// Same shape as the filter plug-ins' progress function, so it passes straight through.
using ExportScalerProgress = short (*)(int percent, void* user);

class ExportScaler {
public:
    virtual ~ExportScaler() = default;

    virtual int32_t Setup(bool sourceDriven, const NbRect& source, const NbRect& destination,
                          int32_t bytesPerSample, int32_t channels, int32_t numerator,
                          int32_t denominator) = 0;
    virtual int32_t GetBufferSizes(size_t* workBytes, size_t* destinationBytes) = 0;
    virtual int32_t GetSourceRect(NbRect* sourceStrip, NbRect* destinationStrip, NbRect* second) = 0;
    virtual int32_t StripBegin() = 0;
    virtual int32_t StripEnd() = 0;
    // Plane sets describe the caller's interleaved strip buffers; the
    // destination set's plane pointers are written back after alignment.
    virtual int32_t ProcessStrip(void* work, const NbRect& sourceStrip, VrelSharpenPlanes* source,
                                 const NbRect& destinationStrip, VrelSharpenPlanes* destination,
                                 ExportScalerProgress progress, void* user) = 0;
    virtual int32_t Close() = 0;
};

using ExportScalerFactory = std::unique_ptr<ExportScaler> (*)();

// Installed by the image kinds; null uninstalls. Without a factory no
// scaler can be made and a resized export fails as a scaler set-up would.
void SetExportScalerFactory(ExportScalerFactory factory);
std::unique_ptr<ExportScaler> MakeExportScaler();

}  // namespace NimbalCore
