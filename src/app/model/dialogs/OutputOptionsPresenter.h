#pragma once
// The Preferences dialog's values and rules: what it reads from the settings
// when it opens, how the size fields follow each other while the user types,
// which controls each state enables, and what OK stores.
#include "DialogView.h"
#include "ExportSizeOptions.h"

#include <functional>
#include <string>

enum OutputOptionsControl : int {
    kOptJpegBest = 1006,
    kOptJpegBetter = 1007,
    kOptJpegGood = 1008,
    kOptResolution = 1082,
    kOptLinearMode = 1085,
    kOptRenderGps = 1087,
    kOptSendToFolder = 1130,
    kOptChooseFolder = 1131,
    kOptWorkingSpaceList = 1179,
    kOptEmbedTiff = 1180,
    kOptEmbedJpeg = 1181,
    kOptRenderToWorkingSpace = 1182,
    kOptPixelHeight = 1278,
    kOptPrintWidth = 1279,
    kOptPrintHeight = 1280,
    kOptResizeEnable = 1338,
    kOptMaintainProportions = 1339,
    kOpt8Bit = 1353,
    kOpt16Bit = 1354,
    kOptModeFitTrim = 1363,
    kOptModeFitFill = 1364,
    kOptModeFill = 1365,
    kOptModePercent = 1366,
    kOptPercent = 1368,
    kOptPixelWidth = 1369,
    kOptInchLabelWidth = 1374,
    kOptUnits = 1375,
    kOptInchLabelHeight = 1376,
    kOptSendToGroup = 1377,
    kOptTiffGroup = 1378,
    kOptJpegGroup = 1379,
    kOptJpegQualityLabel = 1380,
    kOptImageDataLabel = 1381,
    kOptBitsLabel = 1382,
    kOptSendToText = 1383,
    kOptPixelsColumn = 1384,
    kOptPrintSizeColumn = 1385,
    kOptWidthRow = 1386,
    kOptWidthPixelsLabel = 1387,
    kOptHeightRow = 1388,
    kOptHeightPixelsLabel = 1389,
    kOptPercentLabel = 1390,
    kOptScaleStyleLabel = 1391,
    kOptCmLabelHeight = 1392,
    kOptCmLabelWidth = 1393,
};

enum OutputFormat : int { kFormatAll = 0, kFormatTIFF = 1, kFormatJPEG = 2 };

class OutputOptionsPresenter {
public:
    // Picks a folder starting in the given one; true with the folder when
    // the user chose one.
    using FolderChooser = std::function<bool(const std::string& start, std::string& chosen)>;

    explicit OutputOptionsPresenter(DialogView& view);

    void SetInitialFormat(int format) { initialFormat = format; }
    void SetFolderChooser(FolderChooser chooser) { chooser_ = std::move(chooser); }

    // The dialog appears: values from the settings into the controls.
    void InitDialog();
    // OK: false (nothing stored, the dialog stays) when a field is out of
    // range; else everything stored.
    bool OnOK();

    // The user's edits.
    void PixelHeightChanged();
    void PixelWidthChanged();
    void PrintHeightChanged();
    void PrintWidthChanged();
    void ResolutionChanged();
    void UnitsChanged();
    void ResizeClicked();
    void MaintainProportionsClicked();
    void ChooseClicked();

    // Controls to values (false at the first field that does not read, or
    // with validateRanges at the first out of range; its message is shown
    // and it gets the focus) and back.
    bool ReadControls();
    void WriteControls();
    void UpdateResizeControls();

    // The values, as the dialog exchanges them with its controls.
    int resolution = 300;
    int renderGps = 0;
    int units = 0;
    int outputMode = 0;
    int bitsPerChannel = 0;
    int pixelHeight = 1000;
    int pixelWidth = 800;
    int resizeMode = 0;
    double printHeight = 10.0;
    double printWidth = 8.0;
    int percent = 100;
    std::string sendToFolder;
    std::string workingSpaceName;
    NimbalCore::ExportSizeOptions sizeOptions;
    int resizeEnabled = 0;
    int maintainProportions = 0;
    int initialFormat = kFormatAll;
    bool validateRanges = true;
    double aspectRatio = 1.0;
    int jpegQuality = 0;
    int embedTiff = 0;
    int embedJpeg = 0;

    // trunc(x * 1000) * 0.001: a print size to three decimals.
    static double Trunc3(double x);

private:
    template <typename Compute> void Recalculate(Compute compute);
    void ShowUnitLabels(bool inches);

    DialogView& view_;
    FolderChooser chooser_;
};
