// FinishedJPEGImage: the maker's blocks ("Meta", "ZELT1", the extended-range
// preview's data segments) and the preview decoder.
#include "FinishedJPEGImage.h"

#include "YlmErrp.h"
#include "YlmError.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace NimbalCore {

using lumora::ByteOrder;

namespace {

constexpr uint16_t kTagMetaVariantIFD = 50220, kTagMetaPreviewIFD = 50285;
constexpr uint16_t kTagPreviewWidth = 256, kTagPreviewHeight = 257, kTagStream1Size = 4, kTagStream2Size = 5,
                   kTagMarker1 = 6, kTagIdentifier1 = 7, kTagMarker2 = 8, kTagIdentifier2 = 9;
constexpr uint16_t kTagCameraSettings = 1009, kTagImageNumber = 37393, kTagBalance = 2119, kTagSelector = 1020,
                   kTagSelector2 = 1029, kTagSelector3 = 1019, kTagMatrix = 2020, kTagGainFlag = 3517,
                   kTagGainA = 3110, kTagGainB = 3122, kTagToneCurve = 2317, kTagOutputProfile = 3516,
                   kTagReference = 2307;
constexpr int kChunkPixels = 128;

bool Matches(const lumora::ByteView& view, uint64_t at, const char* text, uint64_t length) {
    return view.contains(at, length) && std::memcmp(view.data() + at, text, length) == 0;
}

// The first TIFF header within the first 60 bytes of a segment.
std::optional<uint64_t> HeaderWithin60(const lumora::ByteView& segment, ByteOrder& order) {
    for (uint64_t i = 0; i < 60 && i + 4 <= segment.size(); ++i) {
        const uint8_t* p = segment.data() + i;
        if (p[0] == 'M' && p[1] == 'M' && p[2] == 0 && p[3] == 42) {
            order = ByteOrder::Big;
            return i;
        }
        if (p[0] == 'I' && p[1] == 'I' && p[2] == 42 && p[3] == 0) {
            order = ByteOrder::Little;
            return i;
        }
    }
    return std::nullopt;
}

} // namespace

class FinishedJPEGImage::SegmentScope {
public:
    SegmentScope(FinishedJPEGImage& image, uint64_t position, uint64_t length)
        : image_(image), view_(image.view_), base_(image.tiffBase_), order_(image.order_),
          length_(image.fileLength_) {
        segment_ = image.view_.sub(position, length).value_or(lumora::ByteView());
        image.view_ = segment_;
        image.fileLength_ = segment_.size();
    }
    ~SegmentScope() {
        image_.view_ = view_;
        image_.tiffBase_ = base_;
        image_.order_ = order_;
        image_.fileLength_ = length_;
    }
    const lumora::ByteView& Segment() const { return segment_; }
    // Directories relative to a header at that position in the segment.
    void SetHeader(uint64_t at, ByteOrder order) {
        image_.tiffBase_ = at;
        image_.order_ = order;
    }

private:
    FinishedJPEGImage& image_;
    lumora::ByteView view_, segment_;
    uint64_t base_;
    ByteOrder order_;
    uint64_t length_;
};

bool FinishedJPEGImage::PreviewComplete() const {
    const CameraProcessingData& d = processing_;
    // Every two pixels of a row pair take at least three bytes of
    // categories: a size the coded data cannot hold is no preview.
    return d.stream2Size != 0 && d.stream2Received == d.stream2Size && d.dataValid && d.stream1Size > 0 &&
           d.previewWidth > 0 && d.previewHeight > 0 && !stream1_.empty() && !stream2_.empty() &&
           uint64_t(d.previewWidth) * uint64_t(d.previewHeight) <= 2 * uint64_t(d.stream2Size);
}

