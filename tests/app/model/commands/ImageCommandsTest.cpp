// The Image menu's commands and their update rules, run headless on a
// contact sheet (the sheet's logic over test images, its selection in
// order) and on a preview of one image, each with a real undo history.
#include "AutomaticSettingsCommand.h"
#include "BalanceCommand.h"
#include "ClickBalanceCommand.h"
#include "DescriptionCommand.h"
#include "FakeSheetSeams.h"
#include "ImageCommandIds.h"
#include "ImageCommandRules.h"
#include "ImageMenuCommands.h"
#include "LightingCommand.h"
#include "LookCommand.h"
#include "NoiseLevelCommand.h"
#include "PreviewParamsApply.h"
#include "QuietUndoHost.h"
#include "RotateCommand.h"
#include "SheetDocument.h"
#include "TagCommand.h"
#include "UndoHistory.h"
#include "UndoHost.h"
#include "UndoTextIds.h"

#include "../../../core/FakeImage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using NimbalCore::ImageProcessParam;
using NimbalCore::ImageRendering;

// A test image whose answers to the commands' questions the test sets.
class CommandImage : public coretest::FakeImage {
public:
    explicit CommandImage(const std::string& name) : FakeImage("/photos/" + name) {}

    ValidationCodes ValidateProcessParams(const ImageProcessParam&) override {
        if (throwOnValidate) YLM_THROW("CommandImage::ValidateProcessParams", throwOnValidate);
        return refuse ? ImageProcessParam::LightingUnsupported : ImageProcessParam::Valid;
    }
    void GetBalanceKelvinRange(int type, uint16_t* low, uint16_t* standard, uint16_t* high) override {
        const auto at = kelvin.find(type);
        const std::array<uint16_t, 3> range = at == kelvin.end() ? std::array<uint16_t, 3>{0, 0, 0} : at->second;
        *low = range[0];
        *standard = range[1];
        *high = range[2];
    }
    bool CanAdjustWhitePoint() override { return adjustWhitePoint; }
    bool CanAdjustWhitePointForBalanceType(int type) override { return type != 4 && type != 6; }
    std::vector<int> GetNoiseReductionModes() override { return noiseModes; }
    std::vector<int> GetSupportedIlluminants() override { return illuminants; }
    std::vector<int> GetSupportedBalanceTypes() override { return balanceTypes; }
    bool HasAutoParams() override { return hasAuto; }
    bool HasAtCaptureParams() override { return hasAtCapture; }
    ImageProcessParam GetAutoParams() override { return autoParams; }
    ImageProcessParam GetAtCaptureParams() override { return atCaptureParams; }
    bool CanClickBalance() override { return clickBalance; }
    std::string GetAnnotation() override { return annotation; }
    void SetAnnotation(const std::string& text) override { annotation = text; }

    bool refuse = false;
    int throwOnValidate = 0;
    bool adjustWhitePoint = true;
    bool hasAuto = false;
    bool hasAtCapture = false;
    bool clickBalance = true;
    std::string annotation;
    std::map<int, std::array<uint16_t, 3>> kelvin{
        {0, {4000, 5500, 7000}}, {1, {2500, 3200, 4000}}, {2, {3500, 4000, 5000}},
        {3, {5000, 5900, 7500}}, {4, {3000, 5000, 8000}}, {5, {4500, 5200, 6000}}, {6, {3000, 5000, 9000}}};
    std::vector<int> noiseModes{0, 1, 2, 3};
    std::vector<int> illuminants{0, 1, 2, 3};
    std::vector<int> balanceTypes{0, 4, 5, 6};
    ImageProcessParam autoParams;
    ImageProcessParam atCaptureParams;
};

