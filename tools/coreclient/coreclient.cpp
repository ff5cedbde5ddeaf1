// coreclient strings FILE.u16 LANGUAGE KEY...
//
// Loads the string table FILE.u16 in the column of LANGUAGE (a value of the
// "Language" setting: "French", "Verification", ...) and prints one JSON line
// per KEY: {"key": ..., "found": true|false, "text": ...} (UTF-8). A failure
// prints {"code": N} and exits 1.
#include "LocalizedStrings.h"
#include "NbErrorCodes.h"
#include "YlmErrp.h"

#include <cstdio>
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
    std::fprintf(stderr, "usage: coreclient strings FILE.u16 LANGUAGE KEY...\n");
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

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    const std::string command = argv[1];
    if (command == "strings") return strings(argc, argv);
    return usage();
}
