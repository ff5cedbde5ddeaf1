#include "OutputOptionsPresenter.h"

#include "CLocaleText.h"
#include "ColorEngine.h"
#include "LocalizedText.h"
#include "MessageBoxService.h"
#include "ProfileItemManager.h"
#include "StringIds.h"
#include "WorkingSpaceOutputMode.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace {

// Truncation toward zero into an int; NaN gives 0 and values beyond the
// range give its ends (typing can produce both while a field is half done).
int ToInt(double x) {
    if (std::isnan(x)) return 0;
    if (x >= double(INT_MAX)) return INT_MAX;
    if (x <= double(INT_MIN)) return INT_MIN;
    return int(x);
}

// A size over a resolution; no size at all over none.
double Over(double size, int resolution) { return resolution == 0 ? 0.0 : size / resolution; }

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    const size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

bool ParseInt(const std::string& text, int& value) {
    const std::string t = Trim(text);
    if (t.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(t.c_str(), &end, 10);
    if (*end != '\0' || errno == ERANGE || v > INT_MAX || v < INT_MIN) return false;
    value = int(v);
    return true;
}

bool ParseDouble(const std::string& text, double& value) {
    const std::string t = Trim(text);
    if (t.empty()) return false;
    double v = 0;
    char tail = 0;
    // The program's numbers use the point whatever the user's locale.
    if (ScanCLocale(t, "%lf%c", &v, &tail) != 1 || !std::isfinite(v)) return false;
    value = v;
    return true;
}

std::string ShowDouble(double v) { return FormatCLocale("%.*g", 15, v); }

std::string Replace2(std::string text, const std::string& a, const std::string& b) {
    size_t at = text.find("%s");
    if (at != std::string::npos) {
        text.replace(at, 2, a);
        at = text.find("%s", at + a.size());
        if (at != std::string::npos) text.replace(at, 2, b);
    }
    return text;
}

void Message(int id) {
    MessageBoxService::Current().Show(LoadTranslatedString(id), LoadTranslatedString(IDS_APP_TITLE),
                                      MessageBoxService::kOk);
}

constexpr int kModeButtons[] = {kOptModePercent, kOptModeFill, kOptModeFitTrim, kOptModeFitFill};
constexpr int kSizeFields[] = {kOptPixelsColumn, kOptPrintSizeColumn, kOptWidthRow,  kOptPixelWidth,
                               kOptPrintWidth,   kOptWidthPixelsLabel, kOptHeightRow, kOptPixelHeight,
                               kOptPrintHeight,  kOptHeightPixelsLabel, kOptMaintainProportions,
                               kOptInchLabelWidth, kOptInchLabelHeight, kOptCmLabelWidth, kOptCmLabelHeight};
constexpr int kJpegGroup[] = {kOptJpegGroup, kOptJpegQualityLabel, kOptJpegBest, kOptJpegBetter, kOptJpegGood,
                              kOptEmbedJpeg};
constexpr int kSendToGroup[] = {kOptSendToGroup, kOptSendToText, kOptSendToFolder, kOptChooseFolder};
constexpr int kTiffGroup[] = {kOptTiffGroup, kOptImageDataLabel, kOptLinearMode, kOptRenderToWorkingSpace,
                              kOptBitsLabel, kOpt8Bit, kOpt16Bit, kOptRenderGps, kOptEmbedTiff};

// A radio group's index: the first ticked button, -1 for none.
int RadioIndex(DialogView& view, const int* ids, int n) {
    for (int i = 0; i < n; ++i)
        if (view.GetCheck(ids[i])) return i;
    return -1;
}

void SetRadio(DialogView& view, const int* ids, int n, int index) {
    for (int i = 0; i < n; ++i) view.SetCheck(ids[i], i == index ? 1 : 0);
}

constexpr int kOutputModeButtons[] = {kOptLinearMode, kOptRenderToWorkingSpace};
constexpr int kBitsButtons[] = {kOpt8Bit, kOpt16Bit};
constexpr int kQualityButtons[] = {kOptJpegBest, kOptJpegBetter, kOptJpegGood};

} // namespace

OutputOptionsPresenter::OutputOptionsPresenter(DialogView& view) : view_(view) {}

double OutputOptionsPresenter::Trunc3(double x) { return std::trunc(x * 1000.0) * 0.001; }

