#pragma once
// An undo snapshot: for each rendering of a list, whichever aspects a
// command may change (the process parameters with the modified flag, the
// IPTC record, the tag, the annotation, the file name), put back on undo.
// The application's subclass handles what the base leaves to OnRestore.
#include "IPTCNAARecord2.h"
#include "ImageProcessParam.h"
#include "YlmMutex.h"
#include "YlmRefCount.h"

#include <string>
#include <vector>

namespace NimbalCore {

class Image;
class ImageRendering;

class ImageRevert : public YlmRefCount<YlmMutex> {
public:
    struct ParamEntry {
        ImageRendering* rendering;
        ImageProcessParam params;
        bool modified;
    };
    struct IPTCEntry {
        ImageRendering* rendering;
        IPTCNAARecord2 record;
    };
    struct TagEntry {
        ImageRendering* rendering;
        bool tagged;
    };
    struct AnnotationEntry {
        ImageRendering* rendering;
        std::string annotation;
    };
    struct NameEntry {
        ImageRendering* rendering;
        std::string fileName;
    };

    // Captures the chosen aspects of every rendering, in list order; each
    // must have an image (1401 otherwise). The renderings are not owned.
    ImageRevert(const std::vector<ImageRendering*>& renderings, bool params, bool iptc, bool tags,
                bool annotations, bool names);
    virtual ~ImageRevert() = default;
    ImageRevert(const ImageRevert&) = delete;
    ImageRevert& operator=(const ImageRevert&) = delete;

    // OnRestore first, then everything captured but the file names.
    void Restore();
    // Only the listed parameter groups, with the modified flags; the tags
    // with group 9 and the IPTC records with group 8.
    void RestoreGroups(const std::vector<int>& groups);
    // Whether the renderings still hold what was captured, position by
    // position, for every kind captured for as many renderings as listed.
    bool IsUnchanged(const std::vector<ImageRendering*>& renderings) const;
    // Forgets a rendering that is about to go away, with everything
    // captured of it; the others keep their order.
    void RemoveRendering(const ImageRendering* rendering);

    bool CapturesParams() const { return captureParams_; }
    bool CapturesIPTC() const { return captureIPTC_; }
    bool CapturesTags() const { return captureTags_; }
    bool CapturesAnnotations() const { return captureAnnotations_; }
    bool CapturesNames() const { return captureNames_; }
    const std::vector<ImageRendering*>& GetRenderings() const { return renderings_; }
    const std::vector<ParamEntry>& GetParamEntries() const { return paramEntries_; }
    const std::vector<NameEntry>& GetNameEntries() const { return nameEntries_; }

protected:
    // Runs before anything is put back; the file names are the subclass's.
    virtual void OnRestore() {}

private:
    std::vector<ParamEntry> paramEntries_;
    std::vector<IPTCEntry> iptcEntries_;
    std::vector<TagEntry> tagEntries_;
    std::vector<AnnotationEntry> annotationEntries_;
    std::vector<NameEntry> nameEntries_;
    bool captureParams_;
    bool captureIPTC_;
    bool captureTags_;
    bool captureAnnotations_;
    bool captureNames_;
    std::vector<ImageRendering*> renderings_;
};

} // namespace NimbalCore
