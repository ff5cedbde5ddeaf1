#include "StImageRenderingFlagRestorer.h"

#include "Image.h"

namespace NimbalCore {

StImageRenderingFlagRestorer::StImageRenderingFlagRestorer(Image* image) : image_(image), saved_(image->IsRendering()) {
    image_->SetRendering(true);
}

StImageRenderingFlagRestorer::~StImageRenderingFlagRestorer() { image_->SetRendering(saved_); }

} // namespace NimbalCore
