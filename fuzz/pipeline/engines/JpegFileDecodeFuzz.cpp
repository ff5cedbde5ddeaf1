// The camera-JPEG engine decoding any stream: four leading bytes give the
// directory's width and height, colour and output type; the rest is the file.
// Nothing may be read outside the stream or written outside the cache.
#include <cstdint>
#include <vector>

#include "EngineTestSupport.h"
#include "JpegFileEngine.h"
#include "VqOutputTypes.h"

using lumora::test::MemoryImage;
using lumora::test::SetParameter;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4 || size > (1u << 20)) return 0;
    const int32_t width = 1 + data[0] % 64, height = 1 + data[1] % 64;
    const int32_t colour = data[2] & 1;
    const int32_t type = colour && (data[3] & 1) ? VQ_TYPE_RGB8 : VQ_TYPE_GRAY8;
    MemoryImage image;
    image.file.assign(data + 4, data + size);
    lumora::JpegFileEngine engine;
    lumora::RendererImage* self = &image;
    SetParameter(engine, lumora::RP_IMAGE, self);
    SetParameter(engine, lumora::RP_IS_COLOR, colour);
    SetParameter(engine, lumora::RP_RAW_WIDTH, width);
    SetParameter(engine, lumora::RP_RAW_HEIGHT, height);
    SetParameter(engine, lumora::RP_DATA_OFFSET, int32_t(0));
    SetParameter(engine, lumora::RP_DATA_SIZE, int32_t(image.file.size()));
    SetParameter(engine, lumora::RP_CACHE_SAMPLE_BYTES, int32_t(3));
    SetParameter(engine, lumora::RP_OUTPUT_TYPE, type);
    const SdkRect window{0, 0, int16_t(width), int16_t(height)};
    SetParameter(engine, lumora::RP_OUTPUT_WINDOW, window);
    std::vector<uint8_t> out(size_t(width) * size_t(height) * 3);
    ImageBufferRecord record{};
    record.buffer = out.data();
    record.bufferBytes = uint32_t(out.size());
    engine.RenderImage(&record, nullptr);
    return 0;
}
