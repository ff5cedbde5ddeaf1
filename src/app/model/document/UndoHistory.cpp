#include "UndoHistory.h"

#include "Image.h"
#include "ImageRendering.h"
#include "UndoHost.h"
#include "UndoTextIds.h"

#include <algorithm>

namespace {

using Entry = NimbalCore::YlmRefPtr<ImageRevertWin>;

// Takes a step off a stack by identity: putting names back tells the
// documents, which may have dropped steps from the stacks meanwhile.
void Remove(std::vector<Entry>& stack, const ImageRevertWin* entry) {
    std::erase_if(stack, [entry](const Entry& e) { return e.Get() == entry; });
}

} // namespace

void UndoHistory::BeginUndo(int undoTextId, int redoTextId, bool keepParams, bool keepIPTC, bool keepTags,
                            bool keepAnnotation, bool keepFileNames) {
    PushUndoEntry(document_.GetSelectedImages(), undoTextId, redoTextId, keepParams, keepIPTC, keepTags,
                  keepAnnotation, keepFileNames);
}

void UndoHistory::BeginUndoForImages(NimbalCore::ImageRendering* rendering, int undoTextId, int redoTextId,
                                     bool keepParams, bool keepIPTC, bool keepTags, bool keepAnnotation,
                                     bool keepFileNames) {
    PushUndoEntry({rendering}, undoTextId, redoTextId, keepParams, keepIPTC, keepTags, keepAnnotation,
                  keepFileNames);
}

void UndoHistory::PushUndoEntry(std::vector<NimbalCore::ImageRendering*> renderings, int undoTextId,
                                int redoTextId, bool keepParams, bool keepIPTC, bool keepTags, bool keepAnnotation,
                                bool keepFileNames) {
    Entry entry(
        new ImageRevertWin(renderings, keepParams, keepIPTC, keepTags, keepAnnotation, keepFileNames, &host_));
    entry->undoTextId = undoTextId;
    entry->redoTextId = redoTextId;
    if (std::optional<UndoSelection> selection = document_.GetUndoSelection())
        entry->SetSavedSelection(std::move(*selection));
    if (undo_.size() >= kMaxUndoSteps) undo_.erase(undo_.begin());
    undo_.push_back(entry);
}

void UndoHistory::EndUndo() {
    if (undo_.empty()) return;
    if (undo_.back()->IsUnchanged(document_.GetSelectedImages()))
        undo_.pop_back();
    else
        redo_.clear();
}

void UndoHistory::DiscardLastUndo() {
    if (!undo_.empty()) undo_.pop_back();
}

void UndoHistory::RevertLastUndo(bool pop) {
    if (undo_.empty()) return;
    const Entry entry = undo_.back();
    entry->Restore();
    AfterRestore(*entry);
    if (pop) Remove(undo_, entry.Get());
}

void UndoHistory::RevertGroupsOfLastUndo(const std::vector<int>& groups) {
    if (undo_.empty()) return;
    const Entry entry = undo_.back();
    entry->RestoreGroups(groups);
    AfterRestore(*entry);
}

void UndoHistory::Undo() { Move(undo_, redo_); }

void UndoHistory::Redo() { Move(redo_, undo_); }

void UndoHistory::Move(std::vector<Entry>& from, std::vector<Entry>& to) {
    if (from.empty()) return;
    const Entry entry = from.back();
    const std::vector<NimbalCore::ImageRendering*> renderings = entry->GetRenderings();
    if (!host_.HasMainWindow()) return;
    NimbalCore::ImageRendering* focused = nullptr;
    if (!document_.GetFocusedImage(&focused)) focused = nullptr;

    // The state this step replaces, so that the opposite command brings it
    // back; the step's texts and selection travel with it.
    Entry opposite(new ImageRevertWin(renderings, entry->CapturesParams(), entry->CapturesIPTC(),
                                      entry->CapturesTags(), entry->CapturesAnnotations(), entry->CapturesNames(),
                                      &host_));
    opposite->undoTextId = entry->undoTextId;
    opposite->redoTextId = entry->redoTextId;
    opposite->SetSavedSelection(entry->GetSavedSelection());
    to.push_back(opposite);

    entry->Restore();
    AfterRestore(*entry);
    document_.RestoreSelection(entry->GetSavedSelection());
    if (focused && !renderings.empty() && focused == renderings.back()) host_.ShowImageInfo(focused);
    Remove(from, entry.Get());
}

void UndoHistory::AfterRestore(const ImageRevertWin& entry) {
    if (entry.CapturesParams())
        for (NimbalCore::ImageRendering* rendering : entry.GetRenderings())
            if (const NimbalCore::ImageRef image = *rendering->GetImage())
                rendering->SetProcessParam(*image->GetProcessParams());
    document_.ImagesRestored();
}

int UndoHistory::GetUndoTextId() const { return undo_.empty() ? IDS_CANT_UNDO : undo_.back()->undoTextId; }

int UndoHistory::GetRedoTextId() const { return redo_.empty() ? IDS_CANT_REDO : redo_.back()->redoTextId; }

void UndoHistory::RemoveImageFromUndo(const NimbalCore::ImageRendering* rendering) {
    for (std::vector<Entry>* stack : {&undo_, &redo_})
        std::erase_if(*stack, [rendering](const Entry& entry) { return !entry->Forget(rendering); });
}