// What both test documents share: the undo history and a log of the
// command's course.
class CommandDocBase : public ImageCommandDocument, public UndoDocument {
public:
    CommandDocBase() : history(*this, host) {}
    std::vector<ImageRendering*> GetSelectedImages() override = 0;
    bool GetFocusedImage(ImageRendering** rendering) override = 0;
    void BeginUndo(int undoTextId, int redoTextId, bool keepParams, bool keepIPTC, bool keepTags,
                   bool keepAnnotation, bool keepFileNames) override {
        log.push_back("step");
        history.BeginUndo(undoTextId, redoTextId, keepParams, keepIPTC, keepTags, keepAnnotation, keepFileNames);
    }
    void EndUndo() override {
        log.push_back("close step");
        history.EndUndo();
    }
    void DiscardLastUndo() override { history.DiscardLastUndo(); }
    void RevertLastUndo(bool pop) override { history.RevertLastUndo(pop); }
    void RevertGroupsOfLastUndo(const std::vector<int>& groups) override { history.RevertGroupsOfLastUndo(groups); }
    void Undo() override { history.Undo(); }
    void Redo() override { history.Redo(); }
    int GetUndoTextId() override { return history.GetUndoTextId(); }
    int GetRedoTextId() override { return history.GetRedoTextId(); }
    bool PasteSettings(const std::vector<int>&) override { return false; }
    void SetDialogActive(bool) override {}
    void MarkModified() override { ++modifiedMarks; }
    bool HasMainWindow() override { return true; }
    int CurrentTool() override { return tool; }

    apptest::QuietUndoHost host;
    UndoHistory history;
    std::vector<std::string> log;
    int modifiedMarks = 0;
    int tool = kCmdSelectTool;
};

// The contact sheet: the sheet's logic with its slides, every slide
// selected in order; the command's lock is the sheet's document lock.
class SheetCommandDoc : public CommandDocBase {
public:
    explicit SheetCommandDoc(const std::vector<CommandImage*>& images)
        : sheet(std::make_shared<SheetDocument>(queue, nullptr)) {
        sheet->SetHost(&sheetHost);
        for (CommandImage* image : images) sheet->ImageFound(NimbalCore::ImageRef(image));
        for (const SheetDocument::SlidePtr& slide : sheet->GetSlides()) sheet->SelectSlide(slide);
        sheetHost.TakeLog();
    }
    ~SheetCommandDoc() override { sheet->Close(); }
    Kind CommandKind() override { return Kind::kSheet; }
    std::vector<ImageRendering*> GetSelectedImages() override { return sheet->GetSelectedImages(); }
    bool GetFocusedImage(ImageRendering** rendering) override { return sheet->GetFocusedImage(rendering); }
    std::optional<UndoSelection> GetUndoSelection() override { return sheet->GetUndoSelection(); }
    void RestoreSelection(UndoSelection selection) override { sheet->RestoreSelection(std::move(selection)); }
    bool ApplyProcessParams(const ImageProcessParam& params, ImageRendering* rendering) override {
        log.push_back(std::string(locked > 0 ? "locked " : "") + "apply " + (*rendering->GetImage())->GetFileName());
        return sheet->ApplyProcessParams(params, rendering);
    }
    void BeginCommand() override {
        log.push_back("wait cursor");
        sheet->DocumentLock().lock();
        ++locked;
    }
    void EndCommand() override {
        --locked;
        sheet->DocumentLock().unlock();
        log.push_back("cursor back");
    }

    std::shared_ptr<sheettest::DrainedQueue> queue = std::make_shared<sheettest::DrainedQueue>();
    sheettest::LoggingSheetHost sheetHost;
    std::shared_ptr<SheetDocument> sheet;
    int locked = 0;
};

// The preview of one image.
class PreviewCommandDoc : public CommandDocBase {
public:
    explicit PreviewCommandDoc(CommandImage* image)
        : rendering(NimbalCore::ImageRef(image), *image->GetProcessParams()) {}
    Kind CommandKind() override { return Kind::kPreview; }
    std::vector<ImageRendering*> GetSelectedImages() override { return {&rendering}; }
    bool GetFocusedImage(ImageRendering** out) override {
        *out = &rendering;
        return true;
    }
    std::optional<UndoSelection> GetUndoSelection() override { return std::nullopt; }
    void RestoreSelection(UndoSelection) override {}
    bool ApplyProcessParams(const ImageProcessParam& params, ImageRendering* target) override {
        log.push_back("apply");
        return PreviewParamsApply::Apply(params, target);
    }
    void BeginCommand() override {}
    void EndCommand() override {}

    ImageRendering rendering;
};

