// ProImage: rendering through the driver, on two threads for large renders,
// thumbnails, the exposure table, and the rectangles under rotation.
#include "ProImage.h"

#include "ColorServices.h"
#include "NbErrorCodes.h"
#include "PixelArray.h"
#include "ProgressCB.h"
#include "RawFileSession.h"
#include "StImageClosableFlagRestorer.h"
#include "TerminationMessage.h"
#include "YlmErrp.h"

#include <cmath>
#include <cstring>

namespace NimbalCore {

namespace {

int32_t DriverProgress(void* user, int32_t total, int32_t done) {
    auto* progress = static_cast<ProgressCB*>(user);
    if (!progress || total <= 0) return 0;
    const int percent = int(int64_t(done) * 100 / total);
    return progress->Progress(percent) ? 0 : 1;
}

void ThrowDriverStatus(int32_t status) {
    if (status == VrelErrNoMemory) YLM_THROW("ProImage::GetImageRectangleFromCameraSDK", NbErrAllocFailed);
    if (status == VrelErrCancelled) YLM_THROW("ProImage::GetImageRectangleFromCameraSDK", NbErrRenderCancelled);
    YLM_THROW("ProImage::GetImageRectangleFromCameraSDK", NbErrRenderFailed);
}

} // namespace

// The helper's message -----------------------------------------------------------

ProImage::GetImageRectMsg::GetImageRectMsg(RawFileSession* session, int32_t level, const DriverRect* rect,
                                           VrelSharpenPlanes* planes)
    : session_(session), level_(level), rect_(rect), planes_(planes) {}

ProImage::GetImageRectMsg::~GetImageRectMsg() {
    if (!executed_ && session_) session_->Abandon(RawFileSession::kNotRendered);
}

int ProImage::GetImageRectMsg::Execute() {
    executed_ = true;
    return session_->GetImageRectangle(level_, rect_, planes_);
}

// Rendering ------------------------------------------------------------------------

void ProImage::RenderImage(const ImageProcessParam& params, PixelArray& destination, bool useCrop,
                           ProgressCB* progress, int scale) {
    resolutionDivisor_ = scale;
    const std::map<int, NbRect> resolutions = GetAvailableResolutions();
    auto found = resolutions.find(scale);
    const NbRect r = found == resolutions.end() ? NbRect() : found->second;
    int level = scale;
    if (r == imageRect_) level = 0;
    else if (r == previewRect_ && hasReducedLevel) level = 1;
    else if (r == thumbnailRect_) level = 2;
    const NbRect bounds = destination.GetBounds();
    const bool large = level != 1 && level != 2 && bounds.Width() > HelperMinimumSize() &&
                       bounds.Height() > HelperMinimumSize();
    if (GetProcessorCount() > 1 && large) StartRenderHelper(params);
    Image::RenderImageInternal(params, destination, useCrop, progress, level);
}

void ProImage::StartRenderHelper(const ImageProcessParam& params) {
    EndRender();
    auto session = std::make_unique<RawFileSession>(plugIn, driverContext, path_);
    session->Open();
    if (session->GetStatus() != 0) return;
    // The parameters reach the session's image through our writes; the
    // image's own reference is given back on every way out.
    struct Exchange {
        int32_t& a;
        int32_t& b;
        Exchange(int32_t& x, int32_t& y) : a(x), b(y) { std::swap(a, b); }
        ~Exchange() { std::swap(a, b); }
    };
    try {
        Exchange exchange(imageRef, session->ImageReference());
        ImageProcessParam p = params;
        if (p.lighting >= 0 && p.lighting <= 3) p.lightingIndex = p.lighting;
        SetParmsInImageForLinearRendering(p);
    } catch (...) {
        return;  // the session closes with its own references
    }
    YlmRefPtr<Thread> helper(new Thread("ProImage MP render helper"));
    if (helper->Start() != 0) return;
    renderSession = std::move(session);
    renderHelper = helper;
}

void ProImage::EndRender() {
    if (renderHelper) {
        // A helper whose loop ended after a failed half takes no message:
        // nothing is posted to it and nothing waited for.
        auto* end = new TerminationMessage(renderHelper.Get());
        if (end->Post(renderHelper) == 0) renderHelper->WaitForExit(Thread::kInfinite);
        else delete end;
        renderHelper.Reset();
    }
    renderSession.reset();
}

void ProImage::RenderThumbnail(const ImageProcessParam& params, PixelArray& destination) {
    Image::RenderImageInternal(params, destination, false, nullptr, 2);
}

void ProImage::GetImageRectangleFromCameraSDK(int level, const ImageProcessParam&, const FilterRect& source, float,
                                              VrelSharpenPlanes& layout, int, int, ProgressCB* progress) {
    if (progress) progress->Progress(0);
    DriverRect rect{source.top, source.left, source.bottom, source.right};
    int32_t status = 0;
    const bool useHelper = renderSession && renderHelper && renderSession->GetStatus() == 0;
    if (!useHelper) {
        status = plugIn->GetImageRectangle(imageRef, level, &rect, &layout, &DriverProgress, progress);
    } else {
        if (rect.endRow <= rect.firstRow) {
            NbRect whole;
            switch (level) {
            case 0: whole = imageRect_; break;
            case 1: whole = previewRect_; break;
            case 2: whole = thumbnailRect_; break;
            default: YLM_THROW("ProImage::GetImageRectangleFromCameraSDK", NbErrBadSubsampleLevel);
            }
            rect = DriverRect{0, 0, int32_t(whole.Height()), int32_t(whole.Width())};
        }
        const int32_t rows = rect.endRow - rect.firstRow;
        const int32_t d = (rows + 1) / 2;
        // Each half's record states its own rows, so that neither call may
        // write past its part of the strip.
        DriverRect upper = rect, lower = rect;
        upper.endRow = rect.firstRow + d;
        lower.firstRow = rect.firstRow + d;
        VrelSharpenPlanes upperPlanes = layout, lowerPlanes = layout;
        upperPlanes.rows = d;
        lowerPlanes.rows = rows - d;
        const int64_t advance = int64_t(d) * layout.rowStride;
        for (void*& plane : lowerPlanes.plane)
            if (plane) plane = static_cast<uint8_t*>(plane) + advance;
        if (lowerPlanes.plane4) lowerPlanes.plane4 = static_cast<uint8_t*>(lowerPlanes.plane4) + advance;
        bool posted = false;
        if (rows - d > 0) {
            auto* message = new GetImageRectMsg(renderSession.get(), level, &lower, &lowerPlanes);
            posted = message->Post(renderHelper) == 0;
            if (!posted) delete message;  // that wakes nobody: no one waits yet
        }
        status = plugIn->GetImageRectangle(imageRef, level, &upper, &upperPlanes, &DriverProgress, progress);
        int32_t helperStatus = 0;
        if (posted) helperStatus = renderSession->WaitForResult();
        // A half that could not be posted, or that its thread dropped, is
        // rendered here instead of waited for.
        if (rows - d > 0 && (!posted || helperStatus == RawFileSession::kNotRendered)) {
            helperStatus = status == 0 ? plugIn->GetImageRectangle(imageRef, level, &lower, &lowerPlanes,
                                                                   &DriverProgress, progress)
                                       : 0;
        }
        if (status == 0) status = helperStatus;
    }
    if (status != 0) ThrowDriverStatus(status);
    if (progress) progress->Progress(100);
}

bool ProImage::ComputeExposureTableFromLevels(float shadow, float midtone, float highlight, int bytes,
                                              uint16_t* table) {
    if (!CanAdjustTone() || !table || bytes <= 0) return false;
    float saved[3] = {0, 0, 0};
    int32_t savedEnabled = 0;
    if (ReadFloats(1957, saved, 3) != 0 || ReadInts(1960, &savedEnabled, 1) != 0) return false;
    bool ok = false;
    float levels[3] = {shadow, midtone, highlight};
    const int32_t on = 1;
    if (WriteFloats(1957, VrelTypeFloatTriple, levels, 3) == 0 && WriteInts(1960, VrelTypeFlag, &on, 1) == 0) {
        int32_t type = 0, size = 0;
        if (AttributeInfo(1965, &type, &size) == 0) {
            int32_t n = bytes;
            ok = plugIn->GetAttributeValue(imageRef, 1965, &n, table) == 0;
        }
    }
    WriteFloats(1957, VrelTypeFloatTriple, saved, 3);
    WriteInts(1960, VrelTypeFlag, &savedEnabled, 1);
    return ok;
}

// Geometry ---------------------------------------------------------------------------

NbRect ProImage::GetImageRect() {
    NbRect r(0, 0, imageRect_.right, imageRect_.bottom);
    const int rotation = int(processParams_.rotation);
    if (rotation == 90 || rotation == 270) std::swap(r.right, r.bottom);
    return r;
}

NbRect ProImage::GetThumbnailRect() {
    NbRect r(0, 0, thumbnailRect_.right, thumbnailRect_.bottom);
    const int rotation = int(processParams_.rotation);
    if (rotation == 90 || rotation == 270) std::swap(r.right, r.bottom);
    return r;
}

Image::ValidationCodes ProImage::MapRectBetweenRotations(const NbRect& src, float a, NbRect* dst, float b) {
    using P = ImageProcessParam;
    NbRect scratch;
    NbRect& out = dst ? *dst : scratch;
    out = NbRect(0, 0, 0, 0);
    if (!std::isfinite(a) || a != std::floor(a)) return P::RotationNotWhole;
    const int angle = int(a);
    if (angle != 0 && angle != 90 && angle != 180 && angle != 270) return P::RotationNotQuarter;
    const NbRect native = GetNativeImageRect();
    const int64_t to = std::isfinite(b) ? int64_t(b) : 0;
    int64_t W = native.Width(), H = native.Height();
    if (to == 90 || to == 270) std::swap(W, H);
    // A crop with a negative edge or turned inside out is outside as well.
    if (src.left < 0 || src.top < 0 || src.right < src.left || src.bottom < src.top) return P::CropOutside;
    if (src.left > W - 8 || src.top > H - 8 || src.right >= W || src.bottom >= H) return P::CropOutside;
    int64_t w = src.Width(), h = src.Height(), left = src.left, top = src.top;
    switch (angle) {
    case 90:
        left = H - 1 - src.bottom, top = src.left;
        std::swap(w, h);
        break;
    case 180: left = W - src.left - w, top = H - 1 - src.bottom; break;
    case 270:
        left = src.top, top = W - src.left - w;
        std::swap(w, h);
        break;
    default: break;
    }
    out = NbRect(int32_t(left), int32_t(top), int32_t(left + w - 1), int32_t(top + h - 1));
    return P::Valid;
}

// Colour transform ----------------------------------------------------------------

YlmRefPtr<ColorTransform> ProImage::BuildColorTransform(const ImageProcessParam& p, int value, int mode) {
    ColorServices* services = ColorServices::Get();
    // Without a colour engine the driver's pixels are used as they are.
    if (!services) return YlmRefPtr<ColorTransform>();
    if (mode < 1 || mode > 3) YLM_THROW("ProImage::BuildColorTransform", NbErrInvalidValue);
    if (p.colorMode == 1) cachedTransform.Reset();
    const ImageProcessParam& c = cachedTransformParams;
    if (cachedTransform && p.lightingIndex == c.lightingIndex && p.colorMode == c.colorMode &&
        p.lookName == c.lookName && p.outputSpaceMode == c.outputSpaceMode &&
        p.workingSpaceName == c.workingSpaceName && value == cachedTransformValue && mode == cachedTransformMode)
        return cachedTransform;

    const std::string reference = services->GetStaticProfileName("ERIMM_PCS3.icm");
    const std::string output = services->GetStaticProfileName("ProPhotoRGB.icm");
    const std::string defaultLook = services->GetStaticProfileName("ZynProductLook.icm");
    std::string workingSpace =
        p.outputSpaceMode == 1 ? services->GetStaticProfileName("ORVEX_sRGB.icm") : p.GetWorkingSpaceName();
    // Parameters that name no space render into the engine's working space.
    if (workingSpace.empty()) workingSpace = services->GetWorkingSpaceName();

    std::vector<ProfileChainEntry> chain;
    if (mode == 1 || mode == 2) {
        // A monochrome image's lighting (6) has no source profile: its
        // pixels enter the look as the driver delivers them.
        if (p.lightingIndex >= 0 && p.lightingIndex <= 3) {
            chain.push_back({GetLightingProfileID(p.lightingIndex), 1, YlmRefPtr<ColorSpaceDesc>()});
            chain.push_back({reference, 2, YlmRefPtr<ColorSpaceDesc>()});
        }
        // The model's tone curve is a device link from RGB to RGB: it can
        // only act where the data is still RGB, before the look takes it
        // into the connection space. Mode 3 continues data that already
        // passed it in mode 2.
        if (!fixedCameraProfileName.empty())
            chain.push_back({fixedCameraProfileName, 1, YlmRefPtr<ColorSpaceDesc>()});
        const std::string lookID = GetLookProfileID(p.lookName);
        YlmRefPtr<ColorSpaceDesc> look = rawCameraLook_ && rawCameraLook_->Name() == lookID
                                             ? rawCameraLook_
                                             : services->FindProfileOrAlias(lookID);
        chain.push_back({lookID, 1, look});
        constexpr uint32_t kInputClass = 0x73636E72; // 'scnr'
        if (look && look->GetDeviceClass() != kInputClass && defaultLook != workingSpace)
            chain.push_back({defaultLook, 1, YlmRefPtr<ColorSpaceDesc>()});
        if (mode == 2) chain.push_back({output, 2, YlmRefPtr<ColorSpaceDesc>()});
    } else {
        chain.push_back({output, 1, YlmRefPtr<ColorSpaceDesc>()});
    }
    if (mode == 1 || mode == 3) {
        if (p.colorMode != 3) chain.push_back({workingSpace, 2, YlmRefPtr<ColorSpaceDesc>()});
    }
    cachedTransform = services->GetTransform(chain, value);
    cachedTransformParams = p;
    cachedTransformValue = value;
    cachedTransformMode = mode;
    return cachedTransform;
}

} // namespace NimbalCore
