// The marker scan of a camera JPEG file: where its TIFF structure and its
// resources are.
#include "SdkImageBase.h"

#include <algorithm>
#include <cstring>

#include "ByteView.h"
#include "RawContainer.h"

namespace lumora::vq {

namespace {
constexpr uint32_t kResolutionInfoBytes = 16;
} // namespace

VqStatus SdkImageBase::ScanJpegMarkers(const uint8_t* buffer, uint32_t length, int32_t readResources) {
    jpeg_ = JpegMarkers{};
    tiffOffset_ = 0;
    const ByteView view(buffer, length);
    uint16_t first = 0;
    if (!RawContainer::IsJpegStart(view) || !view.u16(4, ByteOrder::Big, first) || uint64_t(first) + 6 > length)
        return VQ_ERR_NOT_JPEG_STREAM;

    uint64_t pos = 2;
    for (;;) {
        uint8_t ff = 0, marker = 0;
        uint16_t segLength = 0;
        if (!view.contains(pos, 4) || !view.u8(pos, ff) || ff != 0xFF) return VQ_ERR_NOT_JPEG_STREAM;
        view.u8(pos + 1, marker);
        view.u16(pos + 2, ByteOrder::Big, segLength);
        // Everything a segment says is looked for inside the segment itself.
        const uint64_t segEnd = std::min<uint64_t>(pos + 2 + uint64_t(segLength), length);
        const ByteView segment(buffer, segEnd);
        switch (marker) {
        case 0xE0:
            jpeg_.app0Position = uint32_t(pos);
            jpeg_.app0Length = segLength;
            if (segLength >= 7 && pos + segLength - 5 >= pos + 4) {
                segment.u8(pos + segLength - 5, jpeg_.app0Units);
                segment.u16(pos + segLength - 4, ByteOrder::Big, jpeg_.app0Density);
            }
            break;
        case 0xE1:
            if (pos + 10 > length) return VQ_ERR_READ_PAST_BUFFER;
            tiffOffset_ = uint32_t(pos + 10);
            return 0;
        case 0xE8:
            jpeg_.app8Position = uint32_t(pos);
            jpeg_.app8Length = segLength;
            break;
        case 0xED:
            if (readResources) {
                if (!view.contains(pos, 30)) return VQ_ERR_READ_PAST_BUFFER;
                jpeg_.app13Length = uint32_t(segLength) + 2;
                jpeg_.app13Position = uint32_t(pos);
                jpeg_.app13Data = uint32_t(pos + 30);
                view.u16(pos + 28, ByteOrder::Big, jpeg_.app13Value);
                // Resource blocks: "8BIM", id, even-padded Pascal name, size, data.
                uint64_t block = pos + 18;
                while (segment.contains(block, 12)) {
                    uint8_t tag[4] = {};
                    if (!segment.copy(block, tag, 4) || std::memcmp(tag, "8BIM", 4) != 0) break;
                    uint16_t id = 0;
                    uint8_t nameLength = 0;
                    segment.u16(block + 4, ByteOrder::Big, id);
                    segment.u8(block + 6, nameLength);
                    const uint64_t nameField = (uint64_t(nameLength) + 2) & ~uint64_t(1);
                    uint32_t size = 0;
                    if (!segment.u32(block + 6 + nameField, ByteOrder::Big, size)) break;
                    const uint64_t data = block + 6 + nameField + 4;
                    if (id == 0x03ED) {
                        // Only a ResolutionInfo of its full size can be rewritten.
                        if (size >= kResolutionInfoBytes && segment.contains(data, size))
                            jpeg_.iptcResource = uint32_t(data);
                        break;
                    }
                    block = data + ((uint64_t(size) + 1) & ~uint64_t(1));
                }
            }
            break;
        default:
            break;
        }
        const uint64_t next = pos + uint64_t(segLength) + 2;
        if (!view.contains(next, 2)) return VQ_ERR_READ_PAST_BUFFER;
        pos = next;
    }
}

} // namespace lumora::vq
