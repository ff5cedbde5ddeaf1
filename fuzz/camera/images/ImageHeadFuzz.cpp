// A file's head as the file-type factory and the oldest models' header parse
// see it, from anywhere: every step answers a status and stays inside the
// bytes it was given.
#include <cstddef>
#include <cstdint>

#include "HeadHarness.h"
#include "ModelTable.h"
#include "SdkImageBase.h"

using lumora::vq::ModelRow;
using lumora::vq::SdkImageBase;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return lumora::fuzz::FuzzHead(data, size, [](const uint8_t* bytes, uint32_t length) {
        SdkImageBase probe(nullptr, nullptr);
        for (int resources = 0; resources < 2; ++resources) probe.ScanJpegMarkers(bytes, length, resources);
        const uint32_t offset = probe.tiffOffset() <= length ? probe.tiffOffset() : 0;
        const uint8_t* tiff = bytes + offset;
        const uint32_t available = length - offset;

        int32_t family = 0, modelId = 0, kind = 0;
        uint32_t version = 0, header = 0;
        const ModelRow* row = nullptr;
        probe.ReadFileIdentity(tiff, available, &family, &row, &modelId, &version, &kind);
        probe.GetHeaderLength(tiff, available, &header);
        probe.ReadHeaderLengthFromSubIfd(tiff, available, &header);

        SdkImageBase image(nullptr, nullptr);
        image.ParseHeader(tiff, available);
        ImageGeometry geometry;
        image.GetGeometry(&geometry);
    });
}
