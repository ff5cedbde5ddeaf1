// coreclient strings FILE.u16 LANGUAGE KEY...
//
// Loads the string table FILE.u16 in the column of LANGUAGE (a value of the
// "Language" setting: "French", "Verification", ...) and prints one JSON line
// per KEY: {"key": ..., "found": true|false, "text": ...} (UTF-8). A failure
// prints {"code": N} and exits 1.
//
// coreclient open PATH [--kind K]
//
// Opens the image as the program does (the image factory picks its kind) and
// prints one JSON object: code, kind (tiff, jpeg, pro for the newest models'
// raw files, zyn for the older ones), file type, native, image and thumbnail
// rectangles, samples per pixel, bytes per sample, colour modes, source
// colour-space name, date string, make, model, serial number, image info text
// (and the driver of a raw image of the newest models; for the older ones
// the file kind, capability flags, looks, resolutions, capture time, tag,
// sound key, GPS text, annotation and camera-settings text). --kind K (tiff,
// jpeg, pro, zyn) opens the file as that kind only and a refusal prints the
// kind's own code; --kind raw tries the started model drivers in the
// factory's order, then the camera interface. render and params take --kind
// alike.
//
// coreclient render PATH OUT.ppm|OUT.pgm [--thumbnail] [--depth 8|16]
//           [--rotate D] [--crop l,t,r,b] [--scale N] [--space NAME] [--kind K]
//
// Renders the image through an ImageRendering into a RenderBuffer and writes
// binary netpbm: PPM, or PGM for an image without colour (16-bit samples
// big-endian); a thumbnail goes into a cleared array of the image's thumbnail
// rectangle. Any failure prints {"code": N} and exits 1.
//
// coreclient params PATH [--kind K]
//
// Prints the image's current, at-capture, automatic and custom parameter sets
// as one JSON object, each with the code its own image's validation gives it
// ({"code": N} for a set the image cannot make).
//
// coreclient export IN OUT --tiff [--depth 8|16] [--resize percent P|fill W H|fit W H|pad W H]
//     [--units inch|cm] [--resolution N] [--working-space DESCRIPTION] [--no-profile] [--gps-text]
//     [--cancel-after STRIPS]
// coreclient export IN OUT --jpeg [--quality 0|1|2] [the options above but --depth]
//
// Opens IN through the image factory and exports it to OUT through the
// exporter its kind makes, as the program would; a failure prints
// {"code": N} and exits 1. --cancel-after cancels once that many strips were
// rendered. A JPEG export takes the quantisation tables of its quality code
// from the image. Without --working-space the export takes the colour
// engine's working space, and embeds its profile unless --no-profile.
//
// coreclient wb PATH OUT.wb
//
// Writes the image's white-balance file for the camera, as the program's
// command does: an image that cannot give one prints {"code": 1725,
// "reason": N} (the reason the program shows) and exits 1; otherwise the
// kind writes OUT and {"code": 0} is printed, or {"code": N} on failure.
//
// coreclient quant PATH --chroma 0|1 --quality N
//
// The quantisation table a JPEG export of quality code N asks the image for:
// {"code": 0, "source": "camera"|"presets", "quality": Q, "values": [64
// values in natural order]}. "camera" when the camera's own tables answer.
#include "ColorEngine.h"
#include "ContactSheet.h"
#include "ExportImageArray.h"
#include "ExportJPEGImage.h"
#include "ExportSizeOptions.h"
#include "FinishedJPEGImage.h"
#include "FinishedTIFFImage.h"
#include "ImagePool.h"
#include "ImageWerks.h"
#include "InstalledImageKinds.h"
#include "ImageRef.h"
#include "ImageRendering.h"
#include "JpegQualityPreset.h"
#include "LocalizedStrings.h"
#include "NbErrorCodes.h"
#include "ProImage.h"
#include "ProgressCB.h"
#include "RenderBuffer.h"
#include "ScalePlugIn.h"
#include "YlmErrp.h"
#include "ZynImage.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
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
                         "       coreclient open PATH [--kind tiff|jpeg|pro|zyn|raw]\n"
                         "       coreclient render PATH OUT.ppm|OUT.pgm [--thumbnail] [--depth 8|16] [--rotate D]\n"
                         "                  [--crop l,t,r,b] [--scale N] [--space NAME] [--kind K]\n"
                         "       coreclient params PATH [--kind K]\n"
                         "       coreclient scan FOLDER\n"
                         "       coreclient export IN OUT --tiff [--depth 8|16] [--resize percent P|fill W H|fit W H|pad W H]\n"
                         "           [--units inch|cm] [--resolution N] [--working-space DESCRIPTION] [--no-profile]\n"
                         "           [--gps-text] [--cancel-after STRIPS]\n"
                         "       coreclient export IN OUT --jpeg [--quality 0|1|2] [--resize ...] [--units inch|cm]\n"
                         "           [--resolution N] [--working-space DESCRIPTION] [--no-profile] [--cancel-after STRIPS]\n"
                         "       coreclient wb PATH OUT.wb\n"
                         "       coreclient quant PATH --chroma 0|1 --quality N\n"
                         "       coreclient save-params PATH\n"
                         "       coreclient save-meta PATH [--tag 0|1] [--iptc FILE.ipt] [--annotation TEXT]\n"
                         "       coreclient convert-jpeg PATH OUT.jpg [--quality N] [--size N] [--res N] [--unit 1|2]\n");
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

