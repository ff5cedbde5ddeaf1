// coreclient strings FILE.u16 LANGUAGE KEY...
//
// Loads the string table FILE.u16 in the column of LANGUAGE (a value of the
// "Language" setting: "French", "Verification", ...) and prints one JSON line
// per KEY: {"key": ..., "found": true|false, "text": ...} (UTF-8). A failure
// prints {"code": N} and exits 1.
//
// coreclient open [--kind tiff|jpeg] FILE
// coreclient render [--kind tiff|jpeg] [--thumbnail] FILE OUT.pnm
//
// Opens a finished image (the kind by the extension unless --kind says) and
// prints one JSON line of what it found, or renders the image, or its
// thumbnail, as stored into an 8-bit PNM file (P6, P5 for gray images).
#include "ExportImageArray.h"
#include "FinishedJPEGImage.h"
#include "FinishedTIFFImage.h"
#include "LocalizedStrings.h"
#include "NbErrorCodes.h"
#include "YlmErrp.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
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
                         "       coreclient open [--kind tiff|jpeg] FILE\n"
                         "       coreclient render [--kind tiff|jpeg] [--thumbnail] FILE OUT.pnm\n");
    return 2;
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

struct FinishedArgs {
    std::string kind, file, out;
    bool thumbnail = false;
};

bool parseFinished(int argc, char** argv, bool render, FinishedArgs& a) {
    std::vector<std::string> plain;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--kind" && i + 1 < argc) a.kind = argv[++i];
        else if (arg == "--thumbnail" && render) a.thumbnail = true;
        else plain.push_back(arg);
    }
    if (plain.size() != (render ? 2u : 1u)) return false;
    a.file = plain[0];
    if (render) a.out = plain[1];
    if (a.kind.empty()) {
        std::string ext = a.file.substr(a.file.find_last_of('.') + 1);
        std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
        a.kind = (ext == "tif" || ext == "tiff") ? "tiff" : (ext == "jpg" || ext == "jpeg") ? "jpeg" : "";
    }
    return a.kind == "tiff" || a.kind == "jpeg";
}

std::unique_ptr<NimbalCore::FinishedImage> makeFinished(const FinishedArgs& a) {
    const NimbalCore::FilePathSpec path(a.file);
    if (a.kind == "tiff") return std::make_unique<NimbalCore::FinishedTIFFImage>(path);
    return std::make_unique<NimbalCore::FinishedJPEGImage>(path);
}

int openFinished(int argc, char** argv) {
    FinishedArgs a;
    if (!parseFinished(argc, argv, false, a)) return usage();
    auto image = makeFinished(a);
    if (const int code = image->Open()) return failure(code);
    const NimbalCore::NbRect r = image->GetNativeImageRect(), t = image->GetNativeThumbnailRect();
    int thumbnailKind = 0;
    if (auto* jpeg = dynamic_cast<NimbalCore::FinishedJPEGImage*>(image.get())) thumbnailKind = jpeg->GetThumbnailKind();
    std::printf("{\"width\": %d, \"height\": %d, \"samples\": %d, \"bytesPerSample\": %d, \"rotation\": %d, "
                "\"make\": %s, \"model\": %s, \"software\": %s, \"date\": %s, \"finished\": %s, "
                "\"profileBytes\": %zu, \"iptcBytes\": %u, \"thumbnailWidth\": %d, \"thumbnailHeight\": %d, "
                "\"thumbnailKind\": %d}\n",
                int(r.Width()), int(r.Height()), image->GetSamplesPerPixel(), image->GetBytesPerSample(),
                int(image->GetProcessParams()->rotation), json(image->GetCameraMake()).c_str(),
                json(image->GetCameraModel()).c_str(), json(image->GetSoftware()).c_str(),
                json(image->GetDateTimeString()).c_str(), image->IsFinishedZynImage() ? "true" : "false",
                image->GetEmbeddedProfile().size(), image->GetIPTCRecord()->GetLength(), int(t.Width()),
                int(t.Height()), thumbnailKind);
    return 0;
}

int renderFinished(int argc, char** argv) {
    FinishedArgs a;
    if (!parseFinished(argc, argv, true, a)) return usage();
    auto image = makeFinished(a);
    if (const int code = image->Open()) return failure(code);
    const NimbalCore::NbRect r = a.thumbnail ? image->GetNativeThumbnailRect() : image->GetNativeImageRect();
    const bool gray = image->GetSamplesPerPixel() == 1 && !a.thumbnail;
    NimbalCore::ExportImageArray out;
    out.SetPixelType(gray ? NimbalCore::PixelArray::Gray : NimbalCore::PixelArray::RGB);
    out.SetBytesPerSample(1);
    out.SetBounds(NimbalCore::NbRect(0, 0, int32_t(r.Width() - 1), int32_t(r.Height() - 1)));
    out.SetRowBytes(int32_t(r.Width() * out.GetChannels()));
    NimbalCore::ImageProcessParam params;
    try {
        out.Create(uint64_t(r.Height()) * uint64_t(out.GetRowBytes()));
        if (a.thumbnail) image->RenderThumbnail(params, out);
        else image->RenderImage(params, out, false, nullptr, 1);
    } catch (const YlmErrp& e) {
        return failure(e.GetCode());
    } catch (int code) {
        return failure(code);
    } catch (...) {
        return failure(NimbalCore::NbErrRenderFailed);
    }
    FILE* f = std::fopen(a.out.c_str(), "wb");
    if (!f) return failure(NimbalCore::NbErrFileWriteFailed);
    std::fprintf(f, "%s\n%d %d\n255\n", gray ? "P5" : "P6", int(r.Width()), int(r.Height()));
    const size_t bytes = size_t(r.Height()) * size_t(out.GetRowBytes());
    const bool written = std::fwrite(out.GetData(), 1, bytes, f) == bytes;
    if (std::fclose(f) != 0 || !written) return failure(NimbalCore::NbErrFileWriteFailed);
    std::printf("{\"width\": %d, \"height\": %d}\n", int(r.Width()), int(r.Height()));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    const std::string command = argv[1];
    if (command == "strings") return strings(argc, argv);
    if (command == "open") return openFinished(argc, argv);
    if (command == "render") return renderFinished(argc, argv);
    return usage();
}
