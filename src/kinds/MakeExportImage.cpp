#include "MakeExportImage.h"

#include "ExportJPEGImage.h"
#include "ExportTIFFImage.h"

namespace NimbalCore {

ExportImage* MakeExportImage(int fileKind, ImageRendering* rendering, const FilePathSpec& target,
                             ExportImageArray* array) {
    if (!rendering || !array) return nullptr;
    switch (fileKind) {
    case ExportImage::FormatTIFF: return new ExportTIFFImage(*rendering, target, array);
    case ExportImage::FormatJPEG: return new ExportJPEGImage(*rendering, target, array);
    default: return nullptr;
    }
}

} // namespace NimbalCore
