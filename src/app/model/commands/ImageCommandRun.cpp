#include "ImageCommandRun.h"

#include "Image.h"
#include "ImageCommandIds.h"
#include "ImageRendering.h"
#include "LocalizedText.h"
#include "MessageBoxService.h"
#include "StringIds.h"
#include "TextSubstitution.h"

ImageCommandScope::ImageCommandScope(ImageCommandDocument& document, int undoTextId, int redoTextId,
                                     bool keepParams, bool keepTags, bool keepAnnotation, bool withStep,
                                     bool withLock)
    : document_(document), step_(withStep), lock_(withLock) {
    if (lock_) document_.BeginCommand();
    if (!step_) return;
    try {
        document_.BeginUndo(undoTextId, redoTextId, keepParams, false, keepTags, keepAnnotation, false);
    } catch (...) {
        if (lock_) document_.EndCommand();
        throw;
    }
}

ImageCommandScope::~ImageCommandScope() {
    if (step_) {
        try {
            document_.EndUndo();
        } catch (...) {
            // The images keep their state; only the step is lost.
        }
    }
    if (lock_) document_.EndCommand();
}

void ImageCommandRun::ShowMessage(int textId, const std::vector<std::string>& args) {
    MessageBoxService::Current().Show(TranslatedText(textId, args),
                                      LoadTranslatedString(IDS_APP_TITLE), MessageBoxService::kOk);
}

void ImageCommandRun::ReportFailures(const std::vector<NimbalCore::ImageRendering*>& failed) {
    if (failed.empty()) return;
    if (failed.size() > 1) {
        ShowMessage(IDS_APPLY_FAILED_SEVERAL);
        return;
    }
    std::string name;
    if (const NimbalCore::ImageRef image = *failed.front()->GetImage()) name = image->GetFilePathSpec().GetFileName();
    ShowMessage(IDS_APPLY_FAILED_ONE, {name});
}

void ImageCommandRun::Run(ImageCommandDocument& document, int undoTextId, int redoTextId, const Change& change,
                          Step step) {
    const bool sheet = document.CommandKind() == ImageCommandDocument::Kind::kSheet;
    if (!sheet && document.GetSelectedImages().empty()) return;
    std::vector<NimbalCore::ImageRendering*> failed;
    {
        // A rotation's step is opened and closed before anything changes:
        // the history drops it, and the Undo item keeps naming the step
        // before it.
        const bool keptStep = step == Step::kKept;
        if (step == Step::kClosedBeforeChange) {
            ImageCommandScope dropped(document, undoTextId, redoTextId, true, false, false, true, false);
        }
        ImageCommandScope scope(document, undoTextId, redoTextId, true, false, false, keptStep, sheet);
        for (NimbalCore::ImageRendering* rendering : document.GetSelectedImages()) {
            if (!rendering) continue;
            try {
                // A counted reference keeps the image while it is asked.
                const NimbalCore::ImageRef image = *rendering->GetImage();
                if (!image) continue;
                NimbalCore::ImageProcessParam params = rendering->GetProcessParam();
                const Outcome outcome = change(*image, params);
                if (outcome == Outcome::kSkip) continue;
                if (outcome == Outcome::kFailure) {
                    if (sheet) failed.push_back(rendering);
                    continue;
                }
                if (!document.ApplyProcessParams(params, rendering) && sheet) failed.push_back(rendering);
            } catch (...) {
                ShowMessage(IDS_UNABLE_TO_RENDER_IMAGE);
                if (sheet) failed.push_back(rendering);
            }
        }
        if (sheet) ReportFailures(failed);
    }
}
