#include "FinishedImage.h"

#include "ColorServices.h"
#include "File.h"
#include "JpegQualityPreset.h"
#include "MakeExportImage.h"
#include "StripRendering.h"
#include "YlmErrp.h"
#include "YlmError.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace NimbalCore {

using lumora::ByteOrder;

namespace {

std::string Lower(std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The maker's software text, as this program writes it and as older
// versions wrote it: compared without regard to letter case.
constexpr const char* kMakerSoftware = "orvex professional zyn lumora";

} // namespace

FinishedImage::FinishedImage(const FilePathSpec& path) : Image(path), file_(new File(path)) {
    // A finished file has no balance, lighting, sharpening or noise
    // reduction of its own to adjust.
    processParams_.lighting = 6;
    processParams_.lightingIndex = 6;
    processParams_.balanceType = 7;
    processParams_.sharpenMode = 3;
    processParams_.sharpenAmount = 0;
    processParams_.noiseReductionMode = 8;
    processParams_.noiseReductionStrength = 0;
    sourceColorSpaceName_ = DefaultSourceSpaceName();
}

FinishedImage::~FinishedImage() {
    if (file_ && file_->IsOpen()) file_->Close();
    delete file_;
}

ImageProcessParam FinishedImage::GetAtCaptureParams() {
    YLM_THROW("FinishedImage::GetAtCaptureParams", NbErrNotSupported);
}
ImageProcessParam FinishedImage::GetAutoParams() { YLM_THROW("FinishedImage::GetAutoParams", NbErrNotSupported); }
ImageProcessParam FinishedImage::GetCustomParams() {
    YLM_THROW("FinishedImage::GetCustomParams", NbErrNotSupported);
}
void FinishedImage::CalculateClickBalance(int, int, uint16_t*, uint16_t*, uint16_t*) {
    YLM_THROW("FinishedImage::CalculateClickBalance", NbErrNotSupported);
}
void FinishedImage::ReadProcessParamsFromFile() {
    YLM_THROW("FinishedImage::ReadProcessParamsFromFile", NbErrNotSupported);
}
void FinishedImage::GetProcessParamsFromSDK() {
    YLM_THROW("FinishedImage::GetProcessParamsFromSDK", NbErrNotSupported);
}
void FinishedImage::WriteWhiteBalanceFile(const FilePathSpec&) {
    YLM_THROW("FinishedImage::WriteWhiteBalanceFile", NbErrNotSupported);
}
bool FinishedImage::CanWhiteBalanceFileBeSaved(int* reason) {
    if (reason) *reason = 3;
    return false;
}

bool FinishedImage::GetJPEGQuantizationTables(bool chroma, int qualityCode, int sizeCode, int* table,
                                              int* quality) {
    return GetJpegQuantTable(JpegQualityPreset::kGenericCamera, chroma, qualityCode, sizeCode, table, quality);
}

ExportImage* FinishedImage::CreateExportImage(int fileKind, ImageRendering* rendering, const FilePathSpec& target,
                                              ExportImageArray* array, int32_t) {
    return MakeExportImage(fileKind, rendering, target, array);
}

void FinishedImage::WriteProcessParamsToFile() {
    YLM_THROW("FinishedImage::WriteProcessParamsToFile", NbErrNotSupported);
}
void FinishedImage::SetCameraSettings() { YLM_THROW("FinishedImage::SetCameraSettings", NbErrNotSupported); }

Image::ValidationCodes FinishedImage::MapRectBetweenRotations(const NbRect& source, float fromAngle,
                                                              NbRect* out, float viewAngle) {
    using P = ImageProcessParam;
    NbRect scratch;
    NbRect& dst = out ? *out : scratch;
    dst = NbRect();
    if (fromAngle != std::floor(fromAngle)) return P::RotationNotWhole;
    const int from = int(fromAngle);
    if (from != 0 && from != 90 && from != 180 && from != 270) return P::RotationNotQuarter;
    int64_t W = int64_t(nativeRect_.Width()), H = int64_t(nativeRect_.Height());
    if (viewAngle == 90.0f || viewAngle == 270.0f) std::swap(W, H);
    if (source.left > W - 8 || source.top > H - 8 || source.right >= W || source.bottom >= H)
        return P::CropOutside;
    const int64_t w = source.Width(), h = source.Height();
    int64_t left = source.left, top = source.top, width = w, height = h;
    switch (from) {
    case 90:
        left = H - source.bottom - 1, top = source.left, width = h, height = w;
        break;
    case 180:
        left = W - source.right - 1, top = H - source.bottom - 1;
        break;
    case 270:
        left = source.top, top = W - source.right - 1, width = h, height = w;
        break;
    default:
        break;
    }
    dst = NbRect(int32_t(left), int32_t(top), int32_t(left + width - 1), int32_t(top + height - 1));
    return P::Valid;
}

Image::ValidationCodes FinishedImage::ValidateProcessParams(const ImageProcessParam& p) {
    using P = ImageProcessParam;
    auto has = [](const std::vector<int>& list, int v) {
        return std::find(list.begin(), list.end(), v) != list.end();
    };
    auto zero = [](const uint16_t* t) { return t[0] == 0 && t[1] == 0 && t[2] == 0; };
    if (p.lighting == 5 && !has(GetSupportedBalanceTypes(), 5)) return P::AutoLightingUnsupported;
    if (p.lighting == 4 && !HasAtCaptureParams()) return P::NoAtCaptureParams;
    const bool click = CanClickBalance();
    if (p.balanceType == 7 && click) return P::BalanceTypeRejected;
    if (p.balanceType != 7 && !click) return P::CannotClickBalance;
    if (p.whitePoint != 0) return P::CannotAdjustWhitePoint;
    if (click) {
        const uint16_t* t = p.balanceType == 4   ? p.customBalance
                            : p.balanceType == 5 ? p.autoBalance
                            : p.balanceType == 6 ? p.clickBalance
                                                 : nullptr;
        if (p.balanceType == 6 && p.balanceSource != serialNumber_) return P::BalanceFromOtherCamera;
        if (t && zero(t)) return P::ZeroBalanceTriple;
    }
    const std::vector<int> illuminants = GetSupportedIlluminants();
    if (p.lighting == 6) {
        if (illuminants.size() > 1) return P::MonochromeOnColor;
    } else if (!has(illuminants, p.lighting)) {
        return P::LightingUnsupported;
    }
    if (p.lighting == 5 && p.balanceType == 6) return P::AutoLightingWithClickBalance;
    if (p.sharpenAmount > 0 && p.sharpenRadius > 0 && !CanSharpen()) return P::CannotSharpen;
    const std::vector<int> modes = GetNoiseReductionModes();
    if (modes.empty() ? p.noiseReductionMode != 8 : !has(modes, p.noiseReductionMode))
        return P::NoiseModeUnsupported;
    if (p.exposureCompensation != 0.0f)
        return CanAdjustExposure() ? P::ExposureOutOfRange : P::CannotAdjustExposure;
    float levels[3];
    for (int i = 0; i < 3; ++i)
        levels[i] = P::RoundLevel(p.levels[i]);
    if ((levels[0] != 0.0f || levels[1] != 0.0f || levels[2] != 0.0f) && !CanAdjustTone())
        return P::CannotAdjustTone;
    // Levels of an image that cannot adjust its tone are all 0 here, and
    // zero levels are no levels to check.
    if (CanAdjustTone()) {
        if (const ValidationCodes code = ValidateLevels(levels[0], levels[1], levels[2]); code != P::Valid)
            return code;
    }
    if (!p.lookName.empty() && p.lookName != GetDefaultProfileName(0)) {
        const std::vector<std::string> looks = GetAvailableLooks();
        if (std::find(looks.begin(), looks.end(), p.lookName) == looks.end()) return P::LookUnavailable;
    }
    // The camera lighting picks one of the seven fine-tuning triples; an
    // index outside them names none.
    if (p.lightingIndex >= 0 && p.lightingIndex < P::kLightingTriples) {
        const uint16_t* t = p.fineTuneBalance[p.lightingIndex];
        if (!CanAdjustColorBalance()) {
            if (!zero(t)) return P::CannotAdjustColorBalance;
        } else {
            int16_t lo = 0, mid = 0, hi = 0;
            GetColorBalanceLimits(&lo, &mid, &hi);
            for (int i = 0; i < 3; ++i)
                if (int16_t(t[i]) < lo || int16_t(t[i]) > hi) return P::ColorBalanceOutOfLimits;
        }
    }
    if (!CanOptimizeLens()) {
        if (p.lensOptimization != -1) return P::CannotOptimizeLens;
    } else {
        int lo = 0, hi = 0;
        GetLensOptimizationRange(&lo, &hi);
        if (p.lensOptimization < lo || p.lensOptimization > hi) return P::LensOptimizationOutOfRange;
    }
    NbRect scratch;
    return MapRectBetweenRotations(p.crop, p.rotation, &scratch, 0.0f);
}

void FinishedImage::SetProcessParams(const ImageProcessParam& params) {
    if (params == processParams_) return;
    processParams_ = params;
    NotifyImageChange(ImageChangeParams);
}

NbRect FinishedImage::GetImageRect() {
    const int rotation = int(processParams_.rotation);
    if (rotation == 90 || rotation == 270)
        return NbRect(0, 0, nativeRect_.Height() - 1, nativeRect_.Width() - 1);
    return NbRect(0, 0, nativeRect_.Width() - 1, nativeRect_.Height() - 1);
}

NbRect FinishedImage::GetThumbnailRect() {
    const NbRect t = GetNativeThumbnailRect();
    const int rotation = int(processParams_.rotation);
    if (rotation == 90 || rotation == 270) return NbRect(0, 0, t.Height() - 1, t.Width() - 1);
    return NbRect(0, 0, t.Width() - 1, t.Height() - 1);
}

void FinishedImage::Rename(const FilePathSpec& newPath) {
    if (open_) Close();
    Image::Rename(newPath);
    delete file_;
    file_ = new File(path_);
    if (const int status = EnsureOpen()) YLM_THROW("FinishedImage::Rename", status);
}

std::string FinishedImage::DefaultSourceSpaceName() {
    const ColorServices* services = ColorServices::Get();
    return services ? services->GetStaticProfileName("ORVEX_sRGB.icm") : std::string();
}

const char* FinishedImage::ColorCodeProfileFile(int32_t code) {
    // The codes the program's TIFF export writes: 0 camera RGB, 1 linear
    // output, 2 ProPhoto; 3 (also the code of a file without the tag)
    // leaves the default sRGB.
    switch (code) {
    case 0:
        return "ZynRGB.icm";
    case 1:
        return "ERIMM_PCS3.icm";
    case 2:
        return "ProPhotoRGB.icm";
    case 3:
        return "ORVEX_sRGB.icm";
    default:
        return nullptr;
    }
}

void FinishedImage::SetEmbeddedProfile(std::vector<uint8_t> bytes) {
    iccProfile_ = std::move(bytes);
    embeddedProfile_.Reset();
    ColorServices* services = ColorServices::Get();
    if (!services || iccProfile_.empty()) return;
    try {
        YlmRefPtr<ColorSpaceDesc> profile =
            services->MakeProfile(iccProfile_.data(), uint32_t(iccProfile_.size()));
        if (!profile) return;
        const std::string name = profile->Name();
        if (name.empty()) return;
        embeddedProfile_ = profile;
        sourceColorSpaceName_ = name;
    } catch (const YlmErrp&) {
        // Not a profile the engine can use: the image keeps its default space.
        iccProfile_.clear();
    }
}

YlmRefPtr<ColorSpaceDesc> FinishedImage::GetSourceColorSpaceDesc() {
    if (embeddedProfile_) return embeddedProfile_;
    return Image::GetSourceColorSpaceDesc();
}

YlmRefPtr<ColorTransform> FinishedImage::BuildFinishedColorTransform(const ImageProcessParam& params,
                                                                     const std::string& spaceName, int,
                                                                     int bits) {
    ColorServices* services = ColorServices::Get();
    if (!services) return YlmRefPtr<ColorTransform>();
    // Parameters that name no space (the image's own thumbnail builds
    // among them) leave the pixels as they are.
    const std::string target = params.outputSpaceMode == 1 ? services->GetStaticProfileName("ORVEX_sRGB.icm")
                                                           : params.GetWorkingSpaceName();
    // The embedded profile describes the main image and the thumbnails made
    // with it; a space named for one thumbnail (the extended-range preview)
    // is found by its name.
    const bool embedded = embeddedProfile_ && spaceName == sourceColorSpaceName_;
    const YlmRefPtr<ColorSpaceDesc> source = embedded ? embeddedProfile_ : YlmRefPtr<ColorSpaceDesc>();
    const int flags = bits == 8 ? 1 : 5;
    std::vector<ProfileChainEntry> chain;
    if (params.colorMode == 3) {
        chain.push_back({spaceName, 1, source});
    } else {
        if (target.empty() || target == DefaultSourceSpaceName() || target == spaceName)
            return YlmRefPtr<ColorTransform>();
        chain.push_back({spaceName, 1, source});
        chain.push_back({target, 2, YlmRefPtr<ColorSpaceDesc>()});
    }
    return services->GetTransform(chain, flags);
}

void FinishedImage::SetFileBytes(std::vector<uint8_t> bytes, uint64_t fileLength) {
    fileBytes_ = std::move(bytes);
    view_ = lumora::ByteView(fileBytes_.data(), fileBytes_.size());
    fileLength_ = std::max<uint64_t>(fileLength, fileBytes_.size());
}

bool FinishedImage::DetectByteOrder(uint64_t at) {
    uint8_t h[4];
    if (!view_.copy(at, h, 4)) return false;
    if (h[0] == 'M' && h[1] == 'M' && h[2] == 0 && h[3] == 42) {
        order_ = ByteOrder::Big;
        return true;
    }
    if (h[0] == 'I' && h[1] == 'I' && h[2] == 42 && h[3] == 0) {
        order_ = ByteOrder::Little;
        return true;
    }
    return false;
}

std::optional<uint64_t> FinishedImage::FindTIFFHeader() {
    if (view_.size() < 4) return std::nullopt;
    for (uint64_t i = 0; i + 4 < view_.size(); ++i)
        if (DetectByteOrder(i)) return i;
    return std::nullopt;
}

std::optional<uint64_t> FinishedImage::DirectoryAt(uint64_t ifd) const {
    if (ifd == 0) return std::nullopt;
    const uint64_t at = tiffBase_ + ifd;
    if (!view_.contains(at, 2)) return std::nullopt;
    return at;
}

std::optional<uint64_t> FinishedImage::FindIFDEntry(uint64_t ifd, uint16_t tag) const {
    const auto at = DirectoryAt(ifd);
    if (!at) return std::nullopt;
    uint16_t count = 0;
    view_.u16(*at, order_, count);
    if (count == 0 || count > kMaxDirectoryEntries) return std::nullopt;
    for (uint64_t i = 0; i < count; ++i) {
        const uint64_t entry = *at + 2 + kEntrySize * i;
        uint32_t head = 0;
        // An entry beyond the loaded bytes ends the directory.
        if (!view_.contains(entry, kEntrySize) || !view_.u32(entry, ByteOrder::Big, head)) return std::nullopt;
        if (head == 0) return std::nullopt;
        uint16_t t = 0;
        view_.u16(entry, order_, t);
        if (t == tag) return entry;
    }
    return std::nullopt;
}

uint32_t FinishedImage::GetIFDCount(uint64_t ifd, uint16_t tag) const {
    const auto e = FindIFDEntry(ifd, tag);
    uint32_t count = 0;
    if (e) view_.u32(*e + 4, order_, count);
    return count;
}

uint32_t FinishedImage::GetIFDValue(uint64_t ifd, uint16_t tag) const {
    const auto e = FindIFDEntry(ifd, tag);
    if (!e) return 0;
    uint16_t type = 0;
    view_.u16(*e + 2, order_, type);
    if (type == TypeShort || type == TypeSShort) {
        uint16_t v = 0;
        view_.u16(*e + 8, order_, v);
        return v;
    }
    if (type == TypeLong || type == TypeSLong) {
        uint32_t v = 0;
        view_.u32(*e + 8, order_, v);
        return v;
    }
    return 0;
}

uint32_t FinishedImage::GetIFDValueOffset(uint64_t ifd, uint16_t tag) const {
    const auto e = FindIFDEntry(ifd, tag);
    if (!e) return 0;
    uint16_t type = 0;
    uint32_t count = 0, stored = 0;
    view_.u16(*e + 2, order_, type);
    view_.u32(*e + 4, order_, count);
    view_.u32(*e + 8, order_, stored);
    uint32_t inlineMax = 0;
    switch (type) {
    case TypeByte: case TypeAscii: case TypeSByte: case TypeUndefined: inlineMax = 4; break;
    case TypeShort: case TypeSShort: inlineMax = 2; break;
    case TypeLong: case TypeSLong: case TypeFloat: inlineMax = 1; break;
    case TypeRational: case TypeSRational: case TypeDouble: inlineMax = 0; break;
    default: return 0;
    }
    if (count <= inlineMax) return uint32_t(*e + 8 - tiffBase_);
    return stored;
}

std::string FinishedImage::GetIFDString(uint64_t ifd, uint16_t tag) {
    const auto e = FindIFDEntry(ifd, tag);
    if (!e) return {};
    uint16_t type = 0;
    view_.u16(*e + 2, order_, type);
    if (type != TypeAscii) return {};
    const uint32_t count = GetIFDCount(ifd, tag);
    const uint64_t at = tiffBase_ + GetIFDValueOffset(ifd, tag);
    std::vector<uint8_t> bytes;
    if (!ReadFileBytes(at, count, bytes)) return {};
    std::string s(bytes.begin(), bytes.end());
    while (!s.empty() && s.back() == '\0') s.pop_back();
    return s;
}

uint32_t FinishedImage::GetNextIFD(uint64_t ifd) const {
    const auto at = DirectoryAt(ifd);
    if (!at) return 0;
    uint16_t count = 0;
    view_.u16(*at, order_, count);
    uint32_t next = 0;
    // IFD + 2 + 12 x count, checked against the loaded bytes.
    if (!view_.u32(*at + 2 + kEntrySize * count, order_, next)) return 0;
    return next;
}

float FinishedImage::ReadRational(uint64_t offset) const {
    uint32_t n = 0, d = 0;
    if (!view_.u32(tiffBase_ + offset, order_, n) || !view_.u32(tiffBase_ + offset + 4, order_, d) || d == 0)
        return 0.0f;
    return float(double(n) / double(d));
}

bool FinishedImage::ReadFileBytes(uint64_t position, uint64_t count, std::vector<uint8_t>& out) {
    if (position > fileLength_ || count > fileLength_ - position) return false;
    out.resize(count);
    if (view_.copy(position, out.data(), count)) return true;
    if (!file_ || !file_->IsOpen()) return false;
    try {
        file_->Seek(int64_t(position), SEEK_SET);
        return count == 0 || file_->ReadExactly(out.data(), 1, count) == count;
    } catch (...) {
        return false;
    }
}

namespace {

// One row of 8-bit destination samples from 8-bit samples, or from the high
// byte of host-order 16-bit samples (hi: that byte's place in a sample).
template <int Channels>
void NarrowRow(const uint8_t* const* s, int64_t sp, uint8_t* const* d, int64_t dp, int32_t columns, int hi) {
    for (int k = 0; k < Channels; ++k) {
        const uint8_t* from = s[k] + hi;
        uint8_t* to = d[k];
        for (int32_t c = 0; c < columns; ++c) to[c * dp] = from[c * sp];
    }
}

#if defined(__x86_64__)
__attribute__((target("avx2"))) int64_t NarrowSamplesAvx2(const uint8_t* from, uint8_t* to, int64_t samples,
                                                          int hi) {
    const __m256i low = _mm256_set1_epi16(0x00FF);
    int64_t i = 0;
    for (; i + 32 <= samples; i += 32) {
        __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + 2 * i));
        __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + 2 * i + 32));
        if (hi) {
            a = _mm256_srli_epi16(a, 8);
            b = _mm256_srli_epi16(b, 8);
        } else {
            a = _mm256_and_si256(a, low);
            b = _mm256_and_si256(b, low);
        }
        // The pack works within 128-bit halves: put the quarters in order.
        const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi16(a, b), 0xD8);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + i), packed);
    }
    return i;
}
#endif