class ImageCommandsTest : public ::testing::Test {
protected:
    // Images with the given names and parameters; the sheet shows them all
    // selected in that order, the preview the first.
    CommandImage* Add(const std::string& name, ImageProcessParam params = ImageProcessParam()) {
        auto* image = new CommandImage(name);
        image->SetProcessParams(params);
        image->SetModified(false);
        images_.push_back(image);
        refs_.emplace_back(image);
        return image;
    }
    SheetCommandDoc& Sheet() {
        sheet_ = std::make_unique<SheetCommandDoc>(images_);
        return *sheet_;
    }
    PreviewCommandDoc& Preview() {
        preview_ = std::make_unique<PreviewCommandDoc>(images_.front());
        return *preview_;
    }
    static ImageProcessParam Params(int balanceType, int lighting, int balanceLighting, uint16_t whitePoint = 5000) {
        ImageProcessParam p;
        p.balanceType = balanceType;
        p.lighting = lighting;
        p.lightingIndex = balanceLighting;
        p.whitePoint = whitePoint;
        return p;
    }

    // A fresh start for the next row of a table.
    void Reset() {
        sheet_.reset();
        preview_.reset();
        images_.clear();
        refs_.clear();
        boxes_.texts.clear();
    }

    sheettest::SheetBoxes boxes_;
    std::vector<CommandImage*> images_;
    std::vector<NimbalCore::ImageRef> refs_;
    std::unique_ptr<SheetCommandDoc> sheet_;
    std::unique_ptr<PreviewCommandDoc> preview_;
};

TEST_F(ImageCommandsTest, ASheetCommandHoldsTheCursorAndLockAroundItsStepAndSumsUpAfterTheLoop) {
    Add("a.zyr");
    Add("b.zyr")->refuse = true;
    SheetCommandDoc& sheet = Sheet();
    LightingCommand::Run(sheet, 1);
    EXPECT_EQ(sheet.log, (std::vector<std::string>{"wait cursor", "step", "locked apply a.zyr", "locked apply b.zyr",
                                                   "close step", "cursor back"}));
    EXPECT_EQ(boxes_.texts, std::vector<std::string>{"Unable to apply the new process parameters to \"b.zyr\". "});
    EXPECT_EQ(sheet.locked, 0);
}

TEST_F(ImageCommandsTest, OneRefusalOfThreeNamesItAndOneStepRestoresTheOthers) {
    Add("a.zyr");
    Add("b.zyr")->refuse = true;
    Add("c.zyr");
    SheetCommandDoc& sheet = Sheet();
    LightingCommand::Run(sheet, 3);
    EXPECT_EQ(boxes_.texts, std::vector<std::string>{"Unable to apply the new process parameters to \"b.zyr\". "});
    EXPECT_EQ(images_[0]->GetProcessParams()->lighting, 3);
    EXPECT_EQ(images_[1]->GetProcessParams()->lighting, 0);
    EXPECT_EQ(images_[2]->GetProcessParams()->lighting, 3);
    EXPECT_TRUE(sheet.sheet->IsModified());
    ASSERT_EQ(sheet.history.UndoCount(), 1u);
    EXPECT_EQ(sheet.GetUndoTextId(), IDS_UNDO_LIGHTING);
    sheet.Undo();
    for (CommandImage* image : images_) EXPECT_EQ(image->GetProcessParams()->lighting, 0);

    // Two refusals are summed up in one message without names.
    boxes_.texts.clear();
    images_[2]->refuse = true;
    LightingCommand::Run(sheet, 2);
    EXPECT_EQ(boxes_.texts,
              std::vector<std::string>{"Not all of the images could have the new process parameters applied to them."});
}

