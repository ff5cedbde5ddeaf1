// The white-balance file of a version-3 image: its current balance with the
// identification and calibration fields of its raw file, as a small big-endian
// TIFF file without image data.
#include "RawImageV3.h"

#include <algorithm>
#include <new>
#include <vector>

#include "ByteView.h"
#include "RawTiffReader.h"
#include "RawTiffWriter.h"

namespace lumora::vq {

namespace {

constexpr uint32_t kBufferBytes = 65536;
constexpr uint32_t kDataStart = 560;
// The tag finder looks no further into the raw file.
constexpr uint32_t kSearchBytes = 49152;
constexpr uint32_t kMainLimit = 1;
constexpr uint32_t kPrivateLimit = 4;
constexpr uint16_t kTagDescription = 270;
constexpr uint16_t kTagPrivateIfd = 33424;
constexpr uint16_t kTagWhiteBalance = 1036;

constexpr uint16_t kMainTags[] = {270, 271, 272, 305, 306, 315, 33405, 33424};

std::vector<uint16_t> PrivateTags() {
    std::vector<uint16_t> tags = {1001, kTagWhiteBalance};
    for (uint16_t first : {2000, 2010, 2020, 2100, 2110, 2120, 2200})
        for (uint16_t k = 0; k < 5; ++k) tags.push_back(uint16_t(first + k));
    return tags;
}

} // namespace

VqStatus RawImageV3::WriteWhiteBalanceFile(VqPathRecord path, void* data) {
    FillWhiteBalanceFileStatus();
    if (info_.whiteBalanceFileStatus != 0) return VqStatus(info_.whiteBalanceFileStatus);
    path.path[sizeof path.path - 1] = '\0';
    if (VqStatus status = RawTiffWriter::CheckFileName(path.path)) return status;

    std::vector<uint8_t> head;
    try {
        head.assign(headerLength_, 0);
    } catch (const std::bad_alloc&) {
        return VQ_ERR_FILE_NO_MEMORY;
    }
    if (VqStatus status = ReadFileBytes(head.data(), tiffOffset_, uint32_t(head.size()), 0)) return status;
    const lumora::ByteView view(head.data(), head.size());
    const lumora::ByteView search = view.sub(0, std::min<uint64_t>(head.size(), kSearchBytes)).value_or(view);
    RawTiffReader reader;
    reader.Clear();
    uint32_t first = 0;
    if (VqStatus status = reader.ReadHeader(view, first)) return status;
    const RawTiffWriter::Source source{view, reader.order()};

    RawTiffWriter writer;
    if (VqStatus status = writer.Open(path.path)) return status;
    auto fail = [&writer](VqStatus status) {
        // Nothing half-written stays in the way of the next attempt.
        writer.Discard();
        return status;
    };
    if (VqStatus status = writer.Begin(kBufferBytes, kDataStart)) return fail(status);

    // A tag the raw file lacks (or whose value cannot be written) is left out,
    // and each directory says how many entries it really holds.
    auto directory = [&](const std::vector<uint16_t>& tags, uint32_t limit) -> VqStatus {
        const uint32_t countAt = writer.entryCursor();
        if (VqStatus status = writer.PutShort(uint16_t(tags.size()))) return status;
        uint16_t written = 0;
        for (uint16_t tag : tags) {
            VqStatus status = 0;
            if (tag == kTagWhiteBalance) {
                status = writer.PutShortTriple(state_.r, state_.g, state_.b);
            } else {
                RawTiffReader::Entry entry;
                uint32_t position = 0;
                status = reader.FindTag(search, first, tag, 0, limit, entry, position);
                if (status == 0) {
                    if (tag == kTagDescription)
                        status = writer.PutTextEntry(static_cast<const char*>(data), entry, position, source);
                    else if (tag == kTagPrivateIfd)
                        status = writer.PutSubDirectoryEntry(entry);
                    else
                        status = writer.PutEntry(entry, position, source);
                } else if (status != VQ_ERR_VALUE_ABSENT) {
                    status = VQ_ERR_VALUE_ABSENT;
                }
            }
            if (status == VQ_ERR_VALUE_ABSENT) continue;
            if (status) return status;
            ++written;
        }
        if (VqStatus status = writer.PatchShort(countAt, written)) return status;
        return writer.PutNextDirectory(true);
    };
    VqStatus status = directory(std::vector<uint16_t>(std::begin(kMainTags), std::end(kMainTags)), kMainLimit);
    if (!status) status = directory(PrivateTags(), kPrivateLimit);
    if (!status) status = writer.Flush();
    if (status) return fail(status);
    writer.Close();
    return 0;
}

} // namespace lumora::vq
