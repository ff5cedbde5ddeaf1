// vqclient: opens image files and folders through the Vq camera interface and
// prints what it reports.
//
//   vqclient PATH...        a file: its record and geometry; a folder: the
//                           folder camera's entries, then each entry's record
//   vqclient --list FOLDER  only the folder camera's entries
//   vqclient --help         this usage, on the standard output
//   vqclient --render OUT [--type N] [--subsample N] [--rotate DEG]
//            [--window X,Y,W,H] FILE
//                           renders the image through VqGetImage into OUT:
//                           a PGM for grey types, a PPM for RGB types, a PAM
//                           with the raw channels for CMYK and Lab types; the
//                           window is in output coordinates
//
// Exit status: 0 when everything opened, 1 when something did not, 2 for a
// usage error.
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "CameraHandleMap.h"
#include "DirectoryEntry.h"
#include "DriverState.h"
#include "FolderScanCamera.h"
#include "StripWriter.h"
#include "Vq.h"

using lumora::vq::DirectoryEntry;
using lumora::vq::Driver;
using lumora::vq::FolderCamera;
using lumora::vq::FolderScanCamera;

namespace {

int usage(FILE* to = stderr) {
    std::fprintf(to, "usage: vqclient PATH...\n       vqclient --list FOLDER\n"
                         "       vqclient --render OUT [--type N] [--subsample N] [--rotate DEG] "
                         "[--window X,Y,W,H] FILE\n");
    return to == stderr ? 2 : 0;
}

const char* KindName(int32_t kind) {
    switch (kind) {
    case VQ_FILE_RAW_TIFF: return "raw TIFF";
    case VQ_FILE_CAMERA_JPEG: return "camera JPEG";
    case 2: return "sound";
    case VQ_FILE_RGB_TIFF: return "RGB TIFF";
    default: return "unknown";
    }
}

// A text the record points at, as far as its length says (the length counts
// the terminator).
std::string Text(const void* text, uint32_t length) {
    if (!text || length == 0) return "";
    const char* p = static_cast<const char*>(text);
    return std::string(p, strnlen(p, length));
}

std::string FourCC(uint32_t value) {
    if (value == 0) return "none";
    std::string s;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = char(value >> shift);
        s += (c >= 32 && c < 127) ? c : '?';
    }
    return s;
}

std::string DosStamp(uint16_t date, uint16_t time) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", 1980 + (date >> 9), (date >> 5) & 15,
                  date & 31, time >> 11, (time >> 5) & 63, (time & 31) * 2);
    return text;
}

void PrintRecord(const ImageInfoRecord& r) {
    std::printf("name: %s\n", r.name ? r.name : "");
    std::printf("imageIndex: %d\n", r.imageIndex);
    std::printf("model: %s\n", Text(r.model, r.modelLength).c_str());
    std::printf("model2: %s\n", Text(r.model2, r.model2Length).c_str());
    std::printf("software: %s\n", Text(r.software, r.softwareLength).c_str());
    std::printf("description: %s\n", Text(r.description, r.descriptionLength).c_str());
    std::printf("date: %04d-%02d-%02d %02d:%02d:%02d\n", 1900 + r.date[5], r.date[4] + 1, r.date[3], r.date[2],
                r.date[1], r.date[0]);
    std::printf("modelFamily: %d\n", r.modelFamily);
    std::printf("modelId: %d\n", r.modelId);
    std::printf("fileKind: %d (%s)\n", r.fileKind, KindName(r.fileKind));
    std::printf("outputType: %u\n", r.outputType);
    std::printf("isColour: %d\n", r.isColour);
    std::printf("dataBytes: %d\n", r.dataBytes);
    std::printf("soundInfo: %u\n", r.soundInfo);
    std::printf("colourSpace: %s\n", FourCC(r.colourSpace).c_str());
    std::printf("flags: 0x%04x\n", r.flags);
    std::printf("whiteBalanceFileStatus: 0x%04x\n", uint32_t(r.whiteBalanceFileStatus));
    const ImageGeometry& g = r.geometry;
    std::printf("geometry.channels: %d\n", g.channels);
    std::printf("geometry.bytesPerSample: %d\n", g.bytesPerSample);
    std::printf("geometry.activeWidth: %d\n", g.activeWidth);
    std::printf("geometry.activeHeight: %d\n", g.activeHeight);
    std::printf("geometry.fullWidth: %d\n", g.fullWidth);
    std::printf("geometry.fullHeight: %d\n", g.fullHeight);
    std::printf("geometry.fullBytes: %d\n", g.fullBytes);
    std::printf("geometry.outputWidth: %d\n", g.outputWidth);
    std::printf("geometry.outputHeight: %d\n", g.outputHeight);
    std::printf("geometry.stripBytes: %d\n", g.stripBytes);
    std::printf("geometry.outputBytes: %d\n", g.outputBytes);
    std::printf("geometry.cacheBytes: %d\n", g.cacheBytes);
    std::printf("geometry.workBytes: %d\n", g.workBytes);
    std::printf("geometry.frameBytes: %d\n", g.frameBytes);
}

