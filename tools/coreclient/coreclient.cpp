// coreclient strings FILE.u16 LANGUAGE KEY...
//
// Loads the string table FILE.u16 in the column of LANGUAGE (a value of the
// "Language" setting: "French", "Verification", ...) and prints one JSON line
// per KEY: {"key": ..., "found": true|false, "text": ...} (UTF-8). A failure
// prints {"code": N} and exits 1.
//
// coreclient open PATH [--kind tiff|jpeg|raw|zyn]
//
// Opens the image and prints one JSON object: code, kind, file type, native,
// image and thumbnail rectangles, samples per pixel, bytes per sample, colour
// modes, source colour-space name, date string, make, model, serial number,
// image info text (and the driver of a raw image of the newest models).
//
// coreclient render PATH OUT.ppm|OUT.pgm [--thumbnail] [--depth 8|16]
//           [--rotate D] [--crop l,t,r,b] [--scale N] [--space NAME] [--kind K]
//
// Renders the image through an ImageRendering into a RenderBuffer and writes
// binary netpbm: PPM, or PGM for an image without colour (16-bit samples
// big-endian). Any failure prints {"code": N} and exits 1.
//
// coreclient export IN OUT --tiff [--depth 8|16] [--resize percent P|fill W H|fit W H|pad W H]
//     [--units inch|cm] [--resolution N] [--working-space DESCRIPTION] [--no-profile] [--gps-text]
//     [--cancel-after STRIPS]
//
// Opens the finished TIFF IN and exports it to OUT as the program would; a
// failure prints {"code": N} and exits 1. --cancel-after cancels once that
// many strips were rendered.
#include "ColorEngine.h"
#include "ExportImageArray.h"
#include "ExportSizeOptions.h"
#include "ExportTIFFImage.h"
#include "FinishedJPEGImage.h"
#include "FinishedTIFFImage.h"
#include "ImagePool.h"
#include "ImageRef.h"
#include "ImageRendering.h"
#include "LocalizedStrings.h"
#include "NbErrorCodes.h"
#include "ProImage.h"
#include "ProgressCB.h"
#include "RenderBuffer.h"
#include "ScalePlugIn.h"
#include "YlmErrp.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

std::string json(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char hex[8];
                std::snprintf(hex, sizeof hex, "\\u%04x", c);
                out += hex;
            } else {
                out += char(c);
            }
        }
    }
    return out + "\"";
}

int failure(int code) {
    std::printf("{\"code\": %d}\n", code);
    return 1;
}

int usage() {
    std::fprintf(stderr, "usage: coreclient strings FILE.u16 LANGUAGE KEY...\n"
                         "       coreclient open PATH [--kind tiff|jpeg|raw|zyn]\n"
                         "       coreclient render PATH OUT.ppm|OUT.pgm [--thumbnail] [--depth 8|16] [--rotate D]\n"
                         "                  [--crop l,t,r,b] [--scale N] [--space NAME] [--kind tiff|jpeg|raw|zyn]\n"
                         "       coreclient export IN OUT --tiff [--depth 8|16] [--resize percent P|fill W H|fit W H|pad W H]\n"
                         "           [--units inch|cm] [--resolution N] [--working-space DESCRIPTION] [--no-profile]\n"
                         "           [--gps-text] [--cancel-after STRIPS]\n");
    return 2;
}

// Answers false once the export's progress has passed the given number of
// its strips.
class CancelAfter : public NimbalCore::ProgressCB {
public:
    CancelAfter(int strips, int total) : strips_(strips), total_(total > 0 ? total : 1) {}
    bool Progress(int percent) override { return strips_ < 0 || percent * total_ <= strips_ * 100; }

private:
    int strips_, total_;
};

bool number(const char* text, int* out) {
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (!end || *end || end == text || v < -2147483647 || v > 2147483647) return false;
    *out = int(v);
    return true;
}