std::string RectJson(const NbRect& r) {
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "[%d, %d, %d, %d]", r.left, r.top, r.right, r.bottom);
    return buffer;
}

std::string Absolute(const std::string& path) {
    std::error_code error;
    const std::filesystem::path whole = std::filesystem::absolute(path, error);
    return error ? path : whole.lexically_normal().string();
}

// The kinds --kind names: the four image kinds, and raw for either raw kind.
bool KnownKind(const std::string& kind) {
    return kind == "tiff" || kind == "jpeg" || kind == "pro" || kind == "zyn" || kind == "raw";
}

// Opens the file as one kind only, so that its own failure code is seen,
// which the factory would hide behind 2000. Raw files try the started model
// drivers in the factory's order, then the camera interface.
int OpenKind(const NimbalCore::FilePathSpec& path, const std::string& kind, ImageRef& out) {
    using namespace NimbalCore;
    auto open = [&](Image* made) {
        ImageRef image(made);
        const int code = image->Open();
        if (code == 0) out = image;
        return code;
    };
    // The pool starts the model drivers and the camera interface, as the
    // factory's first look into it does.
    const ImagePool* pool = ImagePool::Instance();
    if (kind == "tiff") return open(new FinishedTIFFImage(path));
    if (kind == "jpeg") return open(new FinishedJPEGImage(path));
    int code = NbErrImageFileOpenFailed;
    if (kind == "pro" || kind == "raw") {
        for (const int driverKind : pool->StartedDriverKinds()) {
            code = open(new ProImage(path, driverKind));
            if (code == 0) return 0;
        }
        if (kind == "pro") return code;
    }
    return open(new ZynImage(path));
}

