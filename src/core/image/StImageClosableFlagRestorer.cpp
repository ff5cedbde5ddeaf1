#include "StImageClosableFlagRestorer.h"

#include "Image.h"

namespace NimbalCore {

StImageClosableFlagRestorer::StImageClosableFlagRestorer(Image* image) : image_(image) {
    image_->EnterFlagScope(Image::FlagScope::Closable);
}

StImageClosableFlagRestorer::~StImageClosableFlagRestorer() { image_->LeaveFlagScope(Image::FlagScope::Closable); }

} // namespace NimbalCore