// The high (hi 1) or low (hi 0) byte of each 16-bit sample, many at a time
// where the processor can.
void NarrowSamples(const uint8_t* from, uint8_t* to, int64_t samples, int hi) {
    int64_t i = 0;
#if defined(__x86_64__)
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx2) i = NarrowSamplesAvx2(from, to, samples, hi);
#endif
#ifdef __SSE2__
    const __m128i low = _mm_set1_epi16(0x00FF);
    for (; i + 16 <= samples; i += 16) {
        __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 2 * i));
        __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 2 * i + 16));
        if (hi) {
            a = _mm_srli_epi16(a, 8);
            b = _mm_srli_epi16(b, 8);
        } else {
            a = _mm_and_si128(a, low);
            b = _mm_and_si128(b, low);
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i), _mm_packus_epi16(a, b));
    }
#endif
    for (; i < samples; ++i) to[i] = from[2 * i + hi];
}

} // namespace

void FinishedImage::ConvertPixels(ColorTransform* transform, const VrelSharpenPlanes& source,
                                  const VrelSharpenPlanes& destination, bool swapped) {
    if (transform) {
        TransformPixelsInBands(*this, transform, source, destination);
        return;
    }
    const bool wide = source.bitsPerSample == 16, wideOut = destination.bitsPerSample == 16;
    const int channels = destination.channels == 1 ? 1 : 3;
    const bool gray = source.channels == 1;
    const int32_t rows = std::min(source.rows, destination.rows);
    const int32_t columns = std::min(source.columns, destination.columns);
    if (rows <= 0 || columns <= 0) return;
    const int64_t sp = source.pixelStride, dp = destination.pixelStride;
    // Where the high byte of a 16-bit sample lies.
    const bool littleSamples = (std::endian::native == std::endian::little) != swapped;
    const int hi = wide && littleSamples ? 1 : 0;
    for (int32_t r = 0; r < rows; ++r) {
        const uint8_t* s[3];
        uint8_t* d[3];
        for (int k = 0; k < channels; ++k) {
            s[k] = static_cast<const uint8_t*>(source.plane[gray ? 0 : k]) + int64_t(r) * source.rowStride;
            d[k] = static_cast<uint8_t*>(destination.plane[k]) + int64_t(r) * destination.rowStride;
        }
        // Interleaved into interleaved of the same channels, the same way
        // up: whole rows at once.
        const bool packed = (channels == 1 && gray) ||
                            (channels == 3 && !gray && s[1] == s[0] + (sp / 3) && s[2] == s[1] + (sp / 3) &&
                             d[1] == d[0] + (dp / 3) && d[2] == d[1] + (dp / 3));
        const int64_t samples = int64_t(columns) * channels;
        if (packed && sp == channels * (wide ? 2 : 1) && dp == channels * (wideOut ? 2 : 1)) {
            if (wide == wideOut) {
                std::memcpy(d[0], s[0], size_t(samples) * (wide ? 2 : 1));
                if (wide && swapped) {
                    for (int64_t i = 0; i < samples; ++i) std::swap(d[0][2 * i], d[0][2 * i + 1]);
                }
            } else if (wide) {
                NarrowSamples(s[0], d[0], samples, hi);
            } else {
                const uint8_t* from = s[0];
                uint8_t* to = d[0];
                for (int64_t i = 0; i < samples; ++i) to[2 * i] = to[2 * i + 1] = from[i];
            }
            continue;
        }
        if (!wideOut) {
            if (channels == 3) {
                NarrowRow<3>(s, sp, d, dp, columns, hi);
            } else {
                NarrowRow<1>(s, sp, d, dp, columns, hi);
            }
            continue;
        }
        for (int32_t c = 0; c < columns; ++c)
            for (int k = 0; k < channels; ++k) {
                uint16_t v;
                if (wide) {
                    std::memcpy(&v, s[k] + c * sp, 2);
                    if (swapped) v = uint16_t(v >> 8 | v << 8);
                } else {
                    v = uint16_t(s[k][c * sp] * 257);
                }
                std::memcpy(d[k] + c * dp, &v, 2);
            }
    }
}

