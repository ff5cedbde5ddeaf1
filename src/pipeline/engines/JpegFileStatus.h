#pragma once
// Camera-JPEG files answer the file-format statuses in their own range: a bad
// or non-TIFF file is a bad JPEG file, 0x6004 ... 0x6010 become 0x6804 ... 0x6810.
#include <cstdint>

#include "VqStatus.h"

namespace lumora {

inline uint32_t MapFileStatusForJpeg(uint32_t status) {
    if (status == VQ_ERR_BAD_FILE || status == VQ_ERR_NOT_TIFF) return VQ_ERR_JPEG_BAD_FILE;
    if (status >= 0x6004u && status <= 0x6010u) return 0x6800u | (status & 0xFFu);
    return status;
}

} // namespace lumora