bool OutputOptionsPresenter::ReadControls() {
    auto readInt = [&](int id, int& value, int low, int high) {
        int v = 0;
        if (!ParseInt(view_.GetItemText(id), v)) {
            Message(IDS_ENTER_INTEGER);
            view_.FocusItem(id);
            return false;
        }
        value = v;
        if (validateRanges && (v < low || v > high)) {
            MessageBoxService::Current().Show(
                Replace2(LoadTranslatedString(IDS_ENTER_INTEGER_BETWEEN), FormatCLocale("%d", low),
                         FormatCLocale("%d", high)),
                LoadTranslatedString(IDS_APP_TITLE), MessageBoxService::kOk);
            view_.FocusItem(id);
            return false;
        }
        return true;
    };
    auto readDouble = [&](int id, double& value, double low, double high) {
        double v = 0;
        if (!ParseDouble(view_.GetItemText(id), v)) {
            Message(IDS_ENTER_NUMBER);
            view_.FocusItem(id);
            return false;
        }
        value = v;
        if (validateRanges && (v < low || v > high)) {
            MessageBoxService::Current().Show(
                Replace2(LoadTranslatedString(IDS_ENTER_NUMBER_BETWEEN), ShowDouble(low), ShowDouble(high)),
                LoadTranslatedString(IDS_APP_TITLE), MessageBoxService::kOk);
            view_.FocusItem(id);
            return false;
        }
        return true;
    };
    using Opts = NimbalCore::ExportSizeOptions;
    if (!readInt(kOptResolution, resolution, Opts::kMinResolution, Opts::kMaxResolution)) return false;
    renderGps = view_.GetCheck(kOptRenderGps);
    units = view_.GetListSelection(kOptUnits);
    outputMode = RadioIndex(view_, kOutputModeButtons, 2);
    bitsPerChannel = RadioIndex(view_, kBitsButtons, 2);
    if (!readInt(kOptPixelHeight, pixelHeight, Opts::kMinPixels, Opts::kMaxPixels)) return false;
    if (!readInt(kOptPixelWidth, pixelWidth, Opts::kMinPixels, Opts::kMaxPixels)) return false;
    resizeMode = RadioIndex(view_, kModeButtons, 4);
    if (!readDouble(kOptPrintHeight, printHeight, 0.1, 99.999)) return false;
    if (!readDouble(kOptPrintWidth, printWidth, 0.1, 99.999)) return false;
    if (!readInt(kOptPercent, percent, Opts::kMinPercent, Opts::kMaxPercent)) return false;
    sendToFolder = view_.GetItemText(kOptSendToFolder);
    resizeEnabled = view_.GetCheck(kOptResizeEnable);
    maintainProportions = view_.GetCheck(kOptMaintainProportions);
    jpegQuality = RadioIndex(view_, kQualityButtons, 3);
    embedTiff = view_.GetCheck(kOptEmbedTiff);
    embedJpeg = view_.GetCheck(kOptEmbedJpeg);
    return true;
}

void OutputOptionsPresenter::WriteControls() {
    view_.SetItemText(kOptResolution, FormatCLocale("%d", resolution));
    view_.SetCheck(kOptRenderGps, renderGps ? 1 : 0);
    view_.SetListSelection(kOptUnits, units);
    SetRadio(view_, kOutputModeButtons, 2, outputMode);
    SetRadio(view_, kBitsButtons, 2, bitsPerChannel);
    view_.SetItemText(kOptPixelHeight, FormatCLocale("%d", pixelHeight));
    view_.SetItemText(kOptPixelWidth, FormatCLocale("%d", pixelWidth));
    SetRadio(view_, kModeButtons, 4, resizeMode);
    view_.SetItemText(kOptPrintHeight, ShowDouble(printHeight));
    view_.SetItemText(kOptPrintWidth, ShowDouble(printWidth));
    view_.SetItemText(kOptPercent, FormatCLocale("%d", percent));
    view_.SetItemText(kOptSendToFolder, sendToFolder);
    view_.SetCheck(kOptResizeEnable, resizeEnabled ? 1 : 0);
    view_.SetCheck(kOptMaintainProportions, maintainProportions ? 1 : 0);
    SetRadio(view_, kQualityButtons, 3, jpegQuality);
    view_.SetCheck(kOptEmbedTiff, embedTiff ? 1 : 0);
    view_.SetCheck(kOptEmbedJpeg, embedJpeg ? 1 : 0);
}

