// The camera-JPEG engine decoding any stream: four leading bytes give the
// directory's width and height, colour and output type; the rest is the file.
// Nothing may be read outside the stream or written outside the cache.
#include <cstdint>
#include <cstring>
#include <vector>

#include "JpegFileEngine.h"
#include "RendererImage.h"
#include "VqOutputTypes.h"

namespace {

class BytesImage : public lumora::RendererImage {
public:
    std::vector<uint8_t> file;
    VqStatus ReadFileBytes(void* dst, uint64_t offset, uint32_t count, uint32_t) override {
        if (offset > file.size() || count > file.size() - offset) return VQ_ERR_READ_PAST_BUFFER;
        std::memcpy(dst, file.data() + offset, count);
        return VQ_OK;
    }
    VqStatus OnImageTypeChanged(uint32_t, uint32_t*, int32_t*) override { return VQ_OK; }
    VqStatus ToSensorDataRect(SdkRect*) override { return VQ_OK; }
};

template <typename T>
void Set(lumora::SdkRenderer& r, uint32_t id, const T& value) {
    std::memcpy(r.Parameter(id), &value, sizeof value);
    r.ParameterChanged(id);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4 || size > (1u << 20)) return 0;
    const int32_t width = 1 + data[0] % 64, height = 1 + data[1] % 64;
    const int32_t colour = data[2] & 1;
    const int32_t type = colour && (data[3] & 1) ? VQ_TYPE_RGB8 : VQ_TYPE_GRAY8;
    BytesImage image;
    image.file.assign(data + 4, data + size);
    lumora::JpegFileEngine engine;
    lumora::RendererImage* self = &image;
    Set(engine, lumora::RP_IMAGE, self);
    Set(engine, lumora::RP_IS_COLOR, colour);
    Set(engine, lumora::RP_RAW_WIDTH, width);
    Set(engine, lumora::RP_RAW_HEIGHT, height);
    Set(engine, lumora::RP_DATA_OFFSET, int32_t(0));
    Set(engine, lumora::RP_DATA_SIZE, int32_t(image.file.size()));
    Set(engine, lumora::RP_CACHE_SAMPLE_BYTES, int32_t(3));
    Set(engine, lumora::RP_OUTPUT_TYPE, type);
    const SdkRect window{0, 0, int16_t(width), int16_t(height)};
    Set(engine, lumora::RP_OUTPUT_WINDOW, window);
    std::vector<uint8_t> out(size_t(width) * size_t(height) * 3);
    ImageBufferRecord record{};
    record.buffer = out.data();
    record.bufferBytes = uint32_t(out.size());
    engine.RenderImage(&record, nullptr);
    return 0;
}
