// The base renderer's own pipeline, used by the files of the oldest models:
// 8-bit companded rows unpacked, shading-corrected, demosaiced, scaled through a
// linear table, colour-transformed and packed, strip by strip.
#include "SdkRenderer.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <new>

#include "AdaptiveDemosaicer.h"
#include "BayerMeans.h"
#include "CalibrationShading.h"
#include "ColorTransformStage.h"
#include "EngineBlock.h"
#include "HalfSizeDemosaicer.h"
#include "LutStage.h"
#include "MonoSubsampler.h"
#include "OutputStage.h"
#include "PolynomialShading.h"
#include "RawUnpackStage.h"
#include "RenderProgress.h"
#include "RendererImage.h"
#include "VqOutputTypes.h"

namespace lumora {

using engine::Allocate;
using engine::Block;
using engine::IsFourChannel;

namespace {

constexpr int32_t kSingleStripSteps = 6;

std::array<int32_t, 10> PolynomialBlocks(const int32_t (&first)[5], const int32_t (&second)[5]) {
    std::array<int32_t, 10> c{};
    std::copy(first, first + 5, c.begin());
    std::copy(second, second + 5, c.begin() + 5);
    return c;
}

} // namespace

VqStatus SdkRenderer::ConfigureUnpackStages() {
    VqStatus status = VQ_OK;
    if (unpackStage_)
        status = unpackStage_->Configure(unpackOffset_, unpackTable_, uint16_t(rawWidth_), uint16_t(rawHeight_));
    if (!status && sampleStage_)
        status = sampleStage_->Configure(unpackOffset_, unpackTable_, uint16_t(rawWidth_), uint16_t(rawHeight_));
    return status;
}

VqStatus SdkRenderer::SetShadingPolynomial() {
    return shadingStage_->SetPolynomial(PolynomialBlocks(shadingPoly1_, shadingPoly2_), uint16_t(rawWidth_),
                                        maxValue_);
}

VqStatus SdkRenderer::SetShadingCalibration() {
    modelName_.text[sizeof modelName_.text - 1] = '\0';
    processingDirectory_[sizeof processingDirectory_ - 1] = '\0';
    const VqStatus status =
        shadingStage_->SetCalibrationSource(processingDirectory_, modelName_.text, uint16_t(rawWidth_), maxValue_);
    if (status == VQ_OK) {
        int32_t length = 0;
        if (shadingStage_->GetFileName(&length, calibrationFile_.text, sizeof calibrationFile_.text) == VQ_OK)
            calibrationFile_.length = length;
    }
    return status;
}

VqStatus SdkRenderer::CreateShadingStage() {
    switch (sensorGroup_) {
    case 0:
    case 1:
        shadingStage_.reset(new (std::nothrow) PolynomialShading);
        if (!shadingStage_) return VQ_ERR_PROCESS_NO_MEMORY;
        return SetShadingPolynomial();
    case 2:
        shadingStage_.reset(new (std::nothrow) CalibrationShading);
        if (!shadingStage_) return VQ_ERR_PROCESS_NO_MEMORY;
        return SetShadingCalibration();
    default:
        return VQ_ERR_BAD_STAGE_MODE;
    }
}

VqStatus SdkRenderer::PrepareStages() {
    if (!unpackStage_) {
        unpackStage_.reset(new (std::nothrow) RawUnpackStage);
        if (!unpackStage_) return VQ_ERR_PROCESS_NO_MEMORY;
        VqStatus status =
            unpackStage_->Configure(unpackOffset_, unpackTable_, uint16_t(rawWidth_), uint16_t(rawHeight_));
        if (!status)
            status = isColor_ ? unpackStage_->SetBalance(whiteBalance_[0], whiteBalance_[1], whiteBalance_[2])
                              : unpackStage_->BuildMonochrome();
        if (status) return status;
    }
    if (!sampleStage_) {
        sampleStage_.reset(new (std::nothrow) RawUnpackStage);
        if (!sampleStage_) return VQ_ERR_PROCESS_NO_MEMORY;
        VqStatus status =
            sampleStage_->Configure(unpackOffset_, unpackTable_, uint16_t(rawWidth_), uint16_t(rawHeight_));
        if (!status) status = sampleStage_->SetBalance(sampleBalance_[0], sampleBalance_[1], sampleBalance_[2]);
        if (status) return status;
    }
    if (!shadingStage_) return CreateShadingStage();
    return VQ_OK;
}

VqStatus SdkRenderer::ParameterChanged(uint32_t id) {
    switch (id) {
    case RP_SAMPLE_BALANCE:
        return sampleStage_ ? sampleStage_->SetBalance(sampleBalance_[0], sampleBalance_[1], sampleBalance_[2])
                            : VQ_OK;
    case RP_WHITE_BALANCE:
        return unpackStage_ ? unpackStage_->SetBalance(whiteBalance_[0], whiteBalance_[1], whiteBalance_[2])
                            : VQ_OK;
    case RP_MONO_BALANCE:
        return unpackStage_ ? unpackStage_->BuildMonochrome() : VQ_OK;
    case RP_UNPACK_TABLE:
        return ConfigureUnpackStages();
    case RP_SHADING_POLY_1:
    case RP_SHADING_POLY_2:
        return shadingStage_ ? SetShadingPolynomial() : VQ_OK;
    case RP_PROCESSING_DIRECTORY:
        return shadingStage_ ? SetShadingCalibration() : VQ_OK;
    default:
        return VQ_OK;
    }
}

// Everything one base rendering keeps from its set-up to its last strip.
namespace {
struct BaseRenderJob {
    ColorTransformStage transform;
    LutStage lut;
    ClipRecord clip{};
    PipelineModes modes;
    StripPlan plan{};
    StripBufferSizes sizes{};
    std::unique_ptr<Demosaicer> demosaicer;
    Block<uint8_t> window;
    Block<uint16_t> strip;
    Block<int16_t> green, even, odd, fourth;
    RenderProgress progress;
    OutputStage output;
    int32_t bytesPerSample = 0, channels = 0, goOn = 1;
    uint32_t type = 0;
    bool releaseTransform = false;
};
} // namespace

VqStatus SdkRenderer::RenderImage(const ImageBufferRecord* record, const ProgressRecord* progressRecord) {
    if (!record || !record->buffer) return VQ_ERR_NULL_OUTPUT;
    if (!unpackStage_ || !shadingStage_) return VQ_ERR_BAD_STAGE_MODE;
    BaseRenderJob job;
    const int32_t s = subsample_;
    if (s < 1) return VQ_ERR_BAD_SUBSAMPLE;
    const uint32_t requested = uint32_t(outputType_);
    // A colour file asked for grey is processed as colour; the packer takes the grey.
    const uint32_t t0 = (isColor_ && (requested == VQ_TYPE_GRAY8 || requested == VQ_TYPE_GRAY16)) ? VQ_TYPE_RGB8
                                                                                                  : requested;
    VqStatus status = GetOutputFormat(t0, nullptr, nullptr);
    if (!status && image_) {
        uint32_t scratch = 0;
        image_->OnImageTypeChanged(requested, &scratch, nullptr);
    }
    if (!status) {
        job.type = MapColorManagedType(requested);
        status = GetOutputFormat(job.type, &job.bytesPerSample, &job.channels);
    }
    if (!status) {
        status = ConfigurePipeline(t0, isColor_, &job.modes, int16_t(s), look_);
        unpackStage_->SetMode(job.modes.unpackMode);
        shadingStage_->SetMode(job.modes.shadingMode);
    }
    if (!status) {
        if (isColor_ && s < 2) {
            job.demosaicer.reset(new (std::nothrow) AdaptiveDemosaicer);
            if (job.demosaicer) status = job.demosaicer->SetMode(job.modes.demosaicMode);
        } else {
            if (isColor_)
                job.demosaicer.reset(new (std::nothrow) HalfSizeDemosaicer);
            else
                job.demosaicer.reset(new (std::nothrow) MonoSubsampler);
            if (job.demosaicer) status = job.demosaicer->SetStep(s / 2);
        }
        if (!job.demosaicer) status = VQ_ERR_PROCESS_NO_MEMORY;
    }
    if (!status)
        status = ConfigureOutput(record->bufferBytes, outputWindow_.x, outputWindow_.y, outputWindow_.width,
                                 outputWindow_.height, &job.plan, rotation_, padBytes_, job.type);
    if (!status) {
        ColorTransformStage& transform = job.transform;
        transform.mode = job.modes.transformMode;
        transform.leftSkip = transform.rightSkip = job.plan.colMargin;
        std::copy(colorMatrix_, colorMatrix_ + 9, transform.firstMatrix);
        std::copy(colorMatrices_, colorMatrices_ + 9, transform.secondMatrix);
        transform.workingMaximum = 0x7FFF;
        transform.subsampled = job.modes.subsampled;
        transform.firstTone = transform.middleTone = transform.lastTone = toneCurve_;
        transform.outputTable = outputCurve_;
        transform.outputSize = outputCurveSize_;
        transform.transformRecord = cmsTransform_;
        status = transform.Prepare();
    }
    if (!status && isColor_) status = PrepareLinearLut(job.lut, job.modes.lutMode);
    if (!status) {
        const int64_t width = int64_t(job.plan.stripWidth) + 2 * job.plan.colMargin;
        const int64_t rows = int64_t(job.plan.stripSize) + 2 * int64_t(job.plan.rowMargin);
        if (width > INT16_MAX || rows > INT16_MAX) status = VQ_ERR_STRIP_TOO_SMALL;
        else status = GetStripBufferSizes(&job.sizes, int16_t(width), uint32_t(rows), int16_t(s), 1);
    }
    if (!status) {
        const StripBufferSizes& z = job.sizes;
        job.window = Allocate<uint8_t>(z.windowBytes);
        job.strip = Allocate<uint16_t>(z.unpackedBytes / 2);
        job.green = Allocate<int16_t>(z.firstPlaneBytes / 2);
        if (z.secondPlaneBytes) job.even = Allocate<int16_t>(z.secondPlaneBytes / 2);
        if (z.thirdPlaneBytes) job.odd = Allocate<int16_t>(z.thirdPlaneBytes / 2);
        if (IsFourChannel(job.type)) job.fourth = Allocate<int16_t>(std::max(z.thirdPlaneBytes, z.firstPlaneBytes) / 2);
        if (!job.window || !job.strip || !job.green || (z.secondPlaneBytes && !job.even) ||
            (z.thirdPlaneBytes && !job.odd) || (IsFourChannel(job.type) && !job.fourth))
            status = VQ_ERR_PROCESS_NO_MEMORY;
    }
    if (!status) {
        int32_t done = 0;
        status = LoadCache(nullptr, 0, &done, 1);
    }
    if (imageData_) *imageData_ = cache_;
    const bool single = job.plan.stripCount == 1;
    if (!status && progressRecord) {
        job.progress.Init(progressRecord->userValue, progressRecord->callback,
                          single ? uint32_t(kSingleStripSteps) : uint32_t(job.plan.stripCount), 0, 100);
        job.goOn = job.progress.Start();
    }

    uint8_t* out = static_cast<uint8_t*>(record->buffer);
    auto step = [&]() {
        if (single) job.goOn = job.progress.Step(0);
        return job.goOn;
    };
    for (int32_t i = 0; !status && job.goOn && i < job.plan.stripCount; ++i) {
        SdkRect rect{};
        status = SourceRectForRotation(i, job.plan, outputWindow_.x, outputWindow_.y, outputWindow_.width,
                                       outputWindow_.height, &rect, rotation_, &job.clip);
        if (status) break;
        const int32_t rw = rect.width, rh = rect.height;
        const int32_t sw = rw - 2 * job.plan.colMargin, sh = rh - 2 * job.plan.rowMargin;
        if (rw <= 0 || rh <= 0 || sw <= 0 || sh <= 0 || uint64_t(rw) * uint64_t(rh) > job.sizes.windowBytes) {
            status = VQ_ERR_STRIP_TOO_SMALL;
            break;
        }
        status = CopyWindow(rect.x, rect.y, rw, rh, job.window.get(), 1, 1, uint32_t(dataOffset_), &job.clip);
        if (status) break;
        if (!(job.goOn = job.progress.Step(0))) break;

        unpackStage_->SetRowLength(uint16_t(rw));
        if ((status = unpackStage_->Unpack(job.window.get(), job.strip.get(), uint16_t(rect.y), uint16_t(rh))))
            break;
        if (!step()) break;

        shadingStage_->SetWidth(uint16_t(rw));
        if ((status = shadingStage_->Apply(rect.x, rect.y, job.strip.get(), job.strip.get(), rh))) break;
        if (!step()) break;

        int16_t* strip = reinterpret_cast<int16_t*>(job.strip.get());
        const int32_t margin = job.plan.rowMargin;
        int16_t* stripStart = strip + size_t(margin) * rw;
        // Without margin rows the demosaicer's context is the strip itself.
        int16_t* above = margin >= 3 ? strip + size_t(margin - 3) * rw : stripStart;
        int16_t* below = strip + size_t(margin + sh) * rw;
        job.demosaicer->Setup(above, stripStart, below, job.green.get(), job.even.get(), job.odd.get(),
                              int16_t(sh), int16_t(rw), job.modes.passThrough);
        int16_t *green = nullptr, *even = nullptr, *odd = nullptr;
        if ((status = job.demosaicer->Run(&green, &even, &odd))) break;
        if (!step()) break;

        if (isColor_) {
            job.lut.width = uint16_t(rw / s);
            job.lut.height = uint16_t(sh / s);
            if ((status = job.lut.Apply(even, green, odd))) break;
        }
        job.transform.width = uint16_t(sw / s);
        job.transform.height = uint16_t(sh / s);
        if ((status = job.transform.Run(even, green, odd, job.fourth.get()))) break;
        if (job.modes.transformMode != 2) job.releaseTransform = true;
        if (!step()) break;

        if ((status = job.output.Init(job.type, rotation_, job.plan.colMargin, job.plan.colMargin, padBytes_,
                                      sw / s, sh / s, job.bytesPerSample, job.channels)))
            break;
        if ((status = job.output.Pack(even, green, odd, job.fourth.get(), out))) break;
        if (!step()) break;

        const uint64_t stripBytes = uint64_t(sh / s) * uint64_t(sw / s) * uint64_t(job.bytesPerSample) *
                                        uint64_t(job.channels) +
                                    job.output.PadTotal();
        status = PassStripOn(record, out, stripBytes);
    }
    if (job.releaseTransform) job.transform.Release();
    if (status == VQ_OK && !job.goOn) status = VQ_ERR_CANCELLED;
    return status;
}

VqStatus SdkRenderer::RenderThumbnail(void* buffer) {
    if (!buffer) return VQ_ERR_NULL_OUTPUT;
    if (!unpackStage_ || !shadingStage_) return VQ_ERR_BAD_STAGE_MODE;
    uint32_t planeBytes[3] = {0, 0, 0};
    if (isColor_) {
        planeBytes[0] = uint32_t(thumbnailInfo_[1]);
        planeBytes[1] = uint32_t(thumbnailInfo_[3]);
        planeBytes[2] = uint32_t(thumbnailInfo_[5]);
    } else {
        planeBytes[1] = uint32_t(thumbnailMono_[1]);
    }
    LutStage lut;
    ColorTransformStage transform;
    const uint32_t requested = uint32_t(outputType_);
    const uint32_t t0 = (isColor_ && (requested == VQ_TYPE_GRAY8 || requested == VQ_TYPE_GRAY16)) ? VQ_TYPE_RGB8
                                                                                                  : requested;
    if (VqStatus status = GetOutputFormat(t0, nullptr, nullptr)) return status;
    const uint32_t t = MapColorManagedType(requested);
    int32_t b = 0, c = 0;
    if (VqStatus status = GetOutputFormat(t, &b, &c)) return status;
    if (image_) {
        uint32_t scratch = 0;
        image_->OnImageTypeChanged(requested, &scratch, nullptr);
    }
    if (isColor_ ? (requested < VQ_TYPE_GRAY8 || requested > VQ_TYPE_CAMERA_RGB12)
                 : (requested != VQ_TYPE_GRAY8 && requested != VQ_TYPE_GRAY16))
        return VQ_ERR_BAD_IMAGE_TYPE;
    const int32_t k = sensorGroup_ == 2 ? 16 : 8;
    if (rawWidth_ <= 0 || rawHeight_ <= 0 || rawWidth_ > 0xFFFF || rawHeight_ > 0xFFFF) return VQ_ERR_BAD_FILE;
    const int32_t w = rawWidth_ / k, h = rawHeight_ / k;
    // The unpacking walk visits every k-th row and column from 0, so the planes
    // hold the rounded-up counts; the picture is the rounded-down part of them.
    const int32_t walkW = (rawWidth_ + k - 1) / k, walkH = (rawHeight_ + k - 1) / k;
    const uint64_t samples = uint64_t(walkW) * uint64_t(walkH);
    if (w == 0 || h == 0) return VQ_ERR_BAD_FILE;
    if (!thumbnailData_) return VQ_ERR_BAD_FILE;
    for (int p = 0; p < 3; ++p)
        if ((isColor_ || p == 1) && planeBytes[p] < samples) return VQ_ERR_BAD_FILE;

    PipelineModes modes;
    VqStatus status = ConfigurePipeline(t0, isColor_, &modes, int16_t(k), look_);
    unpackStage_->SetMode(modes.unpackMode);
    shadingStage_->SetMode(modes.shadingMode);
    if (status) return status;
    if (isColor_ && (status = PrepareLinearLut(lut, modes.lutMode))) return status;

    Block<uint8_t> bytes = Allocate<uint8_t>(3 * samples);
    Block<int16_t> planes = Allocate<int16_t>(3 * samples);
    Block<int16_t> fourth = IsFourChannel(t) ? Allocate<int16_t>(samples) : Block<int16_t>();
    if (!bytes || !planes || (IsFourChannel(t) && !fourth)) return VQ_ERR_PROCESS_NO_MEMORY;
    uint8_t* in[3] = {bytes.get(), bytes.get() + samples, bytes.get() + 2 * samples};
    int16_t* plane[3] = {planes.get(), planes.get() + samples, planes.get() + 2 * samples};
    uint16_t* word[3] = {reinterpret_cast<uint16_t*>(plane[0]), reinterpret_cast<uint16_t*>(plane[1]),
                         reinterpret_cast<uint16_t*>(plane[2])};
    if (isColor_) {
        std::memcpy(in[0], thumbnailData_, size_t(samples));
        std::memcpy(in[1], thumbnailData_ + planeBytes[0], size_t(samples));
        std::memcpy(in[2], thumbnailData_ + uint64_t(planeBytes[0]) + planeBytes[1], size_t(samples));
    } else {
        std::memcpy(in[1], thumbnailData_, size_t(samples));
    }

    unpackStage_->SetRowLength(uint16_t(rawWidth_));
    status = isColor_ ? unpackStage_->UnpackThumbnail3(in[0], in[1], in[2], word[0], word[1], word[2], 0,
                                                       uint16_t(rawHeight_), uint16_t(k))
                      : unpackStage_->UnpackThumbnail1(in[1], word[1], 0, uint16_t(rawHeight_), uint16_t(k));
    if (status) return status;
    shadingStage_->SetWidth(uint16_t(rawWidth_));
    status = isColor_ ? shadingStage_->ApplyThreePlanes(word[0], word[1], word[2], word[0], word[1], word[2], 3, 4,
                                                        rawHeight_, k)
                      : shadingStage_->ApplyPlaneSubsampled(word[1], word[1], 3, 4, rawHeight_, k);
    if (status) return status;
    if (isColor_) {
        lut.width = uint16_t(walkW);
        lut.height = uint16_t(walkH);
        if ((status = lut.Apply(plane[0], plane[1], plane[2]))) return status;
    }
    transform.mode = modes.transformMode;
    transform.leftSkip = 0;
    transform.rightSkip = walkW - w;
    std::copy(colorMatrix_, colorMatrix_ + 9, transform.firstMatrix);
    std::copy(colorMatrices_, colorMatrices_ + 9, transform.secondMatrix);
    transform.workingMaximum = 0x7FFF;
    transform.subsampled = 1;
    transform.firstTone = transform.middleTone = transform.lastTone = toneCurve_;
    transform.outputTable = outputCurve_;
    transform.outputSize = outputCurveSize_;
    transform.transformRecord = cmsTransform_;
    if ((status = transform.Prepare())) return status;
    transform.width = uint16_t(w);
    transform.height = uint16_t(h);
    status = transform.Run(plane[0], plane[1], plane[2], fourth.get());
    if (!status) {
        OutputStage output;
        status = output.Init(t, rotation_, 0, walkW - w, padBytes_, w, h, b, c);
        if (!status)
            status = isColor_ ? output.Pack(plane[0], plane[1], plane[2], fourth.get(), static_cast<uint8_t*>(buffer))
                              : output.Pack(plane[1], plane[1], plane[1], nullptr, static_cast<uint8_t*>(buffer));
    }
    if (modes.transformMode != 2) transform.Release();
    return status;
}

VqStatus SdkRenderer::SampleWhiteBalance(const SdkRect* rect, uint16_t* out, int32_t, const SensorGeometry*) {
    if (!rect || !out) return VQ_ERR_NULL_OUTPUT;
    if (!sampleStage_ || !shadingStage_) return VQ_ERR_BAD_STAGE_MODE;
    // The area must lie on the sensor and start on the pattern's first colour.
    if (rect->x < 0 || rect->y < 0 || rect->width <= 0 || rect->height <= 0 || (rect->x & 1) || (rect->y & 1) ||
        (rect->height & 1) || int64_t(rect->x) + rect->width > rawWidth_ ||
        int64_t(rect->y) + rect->height > rawHeight_ || (rawWidth_ & 1))
        return VQ_ERR_BAD_ARGUMENT;
    if (!image_) return VQ_ERR_BAD_HANDLE;
    const uint64_t n = uint64_t(rect->height) * uint64_t(rawWidth_);
    if (n > UINT32_MAX) return VQ_ERR_BAD_ARGUMENT;
    Block<uint8_t> bytes = Allocate<uint8_t>(n);
    Block<uint16_t> words = Allocate<uint16_t>(n);
    if (!bytes || !words) return VQ_ERR_PROCESS_NO_MEMORY;
    VqStatus status = image_->ReadFileBytes(bytes.get(), uint64_t(uint32_t(dataOffset_)) + uint64_t(rect->y) * rawWidth_,
                                            uint32_t(n), 0);
    if (status) return status;
    for (int32_t r = 0; r < rect->height; ++r) {
        const uint8_t* row = bytes.get() + size_t(r) * size_t(rawWidth_) + size_t(rect->x);
        if (std::find(row, row + rect->width, uint8_t(255)) != row + rect->width) return VQ_ERR_SAMPLE_SATURATED;
    }
    const int32_t mode = isColor_ ? 0 : 1;
    sampleStage_->SetMode(mode);
    shadingStage_->SetMode(mode);
    sampleStage_->SetRowLength(uint16_t(rawWidth_));
    if ((status = sampleStage_->Unpack(bytes.get(), words.get(), uint16_t(rect->y), uint16_t(rect->height))))
        return status;
    shadingStage_->SetWidth(uint16_t(rawWidth_));
    status = isColor_ ? shadingStage_->ApplyCfa(rect->x, rect->y, words.get(), words.get(), rect->height)
                      : shadingStage_->ApplyPlane(rect->x, rect->y, words.get(), words.get(), rect->height);
    if (status) return status;
    return BayerMeans(words.get(), rawWidth_, rect->height, rect->x, rect->width, &out[0], &out[1], &out[2]);
}

} // namespace lumora