// Opens the file through the image factory, as the program does, or as the
// kind asked for (empty: any).
int OpenImage(const std::string& file, ImageRef& out, std::string& kindName, const std::string& kind = "") {
    NimbalCore::InstalledImageKinds::Install();
    // The program hands the kinds whole paths, as its documents hold them.
    const NimbalCore::FilePathSpec path(Absolute(file));
    if (kind.empty()) {
        const int code = NimbalCore::ImageWerks().OpenImage(path, out);
        if (code != 0) return code;
    } else {
        const int code = OpenKind(path, kind, out);
        if (code != 0) {
            out.Reset();
            return code;
        }
        // Pooled as the factory pools what it opens.
        NimbalCore::ImagePool::Instance()->AddImage(out);
    }
    Image* im = out.Get();
    if (dynamic_cast<NimbalCore::FinishedTIFFImage*>(im)) kindName = "tiff";
    else if (dynamic_cast<NimbalCore::FinishedJPEGImage*>(im)) kindName = "jpeg";
    else if (dynamic_cast<NimbalCore::ProImage*>(im)) kindName = "pro";
    else if (dynamic_cast<NimbalCore::ZynImage*>(im)) kindName = "zyn";
    return 0;
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


int exportImage(int argc, char** argv) {
    using namespace NimbalCore;
    if (argc < 5 || (std::strcmp(argv[4], "--tiff") != 0 && std::strcmp(argv[4], "--jpeg") != 0)) return usage();
    const bool jpeg = std::strcmp(argv[4], "--jpeg") == 0;
    int depth = 8, cancelAfter = -1, quality = 0;
    bool embed = true, gps = false;
    std::string workingSpace;
    ExportSizeOptions size;
    size.resolution = 300;
    for (int i = 5; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&](int* out) { return i + 1 < argc && number(argv[++i], out); };
        if (a == "--depth" && !jpeg) {
            if (!next(&depth) || (depth != 8 && depth != 16)) return usage();
        } else if (a == "--quality" && jpeg) {
            if (!next(&quality) || quality < 0 || quality > 2) return usage();
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
        // The pool brings the scale plug-in (and the raw drivers) up with it,
        // as the program's does.
        NimbalCore::ScalePlugIn::InstallPoolBinding();
        NimbalCore::InstalledImageKinds::Install();
        ImagePool::Instance();
        ColorEngine::Instance(0, 1);
        ImageRef image;
        std::string kindName;
        if (const int opened = OpenImage(argv[2], image, kindName)) return failure(opened);
        ImageProcessParam params = *image->GetProcessParams();
        params.crop = image->GetImageRect();
        // Every export of the program names a working space (its setting,
        // which the colour engine holds); a finished file's own name is
        // empty, and would leave the profile out.
        params.workingSpaceName =
            workingSpace.empty() ? ColorEngine::Instance(0, 1)->GetWorkingSpaceName() : workingSpace;
        ImageRendering rendering(image, params);
        ExportImageArray array;
        array.SetBytesPerSample(depth == 16 ? 2 : 1);
        std::unique_ptr<ExportImage> exporter(image->CreateExportImage(
            jpeg ? ExportImage::FormatJPEG : ExportImage::FormatTIFF, &rendering, FilePathSpec(argv[3]), &array, 0));
        if (!exporter) return failure(NbErrNotSupported);
        if (jpeg) {
            auto* e = dynamic_cast<ExportJPEGImage*>(exporter.get());
            if (!e) return failure(NbErrNotSupported);
            e->SetQualityCode(quality);
        }
        exporter->SetSizeOptions(size);
        exporter->SetEmbedProfile(embed);
        exporter->SetRenderGPSText(gps);
        int32_t strips = 1, rows = 1;
        exporter->ComputeStrips(&strips, &rows);
        CancelAfter cancel(cancelAfter, strips);
        exporter->SetProgressCB(&cancel);
        exporter->SaveFile();
    } catch (const YlmErrp& e) {
        return failure(e.GetCode());
    } catch (NbErrorCodes code) {
        return failure(code);
    } catch (int code) {
        return failure(code);
    }
    NimbalCore::ImagePool::DeleteInstance();
    std::printf("{\"code\": 0}\n");
    return 0;
}

// The kind a command asks for with --kind (empty: any); false for another
// switch, a missing value or a kind the tool does not know.
bool KindOption(int argc, char** argv, int from, std::string& kind) {
    for (int i = from; i < argc; ++i) {
        if (std::strcmp(argv[i], "--kind") != 0 || i + 1 >= argc || !KnownKind(argv[i + 1])) return false;
        kind = argv[++i];
    }
    return true;
}

std::string IntListJson(const std::vector<int>& values) {
    std::string out;
    for (int v : values) out += (out.empty() ? "" : ", ") + std::to_string(v);
    return "[" + out + "]";
}

std::string TripleJson(const uint16_t t[3]) {
    return "[" + std::to_string(t[0]) + ", " + std::to_string(t[1]) + ", " + std::to_string(t[2]) + "]";
}

// What an image of the older raw kind reads at its first opening.
std::string ZynJson(NimbalCore::ZynImage* zyn) {
    char flags[16];
    std::snprintf(flags, sizeof flags, "0x%04x", zyn->GetCapabilityFlags());
    std::string looks, resolutions;
    for (const std::string& look : zyn->GetAvailableLooks()) looks += (looks.empty() ? "" : ", ") + json(look);
    for (const auto& [scale, rect] : zyn->GetAvailableResolutions())
        resolutions += (resolutions.empty() ? "" : ", ") + json(std::to_string(scale)) + ": " + RectJson(rect);
    return ", \"fileKind\": " + std::to_string(zyn->GetFileKind()) + ", \"capabilities\": " + json(flags) +
           ", \"lookCount\": " + std::to_string(zyn->GetLookCount()) + ", \"looks\": [" + looks +
           "], \"resolutions\": {" + resolutions + "}, \"captureTime\": " + std::to_string(zyn->GetCaptureTime()) +
           ", \"tagged\": " + (zyn->IsTagged() ? "true" : "false") + ", \"soundKey\": " + json(zyn->GetSoundKey()) +
           ", \"gpsText\": " + json(zyn->GetGPSText()) + ", \"annotation\": " + json(zyn->GetAnnotation()) +
           ", \"cameraSettings\": " + json(zyn->GetCameraSettingsBlock());
}

int whiteBalanceFile(int argc, char** argv) {
    if (argc != 4) return usage();
    ImageRef image;
    std::string kindName;
    int reason = 0;
    bool refused = false;
    const int code = Guarded([&] {
        if (const int opened = OpenImage(argv[2], image, kindName)) return opened;
        // The program asks first and shows the reason of a refusal.
        if (!image->CanWhiteBalanceFileBeSaved(&reason)) {
            refused = true;
            return int(NimbalCore::NbErrWhiteBalanceUnavailable);
        }
        image->WriteWhiteBalanceFile(NimbalCore::FilePathSpec(Absolute(argv[3])));
        return 0;
    });
    image.Reset();
    NimbalCore::ImagePool::DeleteInstance();
    if (refused) {
        std::printf("{\"code\": %d, \"reason\": %d}\n", code, reason);
        return 1;
    }
    if (code != 0) return failure(code);
    std::printf("{\"code\": 0}\n");
    return 0;
}

int quantizationTable(int argc, char** argv) {
    if (argc != 7) return usage();
    int chroma = -1, qualityCode = 0;
    bool haveQuality = false;
    for (int i = 3; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--quality") haveQuality = true;
        int* out = a == "--chroma" ? &chroma : a == "--quality" ? &qualityCode : nullptr;
        if (!out || !number(argv[i + 1], out)) return usage();
    }
    if ((chroma != 0 && chroma != 1) || !haveQuality) return usage();
    ImageRef image;
    std::string kindName;
    std::string line;
    const int code = Guarded([&] {
        if (const int opened = OpenImage(argv[2], image, kindName)) return opened;
        // As the JPEG exporter asks: row code 0, the quality code beside it.
        int table[NimbalCore::JpegQualityPreset::kTableSize] = {};
        int quality = 0;
        const char* source = "camera";
        if (!image->GetCameraJPEGQuantizationTables(chroma == 1, 0, qualityCode, table, &quality)) {
            source = "presets";
            if (!image->GetJPEGQuantizationTables(chroma == 1, 0, qualityCode, table, &quality))
                return int(NimbalCore::NbErrNotSupported);
        }
        std::string values;
        for (int v : table) values += (values.empty() ? "" : ", ") + std::to_string(v);
        line = std::string("{\"code\": 0, \"source\": \"") + source + "\", \"quality\": " + std::to_string(quality) +
               ", \"values\": [" + values + "]}";
        return 0;
    });
    image.Reset();
    NimbalCore::ImagePool::DeleteInstance();
    if (code != 0) return failure(code);
    std::printf("%s\n", line.c_str());
    return 0;
}

// Runs one operation on an opened image and prints its code.
int OnImage(const char* file, const std::function<int(Image*)>& operation) {
    ImageRef image;
    std::string kindName;
    const int code = Guarded([&] {
        if (const int opened = OpenImage(file, image, kindName)) return opened;
        return operation(image.Get());
    });
    image.Reset();
    NimbalCore::ImagePool::DeleteInstance();
    if (code != 0) return failure(code);
    std::printf("{\"code\": 0}\n");
    return 0;
}

int saveParams(int argc, char** argv) {
    if (argc != 3) return usage();
    return OnImage(argv[2], [](Image* im) {
        im->WriteProcessParamsToFile();
        return 0;
    });
}

int saveMeta(int argc, char** argv) {
    if (argc < 3) return usage();
    int tag = -1;
    const char* iptcFile = nullptr;
    const char* annotation = nullptr;
    for (int i = 3; i < argc; i += 2) {
        if (i + 1 >= argc) return usage();
        const std::string a = argv[i];
        if (a == "--tag") {
            if (!number(argv[i + 1], &tag) || (tag != 0 && tag != 1)) return usage();
        } else if (a == "--iptc") {
            iptcFile = argv[i + 1];
        } else if (a == "--annotation") {
            annotation = argv[i + 1];
        } else {
            return usage();
        }
    }
    return OnImage(argv[2], [&](Image* im) {
        if (tag >= 0) im->SetTagged(tag == 1);
        if (iptcFile) {
            NimbalCore::IPTCNAARecord2 record;
            if (!record.ReadFromFile(NimbalCore::FilePathSpec(Absolute(iptcFile))))
                return int(NimbalCore::NbErrFileReadFailed);
            im->SetIPTCRecord(record);
        }
        if (annotation) im->SetAnnotation(annotation);
        im->WriteAllMetaDataToFile();
        return 0;
    });
}

int convertJpeg(int argc, char** argv) {
    if (argc < 4) return usage();
    int quality = 0, size = 0, resolution = 300, unit = 2;
    for (int i = 4; i < argc; i += 2) {
        const std::string a = argv[i];
        int* out = a == "--quality" ? &quality : a == "--size" ? &size : a == "--res" ? &resolution
                 : a == "--unit"    ? &unit
                                    : nullptr;
        if (!out || i + 1 >= argc || !number(argv[i + 1], out)) return usage();
    }
    if (unit != 1 && unit != 2) return usage();
    const std::string target = Absolute(argv[3]);
    return OnImage(argv[2], [&](Image* im) {
        auto* zyn = dynamic_cast<NimbalCore::ZynImage*>(im);
        if (!zyn) return int(NimbalCore::NbErrNotSupported);
        zyn->ExportJPEG(NimbalCore::FilePathSpec(target), quality, size, unit, resolution, *zyn->GetProcessParams(),
                        nullptr);
        return 0;
    });
}

int openCommand(int argc, char** argv) {
    std::string wanted;
    if (argc < 3 || !KindOption(argc, argv, 3, wanted)) return usage();
    ImageRef image;
    std::string kindName;
    std::string json_out;
    const int code = Guarded([&] {
        const int opened = OpenImage(argv[2], image, kindName, wanted);
        if (opened != 0) return opened;
        Image* im = image.Get();
        json_out = "{\"code\": 0, \"kind\": " + json(kindName) + ", \"fileType\": " + std::to_string(im->GetFileType());
        if (auto* pro = dynamic_cast<NimbalCore::ProImage*>(im))
            json_out += ", \"driver\": " + std::to_string(pro->GetDriverKind()) +
                        ", \"modelCode\": " + std::to_string(pro->GetModelCode());
        json_out += ", \"native\": " + RectJson(im->GetNativeImageRect()) +
                    ", \"imageRect\": " + RectJson(im->GetImageRect()) +
                    ", \"thumbnailRect\": " + RectJson(im->GetThumbnailRect()) +
                    ", \"samplesPerPixel\": " + std::to_string(im->GetSamplesPerPixel()) +
                    ", \"bytesPerSample\": " + std::to_string(im->GetBytesPerSample()) +
                    ", \"colorModes\": " + IntListJson(im->GetSupportedColorModes()) +
                    ", \"sourceColorSpace\": " + json(im->GetSourceColorSpaceName()) +
                    ", \"dateString\": " + json(im->GetDateTimeString()) + ", \"make\": " + json(im->GetCameraMake()) +
                    ", \"model\": " + json(im->GetCameraModel()) + ", \"serialNumber\": " + json(im->GetSerialNumber()) +
                    ", \"imageInfo\": " + json(im->GetImageInfoText());
        if (auto* zyn = dynamic_cast<NimbalCore::ZynImage*>(im)) json_out += ZynJson(zyn);
        json_out += "}";
        return 0;
    });
    image.Reset();
    NimbalCore::ImagePool::DeleteInstance();
    if (code != 0) return failure(code);
    std::printf("%s\n", json_out.c_str());
    return 0;
}

// One parameter set and the code the image's validation gives it.
std::string ParamsJson(Image* image, const NimbalCore::ImageProcessParam& p) {
    char exposure[32], rotation[32];
    std::snprintf(exposure, sizeof exposure, "%g", double(p.exposureCompensation));
    std::snprintf(rotation, sizeof rotation, "%g", double(p.rotation));
    return "{\"validation\": " + std::to_string(int(image->ValidateProcessParams(p))) +
           ", \"balanceType\": " + std::to_string(p.balanceType) + ", \"lighting\": " + std::to_string(p.lighting) +
           ", \"fallbackLighting\": " + std::to_string(p.lightingIndex) +
           ", \"automaticBalance\": " + TripleJson(p.autoBalance) + ", \"clickBalance\": " + TripleJson(p.clickBalance) +
           ", \"customBalance\": " + TripleJson(p.customBalance) + ", \"balanceOwner\": " + json(p.balanceSource) +
           ", \"exposure\": " + exposure + ", \"look\": " + json(p.lookName) +
           ", \"colorMode\": " + std::to_string(p.colorMode) + ", \"sharpening\": [" + std::to_string(p.sharpenMode) +
           ", " + std::to_string(p.sharpenAmount) + ", " + std::to_string(p.sharpenRadius) + ", " +
           std::to_string(p.sharpenThreshold) + "], \"noise\": [" + std::to_string(p.noiseReductionMode) + ", " +
           std::to_string(p.noiseReductionStrength) + "], \"rotation\": " + rotation +
           ", \"crop\": " + RectJson(p.crop) + ", \"workingSpace\": " + json(p.workingSpaceName) + "}";
}

int params(int argc, char** argv) {
    std::string wanted;
    if (argc < 3 || !KindOption(argc, argv, 3, wanted)) return usage();
    ImageRef image;
    std::string kindName, out;
    const int code = Guarded([&] {
        const int opened = OpenImage(argv[2], image, kindName, wanted);
        if (opened != 0) return opened;
        Image* im = image.Get();
        // A set the image cannot make is its code.
        auto set = [&](const char* name, const std::function<NimbalCore::ImageProcessParam()>& make) {
            std::string text;
            const int failed = Guarded([&] {
                text = ParamsJson(im, make());
                return 0;
            });
            if (failed) text = "{\"code\": " + std::to_string(failed) + "}";
            out += std::string(out.empty() ? "" : ", ") + json(name) + ": " + text;
        };
        set("current", [&] { return *im->GetProcessParams(); });
        set("atCapture", [&] { return im->GetAtCaptureParams(); });
        set("automatic", [&] { return im->GetAutoParams(); });
        set("custom", [&] { return im->GetCustomParams(); });
        out = "{\"code\": 0, \"kind\": " + json(kindName) + ", " + out + "}";
        return 0;
    });
    image.Reset();
    NimbalCore::ImagePool::DeleteInstance();
    if (code != 0) return failure(code);
    std::printf("%s\n", out.c_str());
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
    std::string space, wanted;
    for (int i = 4; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--thumbnail") thumbnail = true;
        else if (i + 1 >= argc) return usage();
        else if (a == "--kind") {
            wanted = argv[++i];
            if (!KnownKind(wanted)) return usage();
        }
        else if (a == "--depth") depth = std::atoi(argv[++i]);
        else if (a == "--rotate") rotation = std::atoi(argv[++i]);
        else if (a == "--scale") scale = std::atoi(argv[++i]);
        else if (a == "--space") space = argv[++i];
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
        const int opened = OpenImage(argv[2], image, kindName, wanted);
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
        if (thumbnail) {
            // What the image's thumbnail does not cover stays black.
            const uint64_t bytes = uint64_t(buffer.GetRowBytes()) * uint64_t(h);
            buffer.Create(bytes);
            std::memset(buffer.GetData(), 0, size_t(bytes));
            buffer.RenderThumbnailFrom(&rendering);
        }
        else buffer.RenderFrom(&rendering, nullptr, scale, haveCrop ? 0 : 1);
        if (!WriteNetpbm(out, buffer, gray, depth)) return int(NimbalCore::NbErrFileWriteFailed);
        return 0;
    });
    image.Reset();
    NimbalCore::ImagePool::DeleteInstance();
    if (code != 0) return failure(code);
    return 0;
}

