#include "StImageClosableFlagRestorer.h"

#include "Image.h"

namespace NimbalCore {

StImageClosableFlagRestorer::StImageClosableFlagRestorer(Image* image) : image_(image), saved_(image->IsClosable()) {
    image_->SetClosable(false);
}

StImageClosableFlagRestorer::~StImageClosableFlagRestorer() { image_->SetClosable(saved_); }

} // namespace NimbalCore
