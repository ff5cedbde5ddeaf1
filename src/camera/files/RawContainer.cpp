#include "RawContainer.h"

#include "RawIfdRecord.h"
#include "RawTiffReader.h"

using lumora::ByteOrder;
using lumora::ByteView;

VqStatus RawContainer::HeaderLength(ByteView tiff, uint32_t& length) {
    length = 0;
    RawTiffReader reader;
    uint32_t first = 0;
    if (VqStatus s = reader.ReadHeader(tiff, first)) return s;
    uint32_t word = 0;
    if (!tiff.u32(8, reader.order(), word)) return VQ_ERR_READ_PAST_BUFFER;
    length = word > kMaxHeaderLength ? kMaxHeaderLength : word;
    return VQ_OK;
}

VqStatus RawContainer::HeaderLengthFromSubIfd(ByteView tiff, uint32_t& length, uint64_t fileSize,
                                              uint32_t tiffOffset) {
    length = 0;
    RawTiffReader reader;
    uint32_t first = 0;
    if (VqStatus s = reader.ReadHeader(tiff, first)) return s;
    RawIfdRecord record;
    if (VqStatus s = reader.ReadIfd(tiff, first, record, nullptr, nullptr, false)) return s;
    if (record.subIfdCount < 2 || record.subIfds[1] == 0) return VQ_ERR_BAD_FILE;
    const uint32_t rawIfd = record.subIfds[1];
    if (VqStatus s = reader.ReadIfd(tiff, rawIfd, record, nullptr, nullptr, false)) return s;
    // The sensor data starts where the header ends: an offset that is 0, past
    // the cap of the header word or past the end of the file cannot be a
    // header length.
    const uint32_t offset = record.stripOffsets[0];
    if (offset == 0 || offset > kMaxHeaderLength || (fileSize != 0 && uint64_t(offset) + tiffOffset > fileSize))
        return VQ_ERR_BAD_FILE;
    length = offset;
    return VQ_OK;
}

bool RawContainer::IsJpegStart(ByteView head) {
    uint8_t a = 0, b = 0;
    return head.u8(0, a) && head.u8(1, b) && a == 0xFF && b == 0xD8;
}

bool RawContainer::IsTiffStart(ByteView head) {
    ByteOrder order = ByteOrder::Little;
    return RawTiffReader::HeaderOrder(head, order);
}

int32_t RawContainer::RecogniseKind(int32_t entryKind, uint32_t ifd0Width, int32_t modelId) {
    if (entryKind == lumora::vq::kFileRawTiff && ifd0Width > kRgbMinWidth && modelId != 0)
        return lumora::vq::kFileRgbTiff;
    return entryKind;
}

VqStatus RawContainer::ReadMainAndPrivate(ByteView tiff, RawIfdRecord& main, RawIfdRecord& privateIfd,
                                          LookTable* looks) {
    RawTiffReader reader;
    uint32_t first = 0;
    if (VqStatus s = reader.ReadHeader(tiff, first)) return s;
    if (VqStatus s = reader.ReadIfd(tiff, first, main, nullptr, nullptr, false)) return s;
    if (main.privateIfd == 0) return VQ_ERR_BAD_FILE;
    return reader.ReadIfd(tiff, main.privateIfd, privateIfd, nullptr, looks, false);
}
