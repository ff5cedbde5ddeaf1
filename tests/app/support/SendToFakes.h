#pragma once
// Stand-ins for Send To's tests: an image kind in memory that writes through
// the real TIFF exporter, the kinds the replace question opens existing
// targets with, message boxes answered from a script, and a launcher that
// records what it was asked to start.
#include "../../core/FakeImage.h"

#include "ExportImageArray.h"
#include "ExportTIFFImage.h"
#include "ImageKinds.h"
#include "ImagePool.h"
#include "ImageRendering.h"
#include "ImageWerks.h"
#include "MessageBoxService.h"
#include "ProgramLauncher.h"

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace sendtest {

using namespace NimbalCore;

class SendTestImage : public coretest::FakeImage {
public:
    explicit SendTestImage(const std::string& path, int32_t width = 40, int32_t height = 30)
        : FakeImage(path, width, height) {
        FillPattern();
        colorModes = {0, 1, 2};
    }
    bool ImageShouldBeRenderedForExport() override { return mustRender; }
    bool Supports16BitOutput() override { return sixteenBits; }
    int32_t GetFileType() const override { return fileType; }
    ExportImage* CreateExportImage(int kind, ImageRendering* rendering, const FilePathSpec& target,
                                   ExportImageArray* array, int32_t) override {
        exportTargets.push_back(target.GetPath());
        exportBytesPerSample.push_back(array ? array->GetBytesPerSample() : 0);
        if (makeExporter) return makeExporter(*rendering, target, array);
        if (kind != 0 || !rendering || !array) return nullptr;
        return new ExportTIFFImage(*rendering, target, array);
    }
    void RenderImage(const ImageProcessParam& params, PixelArray& destination, bool useCrop, ProgressCB* progress,
                     int renderScale) override {
        renderedColorModes.push_back(params.colorMode);
        renderedWorkingSpaces.push_back(params.workingSpaceName);
        if (beforeRender) beforeRender(progress);
        FakeImage::RenderImage(params, destination, useCrop, progress, renderScale);
    }

    bool mustRender = true;
    bool sixteenBits = true;
    int32_t fileType = 0;
    std::vector<std::string> exportTargets;
    std::vector<int> exportBytesPerSample;
    std::vector<int> renderedColorModes;
    std::vector<std::string> renderedWorkingSpaces;
    std::function<void(ProgressCB*)> beforeRender;
    std::function<ExportImage*(ImageRendering&, const FilePathSpec&, ExportImageArray*)> makeExporter;
};

// An image and the rendering a slide or a preview holds of it.
struct Slide {
    Slide(const std::string& path, int colorMode = 0) : image(new SendTestImage(path)), ref(image) {
        ImageProcessParam p;
        p.colorMode = colorMode;
        p.crop = image->GetImageRect();
        rendering = std::make_unique<ImageRendering>(ref, p);
    }
    SendTestImage* image;
    ImageRef ref;
    std::unique_ptr<ImageRendering> rendering;
};

// Existing targets open as finished TIFF files of the file type the test
// gives them (1 when not named).
class TargetKinds : public ImageKinds {
public:
    TargetKinds() {
        ImagePool::DeleteInstance();
        ImageWerks::ResetProfileCheck();
        ImageKinds::Install(this);
    }
    ~TargetKinds() override {
        ImagePool::DeleteInstance();
        ImageKinds::Install(nullptr);
        ImageWerks::ResetProfileCheck();
    }
    Image* NewFinishedTIFFImage(const FilePathSpec& path) override {
        auto* image = new SendTestImage(path.GetPath());
        auto found = fileTypes.find(path.GetPath());
        image->fileType = found == fileTypes.end() ? 1 : found->second;
        return image;
    }
    Image* NewFinishedJPEGImage(const FilePathSpec&) override { return nullptr; }
    Image* NewDriverImage(const FilePathSpec&, int) override { return nullptr; }
    Image* NewCameraInterfaceImage(const FilePathSpec&) override { return nullptr; }
    int OpenCameraInterfaceImage(Image*, int) override { return 1; }
    std::vector<FolderPlugIn> GetFolderPlugIns() override { return {}; }
    bool HasRequiredProfiles() override { return true; }

    std::map<std::string, int> fileTypes;
};

class ScriptedBoxes : public MessageBoxService {
public:
    struct Shown {
        std::string text;
        Buttons buttons;
    };
    ScriptedBoxes() { MessageBoxService::SetCurrent(this); }
    ~ScriptedBoxes() override { MessageBoxService::SetCurrent(nullptr); }
    int Show(const std::string& text, const std::string&, Buttons buttons) override {
        shown.push_back({text, buttons});
        if (onShow) onShow();
        if (!answers.empty()) {
            const int answer = answers.front();
            answers.pop_front();
            return answer;
        }
        return buttons == kYesNo ? kAnswerYes : kAnswerOk;
    }
    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const Shown& s : shown) texts.push_back(s.text);
        return texts;
    }
    std::vector<Shown> shown;
    std::deque<int> answers;
    std::function<void()> onShow;
};

class RecordingLauncher : public ProgramLauncher {
public:
    struct Call {
        std::string program; // empty: the associated program
        std::vector<std::string> arguments;
    };
    RecordingLauncher() { ProgramLauncher::SetCurrent(this); }
    ~RecordingLauncher() override { ProgramLauncher::SetCurrent(nullptr); }
    std::string DefaultApplicationFor(const std::string&) override { return {}; }
    bool StartProgram(const std::string& program, const std::vector<std::string>& arguments) override {
        calls.push_back({program, arguments});
        return starts;
    }
    bool OpenWithAssociatedProgram(const std::string& path) override {
        calls.push_back({"", {path}});
        return starts;
    }
    std::vector<Call> calls;
    bool starts = true;
};

} // namespace sendtest
