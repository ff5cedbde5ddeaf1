#include "ImageRevert.h"

#include "Image.h"
#include "ImageRef.h"
#include "ImageRendering.h"
#include "NbErrorCodes.h"
#include "YlmErrp.h"

#include <algorithm>

namespace NimbalCore {

namespace {

// The rendering's image, held for the length of one step; 1401 for a
// rendering without one.
ImageRef HeldImage(ImageRendering* rendering, const char* operation) {
    ImageRef image = rendering ? *rendering->GetImage() : ImageRef();
    if (!image) YLM_THROW(operation, NbErrInvalidValue);
    return image;
}

// The held image, or none: restoring skips renderings that lost theirs.
ImageRef ImageIfAny(ImageRendering* rendering) { return rendering ? *rendering->GetImage() : ImageRef(); }

bool HasGroup(const std::vector<int>& groups, int group) {
    return std::find(groups.begin(), groups.end(), group) != groups.end();
}

} // namespace

ImageRevert::ImageRevert(const std::vector<ImageRendering*>& renderings, bool params, bool iptc, bool tags,
                         bool annotations, bool names)
    : captureParams_(params), captureIPTC_(iptc), captureTags_(tags), captureAnnotations_(annotations),
      captureNames_(names), renderings_(renderings) {
    static constexpr const char* kOperation = "ImageRevert::ImageRevert";
    for (ImageRendering* rendering : renderings_) {
        const ImageRef image = HeldImage(rendering, kOperation);
        if (params) paramEntries_.push_back({rendering, rendering->GetProcessParam(), image->IsModified()});
        if (iptc) iptcEntries_.push_back({rendering, *image->GetIPTCRecord()});
        if (tags) tagEntries_.push_back({rendering, image->IsTagged()});
        if (annotations) annotationEntries_.push_back({rendering, image->GetAnnotation()});
        if (names) nameEntries_.push_back({rendering, image->GetFileName()});
    }
}

void ImageRevert::Restore() {
    OnRestore();
    for (const ParamEntry& entry : paramEntries_)
        if (const ImageRef image = ImageIfAny(entry.rendering)) {
            image->SetProcessParams(entry.params);
            image->SetModified(entry.modified);
        }
    for (const IPTCEntry& entry : iptcEntries_)
        if (const ImageRef image = ImageIfAny(entry.rendering)) image->SetIPTCRecord(entry.record);
    for (const TagEntry& entry : tagEntries_)
        if (const ImageRef image = ImageIfAny(entry.rendering)) image->SetTagged(entry.tagged);
    for (const AnnotationEntry& entry : annotationEntries_)
        if (const ImageRef image = ImageIfAny(entry.rendering)) image->SetAnnotation(std::string(entry.annotation));
}

void ImageRevert::RestoreGroups(const std::vector<int>& groups) {
    for (const ParamEntry& entry : paramEntries_)
        if (const ImageRef image = ImageIfAny(entry.rendering)) {
            ImageProcessParam params = entry.rendering->GetProcessParam();
            params.CopyGroups(entry.params, groups);
            image->SetProcessParams(params);
            image->SetModified(entry.modified);
        }
    if (HasGroup(groups, ImageProcessParam::GroupTagging))
        for (const TagEntry& entry : tagEntries_)
            if (const ImageRef image = ImageIfAny(entry.rendering)) image->SetTagged(entry.tagged);
    if (HasGroup(groups, ImageProcessParam::GroupIPTC))
        for (const IPTCEntry& entry : iptcEntries_)
            if (const ImageRef image = ImageIfAny(entry.rendering)) image->SetIPTCRecord(entry.record);
}

bool ImageRevert::IsUnchanged(const std::vector<ImageRendering*>& renderings) const {
    static constexpr const char* kOperation = "ImageRevert::IsUnchanged";
    const size_t count = renderings.size();
    for (size_t i = 0; i < count; ++i) {
        ImageRendering* rendering = renderings[i];
        if (paramEntries_.size() == count && (!rendering || rendering->GetProcessParam() != paramEntries_[i].params))
            return false;
        const bool needsImage =
            tagEntries_.size() == count || iptcEntries_.size() == count || annotationEntries_.size() == count;
        if (!needsImage) continue;
        const ImageRef image = HeldImage(rendering, kOperation);
        if (tagEntries_.size() == count && image->IsTagged() != tagEntries_[i].tagged) return false;
        if (iptcEntries_.size() == count && !image->GetIPTCRecord()->IsEqual(iptcEntries_[i].record)) return false;
        if (annotationEntries_.size() == count && image->GetAnnotation() != annotationEntries_[i].annotation)
            return false;
    }
    return true;
}

void ImageRevert::RemoveRendering(const ImageRendering* rendering) {
    const auto drop = [rendering](auto& entries) {
        std::erase_if(entries, [rendering](const auto& entry) { return entry.rendering == rendering; });
    };
    drop(paramEntries_);
    drop(iptcEntries_);
    drop(tagEntries_);
    drop(annotationEntries_);
    drop(nameEntries_);
    std::erase(renderings_, rendering);
}

} // namespace NimbalCore
