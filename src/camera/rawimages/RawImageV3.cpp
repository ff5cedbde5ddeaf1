// Version-3 raw files: the open and the tables handed to the engine.
#include "RawImageV3.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

#include "ByteView.h"
#include "LutStage.h"
#include "RawContainer.h"
#include "RawEngineV3.h"
#include "RawIfdRecord.h"
#include "RawTiffReader.h"
#include "SdkCurveSet.h"
#include "SdkRenderer.h"
#include "V3ModelDefaults.h"

namespace lumora::vq {

using lumora::ByteView;

namespace {

constexpr uint32_t kLinearMax = 4095;
constexpr int32_t kCameraRgbModel = 21;
constexpr uint32_t kMaxVersionMajor = 3;

int32_t RoundHalfAway(double v) { return int32_t(std::lround(v)); }

} // namespace

RawImageV3::RawImageV3(const CameraRecord* record, DriverSettings* settings) : RawImage(record, settings) {
    exposureAvailable_ = 1;
    info_.flags = 0;
}

RawImageV3::~RawImageV3() {
    // The renderer frees the offset tables it was handed and reads the records
    // below until it goes.
    renderer_.reset();
    rowOffsets32_ = columnOffsets32_ = nullptr;
}

lumora::RawEngineV3* RawImageV3::engine() const { return static_cast<lumora::RawEngineV3*>(renderer_.get()); }

VqStatus RawImageV3::CreateEngine() {
    if (!renderer_) {
        renderer_.reset(new (std::nothrow) lumora::RawEngineV3());
        if (!renderer_) return VQ_ERR_PROCESS_NO_MEMORY;
    }
    return SetParameter<void*>(lumora::RP_CHROMA_SETTINGS, &chroma_);
}

VqStatus RawImageV3::ParseHeader(const uint8_t* header, uint32_t length) {
    VqStatus status = RawImage::ParseHeader(header, length);
    ifd_ = nullptr;
    header_ = nullptr;
    reader_ = nullptr;
    if (status) return status;
    // The engine reads the whole record; hidden property 15 its first word.
    return SetParameter<void*>(lumora::RP_BAD_COLUMNS, &badColumns_);
}

VqStatus RawImageV3::DecompressCache(void* scratch) {
    if (!renderer_) return VQ_ERR_NOT_SUPPORTED;
    const int32_t words = info_.modelFamily == kFamilyRaw2 ? 0 : 1;
    return renderer_->DecodeCache(scratch, words, words, 0);
}

VqStatus RawImageV3::SetImageType(uint32_t type, int32_t) {
    // A stored type lock never applies to these files.
    VqStatus status = SdkImageBase::SetImageType(type, 1);
    if (status) return status;
    return ApplyExposure();
}

VqStatus RawImageV3::SetColourFlags() {
    info_.flags = info_.isColour ? kColourFlags : kMonoFlags;
    return 0;
}

VqStatus RawImageV3::GetExtension(uint32_t id, void* out) {
    const bool colour = info_.isColour != 0;
    switch (id) {
    case VQ_EXT_LOOK_COUNT: {
        const int32_t count = looks_.CountLooks(true, colour);
        if (!out) return VQ_ERR_BAD_HANDLE;
        std::memcpy(out, &count, sizeof count);
        return 0;
    }
    case VQ_EXT_LOOK_NAMES:
        if (!out) return VQ_ERR_BAD_HANDLE;
        return looks_.GetName(*static_cast<LookTable::NameRecord*>(out), true, colour);
    default:
        return RawImage::GetExtension(id, out);
    }
}

VqStatus RawImageV3::GetHidden(uint32_t id, void* out) {
    if (id != 15) return RawImage::GetHidden(id, out);
    if (!out) return VQ_ERR_BAD_HANDLE;
    std::memcpy(out, &badColumns_.enabled, sizeof badColumns_.enabled);
    return 0;
}

VqStatus RawImageV3::SetHidden(uint32_t id, void* value) {
    if (id != 15) return RawImage::SetHidden(id, value);
    if (!value) return VQ_ERR_BAD_HANDLE;
    std::memcpy(&badColumns_.enabled, value, sizeof badColumns_.enabled);
    return 0;
}

VqStatus RawImageV3::ReadRawIfd(const uint8_t* header, const RawTiffReader& reader, const RawIfdRecord& ifd,
                                uint32_t length) {
    if (VqStatus status = RawImage::ReadRawIfd(header, reader, ifd, length)) return status;
    return SetParameter<uint16_t>(lumora::RP_LINEAR_MAX, uint16_t(kLinearMax));
}

VqStatus RawImageV3::CheckVersionWord(uint32_t version) {
    return RawContainer::VersionMajor(version) > kMaxVersionMajor ? VQ_ERR_VERSION_NOT_FOR_CLASS : 0;
}

bool RawImageV3::PrivateTagsPresent(const RawIfdRecord& ifd) const {
    return ifd.outputCurve.count != 0 && ifd.outputCurve.offset != 0 && ifd.activeWidth != 0 &&
           ifd.activeHeight != 0;
}

VqStatus RawImageV3::SetUpFromPrivateIfd(const uint8_t* header, const RawTiffReader& reader, const RawIfdRecord& ifd,
                                         uint32_t length) {
    ifd_ = &ifd;
    header_ = header;
    reader_ = &reader;
    return RawImage::SetUpFromPrivateIfd(header, reader, ifd, length);
}

uint32_t RawImageV3::GetModelThreshold() { return V3ModelDefaults::ColourTableThreshold(info_.modelId); }

const std::vector<int16_t>* RawImageV3::GetDefaultColourCurves() {
    return V3ModelDefaults::ColourCurves(info_.modelId);
}

VqStatus RawImageV3::FinishSetUp() {
    if (!ifd_ || !header_ || !reader_) return VQ_ERR_BAD_HANDLE;
    VqStatus status = 0;
    if (info_.modelId == kCameraRgbModel) status = SetCameraRgbMode(1);
    toneCurve0_.clear();
    toneCurve1_.clear();
    if (!status) status = ReadThumbnailTables(header_, *reader_, *ifd_, headerLength_);
    if (!status) SetUpChroma(*ifd_);
    if (!status) status = SetUpBadColumns(header_, *ifd_, headerLength_);
    // Stored gains of 0 would switch the camera-RGB types off.
    for (float& g : presetGains_)
        if (g == 0.0f) g = 1.0f;
    if (cameraRgbGainScale_ == 0.0f) cameraRgbGainScale_ = 1.0f;
    // The balance application that follows applies the exposure the stored
    // settings restored, once.
    pendingExposure_ = exposure_;
    return status;
}

VqStatus RawImageV3::ReadThumbnailTables(const uint8_t* header, const RawTiffReader& reader, const RawIfdRecord& ifd,
                                         uint32_t length) {
    const RawTagRef& source = ifd.thumbSourceTable;
    bool sourceRead = false;
    if (source.offset != 0 && source.count != 0)
        sourceRead = ReadShortTable(2, imageIndex_, source.offset, source.count, thumbSource_, reader, header,
                                    length) == 0;
    if (!sourceRead) thumbSource_.clear();
    // Every output type but raw is linearised through this table: a file
    // without it would render white.
    if (thumbSource_.empty()) return VQ_ERR_BAD_FILE;

    if (ifd.thumbTable.offset != 0 && ifd.thumbTable.count != 0) {
        if (VqStatus status = ReadShortTable(2, imageIndex_, ifd.thumbTable.offset, ifd.thumbTable.count, thumbTable_,
                                             reader, header, length))
            return status;
    } else {
        try {
            thumbTable_ = thumbSource_;
        } catch (const std::bad_alloc&) {
            return VQ_ERR_FILE_NO_MEMORY;
        }
    }
    VqStatus status = SetParameter<int32_t>(lumora::RP_THUMB_TABLE_SIZE, int32_t(thumbTable_.size()));
    if (!status) status = SetParameter<uint16_t*>(lumora::RP_THUMB_TABLE, thumbTable_.data());
    return status;
}

void RawImageV3::SetUpChroma(const RawIfdRecord& ifd) {
    int32_t sensitivity = 0, layout = 0;
    if (uint32_t(ifd.private3693) < 2) {
        chroma_ = {int32_t(ifd.private3692), ifd.private3693, chromaLevel_, 0, 0, 1};
        info_.flags |= kChromaSettingsFlag;
    } else if (V3ModelDefaults::ChromaDefaults(info_.modelId, &sensitivity, &layout)) {
        chroma_ = {sensitivity, layout, chromaLevel_, 0, 0, 2};
        info_.flags |= kChromaSettingsFlag;
    } else {
        chroma_ = {};
    }
}

VqStatus RawImageV3::SetUpBadColumns(const uint8_t* header, const RawIfdRecord& ifd, uint32_t length) {
    badColumns_ = {};
    // Thresholds: the file's table, or the model's when the file has none or
    // it cannot be read.
    std::vector<int16_t> fileTable;
    const uint32_t c = ifd.concealTableCount;
    if (!oldFile_ && ifd.concealTable != 0 && c != 0) {
        const ByteView view(header, length);
        if (view.containsArray(ifd.concealTable, c, 2)) {
            try {
                fileTable.resize(c);
                for (uint32_t i = 0; i < c; ++i) {
                    uint16_t v = 0;
                    view.u16(uint64_t(ifd.concealTable) + 2ull * i, reader_->order(), v);
                    fileTable[i] = int16_t(v);
                }
            } catch (const std::bad_alloc&) {
                fileTable.clear();
            }
        }
    }
    const std::vector<int16_t>* table = fileTable.empty() ? V3ModelDefaults::ConcealmentTable(info_.modelId)
                                                          : &fileTable;
    badColumns_.level = int16_t(ifd.private2319);
    bool chosen = false;
    if (table) {
        int32_t set = 0;
        // A table whose rows are not all there chooses nothing.
        const size_t n = table->empty() ? 0 : size_t(std::max<int16_t>((*table)[0], 0));
        if (table->size() >= 1 + n + V3ModelDefaults::kThresholds * n &&
            lumora::SdkFindCurveSet(table->data(), uint32_t(std::max(sensitivity_, 0)), &set, nullptr,
                                    table->size()) &&
            set >= 0 && size_t(set) < n) {
            const int16_t* row = table->data() + 1 + n + size_t(V3ModelDefaults::kThresholds) * size_t(set);
            std::copy(row, row + V3ModelDefaults::kThresholds, badColumns_.thresholds);
            chosen = true;
        }
    }
    if (ifd.badColumns.count == 0 || badColumns_.level == 0) return 0;

    // Every listed entry must lie inside tag 2311's bytes, and those inside the head.
    const uint32_t count = ifd.private2310;
    if (count == 0) return 0;
    const uint64_t bytes = uint64_t(count) * lumora::BadColumnRecord::kEntryBytes;
    if (bytes > ifd.badColumns.count || count > uint32_t(INT16_MAX)) return VQ_ERR_BAD_FILE;
    // Checked before anything is reserved: a damaged count asks for up to
    // 4 GB the head cannot hold.
    if (!ByteView(header, length).contains(ifd.badColumns.offset, ifd.badColumns.count)) return VQ_ERR_BAD_FILE;
    try {
        badColumnEntries_.assign(ifd.badColumns.count, 0);
    } catch (const std::bad_alloc&) {
        return VQ_ERR_NO_MEMORY;
    }
    if (VqStatus status = CopyFromHeader(header, length, ifd.badColumns.offset, badColumnEntries_.data(),
                                         ifd.badColumns.count)) {
        badColumnEntries_.clear();
        return status;
    }
    // The column and the unread word are stored big-endian.
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t* e = badColumnEntries_.data() + size_t(i) * lumora::BadColumnRecord::kEntryBytes;
        for (int at : {2, 6}) {
            const uint16_t v = uint16_t(e[at] << 8 | e[at + 1]);
            std::memcpy(e + at, &v, sizeof v);
        }
    }
    badColumns_.count = int16_t(count);
    badColumns_.entries = badColumnEntries_.data();
    badColumns_.enabled = chosen ? 1 : 0;
    return 0;
}

