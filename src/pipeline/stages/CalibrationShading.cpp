#include "CalibrationShading.h"

#include "VqApi.h"
#include "VqModelNames.h"
#include "Win32Error.h"

#include <cerrno>
#include <new>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lumora {
namespace {

// Models of the camera line (either model code of the model table) have
// calibration files named by the maker prefix and the model number instead of
// the model text's first eight characters.
constexpr const char* kPrefixedModels[2] = {VQ_MODEL_CODE, VQ_MODEL_CODE_SECOND};
constexpr size_t kCodeLength = VQ_MODEL_CODE_LENGTH;
constexpr const char* kPrefix = VQ_MAKER_PREFIX;

// Gain byte b of the band of sensor row y, in bands of bandBytes; neutral
// outside the data.
inline uint8_t bandGain(const std::vector<uint8_t>& area, uint32_t bandBytes, int64_t b, int64_t y) {
    if (b < 0 || y < 0 || b >= bandBytes) return CalibrationShading::kNeutralGain;
    const uint64_t at = uint64_t(bandBytes) * uint64_t(y / 32 + 1) + uint64_t(b);
    return at < area.size() ? area[at] : CalibrationShading::kNeutralGain;
}

// Single-plane gain of sensor column x.
uint8_t planeGain(const std::vector<uint8_t>& area, int64_t x, int64_t y) {
    return bandGain(area, CalibrationShading::kPlaneBandBytes, x, y);
}

// Colour-filter-array gain byte k (0 green, 1 other colour) of sensor column x.
uint8_t cfaGain(const std::vector<uint8_t>& area, int64_t x, int64_t y, int k) {
    return bandGain(area, CalibrationShading::kCfaBandBytes, 2 * x + k, y);
}

// (g·X + 64) >> 7, limited to the maximum. Limiting the full product keeps a
// bright sample bright where a 16-bit result would wrap.
inline uint16_t applyGain(uint8_t g, uint16_t value, uint16_t maximum) {
    const uint32_t v = (uint32_t(g) * value + 64) >> 7;
    return uint16_t(v > maximum ? maximum : v);
}

// The checks of a full-resolution strip, in their order.
VqStatus checkStrip(int32_t y0, int32_t rows, bool buffersGiven) {
    if (rows & 1) return VQ_ERR_CALIBRATION_ODD_HEIGHT;
    if (y0 & 1) return VQ_ERR_CALIBRATION_ODD_START;
    if (!buffersGiven) return VQ_ERR_CALIBRATION_NULL;
    return VQ_OK;
}

// The checks of sub-sampled planes, in their order.
VqStatus checkSubsampled(bool buffersGiven, int32_t x0, int32_t step) {
    if (!buffersGiven) return VQ_ERR_CALIBRATION_NULL;
    if ((x0 & 1) == 0) return VQ_ERR_CALIBRATION_EVEN_START_COLUMN;
    if (step < 1) return VQ_ERR_BAD_SUBSAMPLE;
    return VQ_OK;
}

} // namespace

std::string CalibrationShading::FileNameForModel(const char* model) {
    std::string m;
    if (model) m.assign(model, strnlen(model, 256));
    std::string name;
    bool prefixed = false;
    for (const char* code : kPrefixedModels) prefixed = prefixed || m.compare(0, kCodeLength, code) == 0;
    if (prefixed) name = kPrefix + (m.size() > kCodeLength ? m.substr(kCodeLength, 5) : std::string());
    else name = m.substr(0, 8);
    return name + ".cal";
}

VqStatus CalibrationShading::SetCalibrationSource(const char* folder, const char* model, uint16_t width,
                                                  uint16_t maximum) {
    folder_.assign(folder ? folder : "", folder ? strnlen(folder, VQ_PATH_BYTES) : 0);
    if (!folder_.empty() && folder_.back() != '/') folder_ += '/';
    fileName_ = FileNameForModel(model);
    width_ = width;
    maximum_ = maximum;
    return VQ_OK;
}

VqStatus CalibrationShading::GetFileName(int32_t* length, char* text, uint32_t capacity) {
    if (length) *length = int32_t(fileName_.size());
    if (text && capacity > fileName_.size()) std::memcpy(text, fileName_.c_str(), fileName_.size() + 1);
    return VQ_OK;
}

VqStatus CalibrationShading::CheckSource() {
    const std::string p = path();
    const int fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return win32::fromErrnoForPath(errno, p);
    ::close(fd);
    return VQ_OK;
}

