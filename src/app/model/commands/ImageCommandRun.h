#pragma once
// The course every parameter command of the Image menu takes: the wait
// cursor and the document's lock for the whole run, one undo step around
// the change (or none), each image's parameters copied, changed and applied
// through the document, and in a contact sheet one message at the end that
// names the images that kept their old parameters.
#include "ImageCommandDocument.h"
#include "ImageProcessParam.h"

#include <functional>
#include <vector>

namespace NimbalCore {
class Image;
class ImageRendering;
} // namespace NimbalCore

class ImageCommandRun {
public:
    // What a command makes of one image: apply the changed copy; count the
    // image as failed without trying (a sheet names it at the end, a
    // preview does nothing); or leave it alone.
    enum class Outcome { kApply, kFailure, kSkip };
    using Change = std::function<Outcome(NimbalCore::Image& image, NimbalCore::ImageProcessParam& params)>;

    // How the command treats the undo history: a step kept when images
    // changed; a step opened and closed before the change (the history's
    // texts stay as they were, nothing is stored); or no step at all.
    enum class Step { kKept, kClosedBeforeChange, kNone };

    static void Run(ImageCommandDocument& document, int undoTextId, int redoTextId, const Change& change,
                    Step step = Step::kKept);

    // The message after a contact-sheet command: the one image by its file
    // name, or a summary for several. Nothing for none.
    static void ReportFailures(const std::vector<NimbalCore::ImageRendering*>& failed);
    // A message box with OK and no icon.
    static void ShowMessage(int textId, const std::vector<std::string>& args = {});
};

// Holds a command's wait cursor and lock, and its undo step, on every way
// out of the command.
class ImageCommandScope {
public:
    ImageCommandScope(ImageCommandDocument& document, int undoTextId, int redoTextId, bool keepParams,
                      bool keepTags, bool keepAnnotation, bool withStep = true, bool withLock = true);
    ~ImageCommandScope();
    ImageCommandScope(const ImageCommandScope&) = delete;
    ImageCommandScope& operator=(const ImageCommandScope&) = delete;

private:
    ImageCommandDocument& document_;
    bool step_;
    bool lock_;
};