VqStatus RawImageV3::UpdateExposure() {
    if (!(exposure_ >= -2.0 && exposure_ <= 2.0)) exposure_ = 0;
    exposureFactor_ = exposureFactorCopy_ = std::pow(2.0, exposure_);
    const double base = GetBaseSensitivity();
    if (!(base > 0)) {
        exposure_ = 0;
        return VQ_ERR_BAD_NUMBER;
    }
    // A file that does not say its exposure index was taken at the base
    // sensitivity; a negative index would turn the tables upside down.
    const double sensitivity = sensitivity_ > 0 ? double(sensitivity_) : base;
    gain_ = info_.outputType == VQ_TYPE_RAW ? 8.0 : sensitivity / base * exposureFactor_ * 8;
    linearLimit_ = int32_t(std::trunc(std::min(sensitivity / base * 4095 * 8, double(INT32_MAX))));
    return 0;
}

double RawImageV3::GetBaseSensitivity() {
    if (balanceIndex_ < 0 || balanceIndex_ > 3) return 0;
    return sensitivityPairs_[balanceIndex_][0];
}

VqStatus RawImageV3::BuildLinearisationTable() {
    const std::vector<uint16_t>& source = info_.outputType == VQ_TYPE_RAW ? linearisation_ : thumbSource_;
    const size_t entries = std::max(linearisation_.size(), thumbSource_.size());
    if (linear32_.size() != entries) {
        try {
            linear32_.assign(entries, 0);
        } catch (const std::bad_alloc&) {
            return VQ_ERR_NO_MEMORY;
        }
    }
    const uint32_t count = uint32_t(source.size());
    lumora::LutStage::ScaleToInts(source.data(), linear32_.data(), count, gain_, uint32_t(std::max(linearLimit_, 0)));
    VqStatus status = SetParameter<int32_t*>(lumora::RP_LINEAR_TABLE_32, linear32_.data());
    // The 16-bit table the engine's balance and thumbnail read stays the
    // source of the 32-bit one, so the two sizes always agree.
    if (!status) status = SetParameter<uint16_t*>(lumora::RP_UNPACK_TABLE, const_cast<uint16_t*>(source.data()));
    if (!status) status = SetParameter<int32_t>(lumora::RP_UNPACK_TABLE_SIZE, int32_t(count));
    if (!status) status = SetParameter<int32_t>(lumora::RP_LINEAR_LIMIT, linearLimit_);
    return status;
}

