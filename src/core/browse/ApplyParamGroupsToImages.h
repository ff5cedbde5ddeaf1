#pragma once
// Pasting settings onto many images: chosen parameter groups of one set go
// into each image's parameters, unless the image refuses the result; the
// IPTC record (group 8) and the tag (group 9) go onto every image.
#include "IPTCNAARecord2.h"
#include "ImageProcessParam.h"

#include <vector>

namespace NimbalCore {

class ImageRendering;

// True when any image changed. Every rendering must have an image (1401
// otherwise). The renderings whose image refuses its new set are listed in
// refused, in order; they keep their parameters but still get the IPTC
// record and the tag. The renderings' own parameters are left alone: the
// caller re-reads them from the images. A failing image operation ends
// the batch at that image.
bool ApplyParamGroupsToImages(const std::vector<ImageRendering*>& renderings, const ImageProcessParam& source,
                              const std::vector<int>& groups, bool tag, const IPTCNAARecord2& record,
                              std::vector<ImageRendering*>& refused);

} // namespace NimbalCore