VqStatus CalibrationShading::readArea(std::vector<uint8_t>& area) const {
    try {
        // Gains the file does not hold stay neutral, so wide images and short
        // files are left as they are rather than darkened by stray bytes.
        area.assign(kAreaBytes, kNeutralGain);
    } catch (const std::bad_alloc&) {
        return VQ_ERR_CALIBRATION_NO_MEMORY;
    }
    const std::string p = path();
    const int fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return win32::fromErrnoForPath(errno, p);
    struct stat st;
    VqStatus status = VQ_OK;
    if (::fstat(fd, &st) != 0) {
        status = win32::lastError();
    } else if (uint64_t(st.st_size) < kHeaderBytes) {
        status = VQ_ERR_BAD_FILE; // not even the header: no gain data to trust
    } else {
        const uint64_t size = uint64_t(st.st_size) > kAreaBytes ? kAreaBytes : uint64_t(st.st_size);
        const uint64_t offset = size == kSinglePlaneFile ? kPlaneBandBytes : 0;
        const uint64_t want = size - kHeaderBytes; // offset + want stays inside the area
        uint64_t done = 0;
        while (done < want) {
            const ssize_t n = ::pread(fd, area.data() + offset + done, size_t(want - done), off_t(kHeaderBytes + done));
            if (n < 0) {
                if (errno == EINTR) continue;
                status = win32::lastError();
                break;
            }
            if (n == 0) break; // the file shrank: the rest stays neutral
            done += uint64_t(n);
        }
    }
    ::close(fd);
    return status;
}

VqStatus CalibrationShading::ApplyPlane(int32_t x0, int32_t y0, const uint16_t* source, uint16_t* destination,
                                        int32_t rows) {
    if (VqStatus st = checkStrip(y0, rows, source && destination)) return st;
    std::vector<uint8_t> area;
    if (VqStatus st = readArea(area)) return st;
    const size_t w = width_;
    for (int32_t r = 0; r < rows; ++r) {
        const int64_t y = int64_t(y0) + r;
        for (size_t j = 0; j < w; ++j) {
            const size_t i = size_t(r) * w + j;
            destination[i] = applyGain(planeGain(area, int64_t(x0) + int64_t(j), y), source[i], maximum_);
        }
    }
    return VQ_OK;
}

VqStatus CalibrationShading::ApplyCfa(int32_t x0, int32_t y0, const uint16_t* source, uint16_t* destination,
                                      int32_t rows) {
    if (VqStatus st = checkStrip(y0, rows, source && destination)) return st;
    // Column pairs: an odd width (possible through SetWidth) would step past the row.
    if (width_ & 1) return VQ_ERR_SHADING_ODD_WIDTH;
    std::vector<uint8_t> area;
    if (VqStatus st = readArea(area)) return st;
    const size_t w = width_;
    for (int32_t r = 0; r + 1 < rows; r += 2) {
        const int64_t y = int64_t(y0) + r;
        const uint16_t* s0 = source + size_t(r) * w;
        const uint16_t* s1 = s0 + w;
        uint16_t* d0 = destination + size_t(r) * w;
        uint16_t* d1 = d0 + w;
        for (size_t j = 0; j < w; j += 2) {
            const int64_t x = int64_t(x0) + int64_t(j);
            // The cell's four bytes: top-left, bottom-left, bottom-right, top-right.
            const uint8_t gTL = cfaGain(area, x, y, 0), gBL = cfaGain(area, x, y, 1);
            const uint8_t gBR = cfaGain(area, x + 1, y, 0), gTR = cfaGain(area, x + 1, y, 1);
            const uint16_t tl = s0[j], tr = s0[j + 1], bl = s1[j], br = s1[j + 1];
            d0[j] = applyGain(gTL, tl, maximum_);
            d1[j] = applyGain(gBL, bl, maximum_);
            d1[j + 1] = applyGain(gBR, br, maximum_);
            d0[j + 1] = applyGain(gTR, tr, maximum_);
        }
    }
    return VQ_OK;
}

VqStatus CalibrationShading::ApplyPlaneSubsampled(const uint16_t* source, uint16_t* destination, int32_t x0,
                                                  int32_t y0, int32_t rowExtent, int32_t step) {
    if (VqStatus st = checkSubsampled(source && destination, x0, step)) return st;
    std::vector<uint8_t> area;
    if (VqStatus st = readArea(area)) return st;
    size_t i = 0;
    for (int64_t y = y0; y < int64_t(y0) + rowExtent; y += step)
        for (int64_t x = x0; x < int64_t(x0) + width_; x += step, ++i)
            destination[i] = applyGain(planeGain(area, x, y), source[i], maximum_);
    return VQ_OK;
}

VqStatus CalibrationShading::ApplyThreePlanes(const uint16_t* source1, const uint16_t* source2,
                                              const uint16_t* source3, uint16_t* destination1,
                                              uint16_t* destination2, uint16_t* destination3, int32_t x0,
                                              int32_t y0, int32_t rowExtent, int32_t step) {
    const bool buffersGiven = source1 && source2 && source3 && destination1 && destination2 && destination3;
    if (VqStatus st = checkSubsampled(buffersGiven, x0, step)) return st;
    std::vector<uint8_t> area;
    if (VqStatus st = readArea(area)) return st;
    size_t i = 0;
    for (int64_t y = y0; y < int64_t(y0) + rowExtent; y += step)
        for (int64_t x = x0; x < int64_t(x0) + width_; x += step, ++i) {
            destination1[i] = applyGain(cfaGain(area, x, y, 1), source1[i], maximum_);
            destination2[i] = applyGain(cfaGain(area, x + 1, y, 0), source2[i], maximum_);
            destination3[i] = applyGain(cfaGain(area, x + 1, y, 1), source3[i], maximum_);
        }
    return VQ_OK;
}

} // namespace lumora
