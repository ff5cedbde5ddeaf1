// coreclient strings FILE.u16 LANGUAGE KEY...
//
// Loads the string table FILE.u16 in the column of LANGUAGE (a value of the
// "Language" setting: "French", "Verification", ...) and prints one JSON line
// per KEY: {"key": ..., "found": true|false, "text": ...} (UTF-8). A failure
// prints {"code": N} and exits 1.
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
#include "FinishedTIFFImage.h"
#include "ImagePool.h"
#include "ImageRendering.h"
#include "LocalizedStrings.h"
#include "NbErrorCodes.h"
#include "ProgressCB.h"
#include "YlmErrp.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

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

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    const std::string command = argv[1];
    if (command == "strings") return strings(argc, argv);
    if (command == "export") return exportImage(argc, argv);
    return usage();
}