bool FinishedImage::ReadCaptureDate(uint64_t ifd) {
    if (dateTimeRead_) return true;
    for (uint16_t tag : {uint16_t(TagDateTimeOriginal), uint16_t(TagDateTime)}) {
        const std::string text = GetIFDString(ifd, tag);
        time_t t = 0;
        if (!text.empty() && ParseExifDateTime(text, &t)) {
            captureTime_ = t;
            dateTimeString_ = text;
            dateTimeRead_ = true;
            return true;
        }
    }
    return false;
}

bool FinishedImage::TestForFinishedZynImage(uint64_t ifd) {
    finishedZyn_ = false;
    if (GetIFDCount(ifd, TagSoftware) <= 4) return false;
    ReadCaptureDate(ifd);
    const std::string software = GetIFDString(ifd, TagSoftware);
    if (Lower(software).find(kMakerSoftware) == std::string::npos) {
        const std::string model = GetIFDString(ifd, TagModel);
        if (GetIFDCount(ifd, TagModel) < 5) return false;
        if (model.rfind("ZynA", 0) == 0 || model.rfind("ZynB", 0) == 0 || model.rfind("ZynC", 0) == 0) return false;
        if (GetIFDCount(ifd, TagMake) != 6 || GetIFDString(ifd, TagMake) != "Orvex") return false;
    }
    if (GetIFDCount(ifd, TagSubIFDs) >= 2) {
        const uint64_t list = tiffBase_ + GetIFDValueOffset(ifd, TagSubIFDs);
        uint32_t second = 0;
        if (view_.u32(list + 4, order_, second) && FindIFDEntry(second, TagPrivateCamera)) return false;
    }
    finishedZyn_ = true;
    return true;
}

