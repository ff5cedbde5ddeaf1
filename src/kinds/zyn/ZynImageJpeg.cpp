// ZynImage: the camera interface's own JPEG conversion, and the quantisation
// tables a JPEG export of this kind uses.
#include "ZynImage.h"

#include "ExportOutputFile.h"
#include "JpegQualityPreset.h"
#include "NbErrorCodes.h"
#include "ProgressCB.h"
#include "StImageClosableFlagRestorer.h"
#include "YlmErrp.h"
#include "ZynRenderProgressScope.h"
#include "ZynVqIds.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace NimbalCore {

namespace {

constexpr const char* kJpegOp = "ZynImage::ExportJPEG";
// Resolution units of the interface's resolution record.
constexpr uint32_t kUnitInch = 1;
constexpr uint32_t kUnitCentimetre = 2;
// The caller's unit code for "per centimetre".
constexpr int kCentimetreCode = 1;
// The camera's table record: a byte, the quality, the luminance table and,
// in a whole record, the chrominance table.
constexpr uint32_t kLumaAt = 2;
constexpr uint32_t kChromaAt = kLumaAt + JpegQualityPreset::kTableSize;
constexpr uint32_t kRecordMinBytes = kChromaAt;
constexpr uint32_t kRecordMaxBytes = kChromaAt + JpegQualityPreset::kTableSize;
// The camera keeps its table records in the private directory.
constexpr uint16_t kTableLookupDirectories = 4;

void* Word(uint32_t value) { return reinterpret_cast<void*>(uintptr_t(value)); }

} // namespace

void ZynImage::ExportJPEG(const FilePathSpec& destination, int qualityCode, int sizeCode, int unitCode,
                          int resolution, const ImageProcessParam& params, ProgressCB* progress) {
    StImageClosableFlagRestorer closable(this);
    if (const int code = EnsureOpen()) YLM_THROW(kJpegOp, code);
    // The conversion writes a new file beside the destination, which takes
    // the destination's name only when complete: a failed or cancelled
    // conversion leaves no part of a file and an existing file as it was.
    ExportOutputFile output(destination);
    std::string written;
    try {
        written = output.Create(kJpegOp).GetPath();
    } catch (const YlmErrp&) {
        YLM_THROW(kJpegOp, NbErrCameraJpegExportFailed);
    }
    VqPathRecord path;
    std::memset(&path, 0, sizeof path);
    if (written.size() >= sizeof path.path) YLM_THROW(kJpegOp, NbErrCameraJpegExportFailed);
    std::memcpy(path.path, written.data(), written.size());

    {
        VqSection section(*this);
        SetProcessParamsInImageExceptWindow(params);
        LoadAndDecompressCache(progress);

        const int64_t workBytes =
            std::max<int64_t>({int64_t(info_.geometry.workBytes), int64_t(info_.geometry.frameBytes) / 8, 1});
        BlockOMemory work;
        work.Create(uint64_t(workBytes));
        BlockOMemoryLock pin(&work);
        ImageBufferRecord buffer{work.GetData(), uint32_t(std::min<int64_t>(workBytes, UINT32_MAX)), 0, nullptr};
        ProgressRecord progressRecord{&ZynImage::ProgressCallback, progress ? 1 : 0};
        JpegOptionsRecord options{};
        options.quality = NormalizePresetCode(qualityCode);
        options.size = NormalizePresetCode(sizeCode);
        options.creator = 0;
        options.keepFileDate = 1;
        options.overwrite = 1;

        int32_t allow = 1;
        VqSetHidden(&info_, ZynHiddenAllowJpeg, &allow);
        const uint32_t unit = unitCode == kCentimetreCode ? kUnitCentimetre : kUnitInch;
        if (VqSetExtension(&info_, ZynExtResolution, Word(uint32_t(resolution) & 0xFFFFu), unit, 0, 0, 0) != 0)
            YLM_THROW(kJpegOp, NbErrCameraSettingRefused);

        ZynRenderProgressScope progressScope(progress);
        const uint32_t status = VqConvertToJPEG(&info_, &path, &buffer, &progressRecord, &options);
        Touch();
        if (status == VQ_ERR_CANCELLED) YLM_THROW(kJpegOp, NbErrRenderCancelled);
        if (status != 0) YLM_THROW(kJpegOp, NbErrCameraJpegExportFailed);
    }
    try {
        output.Commit(kJpegOp);
    } catch (const YlmErrp&) {
        YLM_THROW(kJpegOp, NbErrCameraJpegExportFailed);
    }
}

bool ZynImage::GetCameraJPEGQuantizationTables(bool chroma, int qualityCode, int sizeCode, int* table,
                                               int* quality) {
    if (!table || !quality || EnsureOpen() != 0) return false;
    const uint16_t tag = JpegPresetCameraTag(qualityCode, sizeCode);
    if (tag == 0) return false;
    VqSection section(*this);
    Touch();
    // Room for any hidden property's answer.
    uint32_t word[8] = {};
    if (VqGetHidden(&info_, ZynHiddenJpegTables, word) != 0 || word[0] != 0) return false;

    uint32_t entry[8] = {};
    const uint16_t request[3] = {tag, 0, kTableLookupDirectories};
    std::memcpy(entry, request, sizeof request);
    if (VqGetHidden(&info_, ZynHiddenFindTag, entry) != 0) return false;
    const uint32_t offset = entry[2], bytes = entry[4], count = entry[5];
    // A record too short to hold the luminance table has no table to give.
    if (offset == 0 || count == 0 || bytes < kRecordMinBytes || bytes > kRecordMaxBytes) return false;

    // The record is read into a block of its own, which the table is widened
    // from: the bytes are never read from where the integers already went.
    std::array<uint8_t, kRecordMaxBytes> block{};
    const uint32_t where[2] = {offset, bytes};
    std::memcpy(block.data(), where, sizeof where);
    if (VqGetHidden(&info_, ZynHiddenFileBytes, block.data()) != 0) return false;

    const uint32_t at = (bytes == kRecordMaxBytes && chroma) ? kChromaAt : kLumaAt;
    int widened[JpegQualityPreset::kTableSize];
    for (int i = 0; i < JpegQualityPreset::kTableSize; ++i) widened[i] = block[at + uint32_t(i)];
    CopyQuantTable(widened, table);
    *quality = block[1];
    return true;
}

bool ZynImage::GetJPEGQuantizationTables(bool chroma, int qualityCode, int sizeCode, int* table, int* quality) {
    return GetJpegQuantTable(info_.modelId, chroma, qualityCode, sizeCode, table, quality);
}

} // namespace NimbalCore
