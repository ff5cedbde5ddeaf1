// Our stand-in model driver: serves the ZPRO container through the driver
// calls. One source, several builds: ZYN_FAMILY picks the model codes a build
// accepts (0 Wren3, 1 Plover, 2 Wren4, 3 any: the folder plug-in and the
// fault variants), ZYN_FAULT one misbehaviour for tests.
#include "VrelDriver.h"
#include "ZproContainer.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#ifndef ZYN_FAMILY
#define ZYN_FAMILY 3
#endif
#ifndef ZYN_FAULT
#define ZYN_FAULT 0
#endif
// The folder plug-in reads only files of its own extension (".zpx"); the
// named drivers and the fault variants read the container under any name.
#ifndef ZYN_OWN_EXTENSION_ONLY
#define ZYN_OWN_EXTENSION_ONLY 0
#endif

// Fault variants.
#define ZYN_FAULT_INIT_REFUSED 1  // Initialize answers 101
#define ZYN_FAULT_INIT_108 2      // Initialize answers 108
#define ZYN_FAULT_NO_KELVIN 3     // a required export is missing
#define ZYN_FAULT_RECT_102 4      // GetImageRectangle answers 102
#define ZYN_FAULT_RECT_FAIL 5     // GetImageRectangle answers an unknown failure
#define ZYN_FAULT_SLOW 6          // slow rows, progress every row
#define ZYN_FAULT_ONE_REF 7       // fails when two threads use one image reference

