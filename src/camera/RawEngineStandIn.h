#pragma once
// The renderer a raw image gets while the raw engine is not part of the build:
// it holds every parameter the image writes and prepares no stages of its own,
// as an engine does; rendering answers VQ_ERR_NOT_IMPLEMENTED.
#include "SdkRenderer.h"

namespace lumora::vq {

class RawEngineStandIn : public lumora::SdkRenderer {
public:
    VqStatus PrepareStages() override;
};

} // namespace lumora::vq
