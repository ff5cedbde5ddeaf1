#pragma once
// How a folder scan hands each new image to the document that asked for it.
#include "ImageRef.h"

namespace NimbalCore {

class ImageWerksCB {
public:
    // The answer of ImageFound that stops the scan at once.
    static constexpr int kStopScan = 2001;

    // Any answer but kStopScan lets the scan go on.
    virtual int ImageFound(ImageRef image) = 0;

protected:
    ~ImageWerksCB() = default;
};

} // namespace NimbalCore