namespace {

using zyn::ZproAttribute;

constexpr int32_t kErrBadRef = 6;
constexpr int32_t kErrBadArgument = 87;
constexpr int32_t kErrBadFile = 13;
constexpr int32_t kErrUnsupportedModel = 200;
constexpr int32_t kErrBufferSmall = 122;
constexpr int32_t kErrWrite = 29;
constexpr int32_t kErrAccess = 5;
[[maybe_unused]] constexpr int32_t kErrUnknownFailure = 31;
[[maybe_unused]] constexpr int32_t kErrSameReference = 170;
constexpr int32_t kExposureTableId = 1965;
constexpr int32_t kExposureTableEntries = 4096;

bool AcceptsModel(int32_t code) {
    switch (ZYN_FAMILY) {
    case 0: return code == 1824 || code == 1825 || code == 1888 || code == 1889;
    case 1: return code == 16384 || code == 16385;
    case 2: return code == 2048 || code == 2049 || code == 2050;
    default:
        return code == 1824 || code == 1825 || code == 1888 || code == 1889 || code == 16384 || code == 16385 ||
               code == 2048 || code == 2049 || code == 2050;
    }
}

[[maybe_unused]] constexpr char kOwnExtension[] = ".zpx";

// Whether the file behind a descriptor has the plug-in's own extension (any
// case).
[[maybe_unused]] bool HasOwnExtension(int fd) {
    char link[64], target[4096];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = ::readlink(link, target, sizeof target - 1);
    const size_t ext = sizeof kOwnExtension - 1;
    if (n < ssize_t(ext)) return false;
    for (size_t i = 0; i < ext; ++i)
        if (std::tolower(static_cast<unsigned char>(target[size_t(n) - ext + i])) != kOwnExtension[i]) return false;
    return true;
}

struct IoRef {
    int32_t context = 0;
    int fd = -1;
};

struct DriverImage {
    int fd = -1;
    zyn::ZproHeader header;
    std::mutex lock;  // the attributes
    std::map<int32_t, ZproAttribute> attributes;
    std::atomic<int> renders{0};
};

struct Driver {
    std::mutex lock;
    int32_t nextId = 1;
    std::set<int32_t> contexts;
    std::map<int32_t, IoRef> ioRefs;
    std::map<int32_t, std::shared_ptr<DriverImage>> images;
};

Driver* gState = nullptr;

// Made on first use; freed only when the library itself is unloaded, after
// every caller (also those ending at the program's exit) is done with it.
Driver& State() {
    static Driver* d = gState = new Driver;
    return *d;
}

__attribute__((destructor)) void FreeState() {
    delete gState;
    gState = nullptr;
}

std::shared_ptr<DriverImage> FindImage(int32_t ref) {
    Driver& d = State();
    std::lock_guard g(d.lock);
    auto it = d.images.find(ref);
    return it == d.images.end() ? nullptr : it->second;
}

bool ReadAt(int fd, void* out, uint64_t size, uint64_t offset) {
    auto* p = static_cast<uint8_t*>(out);
    while (size > 0) {
        const ssize_t n = ::pread(fd, p, size, off_t(offset));
        if (n <= 0) return false;
        p += n, size -= uint64_t(n), offset += uint64_t(n);
    }
    return true;
}

bool WriteAt(int fd, const void* data, uint64_t size, uint64_t offset) {
    auto* p = static_cast<const uint8_t*>(data);
    while (size > 0) {
        const ssize_t n = ::pwrite(fd, p, size, off_t(offset));
        if (n <= 0) return false;
        p += n, size -= uint64_t(n), offset += uint64_t(n);
    }
    return true;
}

int32_t Slot(const ZproAttribute& a, int i) {
    int32_t v = 0;
    if (a.bytes.size() >= size_t(i + 1) * 4) std::memcpy(&v, a.bytes.data() + i * 4, 4);
    return v;
}

float FloatSlot(const ZproAttribute& a, int i) {
    float v = 0;
    if (a.bytes.size() >= size_t(i + 1) * 4) std::memcpy(&v, a.bytes.data() + i * 4, 4);
    return v;
}

// Ids a caller may write although the file does not hold them yet.
bool AlwaysWritable(int32_t id) {
    static const std::set<int32_t> ids = {1900, 1903, 1905, 1921, 1923, 1950, 1952, 1953, 1857, 1868, 1957, 1960};
    return ids.count(id) != 0;
}

// What a render applies, taken from the image's attributes at its start.
struct RenderSettings {
    bool mono = false;
    int64_t gain[3] = {65536, 65536, 65536};  // 16.16
    int32_t noise = 0;                          // blend of the 3 x 3 mean, percent
};

RenderSettings Settings(DriverImage& image) {
    std::lock_guard g(image.lock);
    RenderSettings s;
    auto get = [&](int32_t id) -> const ZproAttribute* {
        auto it = image.attributes.find(id);
        return it == image.attributes.end() ? nullptr : &it->second;
    };
    if (auto* a = get(1951)) s.mono = Slot(*a, 0) != 3;
    float stops = 0;
    if (auto* a = get(1800)) stops = FloatSlot(*a, 0);
    if (!std::isfinite(stops)) stops = 0;
    stops = std::clamp(stops, -4.0f, 4.0f);
    const double exposure = std::pow(2.0, double(stops));
    double balance[3] = {1, 1, 1};
    if (auto* a = get(300)) {
        const int32_t t[3] = {Slot(*a, 0) & 0xFFFF, Slot(*a, 1) & 0xFFFF, Slot(*a, 2) & 0xFFFF};
        if (t[0] > 0 && t[1] > 0 && t[2] > 0)
            for (int c = 0; c < 3; ++c) balance[c] = t[c] / 1000.0;
    }
    for (int c = 0; c < 3; ++c) s.gain[c] = int64_t(std::lround(exposure * balance[c] * 65536.0));
    const ZproAttribute* mode = get(1822);
    const ZproAttribute* strength = get(1820);
    if (mode && strength && Slot(*mode, 0) != 0) s.noise = std::clamp(Slot(*strength, 0), 0, 100);
    return s;
}

struct Level {
    int64_t width = 0, height = 0;
};

Level LevelSize(DriverImage& image, int32_t level) {
    const zyn::ZproHeader& h = image.header;
    switch (level) {
    case 0: return {h.width, h.height};
    case 1: return {h.width / 2, h.height / 2};
    case 2: {
        std::lock_guard g(image.lock);
        auto w = image.attributes.find(405), hh = image.attributes.find(406);
        if (w == image.attributes.end() || hh == image.attributes.end()) return {};
        const int64_t tw = Slot(w->second, 0), th = Slot(hh->second, 0);
        if (tw <= 0 || th <= 0 || tw > h.width || th > h.height) return {};
        return {tw, th};
    }
    default: return {};
    }
}

// Rows [first, end) of a level, whole width, 12-bit RGB, gains applied.
bool LoadLevelRows(DriverImage& image, int32_t level, const Level& size, int64_t first, int64_t end,
                   const RenderSettings& s, std::vector<uint16_t>& out) {
    const zyn::ZproHeader& h = image.header;
    const uint64_t rowBytes = uint64_t(h.width) * 6;
    // Every sample of the rows is written below: the buffer is sized, not
    // cleared. The file's bytes go through one scratch row per thread.
    out.resize(size_t(end - first) * size.width * 3);
    thread_local std::vector<uint8_t> raw;
    auto sample = [&](const uint8_t* p) { return uint32_t(p[0] | p[1] << 8) & 0x0FFF; };
    for (int64_t y = first; y < end; ++y) {
        uint16_t* dst = out.data() + size_t(y - first) * size.width * 3;
        if (level == 0 || level == 2) {
            const uint64_t sy = level == 0 ? uint64_t(y) : uint64_t(y) * h.height / uint64_t(size.height);
            raw.resize(rowBytes);
            if (!ReadAt(image.fd, raw.data(), rowBytes, h.pixelOffset + sy * rowBytes)) return false;
            for (int64_t x = 0; x < size.width; ++x) {
                const uint64_t sx = level == 0 ? uint64_t(x) : uint64_t(x) * h.width / uint64_t(size.width);
                for (int c = 0; c < 3; ++c) dst[x * 3 + c] = uint16_t(sample(&raw[sx * 6 + c * 2]));
            }
        } else {
            raw.resize(rowBytes * 2);
            if (!ReadAt(image.fd, raw.data(), rowBytes * 2, h.pixelOffset + uint64_t(2 * y) * rowBytes)) return false;
            for (int64_t x = 0; x < size.width; ++x)
                for (int c = 0; c < 3; ++c) {
                    const uint64_t a = uint64_t(2 * x) * 6 + c * 2, b = a + 6;
                    const uint32_t sum = sample(&raw[a]) + sample(&raw[b]) + sample(&raw[rowBytes + a]) +
                                         sample(&raw[rowBytes + b]);
                    dst[x * 3 + c] = uint16_t((sum + 2) / 4);
                }
        }
        for (int64_t x = 0; x < size.width; ++x) {
            if (s.mono) dst[x * 3 + 1] = dst[x * 3 + 2] = dst[x * 3];
            for (int c = 0; c < 3; ++c) {
                const int64_t v = (int64_t(dst[x * 3 + c]) * s.gain[c] + 32768) >> 16;
                dst[x * 3 + c] = uint16_t(std::clamp<int64_t>(v, 0, 4095));
            }
        }
    }
    return true;
}

int32_t RenderRect(DriverImage& image, int32_t level, const DriverRect* rect, VrelSharpenPlanes* planes,
                   VrelProgressProc progress, void* user) {
    const Level size = LevelSize(image, level);
    if (size.width <= 0 || size.height <= 0) return kErrBadArgument;
    const DriverRect r = rect ? *rect : DriverRect{0, 0, int32_t(size.height), int32_t(size.width)};
    if (!planes || r.firstRow < 0 || r.firstColumn < 0 || r.endRow <= r.firstRow || r.endColumn <= r.firstColumn ||
        r.endRow > size.height || r.endColumn > size.width)
        return kErrBadArgument;
    const int64_t rows = int64_t(r.endRow) - r.firstRow, columns = int64_t(r.endColumn) - r.firstColumn;
    // The record states how much the caller's memory holds: never more rows
    // or columns than that are written.
    if (planes->rows != rows || planes->columns != columns || planes->pixelStride < 2 ||
        int64_t(planes->rowStride) < columns * planes->pixelStride)
        return kErrBadArgument;
#if ZYN_FAULT == ZYN_FAULT_RECT_102
    return VrelErrNoMemory;
#elif ZYN_FAULT == ZYN_FAULT_RECT_FAIL
    return kErrUnknownFailure;
#endif
    const RenderSettings s = Settings(image);
    // Levels rows around the rectangle, for the 3 x 3 filter.
    const int64_t first = std::max<int64_t>(0, r.firstRow - 1), end = std::min<int64_t>(size.height, r.endRow + 1);
    // The rows of one call, kept per thread and reused by its next call, as a
    // driver keeps its working memory: a fresh buffer of a whole strip every
    // call would cost page faults that no real decoder pays.
    thread_local std::vector<uint16_t> buffer;
    if (!LoadLevelRows(image, level, size, first, end, s, buffer)) return kErrBadFile;
    const int64_t W = size.width;
    auto at = [&](int64_t y, int64_t x, int c) {
        y = std::clamp<int64_t>(y, first, end - 1);
        x = std::clamp<int64_t>(x, 0, W - 1);
        return int32_t(buffer[size_t((y - first) * W + x) * 3 + c]);
    };
    const int32_t step = ZYN_FAULT == ZYN_FAULT_SLOW ? 1 : 16;
    for (int64_t y = r.firstRow; y < r.endRow; ++y) {
        const int64_t done = y - r.firstRow;
        if (progress && done % step == 0 && progress(user, int32_t(rows), int32_t(done)) != 0)
            return VrelErrCancelled;
#if ZYN_FAULT == ZYN_FAULT_SLOW
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
#endif
        for (int64_t x = r.firstColumn; x < r.endColumn; ++x) {
            for (int c = 0; c < 3; ++c) {
                int32_t v = at(y, x, c);
                if (s.noise > 0) {
                    int32_t sum = 0;
                    for (int dy = -1; dy <= 1; ++dy)
                        for (int dx = -1; dx <= 1; ++dx) sum += at(y + dy, x + dx, c);
                    v = (v * (100 - s.noise) + ((sum + 4) / 9) * s.noise + 50) / 100;
                }
                if (!planes->plane[c]) continue;
                auto* p = static_cast<uint8_t*>(planes->plane[c]) + (y - r.firstRow) * int64_t(planes->rowStride) +
                          (x - r.firstColumn) * int64_t(planes->pixelStride);
                const uint16_t out = uint16_t(v);
                std::memcpy(p, &out, 2);
            }
        }
    }
    if (progress && progress(user, int32_t(rows), int32_t(rows)) != 0) return VrelErrCancelled;
    return VrelOK;
}

// The exposure table of the image's tone values: 4096 entries stretching
// shadow..highlight onto 0..4095 with the midtone as a gamma.
std::vector<uint8_t> ExposureTable(DriverImage& image) {
    float levels[3] = {0.0f, 0.5f, 1.0f};
    {
        std::lock_guard g(image.lock);
        auto it = image.attributes.find(1957);
        if (it != image.attributes.end())
            for (int i = 0; i < 3; ++i) levels[i] = FloatSlot(it->second, i);
    }
    double lo = levels[0], hi = levels[2], mid = levels[1];
    if (!(hi > lo)) lo = 0, hi = 1;
    const double gamma = (mid > 0 && mid < 1) ? std::log(0.5) / std::log(mid) : 1.0;
    std::vector<uint8_t> out(kExposureTableEntries * 2);
    for (int i = 0; i < kExposureTableEntries; ++i) {
        double t = (i / 4095.0 - lo) / (hi - lo);
        t = std::clamp(t, 0.0, 1.0);
        const auto v = uint16_t(std::lround(std::pow(t, gamma) * 4095.0));
        out[i * 2] = uint8_t(v), out[i * 2 + 1] = uint8_t(v >> 8);
    }
    return out;
}

} // namespace

