#pragma once
// The sound files that belong to one image. The base answers "nothing there";
// the folder enumerator fills it from the folder.
#include <cstdint>

#include "VqImage.h"
#include "VqStatus.h"


namespace lumora::vq {

class SdkSoundList {
public:
    virtual ~SdkSoundList() = default;
    virtual int32_t IsValid() { return 1; }
    virtual VqStatus ReadSound(SoundInfoRecord* /*info*/, void* /*buffer*/) { return 0; }
    virtual VqStatus GetSoundInfo(int32_t /*index*/, SoundInfoRecord* /*out*/) { return 0; }
    virtual VqStatus GetSoundCount(int16_t* /*out*/) { return 0; }
    virtual VqStatus Reserved(uint32_t /*word*/) { return 0; }
};

} // namespace lumora::vq
