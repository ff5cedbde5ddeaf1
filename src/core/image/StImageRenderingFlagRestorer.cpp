#include "StImageRenderingFlagRestorer.h"

#include "Image.h"

namespace NimbalCore {

StImageRenderingFlagRestorer::StImageRenderingFlagRestorer(Image* image) : image_(image) {
    image_->EnterFlagScope(Image::FlagScope::Rendering);
}

StImageRenderingFlagRestorer::~StImageRenderingFlagRestorer() { image_->LeaveFlagScope(Image::FlagScope::Rendering); }

} // namespace NimbalCore