extern "C" {

VREL_EXPORT int32_t VrelInitialize(int32_t, int32_t* context) {
    if (!context) return kErrBadArgument;
#if ZYN_FAULT == ZYN_FAULT_INIT_REFUSED
    return VrelErrInitRefused;
#endif
    Driver& d = State();
    std::lock_guard g(d.lock);
    *context = d.nextId++;
    d.contexts.insert(*context);
#if ZYN_FAULT == ZYN_FAULT_INIT_108
    return VrelInitAlreadyDone;
#else
    return VrelOK;
#endif
}

VREL_EXPORT int32_t VrelTerminate(int32_t context) {
    Driver& d = State();
    std::lock_guard g(d.lock);
    return d.contexts.erase(context) ? VrelOK : kErrBadRef;
}

VREL_EXPORT int32_t VrelFreeRef(int32_t ref) {
    Driver& d = State();
    std::lock_guard g(d.lock);
    if (d.images.erase(ref) || d.ioRefs.erase(ref)) return VrelOK;
    return kErrBadRef;
}

VREL_EXPORT int32_t VrelAllocImageByPath(int32_t, const void*, int32_t*) { return VrelErrNotSupported; }

VREL_EXPORT int32_t VrelAllocIORefFromFileHandleRef(int32_t context, int32_t fd, int32_t* ioRef) {
    if (!ioRef) return kErrBadArgument;
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return kErrBadArgument;
    Driver& d = State();
    std::lock_guard g(d.lock);
    if (!d.contexts.count(context)) return kErrBadRef;
    *ioRef = d.nextId++;
    d.ioRefs[*ioRef] = IoRef{context, fd};
    return VrelOK;
}

VREL_EXPORT int32_t VrelAllocImage(int32_t context, int32_t ioRef, int32_t* imageRef) {
    if (!imageRef) return kErrBadArgument;
    int fd = -1;
    {
        Driver& d = State();
        std::lock_guard g(d.lock);
        auto it = d.ioRefs.find(ioRef);
        if (!d.contexts.count(context) || it == d.ioRefs.end()) return kErrBadRef;
        fd = it->second.fd;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) return kErrBadFile;
#if ZYN_OWN_EXTENSION_ONLY
    if (!HasOwnExtension(fd)) return kErrUnsupportedModel;
#endif
    const uint64_t fileSize = uint64_t(st.st_size);
    uint8_t head[zyn::kZproHeaderBytes];
    if (fileSize < sizeof head || !ReadAt(fd, head, sizeof head, 0)) return kErrBadFile;
    auto image = std::make_shared<DriverImage>();
    image->fd = fd;
    if (!zyn::ParseZproHeader(lumora::ByteView(head, sizeof head), fileSize, image->header)) return kErrBadFile;
    std::vector<uint8_t> table(fileSize - image->header.tableOffset);
    if (!table.empty() && !ReadAt(fd, table.data(), table.size(), image->header.tableOffset)) return kErrBadFile;
    if (!zyn::ParseZproAttributes(lumora::ByteView(table.data(), table.size()), image->header.attributeCount,
                                  image->attributes))
        return kErrBadFile;
    auto model = image->attributes.find(532);
    if (model == image->attributes.end() || model->second.count < 1 || !AcceptsModel(Slot(model->second, 0)))
        return kErrUnsupportedModel;
    Driver& d = State();
    std::lock_guard g(d.lock);
    *imageRef = d.nextId++;
    d.images[*imageRef] = image;
    return VrelOK;
}

VREL_EXPORT int32_t VrelGetAttributeInfo(int32_t ref, int32_t id, int32_t* type, int32_t* count) {
    if (!type || !count) return kErrBadArgument;
    if (auto image = FindImage(ref)) {
        if (id == kExposureTableId) {
            *type = VrelTypeBlock;
            *count = kExposureTableEntries * 2;
            return VrelOK;
        }
        std::lock_guard g(image->lock);
        auto it = image->attributes.find(id);
        if (it == image->attributes.end()) return VrelErrNotSupported;
        *type = it->second.type;
        *count = it->second.count;
        return VrelOK;
    }
    Driver& d = State();
    std::lock_guard g(d.lock);
    if (!d.contexts.count(ref)) return kErrBadRef;
#if ZYN_FAMILY == 3
    if (id == 112) {
        *type = VrelTypeText;
        *count = 4;
        return VrelOK;
    }
#endif
    return VrelErrNotSupported;
}

VREL_EXPORT int32_t VrelGetAttributeValue(int32_t ref, int32_t id, int32_t* count, void* buffer) {
    if (!count || *count < 0 || (!buffer && *count > 0)) return kErrBadArgument;
    if (auto image = FindImage(ref)) {
        ZproAttribute value;
        if (id == kExposureTableId) {
            value.type = VrelTypeBlock;
            value.bytes = ExposureTable(*image);
            value.count = int32_t(value.bytes.size());
        } else {
            std::lock_guard g(image->lock);
            auto it = image->attributes.find(id);
            if (it == image->attributes.end()) return VrelErrNotSupported;
            value = it->second;
        }
        if (*count < value.count) return kErrBufferSmall;
        if (!value.bytes.empty()) std::memcpy(buffer, value.bytes.data(), value.bytes.size());
        *count = value.count;
        return VrelOK;
    }
    {
        Driver& d = State();
        std::lock_guard g(d.lock);
        if (!d.contexts.count(ref)) return kErrBadRef;
    }
#if ZYN_FAMILY == 3
    if (id == 112) {
        if (*count < 4) return kErrBufferSmall;
        std::memcpy(buffer, kOwnExtension, 4);
        *count = 4;
        return VrelOK;
    }
#endif
    return VrelErrNotSupported;
}

VREL_EXPORT int32_t VrelSetAttributeValue(int32_t imageRef, int32_t id, int32_t type, int32_t count, void* data) {
    auto image = FindImage(imageRef);
    if (!image) return kErrBadRef;
    const int64_t size = zyn::ZproValueBytes(type, count);
    if (size < 0 || (size > 0 && !data) || size > (int64_t(1) << 26)) return kErrBadArgument;
    std::lock_guard g(image->lock);
    auto it = image->attributes.find(id);
    if (it == image->attributes.end() && !AlwaysWritable(id)) return VrelErrNotSupported;
    if (id == 1800 && type == VrelTypeFloat && count == 1) {
        // Exposure compensation is kept inside the file's range, in steps of
        // a third of a stop; the caller reads the value back.
        float v = 0, lo = -2, hi = 2;
        std::memcpy(&v, data, 4);
        if (auto a = image->attributes.find(1801); a != image->attributes.end()) lo = FloatSlot(a->second, 0);
        if (auto a = image->attributes.find(1802); a != image->attributes.end()) hi = FloatSlot(a->second, 0);
        if (!std::isfinite(v)) v = 0;
        v = std::clamp(float(std::round(v * 3.0) / 3.0), lo, hi);
        std::memcpy(data, &v, 4);
    }
    ZproAttribute a;
    a.type = type;
    a.count = count;
    a.bytes.assign(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
    image->attributes[id] = std::move(a);
    return VrelOK;
}

VREL_EXPORT int32_t VrelGetImageRectangle(int32_t imageRef, int32_t level, const DriverRect* rect,
                                          VrelSharpenPlanes* planes, VrelProgressProc progress, void* user) {
    auto image = FindImage(imageRef);
    if (!image) return kErrBadRef;
#if ZYN_FAULT == ZYN_FAULT_ONE_REF
    if (image->renders.fetch_add(1) != 0) {
        image->renders.fetch_sub(1);
        return kErrSameReference;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    const int32_t status = RenderRect(*image, level, rect, planes, progress, user);
    image->renders.fetch_sub(1);
    return status;
#else
    return RenderRect(*image, level, rect, planes, progress, user);
#endif
}

VREL_EXPORT int32_t VrelSampleBalance(int32_t imageRef, int32_t, const DriverRect* sample, uint16_t* triple,
                                      int32_t* count) {
    auto image = FindImage(imageRef);
    if (!image) return kErrBadRef;
    if (!sample || !triple || !count || *count < 3) return kErrBadArgument;
    const zyn::ZproHeader& h = image->header;
    if (sample->firstRow < 0 || sample->firstColumn < 0 || sample->endRow <= sample->firstRow ||
        sample->endColumn <= sample->firstColumn || uint32_t(sample->endRow) > h.height ||
        uint32_t(sample->endColumn) > h.width)
        return kErrBadArgument;
    RenderSettings plain;
    std::vector<uint16_t> rows;
    const Level size{h.width, h.height};
    if (!LoadLevelRows(*image, 0, size, sample->firstRow, sample->endRow, plain, rows)) return kErrBadFile;
    uint64_t sum[3] = {0, 0, 0}, n = 0;
    for (int64_t y = 0; y < sample->endRow - sample->firstRow; ++y)
        for (int64_t x = sample->firstColumn; x < sample->endColumn; ++x, ++n)
            for (int c = 0; c < 3; ++c) sum[c] += rows[size_t(y * size.width + x) * 3 + c];
    uint64_t mean[3];
    for (int c = 0; c < 3; ++c) mean[c] = sum[c] / n;
    if (std::max({mean[0], mean[1], mean[2]}) >= 4000) return VrelErrSaturated;
    if (std::min({mean[0], mean[1], mean[2]}) < 32) return VrelErrTooDark;
    for (int c = 0; c < 3; ++c) triple[c] = uint16_t(std::min<uint64_t>(65535, (1000 * mean[1] + mean[c] / 2) / mean[c]));
    *count = 3;
    return VrelOK;
}

#if ZYN_FAULT != ZYN_FAULT_NO_KELVIN
VREL_EXPORT int32_t VrelSampleBalanceKelvin(int32_t imageRef, int32_t, const DriverRect* sample, int32_t,
                                            int32_t* kelvin) {
    uint16_t triple[3];
    int32_t count = 3;
    const int32_t status = VrelSampleBalance(imageRef, 0, sample, triple, &count);
    if (status != VrelOK) return status;
    if (!kelvin) return kErrBadArgument;
    // Warmer samples need more blue: a rough scale around 5000 K.
    *kelvin = std::clamp(5000 + (int32_t(triple[2]) - int32_t(triple[0])) * 2, 2000, 12000);
    return VrelOK;
}
#endif

VREL_EXPORT int32_t VrelSavePersistentAttributes(int32_t imageRef) {
    auto image = FindImage(imageRef);
    if (!image) return kErrBadRef;
    const int flags = ::fcntl(image->fd, F_GETFL);
    if (flags < 0 || (flags & O_ACCMODE) == O_RDONLY) return kErrAccess;
    std::lock_guard g(image->lock);
    const std::vector<uint8_t> table = zyn::SerializeZproAttributes(image->attributes);
    const uint32_t count = uint32_t(image->attributes.size());
    uint8_t le[4] = {uint8_t(count), uint8_t(count >> 8), uint8_t(count >> 16), uint8_t(count >> 24)};
    // Only the table and its count change; the pixels before it are never
    // written.
    if (!WriteAt(image->fd, table.data(), table.size(), image->header.tableOffset)) return kErrWrite;
    if (::ftruncate(image->fd, off_t(image->header.tableOffset + table.size())) != 0) return kErrWrite;
    if (!WriteAt(image->fd, le, 4, 24)) return kErrWrite;
    image->header.attributeCount = count;
    return VrelOK;
}

} // extern "C"