void OutputOptionsPresenter::ShowUnitLabels(bool inches) {
    view_.ShowItem(kOptInchLabelWidth, inches);
    view_.ShowItem(kOptInchLabelHeight, inches);
    view_.ShowItem(kOptCmLabelWidth, !inches);
    view_.ShowItem(kOptCmLabelHeight, !inches);
}

void OutputOptionsPresenter::InitDialog() {
    ProfileItemManager pm;
    pm.GetString(PI_SEND_TO_FOLDER, sendToFolder);
    if (sendToFolder.empty()) pm.GetString(PI_LAST_FILE_SAVE_AS_PATH, sendToFolder);

    pm.GetExportSizeSettings(sizeOptions);
    resizeMode = sizeOptions.resizeMode >= 1 && sizeOptions.resizeMode <= 3 ? sizeOptions.resizeMode : 0;
    percent = sizeOptions.percent;
    resizeEnabled = sizeOptions.resizeEnabled ? 1 : 0;
    maintainProportions = sizeOptions.keepProportions ? 1 : 0;

    pm.GetInt(PI_TIFF_16_BIT, bitsPerChannel);
    pm.GetInt(PI_TIFF_RENDER_GPS, renderGps);
    resolution = sizeOptions.resolution;
    units = sizeOptions.units;
    pixelHeight = sizeOptions.pixelHeight;
    pixelWidth = sizeOptions.pixelWidth;
    if (pixelHeight != 0) aspectRatio = double(pixelWidth) / pixelHeight;

    pm.GetInt(PI_JPEG_IMAGE_QUALITY, jpegQuality);
    pm.GetInt(PI_EMBED_PROFILE_TIFF, embedTiff);
    pm.GetInt(PI_EMBED_PROFILE_JPEG, embedJpeg);
    GetWorkingSpaceOutputMode(outputMode);
    if (resolution == 0) resolution = 300;

    view_.ClearList(kOptUnits);
    view_.AddListItem(kOptUnits, LoadTranslatedString(IDS_PIXELS_PER_INCH));
    view_.AddListItem(kOptUnits, LoadTranslatedString(IDS_PIXELS_PER_CM));
    ShowUnitLabels(units == 0);
    view_.SetListSelection(kOptUnits, units == 0 ? 0 : 1);

    printHeight = Trunc3(Over(pixelHeight, resolution));
    printWidth = Trunc3(Over(pixelWidth, resolution));

    view_.ClearList(kOptWorkingSpaceList);
    const std::vector<std::string> names = NimbalCore::ColorEngine::Instance(0, 1)->GetOutputProfileList();
    for (const std::string& name : names) view_.AddListItem(kOptWorkingSpaceList, name);
    pm.GetString(PI_WORKING_SPACE_NAME, workingSpaceName);
    int selected = -1, standard = -1;
    for (size_t i = 0; i < names.size(); ++i) {
        if (names[i] == workingSpaceName && selected < 0) selected = int(i);
        if (names[i] == ProfileItemManager::kDefaultWorkingSpace && standard < 0) standard = int(i);
    }
    if (selected < 0) {
        selected = standard;
        pm.SetString(PI_WORKING_SPACE_NAME, ProfileItemManager::kDefaultWorkingSpace);
    }
    view_.SetListSelection(kOptWorkingSpaceList, selected);

    if (initialFormat == kFormatTIFF) {
        for (int id : kJpegGroup) view_.EnableItem(id, false);
        for (int id : kSendToGroup) view_.EnableItem(id, false);
    } else if (initialFormat == kFormatJPEG) {
        for (int id : kTiffGroup) view_.EnableItem(id, false);
        for (int id : kSendToGroup) view_.EnableItem(id, false);
    }

    UpdateResizeControls();
    WriteControls();
}

void OutputOptionsPresenter::UpdateResizeControls() {
    const bool on = resizeEnabled != 0;
    const bool byPercent = resizeMode == 0;
    view_.EnableItem(kOptScaleStyleLabel, on);
    for (int id : kModeButtons) view_.EnableItem(id, on);
    view_.EnableItem(kOptPercent, on && byPercent);
    view_.EnableItem(kOptPercentLabel, on && byPercent);
    for (int id : kSizeFields) view_.EnableItem(id, on && !byPercent);
}