// Answers true when the image opened.
bool PrintOpened(uint32_t status, ImageInfoRecord& info) {
    std::printf("status: 0x%04x\n", status);
    if (info.handle == 0) return false;
    PrintRecord(info);
    VqCloseImage(&info);
    return true;
}

bool ShowFile(const std::string& path) {
    std::printf("file: %s\n", path.c_str());
    ImageInfoRecord info;
    std::memset(&info, 0, sizeof info);
    const uint32_t status = VqOpenImageFile(path.c_str(), &info);
    return PrintOpened(status, info) && status == 0;
}

bool ShowFolder(const std::string& folder, bool entriesOnly) {
    std::printf("folder: %s\n", folder.c_str());
    // The interface opens no camera of its own for a folder: the client makes
    // the folder camera and registers it, then works through the exports.
    auto* camera = new FolderScanCamera;
    CameraRecord record;
    std::memset(&record, 0, sizeof record);
    record.cameraKind = VQ_CAMERA_KIND_FOLDER;
    std::string path = folder;
    if (path.empty() || path.back() != '/') path += '/';
    std::snprintf(record.folder, sizeof record.folder, "%s", path.c_str());
    uint32_t status = camera->Open(&record);
    record.cameraId = Driver().cameras->Add(camera);
    camera->record().cameraId = record.cameraId;
    std::printf("status: 0x%04x\n", status);
    bool ok = status == 0;
    const uint32_t count = ok ? FolderCamera::Count(camera->imageList()) : 0;
    std::printf("entries: %u\n", count);
    for (uint32_t i = 1; i <= count; ++i) {
        DirectoryEntry e;
        if (!FolderCamera::GetAt(camera->imageList(), i, e)) continue;
        std::printf("entry %u: %s kind %u (%s) size %u written %s\n", i - 1, e.name, e.kind,
                    KindName(int32_t(e.kind)), e.size, DosStamp(e.writtenDate, e.writtenTime).c_str());
    }
    for (uint32_t i = 0; ok && !entriesOnly && i < count; ++i) {
        char name[256];
        VqGetImageName(&record, int32_t(i), name);
        std::printf("\nimage %u: %s\n", i, name);
        ImageInfoRecord info;
        std::memset(&info, 0, sizeof info);
        const uint32_t opened = VqOpenImage(&record, int32_t(i), nullptr, &info);
        if (!PrintOpened(opened, info) || opened != 0) ok = false;
    }
    camera->Close();
    Driver().cameras->Remove(record.cameraId);
    delete camera;
    return ok;
}

struct RenderRequest {
    std::string out;
    std::string file;
    long type = -1; // the image's own
    long subsample = 1;
    double rotation = 0.0;
    bool window = false;
    SdkRect rect{0, 0, 0, 0};
};

bool ParseNumber(const char* text, long* value) {
    char* end = nullptr;
    *value = std::strtol(text, &end, 10);
    return end && end != text && *end == 0;
}