int exportImage(int argc, char** argv) {
    using namespace NimbalCore;
    if (argc < 5 || std::strcmp(argv[4], "--tiff") != 0) return usage();
    int depth = 8, cancelAfter = -1;
    bool embed = true, gps = false;
    std::string workingSpace;
    ExportSizeOptions size;
    size.resolution = 300;
    for (int i = 5; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&](int* out) { return i + 1 < argc && number(argv[++i], out); };
        if (a == "--depth") {
            if (!next(&depth) || (depth != 8 && depth != 16)) return usage();
        } else if (a == "--resize" && i + 1 < argc) {
            const std::string mode = argv[++i];
            size.resizeEnabled = true;
            if (mode == "percent") {
                size.resizeMode = ResizeByPercent;
                if (!next(&size.percent)) return usage();
            } else {
                if (mode == "fill") size.resizeMode = ResizeToFill;
                else if (mode == "fit") size.resizeMode = ResizeToFit;
                else if (mode == "pad") size.resizeMode = ResizeToFitAndPad;
                else return usage();
                if (!next(&size.pixelWidth) || !next(&size.pixelHeight)) return usage();
            }
        } else if (a == "--units" && i + 1 < argc) {
            const std::string units = argv[++i];
            if (units != "inch" && units != "cm") return usage();
            size.units = units == "cm" ? 1 : 0;
        } else if (a == "--resolution") {
            if (!next(&size.resolution)) return usage();
        } else if (a == "--working-space" && i + 1 < argc) {
            workingSpace = argv[++i];
        } else if (a == "--no-profile") {
            embed = false;
        } else if (a == "--gps-text") {
            gps = true;
        } else if (a == "--cancel-after") {
            if (!next(&cancelAfter) || cancelAfter < 0) return usage();
        } else {
            return usage();
        }
    }
    try {
        // The pool brings the scale plug-in up with it, as the program's does.
        NimbalCore::ScalePlugIn::InstallPoolBinding();
        ImagePool::Instance();
        ColorEngine::Instance(0, 1);
        auto* finished = new FinishedTIFFImage(FilePathSpec(argv[2]));
        ImageRef image(finished);
        if (const int opened = finished->Open()) return failure(opened);
        ImageProcessParam params = *finished->GetProcessParams();
        params.crop = finished->GetImageRect();
        if (!workingSpace.empty()) params.workingSpaceName = workingSpace;
        ImageRendering rendering(image, params);
        ExportImageArray array;
        array.SetBytesPerSample(depth == 16 ? 2 : 1);
        ExportTIFFImage exporter(rendering, FilePathSpec(argv[3]), &array);
        exporter.SetSizeOptions(size);
        exporter.SetEmbedProfile(embed);
        exporter.SetRenderGPSText(gps);
        int32_t strips = 1, rows = 1;
        exporter.ComputeStrips(&strips, &rows);
        CancelAfter cancel(cancelAfter, strips);
        exporter.SetProgressCB(&cancel);
        exporter.SaveFile();
    } catch (const YlmErrp& e) {
        return failure(e.GetCode());
    } catch (int code) {
        return failure(code);
    }
    std::printf("{\"code\": 0}\n");
    return 0;
}

int strings(int argc, char** argv) {
    if (argc < 4) return usage();
    try {
        NimbalCore::LoadLocalizedStrings(NimbalCore::FilePathSpec(argv[2]),
                                         NimbalCore::LocalizedColumnForLanguage(argv[3]));
    } catch (const YlmErrp& e) {
        return failure(e.GetCode());
    } catch (NimbalCore::NbErrorCodes code) {
        return failure(code);
    } catch (int code) {
        return failure(code);
    } catch (...) {
        return failure(NimbalCore::NbErrFileReadFailed);
    }
    for (int i = 4; i < argc; ++i) {
        std::string text;
        const bool found = NimbalCore::GetLocalizedString(argv[i], text);
        std::printf("{\"key\": %s, \"found\": %s, \"text\": %s}\n", json(argv[i]).c_str(), found ? "true" : "false",
                    json(text).c_str());
    }
    return 0;
}

using NimbalCore::Image;
using NimbalCore::ImageRef;
using NimbalCore::NbRect;

