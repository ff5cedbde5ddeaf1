#pragma once
// What the core asks of a document that shows images: it hears of changes
// to its images, and says whether it shows a path and brings it forward. The
// close-up view finds the document of an image through these.
#include "FilePathSpec.h"
#include "ImageChangeCB.h"

namespace NimbalCore {

class DocumentModel : public ImageChangeCB {
public:
    ~DocumentModel() override = default;

    void ImageFileChanged(const FilePathSpec&) override {}
    void ProcessParamsChanged(const FilePathSpec&) override {}
    void SoundsChanged(const FilePathSpec&) override {}
    void ImageSaved(const FilePathSpec&) override {}
    void TagChanged(const FilePathSpec&) override {}
    void ImageRenamed(const FilePathSpec&, const FilePathSpec&) override {}

    virtual void ActivateImage(const FilePathSpec& path) = 0;
    virtual bool ContainsImage(const FilePathSpec& path) = 0;
};

} // namespace NimbalCore