template <typename Compute> void OutputOptionsPresenter::Recalculate(Compute compute) {
    validateRanges = false;
    ReadControls();
    compute();
    WriteControls();
    validateRanges = true;
}

void OutputOptionsPresenter::PixelHeightChanged() {
    Recalculate([&] {
        printHeight = Trunc3(Over(pixelHeight, resolution));
        if (maintainProportions) {
            pixelWidth = ToInt(pixelHeight * aspectRatio);
            printWidth = Trunc3(Over(pixelWidth, resolution));
        }
    });
}

void OutputOptionsPresenter::PixelWidthChanged() {
    Recalculate([&] {
        printWidth = Trunc3(Over(pixelWidth, resolution));
        if (maintainProportions) {
            pixelHeight = aspectRatio == 0 ? 0 : ToInt(pixelWidth / aspectRatio);
            printHeight = Trunc3(Over(pixelHeight, resolution));
        }
    });
}

void OutputOptionsPresenter::PrintHeightChanged() {
    Recalculate([&] {
        pixelHeight = ToInt(resolution * printHeight);
        if (maintainProportions) {
            printWidth = printHeight * aspectRatio;
            pixelWidth = ToInt(resolution * printWidth);
        }
    });
}

void OutputOptionsPresenter::PrintWidthChanged() {
    Recalculate([&] {
        pixelWidth = ToInt(resolution * printWidth);
        if (maintainProportions) {
            printHeight = aspectRatio == 0 ? 0 : printWidth / aspectRatio;
            pixelHeight = ToInt(resolution * printHeight);
        }
    });
}

void OutputOptionsPresenter::ResolutionChanged() {
    Recalculate([&] {
        printWidth = Trunc3(Over(pixelWidth, resolution));
        printHeight = Trunc3(Over(pixelHeight, resolution));
    });
}

void OutputOptionsPresenter::UnitsChanged() { ShowUnitLabels(view_.GetListSelection(kOptUnits) == 0); }

void OutputOptionsPresenter::ResizeClicked() {
    ReadControls();
    UpdateResizeControls();
}

void OutputOptionsPresenter::MaintainProportionsClicked() {
    ReadControls();
    if (pixelWidth != 0 && pixelHeight != 0) aspectRatio = double(pixelWidth) / pixelHeight;
}

void OutputOptionsPresenter::ChooseClicked() {
    ReadControls();
    std::string chosen;
    if (chooser_ && chooser_(sendToFolder, chosen)) {
        sendToFolder = chosen;
        WriteControls();
    }
}

bool OutputOptionsPresenter::OnOK() {
    if (!ReadControls()) return false;
    ProfileItemManager pm;
    pm.SetInt(PI_TIFF_16_BIT, bitsPerChannel);
    pm.SetInt(PI_TIFF_RENDER_GPS, renderGps);
    sizeOptions.SetResolution(resolution);
    sizeOptions.SetUnits(view_.GetListSelection(kOptUnits) != 0 ? 1 : 0);
    pm.SetInt(PI_WORKING_SPACE_OUTPUT_MODE, outputMode);
    pm.SetString(PI_SEND_TO_FOLDER, sendToFolder);
    pm.SetInt(PI_JPEG_IMAGE_QUALITY, jpegQuality);
    pm.SetInt(PI_EMBED_PROFILE_TIFF, embedTiff);
    pm.SetInt(PI_EMBED_PROFILE_JPEG, embedJpeg);
    const int selected = view_.GetListSelection(kOptWorkingSpaceList);
    workingSpaceName = selected >= 0 ? view_.GetListItemText(kOptWorkingSpaceList, selected) : std::string();
    pm.SetString(PI_WORKING_SPACE_NAME, workingSpaceName);
    sizeOptions.keepProportions = maintainProportions != 0;
    sizeOptions.resizeEnabled = resizeEnabled != 0;
    sizeOptions.SetResizeMode(resizeMode >= 0 && resizeMode <= 3 ? resizeMode : 0);
    sizeOptions.SetResizePercent(percent);
    sizeOptions.SetPixelHeight(pixelHeight);
    sizeOptions.SetPixelWidth(pixelWidth);
    pm.SetExportSizeSettings(sizeOptions);
    NimbalCore::ColorEngine::Instance(0, 1)->SetWorkingSpaceName(workingSpaceName);
    return true;
}