int FinishedJPEGImage::ParseMetaSegment(uint64_t length, uint64_t position) {
    SegmentScope scope(*this, position, length + 2);
    const lumora::ByteView& s = scope.Segment();
    if (!Matches(s, 4, "Meta\0\0", 6) || !DetectByteOrder(10)) return 0;
    scope.SetHeader(10, order_);
    uint32_t ifd0 = 0;
    if (!s.u32(14, order_, ifd0) || ifd0 == 0) return 0;
    metaIFD0_ = uint64_t(ifd0) + 10;
    const uint32_t variant = GetIFDValue(ifd0, kTagMetaVariantIFD);
    if (variant != 0) {
        meta50220_ = uint64_t(variant) + 10;
        extendedRange_ = true;
        fileType_ = 3;
        finishedZyn_ = true;
        formatVariant_ = int32_t(GetIFDValue(variant, 2));
    }
    const uint32_t preview = GetIFDValue(ifd0, kTagMetaPreviewIFD);
    if (preview == 0) return 0;
    meta50285_ = uint64_t(preview) + 10;
    CameraProcessingData& d = processing_;
    d.previewWidth = int32_t(std::min<uint32_t>(GetIFDValue(preview, kTagPreviewWidth), 0x7FFF));
    d.previewHeight = int32_t(std::min<uint32_t>(GetIFDValue(preview, kTagPreviewHeight), 0x7FFF));
    // The streams are held whole in memory: sizes past what a segment
    // chain of the file could carry are taken as absent.
    const uint64_t cap = std::min<uint64_t>(fileBytes_.size(), 0x7FFFFFFF);
    d.stream1Size = int32_t(std::min<uint64_t>(GetIFDValue(preview, kTagStream1Size), cap));
    d.stream2Size = int32_t(std::min<uint64_t>(GetIFDValue(preview, kTagStream2Size), cap));
    d.marker1 = uint16_t(GetIFDValue(preview, kTagMarker1));
    d.marker2 = uint16_t(GetIFDValue(preview, kTagMarker2));
    const std::string id1 = GetIFDString(preview, kTagIdentifier1).substr(0, 20);
    const std::string id2 = GetIFDString(preview, kTagIdentifier2).substr(0, 20);
    std::memset(d.identifier1, 0, sizeof d.identifier1);
    std::memset(d.identifier2, 0, sizeof d.identifier2);
    std::memcpy(d.identifier1, id1.data(), id1.size());
    std::memcpy(d.identifier2, id2.data(), id2.size());
    d.dataValid = true;
    // The ZELT1 block's matrix must have come first.
    if (d.previewWidth == 0 || d.previewHeight == 0 || d.stream1Size == 0 || d.marker1 == 0 || d.marker2 == 0 ||
        d.identifier1[0] == 0 || d.identifier2[0] == 0 || d.matrix[1] == 0) {
        meta50285_ = 0;
        processing_ = CameraProcessingData{};
    }
    return 0;
}

int FinishedJPEGImage::ParseApplicationSegment(uint64_t length, uint64_t position, uint8_t marker) {
    const CameraProcessingData& d = processing_;
    int result;
    if ((d.marker1 != 0 && marker == uint8_t(d.marker1)) || (d.marker2 != 0 && marker == uint8_t(d.marker2))) {
        AddWQXDataSegment(length, position, marker);
        result = ParseZELT1Segment(length, position, marker);
    } else {
        result = ParseZELT1Segment(length, position, marker);
    }
    if (marker == 0xE4) ParseLargeThumbnailSegment(length, position);
    return result;
}

