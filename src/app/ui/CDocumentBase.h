#pragma once
// What the contact-sheet and preview documents share: the undo steps of
// their selected images' settings and pasting copied settings.
#include "ImageProcessParam.h"

#include <wx/docview.h>

#include <vector>

namespace NimbalCore {
class ImageRendering;
}

class CDocumentBase : public wxDocument {
public:
    // The images a command works on (the selection, or the preview's image).
    virtual std::vector<NimbalCore::ImageRendering*> GetSelectedRenderings() = 0;

    // Opens an undo step holding the selected images' present state.
    void BeginUndo(int undoTextId, int redoTextId, bool keepParams, bool keepIPTC, bool keepTags,
                   bool keepAnnotation, const std::vector<std::string>* fileNames);
    // Copies the listed groups of the main frame's copied settings into the
    // selected images; false when an image refused them.
    virtual bool PasteSettings(const std::vector<int>& groups);
    // Puts the images of the newest step back as recorded; pop removes the
    // step too.
    void RevertLastUndo(bool pop);
    // Puts back only the listed groups of the newest step; the step stays.
    void RevertGroupsOfLastUndo(const std::vector<int>& groups);
    size_t UndoDepth() const { return undo_.size(); }

    bool OnSaveModified() override { return true; }

protected:
    // After images changed: the document's windows show them again.
    virtual void ImagesChanged() {}

private:
    struct UndoStep {
        int undoTextId = 0;
        int redoTextId = 0;
        std::vector<NimbalCore::ImageRendering*> renderings;
        std::vector<NimbalCore::ImageProcessParam> params;
    };
    std::vector<UndoStep> undo_;
};
