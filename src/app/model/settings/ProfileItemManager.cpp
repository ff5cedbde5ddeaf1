#include "ProfileItemManager.h"

#include "CLocaleText.h"
#include "ColorEngine.h"
#include "DisplayGeometry.h"
#include "LocalizedText.h"
#include "ProfileStore.h"
#include "StringIds.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace {

bool IsKind(int item, ProfileItemKind kind) { return ProfileItemInfoOf(item).kind == kind; }

std::string Section() { return LoadUntranslatedString(IDS_SECTION_LAST_USED); }

std::string ValueName(int item) {
    const char* name = ProfileItemInfoOf(item).valueName;
    return name ? name : "";
}

// The closeup position's default: near the right edge of the work area.
IntRect DefaultCloseupPosition() {
    const IntRect work = DisplayGeometry::Current().PrimaryWorkArea();
    const int w = work.right - work.left;
    return {w - 325, 150, w - 62, 437};
}

// Reads "%d%d%d%d" as scanf does, without its undefined overflow: a number
// beyond 32 bits ends the scan. Answers how many were read.
int ReadFourInts(const std::string& text, IntRect& r) {
    int* fields[] = {&r.left, &r.top, &r.right, &r.bottom};
    const char* p = text.c_str();
    for (int i = 0; i < 4; ++i) {
        char* end = nullptr;
        errno = 0;
        const long long v = std::strtoll(p, &end, 10);
        if (end == p || errno == ERANGE || v < INT_MIN || v > INT_MAX) return i;
        *fields[i] = int(v);
        p = end;
    }
    return 4;
}

} // namespace

void ProfileItemManager::KeyOfItem(int item, std::string& section, std::string& valueName) const {
    if (!ProfileItemInfoOf(item).valueName) return;
    section = Section();
    valueName = ValueName(item);
}

void ProfileItemManager::GetString(int item, std::string& out) const {
    out.clear();
    if (!IsKind(item, ProfileItemKind::String)) return;
    out = ProfileStore::Current().GetString(Section(), ValueName(item), "");
    switch (item) {
    case PI_WORKING_SPACE_NAME: {
        if (out.empty()) out = kDefaultWorkingSpace;
        NimbalCore::ColorEngine* engine = NimbalCore::ColorEngine::Instance(0, 1);
        if (!engine || !engine->FindProfile(out)) out = kDefaultWorkingSpace;
        break;
    }
    case PI_LANGUAGE:
        if (out.empty()) out = LoadUntranslatedString(IDS_ENGLISH);
        break;
    case PI_PRINT_WIDTH_UNITS:
    case PI_PRINT_HEIGHT_UNITS:
        if (out.empty()) out = LoadUntranslatedString(IDS_INCHES);
        break;
    default: break;
    }
}

void ProfileItemManager::GetInt(int item, int& out) const {
    out = 0;
    if (!IsKind(item, ProfileItemKind::Integer)) return;
    out = ProfileStore::Current().GetInt(Section(), ValueName(item), ProfileItemInfoOf(item).defaultInt);
}

void ProfileItemManager::GetRect(int item, IntRect& out) const {
    out = IntRect{};
    if (!IsKind(item, ProfileItemKind::Rectangle)) return;
    const std::string text = ProfileStore::Current().GetString(Section(), ValueName(item), "");
    if (ReadFourInts(text, out) != 4) out = IntRect{};
    if (item == PI_CLOSEUP_POSITION && out.IsAllZero()) out = DefaultCloseupPosition();
}

void ProfileItemManager::GetDouble(int item, double& out) const {
    if (!IsKind(item, ProfileItemKind::Real)) return;
    const std::string text = ProfileStore::Current().GetString(Section(), ValueName(item), "");
    float value = 0;
    // "inf" and "nan" scan as floats too; no size is either.
    if (!text.empty() && ScanCLocale(text, "%f", &value) == 1 && std::isfinite(value)) out = value;
}

void ProfileItemManager::SetString(int item, const std::string& text) const {
    if (!IsKind(item, ProfileItemKind::String)) return;
    ProfileStore::Current().WriteString(Section(), ValueName(item), text);
}

void ProfileItemManager::SetInt(int item, int value) const {
    if (!IsKind(item, ProfileItemKind::Integer)) return;
    ProfileStore::Current().WriteInt(Section(), ValueName(item), value);
}

void ProfileItemManager::SetRect(int item, int left, int top, int right, int bottom) const {
    if (!IsKind(item, ProfileItemKind::Rectangle)) return;
    ProfileStore::Current().WriteString(Section(), ValueName(item),
                                        FormatCLocale("%d %d %d %d", left, top, right, bottom));
}

void ProfileItemManager::SetDouble(int item, double value) const {
    if (!IsKind(item, ProfileItemKind::Real)) return;
    ProfileStore::Current().WriteString(Section(), ValueName(item), FormatCLocale("%6.3f", value));
}

void ProfileItemManager::GetExportSizeSettings(NimbalCore::ExportSizeOptions& out) const {
    int enable = 0, keep = 0, mode = 0, units = 0, percent = 100;
    double width = 640.0, height = 480.0;
    int value = 0;
    GetInt(PI_RESIZE_ENABLE, value);
    if (value) enable = value;
    GetInt(PI_MAINTAIN_PROPORTIONS, value);
    if (value) keep = value;
    GetInt(PI_RESIZE_MODE, value);
    if (value) mode = value;
    GetInt(PI_TIFF_UNITS, value);
    if (value) units = value;
    GetInt(PI_RESIZE_PERCENT, value);
    if (value) percent = value;
    int resolution = 0;
    GetInt(PI_TIFF_RESOLUTION, resolution);
    if (resolution == 0) resolution = 100;
    // A stored size the record cannot hold in whole pixels (a hand-edited
    // file) counts as absent.
    auto usable = [](double v) { return v != 0 && v > -2147483648.0 && v < 2147483648.0; };
    double real = 0;
    GetDouble(PI_RESIZE_PIXEL_WIDTH, real);
    if (usable(real)) width = real;
    real = 0;
    GetDouble(PI_RESIZE_PIXEL_HEIGHT, real);
    if (usable(real)) height = real;
    out = NimbalCore::ExportSizeOptions(enable != 0, keep != 0, mode, units, percent, resolution, width, height);
}

void ProfileItemManager::SetExportSizeSettings(const NimbalCore::ExportSizeOptions& options) const {
    bool enable = false, keep = false;
    int32_t mode = 0, units = 0, percent = 0, resolution = 0;
    double width = 0, height = 0;
    options.Get(&enable, &keep, &mode, &units, &percent, &resolution, &width, &height);
    SetInt(PI_RESIZE_ENABLE, enable ? 1 : 0);
    SetInt(PI_MAINTAIN_PROPORTIONS, keep ? 1 : 0);
    SetInt(PI_RESIZE_MODE, mode);
    SetInt(PI_TIFF_UNITS, units);
    SetInt(PI_RESIZE_PERCENT, percent);
    SetInt(PI_TIFF_RESOLUTION, resolution);
    SetDouble(PI_RESIZE_PIXEL_WIDTH, width);
    SetDouble(PI_RESIZE_PIXEL_HEIGHT, height);
}