void FinishedImage::ReadIPTCRecord(uint64_t offset, uint32_t count) {
    if (count <= 1 || offset == 0) return;
    const uint64_t length = uint64_t(count) * 4;
    std::vector<uint8_t> bytes;
    // A record longer than the record can hold is refused, never cut short.
    if (length > 0xFFFF || !ReadFileBytes(offset, length, bytes)) return;
    if (iptcRecord_.SetFromBuffer(bytes.data(), uint16_t(length))) {
        iptcCount_ = count;
        iptcOffset_ = offset;
        iptcRead_ = true;
    } else {
        iptcRecord_.Reset();
    }
}

int FinishedImage::ParseMainIFD() {
    const uint64_t ifd = ifd0_;
    TestForFinishedZynImage(ifd);
    const uint32_t iptcCount = GetIFDCount(ifd, TagIPTC);
    if (iptcCount) ReadIPTCRecord(tiffBase_ + GetIFDValueOffset(ifd, TagIPTC), iptcCount);
    if (copyright_.empty()) copyright_ = GetIFDString(ifd, TagCopyright);
    cameraMake_ = GetIFDString(ifd, TagMake);
    cameraModel_ = GetIFDString(ifd, TagModel);
    if (cameraModel_.size() == 11 && cameraModel_.rfind("Zyn Corvid", 0) == 0 && cameraModel_[10] == 'N')
        cameraModel_[10] = 'n';
    software_ = GetIFDString(ifd, TagSoftware);
    switch (GetIFDValue(ifd, TagOrientation)) {
    case 3: processParams_.rotation = 180.0f; break;
    case 6: processParams_.rotation = 90.0f; break;
    case 8: processParams_.rotation = 270.0f; break;
    default: processParams_.rotation = 0.0f; break;
    }
    const uint32_t photometric = GetIFDValue(ifd, TagPhotometric);
    if (photometric != 1 && photometric != 2) return NbErrNotFinishedImage;
    isColor_ = photometric == 2;
    const uint32_t width = GetIFDValue(ifd, TagImageWidth);
    const uint32_t height = GetIFDValue(ifd, TagImageLength);
    if (width == 0 || height == 0 || width > uint32_t(INT32_MAX) || height > uint32_t(INT32_MAX))
        return NbErrNotFinishedImage;
    nativeRect_ = NbRect(0, 0, int32_t(width - 1), int32_t(height - 1));
    if (!headerRead_) {
        imageRect_ = nativeRect_;
        processParams_.crop = nativeRect_;
        processParams_.colorMode = isColor_ ? 0 : 2;
    }
    const uint32_t samples = GetIFDValue(ifd, TagSamplesPerPixel);
    if (samples != 1 && samples != 3) return NbErrNotFinishedImage;
    samplesPerPixel_ = int32_t(samples);
    // One bits value per sample, all equal.
    if (GetIFDCount(ifd, TagBitsPerSample) != samples) return NbErrNotFinishedImage;
    uint32_t bits = 0;
    if (samples == 1) {
        bits = GetIFDValue(ifd, TagBitsPerSample);
    } else {
        const uint64_t at = tiffBase_ + GetIFDValueOffset(ifd, TagBitsPerSample);
        for (uint32_t i = 0; i < samples; ++i) {
            uint16_t b = 0;
            if (!view_.u16(at + 2 * i, order_, b) || (i && b != bits)) return NbErrNotFinishedImage;
            bits = b;
        }
    }
    if (bits != 8 && bits != 16) return NbErrNotFinishedImage;
    bytesPerSample_ = int32_t(bits / 8);
    compression_ = int32_t(GetIFDValue(ifd, TagCompression));
    if (compression_ != 1 && compression_ != 7) return NbErrNotFinishedImage;
    if (GetIFDCount(ifd, TagStripOffsets) != 1) return NbErrNotFinishedImage;
    imageDataOffset_ = GetIFDValue(ifd, TagStripOffsets);
    const uint64_t dataSize = uint64_t(width) * height * samples * uint64_t(bytesPerSample_);
    if (imageDataOffset_ == 0 || imageDataOffset_ > fileLength_ || dataSize > fileLength_ - imageDataOffset_)
        return NbErrNotFinishedImage;
    if (GetIFDValue(ifd, TagRowsPerStrip) != height) return NbErrNotFinishedImage;
    stripByteCount_ = GetIFDValue(ifd, TagStripByteCounts);
    if (stripByteCount_ == 0 || (containerKind_ == 2 && stripByteCount_ != dataSize)) return NbErrNotFinishedImage;
    const uint32_t iccCount = GetIFDCount(ifd, TagICCProfile);
    if (iccCount > 4) {
        // A profile whose bytes are not in the file is ignored.
        std::vector<uint8_t> icc;
        try {
            if (ReadFileBytes(tiffBase_ + GetIFDValueOffset(ifd, TagICCProfile), iccCount, icc))
                SetEmbeddedProfile(std::move(icc));
        } catch (const std::bad_alloc&) {
            return NbErrProfileAllocFailed;
        }
    }
    return 0;
}

