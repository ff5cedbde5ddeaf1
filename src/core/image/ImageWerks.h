#pragma once
// The image factory: turns a path into an open, pooled image of the kind that
// reads it (a folder plug-in, a finished TIFF or JPEG file, a raw file through
// a model driver or through the camera interface), sharing the pooled image
// of a path that is open already; and turns a folder's changes into newly
// opened images for the document that shows the folder. It keeps no state of
// its own: any thread makes one on the stack.
#include "FilePathSpec.h"
#include "ImageRef.h"
#include "ImageWerksCB.h"

#include <string>
#include <vector>

namespace NimbalCore {

class ImageWerks {
public:
    ImageWerks() = default;
    virtual ~ImageWerks() = default;

    // 0 with the image in out, or 2000 with out empty. Failures that a
    // kind throws while it is made or opened pass to the caller.
    virtual int OpenImage(const FilePathSpec& path, ImageRef& out);
    // The model drivers that started, then the camera interface: 0, 1730
    // when a driver opened the file but the colour profiles the drivers'
    // images need are missing (the drivers are skipped from then on), or
    // 2000.
    virtual int OpenRawImage(const FilePathSpec& path, ImageRef& out, int openOption);
    // 0, or 2000 (at once when there are no folder plug-ins).
    virtual int OpenWithPlugIns(const FilePathSpec& path, ImageRef& out);
    // Opens the added files in name order and reports each image to the
    // callback one step late, once the sound files after it are attached;
    // an answer of ImageWerksCB::kStopScan ends the scan. A removed file
    // tells its pooled image, and a removed sound leaves its image.
    virtual void ProcessFolderChanges(std::vector<FilePathSpec> added, std::vector<FilePathSpec> removed,
                                      ImageWerksCB* callback);
    // Up to three characters after the name's last dot; empty without a dot.
    virtual std::string GetExtension(const FilePathSpec& path);

    // Forgets the once-per-run check of the colour profiles (tests).
    static void ResetProfileCheck();

private:
    // Pools a newly opened image; when another thread pooled the path
    // meanwhile, that image is taken instead. 0.
    int Pool(const FilePathSpec& path, ImageRef& image);
};

} // namespace NimbalCore