// Which of a pixel's samples are red, green and blue, for the types a viewer
// can show; null for the others (written with their raw channels).
const int* RgbOrder(uint32_t type) {
    static const int rgb[3] = {0, 1, 2}, xrgb[3] = {1, 2, 3}, bgr[3] = {2, 1, 0};
    switch (type) {
    case VQ_TYPE_RGB8:
    case VQ_TYPE_RGB16:
    case VQ_TYPE_CAMERA_RGB8:
    case VQ_TYPE_CAMERA_RGB16:
    case VQ_TYPE_CAMERA_RGB12: return rgb;
    case VQ_TYPE_XRGB8:
    case VQ_TYPE_XRGB16: return xrgb;
    case VQ_TYPE_BGR8:
    case VQ_TYPE_BGRX8:
    case VQ_TYPE_BGR16:
    case VQ_TYPE_BGRX16: return bgr;
    default: return nullptr;
    }
}

// Rows of the strip buffer the client renders through.
constexpr size_t kBufferRows = 64;

// The callback's user value is a number; the writer of the one rendering in
// progress is found here.
StripWriter* gWriter = nullptr;

void* WriteStrip(void* buffer, uint32_t byteCount, int32_t) {
    if (!gWriter || !gWriter->Add(static_cast<const uint8_t*>(buffer), byteCount)) return nullptr;
    return buffer;
}