// A sheet as a document keeps it: every image it accepts stays listed, and
// the report order is remembered.
class ScanSheet : public NimbalCore::ContactSheet {
public:
    int ImageFound(ImageRef image) override {
        const int result = ContactSheet::ImageFound(image);
        if (result == 0) reported.push_back(image);
        return result;
    }
    void ReportDropFailures(std::vector<std::string>) override {}
    void ActivateImage(const NimbalCore::FilePathSpec&) override {}

    std::vector<ImageRef> reported;
};

int scan(int argc, char** argv) {
    if (argc != 3) return usage();
    std::string lines;
    const int code = Guarded([&] {
        NimbalCore::InstalledImageKinds::Install();
        NimbalCore::ImagePool::Instance();
        ScanSheet sheet;
        sheet.SetFolder(NimbalCore::FilePathSpec(Absolute(argv[2])));
        sheet.ScanFolder();
        for (const ImageRef& image : sheet.reported) {
            std::string sounds;
            for (const NimbalCore::FilePathSpec& sound : *image->GetSounds())
                sounds += (sounds.empty() ? "" : ", ") + json(sound.GetFileName());
            lines += "{\"name\": " + json(image->GetFileName()) + ", \"sounds\": [" + sounds + "]}\n";
        }
        return 0;
    });
    NimbalCore::ImagePool::DeleteInstance();
    if (code != 0) return failure(code);
    std::fputs(lines.c_str(), stdout);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    const std::string command = argv[1];
    if (command == "strings") return strings(argc, argv);
    // Images see their colour spaces, looks and transforms through the
    // colour engine, as in the program.
    if (command == "open" || command == "render" || command == "scan" || command == "params" || command == "wb" ||
        command == "quant" || command == "save-params" || command == "save-meta" || command == "convert-jpeg")
        NimbalCore::ColorEngine::Instance(0, 1);
    if (command == "open") return openCommand(argc, argv);
    if (command == "params") return params(argc, argv);
    if (command == "render") return render(argc, argv);
    if (command == "export") return exportImage(argc, argv);
    if (command == "scan") return scan(argc, argv);
    if (command == "wb") return whiteBalanceFile(argc, argv);
    if (command == "quant") return quantizationTable(argc, argv);
    if (command == "save-params") return saveParams(argc, argv);
    if (command == "save-meta") return saveMeta(argc, argv);
    if (command == "convert-jpeg") return convertJpeg(argc, argv);
    return usage();
}
