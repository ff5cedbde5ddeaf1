#pragma once
// What a test needs to drive an engine without an image class: an image whose
// file is a byte vector, and parameters set through the renderer's table the
// way the image sets them. Also built into the engine fuzz targets.
#include <cstdint>
#include <cstring>
#include <vector>

#include "RendererImage.h"
#include "SdkRenderer.h"
#include "VqStatus.h"

namespace lumora::test {

// An image whose file is a byte vector.
class MemoryImage : public RendererImage {
public:
    std::vector<uint8_t> file;
    int reads = 0;
    int16_t leftMargin = 0, topMargin = 0;

    VqStatus ReadFileBytes(void* dst, uint64_t offset, uint32_t count, uint32_t) override {
        ++reads;
        if (offset > file.size() || count > file.size() - offset) return VQ_ERR_READ_PAST_BUFFER;
        std::memcpy(dst, file.data() + offset, count);
        return VQ_OK;
    }
    VqStatus OnImageTypeChanged(uint32_t, uint32_t*, int32_t*) override { return VQ_OK; }
    VqStatus ToSensorDataRect(SdkRect* r) override {
        r->x = int16_t(r->x - leftMargin);
        r->y = int16_t(r->y - topMargin);
        return VQ_OK;
    }
};

template <typename T>
void SetParameter(SdkRenderer& r, uint32_t id, const T& value) {
    std::memcpy(r.Parameter(id), &value, sizeof value);
    r.ParameterChanged(id);
}

// A stored RGB thumbnail of w × h pixels of one colour, handed to an engine as
// the image hands it: its bytes and the info record with their count and size.
struct SolidThumbnail {
    std::vector<uint8_t> bytes;
    int32_t info[8] = {};
    SolidThumbnail(int w, int h, uint8_t r, uint8_t g, uint8_t b) {
        for (int i = 0; i < w * h; ++i) bytes.insert(bytes.end(), {r, g, b});
        info[3] = int32_t(bytes.size());
        info[6] = w;
        info[7] = h;
    }
    void Attach(SdkRenderer& e) const {
        std::memcpy(e.Parameter(RP_THUMBNAIL_INFO), info, sizeof info);
        const uint8_t* data = bytes.data();
        SetParameter(e, RP_THUMBNAIL_DATA, data);
    }
};

} // namespace lumora::test