int FinishedImage::ParseThumbnailIFD() {
    const uint64_t ifd = ifd1_;
    if (!DirectoryAt(ifd)) return NbErrNoThumbnailDirectory;
    thumbnailCompression_ = int32_t(GetIFDValue(ifd, TagCompression));
    uint64_t offset = GetIFDValue(ifd, TagStripOffsets);
    if (offset == 0 && thumbnailCompression_ == 6 && GetIFDValue(ifd, TagJpegLength) > 63) {
        offset = GetIFDValue(ifd, TagJpegOffset);
        thumbnailJpegLength_ = GetIFDValue(ifd, TagJpegLength);
    }
    if (offset == 0) return 0;
    if (thumbnailJpegLength_ != 0) {
        // An embedded JPEG: its own header gives the size, which the
        // directory often leaves out.
        const uint64_t position = tiffBase_ + offset;
        if (position > fileLength_ || thumbnailJpegLength_ > fileLength_ - position) return NbErrNoThumbnailDirectory;
        thumbnailOffset_ = position;
        return 0;
    }
    const uint32_t width = GetIFDValue(ifd, TagImageWidth);
    const uint32_t height = GetIFDValue(ifd, TagImageLength);
    uint32_t channels = GetIFDValue(ifd, TagSamplesPerPixel);
    if (channels == 0) channels = 3;
    if (width == 0 || height == 0 || width > uint32_t(INT32_MAX) || height > uint32_t(INT32_MAX) || channels > 4)
        return NbErrNoThumbnailDirectory;
    const uint64_t position = tiffBase_ + offset;
    const uint64_t size = uint64_t(channels) * width * height;
    if (position > fileLength_ || size > fileLength_ - position)
        return NbErrNoThumbnailDirectory;
    thumbnailOffset_ = position;
    thumbnailChannels_ = int32_t(channels);
    thumbnailBounds_ = NbRect(0, 0, int32_t(width - 1), int32_t(height - 1));
    return 0;
}