TEST_F(ImageCommandsTest, AFailureIsReportedAtOnceAndCountedInTheSheetAndShownAtOnceInThePreview) {
    struct Row {
        const char* name;
        bool refuse;
        int throwCode;
        std::vector<std::string> sheetTexts;
        std::vector<std::string> previewTexts;
    } rows[] = {
        {"refused", true, 0, {"Unable to apply the new process parameters to \"a.zyr\". "},
         {"Invalid image processing parameters"}},
        {"throws", false, 1401, {"Unable to render image.", "Unable to apply the new process parameters to \"a.zyr\". "},
         {"Unable to render image."}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Reset();
        CommandImage* image = Add("a.zyr");
        image->refuse = row.refuse;
        image->throwOnValidate = row.throwCode;
        boxes_.texts.clear();
        SheetCommandDoc& sheet = Sheet();
        LightingCommand::Run(sheet, 1);
        EXPECT_EQ(boxes_.texts, row.sheetTexts);
        EXPECT_EQ(sheet.history.UndoCount(), 0u);
        EXPECT_FALSE(sheet.sheet->IsModified());
        EXPECT_EQ(sheet.GetSelectedImages()[0]->GetProcessParam().lighting, 0);

        boxes_.texts.clear();
        PreviewCommandDoc& preview = Preview();
        LightingCommand::Run(preview, 1);
        EXPECT_EQ(boxes_.texts, row.previewTexts);
        EXPECT_EQ(preview.rendering.GetProcessParam().lighting, 0);
        EXPECT_EQ(image->GetProcessParams()->lighting, 0);
        sheet_.reset();
        preview_.reset();
    }
}

TEST_F(ImageCommandsTest, AnEqualSetChangesNothingAndIsNoFailure) {
    CommandImage* image = Add("a.zyr", Params(5, 0, 0));
    SheetCommandDoc& sheet = Sheet();
    const int thumbnailsBefore = image->thumbnailRenders;
    LightingCommand::Run(sheet, 0);
    EXPECT_TRUE(boxes_.texts.empty());
    EXPECT_FALSE(sheet.sheet->IsModified());
    EXPECT_FALSE(image->IsModified());
    EXPECT_EQ(sheet.history.UndoCount(), 0u);
    EXPECT_TRUE(sheet.sheetHost.TakeLog().empty()); // the bars are not refreshed
    EXPECT_EQ(image->thumbnailRenders, thumbnailsBefore);

    PreviewCommandDoc& preview = Preview();
    LightingCommand::Run(preview, 0);
    EXPECT_TRUE(boxes_.texts.empty());
    EXPECT_FALSE(image->IsModified());
    EXPECT_EQ(preview.history.UndoCount(), 0u);
}

TEST_F(ImageCommandsTest, AChangeOfTheFocusedSlideRefreshesTheBarsThroughTheHost) {
    Add("a.zyr");
    Add("b.zyr");
    SheetCommandDoc& sheet = Sheet();
    LightingCommand::Run(sheet, 2);
    EXPECT_EQ(sheet.sheetHost.TakeLog(), std::vector<std::string>{"bars b.zyr"});
}

// Bars that cannot show the image: code 1302 is an image that cannot be
// opened just now.
class FailingBarsHost : public sheettest::LoggingSheetHost {
public:
    void RefreshImageBars(ImageRendering*) override { YLM_THROW("FailingBarsHost::RefreshImageBars", code); }
    int code = 0;
};

TEST_F(ImageCommandsTest, ABarThatCannotOpenTheImageIsNoFailureButAnyOtherIs) {
    struct Row {
        int code;
        std::vector<std::string> texts;
    } rows[] = {
        {1302, {}},
        {1401, {"Unable to render image.", "Unable to apply the new process parameters to \"a.zyr\". "}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.code);
        Reset();
        CommandImage* image = Add("a.zyr");
        SheetCommandDoc& sheet = Sheet();
        FailingBarsHost bars;
        bars.code = row.code;
        sheet.sheet->SetHost(&bars);
        LightingCommand::Run(sheet, 1);
        EXPECT_EQ(boxes_.texts, row.texts);
        // The image took the set either way; the slide shows what it has.
        EXPECT_EQ(image->GetProcessParams()->lighting, 1);
        EXPECT_EQ(sheet.GetSelectedImages()[0]->GetProcessParam().lighting, 1);
        sheet.sheet->SetHost(&sheet.sheetHost);
        sheet_.reset();
    }
}

TEST_F(ImageCommandsTest, BalanceAndLightingCommandsChangeTheFieldsTheirRulesName) {
    struct Row {
        const char* name;
        ImageProcessParam before;
        int command;
        // Expected: balance type, lighting, white point; -1 for "unchanged".
        int balanceType, lighting, whitePoint;
        bool sheetFailure;
    } rows[] = {
        {"tungsten on auto balance", Params(5, 0, 0, 5300), kCmdLightingTungsten, 5, 1, 5300, false},
        {"flash on preset 2", Params(2, 2, 2, 4100), kCmdLightingFlash, 3, 3, 5900, false},
        {"daylight on click", Params(6, 1, 1, 3300), kCmdLightingDaylight, 6, 0, 3300, false},
        {"preset takes the balance lighting", Params(5, 0, 2, 5300), kCmdBalancePreset, 2, 2, 4000, false},
        {"preset on unknown lighting", Params(5, 0, 6, 5300), kCmdBalancePreset, 5, 0, 5300, true},
        {"auto clamps the white point", Params(0, 0, 1, 9000), kCmdBalanceAuto, 5, 1, 6000, false},
        {"custom clamps from below", Params(0, 2, 3, 1000), kCmdBalanceCustom, 4, 3, 3000, false},
        {"click keeps a point in range", Params(0, 0, 1, 5000), kCmdBalanceClick, 6, 1, 5000, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        for (bool sheetRun : {true, false}) {
            SCOPED_TRACE(sheetRun ? "sheet" : "preview");
            Reset();
            boxes_.texts.clear();
            CommandImage* image = Add("a.zyr", row.before);
            CommandDocBase& document = sheetRun ? static_cast<CommandDocBase&>(Sheet()) : Preview();
            ASSERT_TRUE(ImageMenuCommands::Run(document, row.command));
            const ImageProcessParam& after = *image->GetProcessParams();
            EXPECT_EQ(after.balanceType, row.balanceType);
            EXPECT_EQ(after.lighting, row.lighting);
            EXPECT_EQ(after.whitePoint, row.whitePoint);
            // The preview does nothing where the sheet counts a failure.
            const bool reported = sheetRun && row.sheetFailure;
            EXPECT_EQ(boxes_.texts.size(), reported ? 1u : 0u);
            EXPECT_EQ(document.history.UndoCount(), row.sheetFailure ? 0u : 1u);
            EXPECT_EQ(document.GetUndoTextId(), row.sheetFailure ? IDS_CANT_UNDO
                                                : row.command >= kCmdBalancePreset ? IDS_UNDO_BALANCE
                                                                                   : IDS_UNDO_LIGHTING);
            sheet_.reset();
            preview_.reset();
        }
    }
}

TEST_F(ImageCommandsTest, FlashKeepsTheWhitePointWhereTheImageCannotAdjustIt) {
    CommandImage* image = Add("a.zyr", Params(2, 2, 2, 4100));
    image->adjustWhitePoint = false;
    LightingCommand::Run(Sheet(), 3);
    EXPECT_EQ(image->GetProcessParams()->balanceType, 3);
    EXPECT_EQ(image->GetProcessParams()->whitePoint, 4100);
}

TEST_F(ImageCommandsTest, ClickBalanceZeroesTheFineBalanceOfTheBalanceLightingAndAutoAndCustomKeepIt) {
    struct Row {
        int command;
        int expected;
    } rows[] = {{kCmdBalanceClick, 0}, {kCmdBalanceAuto, 12}, {kCmdBalanceCustom, 12}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.command);
        Reset();
        ImageProcessParam p = Params(0, 0, 2);
        for (auto& triple : p.fineTuneBalance)
            for (auto& value : triple) value = 12;
        CommandImage* image = Add("a.zyr", p);
        BalanceCommand::Run(Sheet(), row.command);
        EXPECT_EQ(image->GetProcessParams()->fineTuneBalance[2][0], row.expected);
        EXPECT_EQ(image->GetProcessParams()->fineTuneBalance[2][2], row.expected);
        EXPECT_EQ(image->GetProcessParams()->fineTuneBalance[0][0], 12);
        sheet_.reset();
    }
}

TEST_F(ImageCommandsTest, CameraSettingsCountImagesWithoutThemAsFailuresInTheSheetOnly) {
    ImageProcessParam camera;
    camera.exposureCompensation = 0.7f;
    camera.lighting = 3;
    struct Row {
        int command;
        // Which images offer the settings: a, b.
        bool aOffers, bOffers;
        float exposureA;
        int lightingA;
    } rows[] = {
        {kCmdOriginalSettings, true, false, 0.7f, 3},
        {kCmdAutoScene, true, false, 0.7f, 3},
        {kCmdAutoExposure, true, false, 0.7f, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.command);
        Reset();
        boxes_.texts.clear();
        ImageProcessParam start;
        start.lighting = 1;
        CommandImage* a = Add("a.zyr", start);
        CommandImage* b = Add("b.zyr", start);
        for (CommandImage* image : {a, b}) {
            image->balanceTypes = {0};
            image->autoParams = camera;
            image->atCaptureParams = camera;
        }
        a->hasAuto = a->hasAtCapture = row.aOffers;
        b->hasAuto = b->hasAtCapture = row.bOffers;
        AutomaticSettingsCommand::Run(Sheet(), row.command);
        EXPECT_FLOAT_EQ(a->GetProcessParams()->exposureCompensation, row.exposureA);
        EXPECT_EQ(a->GetProcessParams()->lighting, row.lightingA);
        EXPECT_EQ(b->GetProcessParams()->lighting, 1);
        EXPECT_EQ(boxes_.texts, std::vector<std::string>{"Unable to apply the new process parameters to \"b.zyr\". "});
        sheet_.reset();

        // The preview of an image without them does nothing.
        images_.erase(images_.begin());
        refs_.erase(refs_.begin());
        boxes_.texts.clear();
        PreviewCommandDoc& preview = Preview();
        AutomaticSettingsCommand::Run(preview, row.command);
        EXPECT_TRUE(boxes_.texts.empty());
        EXPECT_EQ(preview.history.UndoCount(), 0u);
        preview_.reset();
    }
}

TEST_F(ImageCommandsTest, AutoSceneAlsoServesAnImageThatListsTheAutoSceneBalanceType) {
    ImageProcessParam scene;
    scene.balanceType = 5;
    CommandImage* image = Add("a.zyr");
    image->balanceTypes = {0, 5};
    image->autoParams = scene;
    AutomaticSettingsCommand::Run(Sheet(), kCmdAutoScene);
    EXPECT_EQ(image->GetProcessParams()->balanceType, 5);
    EXPECT_TRUE(boxes_.texts.empty());
}

TEST_F(ImageCommandsTest, RotationsTurnByQuarterTurnsAndLeaveTheUndoItemNamingTheStepBefore) {
    struct Row {
        float start;
        bool clockwise;
        int turns;
        float end;
    } rows[] = {{0, true, 4, 0}, {270, true, 1, 0}, {270, false, 1, 180}, {0, false, 1, 270}, {90, true, 2, 270}};
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.start << (row.clockwise ? " cw " : " ccw ") << row.turns);
        for (bool sheetRun : {true, false}) {
            Reset();
            ImageProcessParam p;
            p.rotation = row.start;
            CommandImage* image = Add("a.zyr", p);
            CommandDocBase& document = sheetRun ? static_cast<CommandDocBase&>(Sheet()) : Preview();
            LightingCommand::Run(document, 2);
            ASSERT_EQ(document.GetUndoTextId(), IDS_UNDO_LIGHTING);
            for (int i = 0; i < row.turns; ++i) RotateCommand::Run(document, row.clockwise);
            EXPECT_EQ(image->GetProcessParams()->rotation, row.end);
            EXPECT_EQ(document.GetUndoTextId(), IDS_UNDO_LIGHTING);
            EXPECT_EQ(document.history.UndoCount(), 1u);
            sheet_.reset();
            preview_.reset();
        }
    }
}