int FinishedJPEGImage::ParseZELT1Segment(uint64_t length, uint64_t position, uint8_t marker) {
    if (marker != 0xE5) return 0;
    SegmentScope scope(*this, position, length + 2);
    const lumora::ByteView& s = scope.Segment();
    if (!Matches(s, 4, "ZELT1\0", 6)) return 0;
    ByteOrder order;
    const auto header = HeaderWithin60(s, order);
    if (!header) return 0;
    scope.SetHeader(*header, order);
    uint32_t ifd = 0;
    // The directory's start must lie inside the segment.
    if (!s.u32(*header + 4, order, ifd) || *header + uint64_t(ifd) + 18 > s.size()) return 0;

    const std::string settings = GetIFDString(ifd, kTagCameraSettings);
    if (!settings.empty()) cameraSettingsBlock_ += settings;
    if (GetIFDCount(ifd, kTagImageNumber) == 1) imageNumber_ = int32_t(GetIFDValue(ifd, kTagImageNumber));
    if (copyright_.empty()) copyright_ = GetIFDString(ifd, TagCopyright);
    if (GetIFDCount(ifd, kTagBalance) != 3) return 0;

    CameraProcessingData& d = processing_;
    // Values at offsets are big-endian whatever the header says.
    auto rational = [&](uint64_t at, uint32_t& n, uint32_t& den) {
        return s.u32(*header + at, ByteOrder::Big, n) && s.u32(*header + at + 4, ByteOrder::Big, den);
    };
    auto byValue = [&](uint32_t v) -> uint16_t { return v >= 1 && v <= 3 ? uint16_t(kTagMatrix + v) : kTagMatrix; };
    uint16_t matrixTag = kTagMatrix;
    switch (GetIFDValue(ifd, kTagSelector)) {
    case 1: case 2: case 3: matrixTag = uint16_t(kTagMatrix + GetIFDValue(ifd, kTagSelector)); break;
    case 4: matrixTag = byValue(GetIFDValue(ifd, kTagSelector2)); break;
    case 5: matrixTag = byValue(GetIFDValue(ifd, kTagSelector3)); break;
    default: break;
    }
    int error = 0;
    auto fail = [&] {
        d.dataValid = false;
        error = NbErrBadThumbnailRect;
    };
    if (const uint32_t at = GetIFDValueOffset(ifd, kTagBalance)) {
        for (int i = 0; i < 3; ++i) {
            uint32_t n = 0, den = 0;
            // A zero value would make infinite gains.
            if (!rational(at + 8u * uint32_t(i), n, den) || den == 0 || n == 0) {
                fail();
                break;
            }
            d.balance[i] = float(double(n) / double(den));
        }
    }
    d.gainFactor = 1.0f;
    if (error == 0 && GetIFDValue(ifd, kTagGainFlag) == 0) {
        const uint32_t a = GetIFDValue(ifd, kTagGainA), b = GetIFDValue(ifd, kTagGainB);
        if (a != 0 && b != 0) d.gainFactor = float(std::pow(2.0, (double(a) - double(b)) / 301.0));
        else error = NbErrBadThumbnailRect;
    }
    bool matrixFailed = false;
    if (error == 0) {
        if (const uint32_t at = GetIFDValueOffset(ifd, matrixTag)) {
            int32_t matrix[18];
            for (int i = 0; i < 9 && !matrixFailed; ++i) {
                uint32_t n = 0, den = 0;
                if (!rational(at + 8u * uint32_t(i), n, den) || den == 0) matrixFailed = true;
                matrix[2 * i] = int32_t(n), matrix[2 * i + 1] = int32_t(den);
            }
            if (matrixFailed) fail();
            else std::memcpy(d.matrix, matrix, sizeof matrix);
        }
    }
    if (error == 0 && !matrixFailed) {
        const uint32_t count = GetIFDCount(ifd, kTagToneCurve);
        const uint32_t at = GetIFDValueOffset(ifd, kTagToneCurve);
        d.curveLength = int32_t(std::min<uint32_t>(count, 0x7FFFFFFF));
        if (count != 0 && at != 0 && s.containsArray(*header + at, count, 2)) {
            toneCurve_.resize(count);
            for (uint32_t i = 0; i < count; ++i) s.u16(*header + at + 2u * i, ByteOrder::Big, toneCurve_[i]);
        } else {
            fail();
        }
    }
    d.outputProfileKind = 0;
    if (error == 0) {
        if (GetIFDCount(ifd, kTagOutputProfile) == 1) {
            d.outputProfileKind = int32_t(GetIFDValue(ifd, kTagOutputProfile));
            if (d.outputProfileKind >= 18 || d.outputProfileKind < 0) d.outputProfileKind = 0;
        }
        const uint32_t at = GetIFDValueOffset(ifd, kTagReference);
        uint32_t n = 0, den = 0;
        if (at == 0 || !rational(at, n, den) || den == 0 || n == 0) fail();
        else d.referenceValue = float(double(n) / double(den));
    }
    return error;
}

