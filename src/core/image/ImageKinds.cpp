#include "ImageKinds.h"

#include <atomic>

namespace NimbalCore {

namespace {
std::atomic<ImageKinds*> gKinds{nullptr};
}

void ImageKinds::Install(ImageKinds* kinds) { gKinds.store(kinds); }

ImageKinds* ImageKinds::Get() { return gKinds.load(); }

} // namespace NimbalCore
