#include "CDocumentBase.h"

#include "ApplyParamGroupsToImages.h"
#include "CLumoraApp.h"
#include "CMainFrame.h"
#include "ImageRendering.h"

void CDocumentBase::BeginUndo(int undoTextId, int redoTextId, bool keepParams, bool keepIPTC, bool keepTags,
                              bool keepAnnotation, const std::vector<std::string>* fileNames) {
    (void)keepIPTC;
    (void)keepTags;
    (void)keepAnnotation;
    (void)fileNames;
    UndoStep step;
    step.undoTextId = undoTextId;
    step.redoTextId = redoTextId;
    step.renderings = GetSelectedRenderings();
    if (keepParams)
        for (NimbalCore::ImageRendering* r : step.renderings) step.params.push_back(r->GetProcessParam());
    undo_.push_back(std::move(step));
}

bool CDocumentBase::PasteSettings(const std::vector<int>& groups) {
    CMainFrame* frame = TheMainFrame();
    if (!frame || !frame->State().settingsCopied) return false;
    std::vector<NimbalCore::ImageRendering*> refused;
    const std::vector<NimbalCore::ImageRendering*> renderings = GetSelectedRenderings();
    NimbalCore::ApplyParamGroupsToImages(renderings, frame->State().copiedSettings, groups, frame->State().copiedTagged,
                                         frame->State().copiedIPTC, refused);
    for (NimbalCore::ImageRendering* r : renderings) r->ReloadProcessParam();
    ImagesChanged();
    return refused.empty();
}

void CDocumentBase::RevertLastUndo(bool pop) {
    if (undo_.empty()) return;
    UndoStep& step = undo_.back();
    for (size_t i = 0; i < step.renderings.size() && i < step.params.size(); ++i) {
        step.renderings[i]->SetProcessParam(step.params[i]);
        step.renderings[i]->CommitProcessParam();
    }
    if (pop) undo_.pop_back();
    ImagesChanged();
}

void CDocumentBase::RevertGroupsOfLastUndo(const std::vector<int>& groups) {
    if (undo_.empty()) return;
    UndoStep& step = undo_.back();
    NimbalCore::IPTCNAARecord2 unchanged;
    for (size_t i = 0; i < step.renderings.size() && i < step.params.size(); ++i) {
        std::vector<NimbalCore::ImageRendering*> refused;
        std::vector<int> paramGroups;
        // The IPTC record and the tag are not part of the recorded settings.
        for (int g : groups)
            if (g != 8 && g != 9) paramGroups.push_back(g);
        NimbalCore::ApplyParamGroupsToImages({step.renderings[i]}, step.params[i], paramGroups, false, unchanged,
                                             refused);
        step.renderings[i]->ReloadProcessParam();
    }
    ImagesChanged();
}
