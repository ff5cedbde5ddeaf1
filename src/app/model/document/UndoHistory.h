#pragma once
// A document's undo and redo steps: the newest ten steps of changes to its
// images (the oldest goes when an eleventh is opened), the steps undone
// since the last change, and the Edit menu's texts of both.
#include "ImageRevertWin.h"
#include "YlmRefPtr.h"

#include <optional>
#include <vector>

class UndoHost;

// What the steps ask of their document.
class UndoDocument {
public:
    virtual ~UndoDocument() = default;
    virtual std::vector<NimbalCore::ImageRendering*> GetSelectedImages() = 0;
    virtual bool GetFocusedImage(NimbalCore::ImageRendering** rendering) = 0;
    // The selection a step puts back on undo; none where the document has
    // no selection of its own (a preview).
    virtual std::optional<UndoSelection> GetUndoSelection() = 0;
    // Makes a saved selection the document's; a rendering no longer in the
    // document is skipped.
    virtual void RestoreSelection(UndoSelection selection) = 0;
    // After a step put images back: the document's windows show them again.
    virtual void ImagesRestored() {}
};

class UndoHistory {
public:
    static constexpr size_t kMaxUndoSteps = 10;

    UndoHistory(UndoDocument& document, UndoHost& host) : document_(document), host_(host) {}
    UndoHistory(const UndoHistory&) = delete;
    UndoHistory& operator=(const UndoHistory&) = delete;

    // A step for the document's selected images.
    void BeginUndo(int undoTextId, int redoTextId, bool keepParams, bool keepIPTC, bool keepTags,
                   bool keepAnnotation, bool keepFileNames);
    // A step for one rendering (the slide a crop starts on).
    void BeginUndoForImages(NimbalCore::ImageRendering* rendering, int undoTextId, int redoTextId, bool keepParams,
                            bool keepIPTC, bool keepTags, bool keepAnnotation, bool keepFileNames);
    void PushUndoEntry(std::vector<NimbalCore::ImageRendering*> renderings, int undoTextId, int redoTextId,
                       bool keepParams, bool keepIPTC, bool keepTags, bool keepAnnotation, bool keepFileNames);
    // A step whose images still hold what it captured is dropped and leaves
    // the undone steps as they were; a step that changed them makes the
    // undone steps unreachable.
    void EndUndo();
    void DiscardLastUndo();
    void RevertLastUndo(bool pop);
    void RevertGroupsOfLastUndo(const std::vector<int>& groups);
    void Undo();
    void Redo();
    int GetUndoTextId() const;
    int GetRedoTextId() const;

    // The document is about to delete a rendering: every step forgets it,
    // and a step left without renderings goes.
    void RemoveImageFromUndo(const NimbalCore::ImageRendering* rendering);

    size_t UndoCount() const { return undo_.size(); }
    size_t RedoCount() const { return redo_.size(); }

private:
    using Entry = NimbalCore::YlmRefPtr<ImageRevertWin>;
    // Undo with from the undo stack and to the redo stack; Redo the other way.
    void Move(std::vector<Entry>& from, std::vector<Entry>& to);
    // The renderings follow what the images were given back.
    void AfterRestore(const ImageRevertWin& entry);

    UndoDocument& document_;
    UndoHost& host_;
    std::vector<Entry> undo_;
    std::vector<Entry> redo_;
};