TEST_F(ImageCommandsTest, NoiseLevelsChangeOnlyTheTypeWithoutAStep) {
    struct Row {
        int command;
        std::vector<int> modes;
        int sheetType, previewType;
    } rows[] = {
        {kCmdNoiseLow, {0, 1, 7}, 7, 1},
        {kCmdNoiseLow, {0, 1, 2}, 1, 1},
        {kCmdNoiseMedium, {0, 2}, 2, 2},
        {kCmdNoiseOff, {0, 1}, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.command);
        for (bool sheetRun : {true, false}) {
            Reset();
            ImageProcessParam p;
            p.noiseReductionMode = 3;
            p.noiseReductionStrength = 42;
            CommandImage* image = Add("a.zyr", p);
            image->noiseModes = row.modes;
            CommandDocBase& document = sheetRun ? static_cast<CommandDocBase&>(Sheet()) : Preview();
            NoiseLevelCommand::Run(document, row.command);
            EXPECT_EQ(image->GetProcessParams()->noiseReductionMode, sheetRun ? row.sheetType : row.previewType);
            EXPECT_EQ(image->GetProcessParams()->noiseReductionStrength, 42);
            EXPECT_EQ(document.history.UndoCount(), 0u);
            EXPECT_EQ(std::count(document.log.begin(), document.log.end(), "step"), 0);
            sheet_.reset();
            preview_.reset();
        }
    }
}