int FinishedJPEGImage::AddWQXDataSegment(uint64_t length, uint64_t position, uint8_t marker) {
    SegmentScope scope(*this, position, length + 2);
    const lumora::ByteView& s = scope.Segment();
    ByteOrder order;
    const auto header = HeaderWithin60(s, order);
    if (!header) return 0;
    uint32_t destination = 0, count = 0, data = 0;
    if (!s.u32(*header + 18, order, destination) || !s.u32(*header + 26, order, count) ||
        !s.u32(*header + 30, order, data))
        return 0;
    const uint64_t from = *header + uint64_t(data);
    // The fragment's bytes must be in the segment.
    if (!s.contains(from, count)) return 0;
    CameraProcessingData& d = processing_;
    auto identifier = [&](const char* id) {
        const uint64_t n = std::strlen(id);
        return n != 0 && Matches(s, 4, id, n + 1);
    };
    if (marker == uint8_t(d.marker1) && identifier(d.identifier1)) {
        if (stream1_.empty()) stream1_.assign(size_t(d.stream1Size) / 4, 0);
        // Whole 32-bit entries that fit in the stream.
        if (destination % 4 != 0 || count % 4 != 0 || uint64_t(destination) + count > uint64_t(stream1_.size()) * 4)
            return 0;
        for (uint32_t i = 0; i < count / 4; ++i) s.u32(from + 4u * i, order, stream1_[destination / 4 + i]);
    } else if (marker == uint8_t(d.marker2) && identifier(d.identifier2)) {
        if (stream2_.empty()) stream2_.assign(size_t(d.stream2Size), 0);
        if (uint64_t(destination) + count > stream2_.size()) return 0;
        s.copy(from, stream2_.data() + destination, count);
        d.stream2Received += int32_t(count);
    }
    return 0;
}

uint16_t FinishedJPEGImage::PreviewTableValue(int v) {
    if (v <= 0) return 0;
    v = std::min(v, 4095);
    // Straight at the bottom, then about 224 steps per doubling.
    const auto logarithmic = [](int x) { return -233.37 + 224.12 * std::log2(double(x)); };
    if (v <= 4) return uint16_t(std::floor(57.75 * v + 0.25));
    if (v < 8) return uint16_t(std::lround(231.0 + (logarithmic(8) - 231.0) * (v - 4) / 4.0));
    return uint16_t(std::lround(logarithmic(v)));
}

int FinishedJPEGImage::DecodeWQXRowPair(int64_t chunk, int pixels, uint16_t* rowA, uint16_t* rowB) {
    const lumora::ByteView stream(stream2_.data(), stream2_.size());
    uint64_t start = 0;
    if (chunk > 0) {
        if (uint64_t(chunk - 1) >= stream1_.size()) return NbErrBadThumbnailRect;
        start = stream1_[size_t(chunk - 1)];
    }
    const int blocks = (pixels + 1) / 2;
    const int values = 6 * blocks;
    const uint64_t categoryBytes = 2 * ((uint64_t(values) + 3) / 4);
    if (!stream.contains(start, categoryBytes)) return NbErrBadThumbnailRect;
    uint64_t word = start + categoryBytes;
    // Words past the stream read as zero; a value that needs their bits fails.
    auto load = [&](uint64_t at, bool& past) -> uint32_t {
        uint16_t w = 0;
        past = !stream.u16(at, ByteOrder::Big, w);
        return w;
    };
    bool currentPast = false, nextPast = false;
    uint32_t window = load(word, currentPast) | (load(word + 2, nextPast) << 16);
    int position = 0;
    int32_t predictor[6] = {0, 0, 0, 0, 0, 0};
    for (int block = 0; block < blocks; ++block) {
        int32_t v[6];
        for (int k = 0; k < 6; ++k) {
            const int index = block * 6 + k;
            const uint8_t pair = stream.data()[start + uint64_t(index / 2)];
            const int t = (index & 1) ? pair >> 4 : pair & 0x0F;
            int32_t u = 0;
            if (t > 0) {
                if (currentPast || (position + t > 16 && nextPast)) return NbErrBadThumbnailRect;
                u = int32_t((window >> position) & ((1u << t) - 1));
                if (u < (1 << (t - 1))) u = u - (1 << t) + 1;
                position += t;
                if (position >= 16) {
                    word += 2;
                    position -= 16;
                    currentPast = nextPast;
                    window = (window >> 16) | (load(word + 2, nextPast) << 16);
                }
            }
            // Y0 follows the last block's Y1, Y1 this block's Y0; Y2 and Y3
            // the same; Cb and Cr the last block's.
            int32_t base;
            switch (k) {
            case 0: base = predictor[1]; break;
            case 1: base = v[0]; break;
            case 2: base = predictor[3]; break;
            case 3: base = v[2]; break;
            default: base = predictor[k]; break;
            }
            v[k] = base + u;
        }
        std::copy(v, v + 6, predictor);
        const int32_t cb = v[4], cr = v[5];
        const int32_t a = (cb + cr) >> 2;
        auto put = [&](uint16_t* row, int x, int32_t y) {
            const int32_t g = y - a;
            uint16_t* px = row + 3 * x;
            px[0] = uint16_t(std::clamp(cr + g, 0, 1023));
            px[1] = uint16_t(std::clamp(g, 0, 1023));
            px[2] = uint16_t(std::clamp(cb + g, 0, 1023));
        };
        const int x = 2 * block;
        put(rowA, x, v[0]);
        put(rowB, x, v[2]);
        if (x + 1 < pixels) {
            put(rowA, x + 1, v[1]);
            put(rowB, x + 1, v[3]);
        }
    }
    return 0;
}