std::string Upper(std::string text) {
    for (char& c : text) c = char(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// A path's extension as the image factory compares it: upper case, without
// the dot.
std::string ExtensionOf(const NimbalCore::FilePathSpec& path) {
    std::string extension = Upper(path.GetExtension());
    if (!extension.empty() && extension[0] == '.') extension.erase(0, 1);
    return extension;
}

std::string RectJson(const NbRect& r) {
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "[%d, %d, %d, %d]", r.left, r.top, r.right, r.bottom);
    return buffer;
}

// Tries one raw image of the newest models on each started driver.
int OpenZyn(const NimbalCore::FilePathSpec& path, ImageRef& out) {
    NimbalCore::ImagePool* pool = NimbalCore::ImagePool::Instance();
    const std::string extension = ExtensionOf(path);
    // Folder plug-ins that read this extension come first.
    for (const auto& plugIn : NimbalCore::ProImage::GetFolderPlugIns()) {
        if (!plugIn->AcceptsExtension(extension)) continue;
        ImageRef image(new NimbalCore::ProImage(path, plugIn));
        if (image->Open() == 0) {
            out = image;
            return 0;
        }
    }
    const int32_t statuses[3] = {pool->wren3DriverStatus, pool->ploverDriverStatus, pool->wren4DriverStatus};
    for (int kind = 0; kind < 3; ++kind) {
        if (statuses[kind] != 0) continue;
        ImageRef image(new NimbalCore::ProImage(path, kind));
        if (image->Open() == 0) {
            out = image;
            return 0;
        }
    }
    return NimbalCore::NbErrImageFileOpenFailed;
}

// The kinds in the factory's order, or the one forced.
int OpenImage(const std::string& file, const std::string& kind, ImageRef& out, std::string& kindName) {
    NimbalCore::ProImage::InstallPoolSteps();
    const NimbalCore::FilePathSpec path(file);
    const std::string extension = ExtensionOf(path);
    std::string k = kind;
    if (k.empty()) {
        if (extension == "TIF" || extension == "TIFF") k = "tiff";
        else if (extension == "JPG" || extension == "JPEG") k = "jpeg";
        else k = "zyn";
    }
    kindName = k;
    if (k == "tiff") {
        ImageRef image(new NimbalCore::FinishedTIFFImage(path));
        const int code = image->Open();
        if (code == 0) out = image;
        return code;
    }
    if (k == "jpeg") {
        ImageRef image(new NimbalCore::FinishedJPEGImage(path));
        const int code = image->Open();
        if (code == 0) out = image;
        return code;
    }
    if (k == "zyn") return OpenZyn(path, out);
    // The camera-interface kind is not in this program yet.
    return NimbalCore::NbErrNotSupported;
}

template <typename F>
int Guarded(F&& f) {
    try {
        return f();
    } catch (const YlmErrp& e) {
        return e.GetCode();
    } catch (NimbalCore::NbErrorCodes code) {
        return code;
    } catch (int code) {
        return code;
    } catch (...) {
        return NimbalCore::NbErrImageFileOpenFailed;
    }
}

int openCommand(int argc, char** argv) {
    if (argc < 3) return usage();
    std::string kind;
    for (int i = 3; i + 1 < argc; ++i)
        if (std::string(argv[i]) == "--kind") kind = argv[++i];
    ImageRef image;
    std::string kindName;
    std::string json_out;
    const int code = Guarded([&] {
        const int opened = OpenImage(argv[2], kind, image, kindName);
        if (opened != 0) return opened;
        Image* im = image.Get();
        std::string modes;
        for (int m : im->GetSupportedColorModes()) modes += (modes.empty() ? "" : ", ") + std::to_string(m);
        json_out = "{\"code\": 0, \"kind\": " + json(kindName) + ", \"fileType\": " + std::to_string(im->GetFileType());
        if (auto* pro = dynamic_cast<NimbalCore::ProImage*>(im))
            json_out += ", \"driver\": " + std::to_string(pro->GetDriverKind()) +
                        ", \"modelCode\": " + std::to_string(pro->GetModelCode());
        json_out += ", \"native\": " + RectJson(im->GetNativeImageRect()) +
                    ", \"imageRect\": " + RectJson(im->GetImageRect()) +
                    ", \"thumbnailRect\": " + RectJson(im->GetThumbnailRect()) +
                    ", \"samplesPerPixel\": " + std::to_string(im->GetSamplesPerPixel()) +
                    ", \"bytesPerSample\": " + std::to_string(im->GetBytesPerSample()) + ", \"colorModes\": [" + modes +
                    "], \"sourceColorSpace\": " + json(im->GetSourceColorSpaceName()) +
                    ", \"dateString\": " + json(im->GetDateTimeString()) + ", \"make\": " + json(im->GetCameraMake()) +
                    ", \"model\": " + json(im->GetCameraModel()) + ", \"serialNumber\": " + json(im->GetSerialNumber()) +
                    ", \"imageInfo\": " + json(im->GetImageInfoText()) + "}";
        return 0;
    });
    image.Reset();
    NimbalCore::ImagePool::DeleteInstance();
    if (code != 0) return failure(code);
    std::printf("%s\n", json_out.c_str());
    return 0;
}

bool WriteNetpbm(const std::string& file, NimbalCore::RenderBuffer& buffer, bool gray, int depth) {
    const NbRect b = buffer.GetBounds();
    const int64_t w = b.Width(), h = b.Height(), channels = gray ? 1 : 3;
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(file.c_str(), "wb"), &std::fclose);
    if (!f) return false;
    std::fprintf(f.get(), "%s\n%lld %lld\n%d\n", gray ? "P5" : "P6", (long long)w, (long long)h,
                 depth == 16 ? 65535 : 255);
    const auto* data = static_cast<const uint8_t*>(buffer.GetData());
    const int64_t rowBytes = w * channels * (depth / 8);
    std::vector<uint8_t> row(static_cast<size_t>(rowBytes));
    for (int64_t y = 0; y < h; ++y) {
        const uint8_t* src = data + y * buffer.GetRowBytes();
        if (depth == 16) {
            for (int64_t i = 0; i < rowBytes; i += 2) row[size_t(i)] = src[i + 1], row[size_t(i + 1)] = src[i];
        } else {
            std::copy(src, src + rowBytes, row.begin());
        }
        if (std::fwrite(row.data(), 1, row.size(), f.get()) != row.size()) return false;
    }
    return std::fclose(f.release()) == 0;
}