TEST_F(ImageCommandsTest, TagChangesOnlyTheImagesWhoseTagDiffersAndDropsAnEmptyStep) {
    Add("a.zyr")->SetTagged(true);
    Add("b.zyr");
    Add("c.zyr");
    SheetCommandDoc& sheet = Sheet();
    TagCommand::Run(sheet, true);
    for (CommandImage* image : images_) EXPECT_TRUE(image->IsTagged());
    EXPECT_EQ(sheet.modifiedMarks, 2);
    ASSERT_EQ(sheet.history.UndoCount(), 1u);
    EXPECT_EQ(sheet.GetUndoTextId(), IDS_UNDO_TAG);

    TagCommand::Run(sheet, true);
    EXPECT_EQ(sheet.modifiedMarks, 2);
    EXPECT_EQ(sheet.history.UndoCount(), 1u);

    sheet.Undo();
    EXPECT_TRUE(images_[0]->IsTagged());
    EXPECT_FALSE(images_[1]->IsTagged());
    EXPECT_FALSE(images_[2]->IsTagged());

    TagCommand::Run(sheet, false);
    for (CommandImage* image : images_) EXPECT_FALSE(image->IsTagged());
    EXPECT_EQ(sheet.GetUndoTextId(), IDS_UNDO_UNTAG);
}