int FinishedJPEGImage::RenderWQXPreview() {
    CameraProcessingData& d = processing_;
    const int32_t w = d.previewWidth, h = d.previewHeight;
    // Zero balances or reference values would make infinite gains.
    if (w <= 0 || h <= 0 || toneCurve_.empty() || !(d.referenceValue > 0.0f) || !(d.balance[0] > 0.0f) ||
        !(d.balance[1] > 0.0f) || !(d.balance[2] > 0.0f))
        return NbErrBadThumbnailRect;
    const int64_t cpr = int64_t(d.stream1Size) / 2 / h;
    struct Closable {
        Image& image;
        bool saved;
        ~Closable() { image.SetClosable(saved); }
    } closable{*this, IsClosable()};
    SetClosable(false);
    if (const int status = EnsureOpen()) return status;
    thumbnailBounds_ = NbRect(0, 0, w - 1, h - 1);
    thumbnailChannels_ = 3;
    AllocateThumbnailPixels();
    if (d.exposureIndex == 0.0f) d.exposureIndex = d.referenceValue;
    const double t = double(d.gainFactor) * d.exposureIndex / d.referenceValue;
    // A damaged gain pair or exposure gives gains past what a float holds:
    // no picture can be made from them.
    if (!std::isfinite(t)) return NbErrBadThumbnailRect;
    const double g = std::max({d.balance[0], d.balance[1], d.balance[2]});
    std::vector<uint16_t> lut[3];
    for (int c = 0; c < 3; ++c) {
        const double k = t * g / d.balance[c];
        lut[c].resize(1024);
        // Values past the curve's end take its last entry.
        for (int i = 0; i < 1024; ++i) {
            const int16_t curve = int16_t(toneCurve_[std::min<size_t>(size_t(i), toneCurve_.size() - 1)]);
            // A balance near zero from a damaged block gives gains past what
            // 32 bits hold: such entries are held at the edge, not converted.
            const double v = std::clamp(std::trunc(double(curve) * k), -2147483648.0, 2147483647.0);
            lut[c][size_t(i)] = uint16_t(int32_t(v));
        }
    }
    std::vector<uint16_t> a(size_t(w) * 3), b(size_t(w) * 3);
    uint8_t* pixels = static_cast<uint8_t*>(thumbnail_.GetPixels());
    const int64_t rowBytes = thumbnail_.GetRowBytes();
    for (int64_t p = 0; 2 * p < h; ++p) {
        for (int64_t c = 0; c * kChunkPixels < w; ++c) {
            const int count = int(std::min<int64_t>(kChunkPixels, w - c * kChunkPixels));
            const int status =
                DecodeWQXRowPair(p * cpr + c, count, a.data() + 3 * c * kChunkPixels, b.data() + 3 * c * kChunkPixels);
            if (status != 0) return status;
        }
        for (std::vector<uint16_t>* row : {&a, &b}) {
            for (size_t i = 0; i < row->size(); ++i) (*row)[i] = lut[i % 3][std::min<uint16_t>((*row)[i], 1023)];
            if (const int status = ApplyColorMatrix(row->data(), d.matrix, size_t(w), 12, 1.0f)) return status;
        }
        for (int r = 0; r < 2 && 2 * p + r < h; ++r) {
            const std::vector<uint16_t>& row = r == 0 ? a : b;
            uint8_t* out = pixels + (2 * p + r) * rowBytes;
            for (size_t i = 0; i < row.size(); ++i) out[i] = uint8_t(PreviewTableValue(std::min<int>(row[i], 4095)) >> 4);
        }
    }
    ComputeThumbnailScale(h, w);
    return 0;
}

} // namespace NimbalCore