int render(int argc, char** argv) {
    if (argc < 4) return usage();
    const std::string out = argv[3];
    bool thumbnail = false, haveCrop = false;
    int depth = 8, rotation = 0, scale = 1;
    NbRect crop;
    std::string space, kind;
    for (int i = 4; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--thumbnail") thumbnail = true;
        else if (i + 1 >= argc) return usage();
        else if (a == "--depth") depth = std::atoi(argv[++i]);
        else if (a == "--rotate") rotation = std::atoi(argv[++i]);
        else if (a == "--scale") scale = std::atoi(argv[++i]);
        else if (a == "--space") space = argv[++i];
        else if (a == "--kind") kind = argv[++i];
        else if (a == "--crop") {
            if (std::sscanf(argv[++i], "%d,%d,%d,%d", &crop.left, &crop.top, &crop.right, &crop.bottom) != 4)
                return usage();
            haveCrop = true;
        } else return usage();
    }
    if (depth != 8 && depth != 16) return usage();
    ImageRef image;
    std::string kindName;
    const int code = Guarded([&] {
        const int opened = OpenImage(argv[2], kind, image, kindName);
        if (opened != 0) return opened;
        Image* im = image.Get();
        NimbalCore::ImageProcessParam params = *im->GetProcessParams();
        params.rotation = float(rotation);
        if (haveCrop) params.crop = crop;
        params.workingSpaceName = space.empty() ? im->GetSourceColorSpaceName() : space;
        if (!thumbnail) {
            const auto check = im->MapRectBetweenRotations(params.crop, params.rotation, nullptr, 0);
            if (haveCrop && check != 0) return int(NimbalCore::NbErrRenderFailed);
        }
        const std::vector<int> modes = im->GetSupportedColorModes();
        const bool gray = std::find(modes.begin(), modes.end(), 0) == modes.end();
        NimbalCore::ImageRendering rendering(image, params);
        // The area the view shows: the thumbnail, the level of the scale, or
        // the crop; turned as the view turns it.
        NbRect area;
        if (thumbnail) {
            area = im->GetNativeThumbnailRect();
        } else {
            const auto levels = im->GetAvailableResolutions();
            auto it = levels.find(scale);
            area = it != levels.end() ? it->second : im->GetNativeImageRect();
            if (haveCrop) area = crop;
        }
        int64_t w = area.Width(), h = area.Height();
        if (rotation == 90 || rotation == 270) std::swap(w, h);
        NimbalCore::RenderBuffer buffer;
        buffer.SetPixelType(gray ? NimbalCore::PixelArray::Gray : NimbalCore::PixelArray::RGB);
        buffer.SetBytesPerSample(depth / 8);
        buffer.SetBounds(NbRect(0, 0, int32_t(w - 1), int32_t(h - 1)));
        buffer.SetRowBytes(int32_t(w * (gray ? 1 : 3) * (depth / 8)));
        if (thumbnail) buffer.RenderThumbnailFrom(&rendering);
        else buffer.RenderFrom(&rendering, nullptr, scale, haveCrop ? 0 : 1);
        if (!WriteNetpbm(out, buffer, gray, depth)) return int(NimbalCore::NbErrFileWriteFailed);
        return 0;
    });
    image.Reset();
    NimbalCore::ImagePool::DeleteInstance();
    if (code != 0) return failure(code);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    const std::string command = argv[1];
    if (command == "strings") return strings(argc, argv);
    // Images see their colour spaces, looks and transforms through the
    // colour engine, as in the program.
    if (command == "open" || command == "render") NimbalCore::ColorEngine::Instance(0, 1);
    if (command == "open") return openCommand(argc, argv);
    if (command == "render") return render(argc, argv);
    if (command == "export") return exportImage(argc, argv);
    return usage();
}