TEST_F(ImageCommandsTest, ClickBalanceFromASlideSetsThePointAndMapsItsErrors) {
    const uint16_t triple[3] = {0, 4800, 0};
    ImageProcessParam p = Params(0, 1, 2);
    for (auto& value : p.fineTuneBalance[2]) value = 9;
    CommandImage* image = Add("a.zyr", p);
    SheetCommandDoc& sheet = Sheet();
    ClickBalanceCommand::Run(sheet, triple, "Grey card");
    const ImageProcessParam& after = *image->GetProcessParams();
    EXPECT_EQ(after.balanceType, 6);
    EXPECT_EQ(after.lighting, 2);
    EXPECT_EQ(after.clickBalance[1], 4800);
    EXPECT_EQ(after.balanceSource, "Grey card");
    EXPECT_EQ(sheet.GetUndoTextId(), IDS_UNDO_CLICK_BALANCE);
    EXPECT_EQ(sheet.locked, 0);
    EXPECT_TRUE(boxes_.texts.empty());
}

TEST_F(ImageCommandsTest, ALookGoesToEveryImageInOneStep) {
    Add("a.zyr");
    Add("b.zyr");
    SheetCommandDoc& sheet = Sheet();
    LookCommand::Run(sheet, "Portrait");
    for (CommandImage* image : images_) EXPECT_EQ(image->GetProcessParams()->GetLookName(), "Portrait");
    EXPECT_EQ(sheet.GetUndoTextId(), IDS_UNDO_LOOK);
    sheet.Undo();
    for (CommandImage* image : images_) EXPECT_EQ(image->GetProcessParams()->GetLookName(), "");
}

TEST_F(ImageCommandsTest, TheDescriptionGoesToTheFocusedImageAloneInAStepOfItsOwn) {
    Add("a.zyr");
    Add("b.zyr");
    SheetCommandDoc& sheet = Sheet();
    DescriptionCommand::Run(sheet, "Harbour at dusk");
    EXPECT_EQ(images_[0]->annotation, "");
    EXPECT_EQ(images_[1]->annotation, "Harbour at dusk");
    EXPECT_EQ(sheet.modifiedMarks, 1);
    EXPECT_EQ(sheet.GetUndoTextId(), IDS_UNDO_ANNOTATION);
    // No wait cursor and no lock: only the one image changes.
    EXPECT_EQ(std::count(sheet.log.begin(), sheet.log.end(), "wait cursor"), 0);

    // Without a focused image nothing happens.
    sheet.sheet->ClearSelection();
    DescriptionCommand::Run(sheet, "Other");
    EXPECT_EQ(images_[1]->annotation, "Harbour at dusk");
    EXPECT_EQ(sheet.modifiedMarks, 1);
}

