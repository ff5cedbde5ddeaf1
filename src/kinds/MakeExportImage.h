#pragma once
// The exporter every image kind makes for the core's saving commands: a TIFF
// or a JPEG writer over the caller's copy of a rendering, the target path and
// the pixel array the caller keeps for a whole batch.
#include "FilePathSpec.h"

namespace NimbalCore {

class ExportImage;
class ExportImageArray;
class ImageRendering;

// File kind 0 a new ExportTIFFImage, 1 a new ExportJPEGImage, owned by the
// caller; null without a rendering or an array, and for any other kind.
ExportImage* MakeExportImage(int fileKind, ImageRendering* rendering, const FilePathSpec& target,
                             ExportImageArray* array);

} // namespace NimbalCore