// Renders the image and writes it as a portable any-map: samples of 16 bits
// become big-endian, as the format wants.
bool RenderToFile(const RenderRequest& q) {
    ImageInfoRecord info;
    std::memset(&info, 0, sizeof info);
    uint32_t status = VqOpenImageFile(q.file.c_str(), &info);
    if (status != 0 || info.handle == 0) {
        std::fprintf(stderr, "vqclient: %s did not open: 0x%04x\n", q.file.c_str(), status);
        return false;
    }
    auto fail = [&](const char* what, uint32_t s) {
        std::fprintf(stderr, "vqclient: %s: 0x%04x\n", what, s);
        VqCloseImage(&info);
        return false;
    };
    if (q.type >= 0 && (status = VqSetImageType(&info, uint32_t(q.type)))) return fail("output type refused", status);
    if ((status = VqSetSubSample(&info, int16_t(q.subsample)))) return fail("subsample refused", status);
    if ((status = VqSetRotateType(&info, float(q.rotation)))) return fail("rotation refused", status);
    if (q.window && (status = VqSetOutputWindow(&info, &q.rect))) return fail("window refused", status);
    uint32_t type = 0;
    VqGetImageType(&info, &type);
    // The record's geometry follows the settings just made.
    const ImageGeometry& g = info.geometry;
    const size_t width = size_t(std::max(g.outputWidth, 0)), height = size_t(std::max(g.outputHeight, 0));
    const size_t channels = size_t(std::max(g.channels, 0)), bytes = size_t(std::max(g.bytesPerSample, 0));
    const size_t rowBytes = width * channels * bytes;

    const int* order = RgbOrder(type);
    const size_t outChannels = channels == 1 ? 1 : (order ? 3 : channels);
    const unsigned maxval = bytes == 1 ? 255u : (type == VQ_TYPE_CAMERA_RGB12 ? 4095u : 65535u);
    FILE* f = std::fopen(q.out.c_str(), "wb");
    if (!f) {
        std::fprintf(stderr, "vqclient: cannot write %s\n", q.out.c_str());
        VqCloseImage(&info);
        return false;
    }
    if (outChannels == 1)
        std::fprintf(f, "P5\n%zu %zu\n%u\n", width, height, maxval);
    else if (outChannels == 3 && order)
        std::fprintf(f, "P6\n%zu %zu\n%u\n", width, height, maxval);
    else
        std::fprintf(f, "P7\nWIDTH %zu\nHEIGHT %zu\nDEPTH %zu\nMAXVAL %u\nTUPLTYPE %s\nENDHDR\n", width, height,
                     outChannels, maxval, channels == 4 ? "CMYK" : "LAB");

    // The image arrives a strip at a time through a buffer of a few dozen rows;
    // each strip's rows are written as they come.
    StripWriter writer(f, width, channels, bytes, outChannels, order);
    const size_t bufferRows = std::clamp<size_t>(height, 1, kBufferRows);
    std::vector<uint8_t> strip(std::max<size_t>(rowBytes * bufferRows, 1));
    gWriter = &writer;
    ImageBufferRecord buffer{strip.data(), uint32_t(strip.size()), 0, WriteStrip};
    status = VqGetImage(&info, &buffer, nullptr);
    gWriter = nullptr;
    if (status) {
        std::fclose(f);
        return fail("rendering failed", status);
    }
    VqCloseImage(&info);
    if (!writer.Finished(height)) {
        std::fclose(f);
        std::fprintf(stderr, "vqclient: the rendering delivered fewer rows than its geometry says\n");
        return false;
    }
    const bool written = std::fclose(f) == 0;
    std::printf("rendered: %s type %u %zux%zu\n", q.out.c_str(), type, width, height);
    return written;
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

int main(int argc, char** argv) {
    bool entriesOnly = false;
    int first = 1;
    RenderRequest render;
    if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) return usage(stdout);
    if (argc > 1 && std::strcmp(argv[1], "--list") == 0) {
        entriesOnly = true;
        first = 2;
    } else if (argc > 2 && std::strcmp(argv[1], "--render") == 0) {
        render.out = argv[2];
        int i = 3;
        for (; i + 1 < argc && std::strncmp(argv[i], "--", 2) == 0; i += 2) {
            const std::string option = argv[i];
            long value = 0;
            if (option == "--type" && ParseNumber(argv[i + 1], &value)) {
                render.type = value;
            } else if (option == "--subsample" && ParseNumber(argv[i + 1], &value)) {
                render.subsample = value;
            } else if (option == "--rotate" && ParseNumber(argv[i + 1], &value)) {
                render.rotation = double(value);
            } else if (option == "--window") {
                int x, y, w, h;
                char tail;
                if (std::sscanf(argv[i + 1], "%d,%d,%d,%d%c", &x, &y, &w, &h, &tail) != 4) return usage();
                render.window = true;
                render.rect = SdkRect{int16_t(x), int16_t(y), int16_t(w), int16_t(h)};
            } else {
                return usage();
            }
        }
        if (i + 1 != argc) return usage();
        std::error_code ec;
        render.file = std::filesystem::absolute(argv[i], ec).string();
        if (ec) render.file = argv[i];
        first = argc; // nothing else to show
    }
    if (first >= argc && render.out.empty()) return usage();

    SdkVersionRecord version = VQ_SDK_VERSION_RECORD_INIT;
    const uint32_t opened = VqOpenDriver(&version, VQ_OPEN_NO_FIREWIRE);
    if (opened != 0 && opened != VQ_ERR_DEFAULTS_KEPT && opened != VQ_ERR_PREFS_READ) {
        std::fprintf(stderr, "vqclient: the camera interface did not open: 0x%04x\n", opened);
        return 1;
    }
    int32_t before = 0, after = 0;
    VqGetMemoryUsage(&before);
    bool ok = true;
    if (!render.out.empty()) ok = RenderToFile(render);
    for (int i = first; i < argc; ++i) {
        if (i > first) std::printf("\n");
        // The interface wants a full path: a name given here is taken in the
        // current folder.
        std::error_code ec;
        std::string path = std::filesystem::absolute(argv[i], ec).string();
        if (ec) path = argv[i];
        if (IsFolder(path))
            ok = ShowFolder(path, entriesOnly) && ok;
        else if (entriesOnly)
            return usage();
        else
            ok = ShowFile(path) && ok;
    }
    VqGetMemoryUsage(&after);
    std::printf("\nmemory usage: before %d after %d\n", before, after);
    VqCloseDriver();
    return ok ? 0 : 1;
}