TEST_F(ImageCommandsTest, TheIlluminantItemsFollowTheBalanceLighting) {
    struct Row {
        int balanceLighting;
        std::vector<int> supported;
        // Enabled and checked of 32787..32790.
        std::vector<ImageCommandState> states;
    } rows[] = {
        {2, {0, 1}, {{true, false}, {true, false}, {true, true}, {false, false}}},
        {6, {0, 1, 2, 3}, {{false, false}, {false, false}, {false, false}, {false, false}}},
        {0, {0, 1, 2, 3}, {{true, true}, {true, false}, {true, false}, {true, false}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.balanceLighting);
        for (bool sheetRun : {true, false}) {
            Reset();
            // The light last chosen is 1: the check stays at the balance
            // lighting.
            CommandImage* image = Add("a.zyr", Params(5, 1, row.balanceLighting));
            image->illuminants = row.supported;
            CommandDocBase& document = sheetRun ? static_cast<CommandDocBase&>(Sheet()) : Preview();
            for (int k = 0; k < 4; ++k)
                EXPECT_EQ(ImageCommandRules::Update(document, kCmdLightingDaylight + k), row.states[size_t(k)])
                    << "illuminant " << k;
            sheet_.reset();
            preview_.reset();
        }
    }
}

TEST_F(ImageCommandsTest, TheNoiseItemsFollowTheImagesTypes) {
    struct Row {
        std::vector<int> modes;
        int current;
        bool sheet;
        // Enabled and checked of 33100..33103.
        std::vector<ImageCommandState> states;
    } rows[] = {
        {{}, 0, true, {{false, false}, {false, false}, {false, false}, {false, false}}},
        {{}, 0, false, {{false, false}, {false, false}, {false, false}, {false, false}}},
        {{0, 7, 3}, 7, true, {{true, false}, {true, true}, {false, false}, {true, false}}},
        {{0, 7, 3}, 7, false, {{true, false}, {false, false}, {false, false}, {true, false}}},
        {{0, 1, 2}, 2, false, {{true, false}, {true, false}, {true, true}, {false, false}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.modes.size() << " types, " << (row.sheet ? "sheet" : "preview"));
        Reset();
        ImageProcessParam p;
        p.noiseReductionMode = row.current;
        Add("a.zyr", p)->noiseModes = row.modes;
        CommandDocBase& document = row.sheet ? static_cast<CommandDocBase&>(Sheet()) : Preview();
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(ImageCommandRules::Update(document, kCmdNoiseOff + i), row.states[size_t(i)]) << "item " << i;
        sheet_.reset();
        preview_.reset();
    }
}

TEST_F(ImageCommandsTest, TheRulesOfTheSheetAndThePreviewDifferWhereTheyShould) {
    CommandImage* image = Add("a.zyr", Params(5, 0, 0));
    image->hasAuto = true;
    image->SetTagged(true);
    PreviewCommandDoc& preview = Preview();
    EXPECT_EQ(ImageCommandRules::Update(preview, kCmdTag), (ImageCommandState{true, true}));
    EXPECT_EQ(ImageCommandRules::Update(preview, kCmdUntag), (ImageCommandState{true, false}));
    EXPECT_EQ(ImageCommandRules::Update(preview, kCmdRotateCw), std::nullopt);
    EXPECT_EQ(ImageCommandRules::Update(preview, kCmdBalanceAuto), (ImageCommandState{true, true}));
    EXPECT_EQ(ImageCommandRules::Update(preview, kCmdAutoExposure), (ImageCommandState{true, false}));
    preview.tool = kCmdClickBalanceTool;
    EXPECT_EQ(ImageCommandRules::Update(preview, kCmdClickBalanceTool), (ImageCommandState{true, true}));
    EXPECT_EQ(ImageCommandRules::Update(preview, kCmdSelectTool), (ImageCommandState{true, false}));

    SheetCommandDoc& sheet = Sheet();
    EXPECT_EQ(ImageCommandRules::Update(sheet, kCmdTag), (ImageCommandState{true, false}));
    EXPECT_EQ(ImageCommandRules::Update(sheet, kCmdRotateCw), (ImageCommandState{true, false}));
    // Without a selection the sheet greys out its items.
    sheet.sheet->ClearSelection();
    for (int id : {kCmdTag, kCmdRotateCw, kCmdBalanceAuto, kCmdLightingDaylight, kCmdNoiseOff, kCmdAutoExposure,
                   kCmdClickBalanceTool})
        EXPECT_EQ(ImageCommandRules::Update(sheet, id), (ImageCommandState{false, false})) << id;
}

} // namespace