void FinishedImage::ReadColorCodes() {
    colorCodes_[0] = colorCodes_[1] = 3;
    constexpr uint16_t kTagColorCodes = 3303;
    if (GetIFDCount(privateIFD_, kTagColorCodes) == 2) {
        const uint64_t at = tiffBase_ + GetIFDValueOffset(privateIFD_, kTagColorCodes);
        uint32_t a = 0, b = 0;
        if (view_.u32(at, order_, a) && view_.u32(at + 4, order_, b)) {
            colorCodes_[0] = int32_t(a);
            colorCodes_[1] = int32_t(b);
        }
    }
    // A file without a profile of its own is in the space its codes name.
    if (embeddedProfile_ || sourceColorSpaceName_ != DefaultSourceSpaceName()) return;
    const ColorServices* services = ColorServices::Get();
    const char* file = ColorCodeProfileFile(colorCodes_[0]);
    if (!services || !file) return;
    const std::string name = services->GetStaticProfileName(file);
    if (!name.empty()) sourceColorSpaceName_ = name;
}

int FinishedImage::ParsePrivateIFD() {
    if (privateIFD_ == 0) return 0;
    const std::string text = GetIFDString(privateIFD_, 1009);
    if (!text.empty()) cameraSettingsBlock_ = text;
    ReadColorCodes();
    const size_t date = cameraSettingsBlock_.find("Date:");
    if (dateTimeRead_ || date == std::string::npos) return 0;
    // Three groups of digits (month, day, year as the camera writes them),
    // then the time from the next digit on.
    const std::string& t = cameraSettingsBlock_;
    std::string groups[3];
    size_t at = date + 5;
    for (std::string& group : groups) {
        while (at < t.size() && !std::isdigit(static_cast<unsigned char>(t[at]))) ++at;
        while (at < t.size() && std::isdigit(static_cast<unsigned char>(t[at]))) group += t[at++];
        if (group.empty()) return 0;
    }
    while (at < t.size() && !std::isdigit(static_cast<unsigned char>(t[at]))) ++at;
    const std::string stamp = groups[2] + ":" + groups[0] + ":" + groups[1] + ":" + t.substr(at);
    time_t when = 0;
    if (ParseExifDateTime(stamp, &when)) {
        captureTime_ = when;
        dateTimeString_ = stamp.substr(0, 19);
        dateTimeRead_ = true;
    }
    return 0;
}

int FinishedImage::ParseExifIFD() {
    if (copyright_.empty()) copyright_ = GetIFDString(exifIFD_, TagCopyright);
    return 0;
}

} // namespace NimbalCore