VqStatus RawImageV3::BuildThumbnailTable() {
    if (exposure_ == 0 || thumbTable_.empty()) {
        return SetParameter<uint16_t*>(lumora::RP_THUMB_TABLE, thumbTable_.empty() ? nullptr : thumbTable_.data());
    }
    if (scaledThumbTable_.size() != thumbTable_.size()) {
        try {
            scaledThumbTable_.assign(thumbTable_.size(), 0);
        } catch (const std::bad_alloc&) {
            return VQ_ERR_NO_MEMORY;
        }
    }
    std::copy(thumbTable_.begin(), thumbTable_.end(), scaledThumbTable_.begin());
    lumora::LutStage::ScaleByFactor(scaledThumbTable_.data(), uint32_t(scaledThumbTable_.size()), exposureFactor_,
                                    thumbTable_.back());
    return SetParameter<uint16_t*>(lumora::RP_THUMB_TABLE, scaledThumbTable_.data());
}

VqStatus RawImageV3::BuildOffsetTables(double x) {
    const double k = 8 * x;
    const uint32_t n = uint32_t(rowOffsetsFile_.size());
    if (n > 0) {
        if (!rowOffsets32_) {
            rowOffsets32_ = static_cast<int32_t*>(std::calloc(n, sizeof(int32_t)));
            if (!rowOffsets32_) return VQ_ERR_FILE_NO_MEMORY;
        }
        const double first = int16_t(rowOffsetsFile_.front()), last = int16_t(rowOffsetsFile_.back());
        for (uint32_t i = 0; i < n; ++i) rowOffsets32_[i] = RoundHalfAway(i * ((last - first) / n * k) + first * k);
    }
    // Without a column table of its own the file gets one of zeros, so a row
    // table never meets a missing column table.
    const uint32_t m = columnOffsetsFile_.empty() ? uint32_t(rawWidth_) : uint32_t(columnOffsetsFile_.size());
    if (!columnOffsets32_) {
        columnOffsets32_ = static_cast<int32_t*>(std::calloc(std::max<uint32_t>(m, 1), sizeof(int32_t)));
        if (!columnOffsets32_) return VQ_ERR_FILE_NO_MEMORY;
    }
    if (!columnOffsetsFile_.empty() && m >= kMinColumnOffsets) {
        auto value = [&](uint32_t i) { return double(int16_t(columnOffsetsFile_[i])); };
        double a = 0, z = 0;
        for (uint32_t i = 0; i < 64; ++i) a += value(i);
        for (uint32_t i = m - 65; i <= m - 2; ++i) z += value(i);
        a /= 64;
        z /= 64;
        for (uint32_t i = 0; i <= 64; ++i) {
            columnOffsets32_[i] = RoundHalfAway(a * k);
            columnOffsets32_[m - 65 + i] = RoundHalfAway(z * k);
        }
        if (m > 128) {
            // A window of 128 values around each column, slid one at a time;
            // the sums are whole numbers, so the running sum is exact.
            int64_t sum = 0;
            for (uint32_t i = 0; i < 128; ++i) sum += int16_t(columnOffsetsFile_[i]);
            for (uint32_t j = 64; j + 65 <= m; ++j) {
                if (j > 64) sum += int64_t(int16_t(columnOffsetsFile_[j + 63])) - int16_t(columnOffsetsFile_[j - 65]);
                columnOffsets32_[j] = RoundHalfAway(double(sum) / 128 * k);
            }
        }
    }
    VqStatus status = SetParameter<int32_t>(lumora::RP_OFFSET_TABLE_SIZE, int32_t(n));
    if (!status) status = SetParameter<int32_t*>(lumora::RP_ROW_OFFSETS_32, rowOffsets32_);
    if (!status) status = SetParameter<int32_t*>(lumora::RP_COLUMN_OFFSETS_32, columnOffsets32_);
    return status;
}

} // namespace lumora::vq
