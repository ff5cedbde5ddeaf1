#include "RawTiffReader.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <iterator>
#include <new>
#include <vector>

#include "RawTag.h"

using lumora::ByteOrder;
using lumora::ByteView;

namespace {

constexpr uint32_t kEntrySize = 12;

// Tags of the private directory and the look data.
constexpr uint16_t kTagLookCurveFirst = TagNumber(RawTag::LookCurveFirst);
constexpr uint16_t kTagLookCurveLast = TagNumber(RawTag::LookCurveLast);
constexpr uint16_t kTagLookMatrixFirst = TagNumber(RawTag::LookMatrixFirst);
constexpr uint16_t kTagLookMatrixLast = TagNumber(RawTag::LookMatrixLast);

uint32_t clampCount(uint32_t count, uint32_t maximum) { return count < maximum ? count : maximum; }

} // namespace

uint16_t RawTiffReader::TypeSize(uint16_t type) {
    switch (type) {
    case 1: case 2: case 6: case 7: return 1;
    case 3: case 8: return 2;
    case 4: case 9: case 11: return 4;
    case 5: case 10: case 12: return 8;
    default: return 0;
    }
}

void RawTiffReader::Clear() {
    bigEndian_ = 0;
    current_ = Entry{};
    currentPosition_ = 0;
    error_ = VQ_OK;
    view_ = ByteView();
}

uint16_t RawTiffReader::ReadWord16(uint64_t offset) {
    uint16_t v = 0;
    if (!view_.u16(offset, order(), v)) {
        error_ = VQ_ERR_READ_PAST_BUFFER;
        return 0;
    }
    return v;
}

uint32_t RawTiffReader::ReadWord32(uint64_t offset) {
    uint32_t v = 0;
    if (!view_.u32(offset, order(), v)) {
        error_ = VQ_ERR_READ_PAST_BUFFER;
        return 0;
    }
    return v;
}

void RawTiffReader::PutWord32(uint8_t* destination, uint32_t value) const {
    if (bigEndian_) {
        destination[0] = uint8_t(value >> 24);
        destination[1] = uint8_t(value >> 16);
        destination[2] = uint8_t(value >> 8);
        destination[3] = uint8_t(value);
    } else {
        destination[0] = uint8_t(value);
        destination[1] = uint8_t(value >> 8);
        destination[2] = uint8_t(value >> 16);
        destination[3] = uint8_t(value >> 24);
    }
}

VqStatus RawTiffReader::ReadEntry(uint64_t offset) {
    const VqStatus before = error_;
    error_ = VQ_OK;
    currentPosition_ = offset;
    current_.tag = ReadWord16(offset);
    current_.type = ReadWord16(offset + 2);
    current_.count = ReadWord32(offset + 4);
    if ((current_.type == 3 || current_.type == 8) && current_.count == 1)
        current_.value = ReadWord16(offset + 8);
    else
        current_.value = ReadWord32(offset + 8);
    const VqStatus status = error_;
    if (before != VQ_OK) error_ = before;
    return status;
}

uint64_t RawTiffReader::DataOffset() const {
    const uint64_t bytes = uint64_t(TypeSize(current_.type)) * current_.count;
    return bytes <= 4 ? currentPosition_ + 8 : current_.value;
}

uint64_t RawTiffReader::ShortsOffset() const {
    // Two SHORT values fit in the value field, as TIFF stores them.
    const bool inlinePair = current_.count == 2 && TypeSize(current_.type) == 2;
    return inlinePair ? currentPosition_ + 8 : current_.value;
}

bool RawTiffReader::HeaderOrder(ByteView head, ByteOrder& order) {
    uint8_t magic[4];
    if (!head.copy(0, magic, 4)) return false;
    if (magic[0] == 'M' && magic[1] == 'M' && magic[2] == 0 && magic[3] == 42)
        order = ByteOrder::Big;
    else if (magic[0] == 'I' && magic[1] == 'I' && magic[2] == 42 && magic[3] == 0)
        order = ByteOrder::Little;
    else
        return false;
    return true;
}

VqStatus RawTiffReader::ReadHeader(ByteView buffer, uint32_t& firstIfd) {
    firstIfd = 0;
    view_ = ByteView(buffer.data(), std::min<uint64_t>(buffer.size(), kHeaderProbe));
    ByteOrder headerOrder = ByteOrder::Little;
    if (!HeaderOrder(view_, headerOrder)) return VQ_ERR_NOT_TIFF;
    setOrder(headerOrder);
    uint32_t offset = 0;
    if (!view_.u32(4, order(), offset)) return VQ_ERR_READ_PAST_BUFFER;
    if (offset == 0) return VQ_ERR_NOT_TIFF;
    firstIfd = offset;
    return VQ_OK;
}

// ---------------------------------------------------------------------------
// Typed readers

VqStatus RawTiffReader::ReadAscii(char* destination, uint32_t& count, uint32_t maximum) {
    count = clampCount(current_.count, maximum);
    if (count == 0) {
        destination[0] = 0;
        count = 1;
        return VQ_OK;
    }
    if (count < 5) {
        // Short texts sit in the entry's own value field.
        if (!view_.copy(currentPosition_ + 8, destination, count)) return error_ = VQ_ERR_READ_PAST_BUFFER;
        return VQ_OK;
    }
    if (!view_.copy(current_.value, destination, count)) return error_ = VQ_ERR_READ_PAST_BUFFER;
    return VQ_OK;
}

VqStatus RawTiffReader::ReadShorts(uint16_t* destination, uint32_t& count, uint32_t maximum) {
    count = clampCount(current_.count, maximum);
    if (count < 2) {
        destination[0] = uint16_t(current_.value);
        return VQ_OK;
    }
    const uint64_t offset = ShortsOffset();
    if (!view_.containsArray(offset, count, 2)) {
        std::fill(destination, destination + count, uint16_t(0));
        return error_ = VQ_ERR_READ_PAST_BUFFER;
    }
    for (uint32_t i = 0; i < count; ++i) destination[i] = ReadWord16(offset + 2ull * i);
    return error_;
}

VqStatus RawTiffReader::ReadLongs(uint32_t* destination, uint32_t& count, uint32_t maximum) {
    count = clampCount(current_.count, maximum);
    if (count < 2) {
        destination[0] = current_.value;
        return VQ_OK;
    }
    const uint64_t offset = current_.value;
    if (!view_.containsArray(offset, count, 4)) {
        std::fill(destination, destination + count, 0u);
        return error_ = VQ_ERR_READ_PAST_BUFFER;
    }
    for (uint32_t i = 0; i < count; ++i) destination[i] = ReadWord32(offset + 4ull * i);
    return error_;
}

VqStatus RawTiffReader::ReadRationalPairs(uint32_t* destination, uint32_t& count, uint32_t maximum) {
    count = clampCount(current_.count, maximum);
    const uint64_t offset = current_.value;
    bool zero = false;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t num = ReadWord32(offset + 8ull * i);
        uint32_t den = ReadWord32(offset + 8ull * i + 4);
        if (error_) return error_;
        if (den == 0) {
            num = 0;
            den = 1;
            zero = true;
        }
        destination[2 * i] = num;
        destination[2 * i + 1] = den;
    }
    return zero ? VQ_ERR_BAD_NUMBER : VQ_OK;
}

VqStatus RawTiffReader::ReadRationalFloats(float* destination, uint32_t& count, uint32_t maximum) {
    count = clampCount(current_.count, maximum);
    const uint64_t offset = current_.value;
    bool zero = false;
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t num = ReadWord32(offset + 8ull * i);
        const uint32_t den = ReadWord32(offset + 8ull * i + 4);
        if (error_) return error_;
        if (den == 0) {
            destination[i] = 0.0f;
            zero = true;
        } else {
            destination[i] = float(double(num) / double(den));
        }
    }
    return zero ? VQ_ERR_BAD_NUMBER : VQ_OK;
}

VqStatus RawTiffReader::ReadRationalWords(uint32_t* destination, uint32_t pairs) {
    const uint64_t offset = current_.value;
    if (!view_.containsArray(offset, pairs, 8)) return error_ = VQ_ERR_READ_PAST_BUFFER;
    for (uint32_t i = 0; i < 2 * pairs; ++i) {
        destination[i] = ReadWord32(offset + 4ull * i);
        if (i % 2 == 1 && destination[i] == 0) {
            destination[i] = 1;
            return VQ_ERR_BAD_NUMBER;
        }
    }
    return error_;
}

VqStatus RawTiffReader::ReadMatrixRationals(uint32_t* destination18) { return ReadRationalWords(destination18, 9); }

VqStatus RawTiffReader::ReadTripleRationals(uint32_t* destination6) { return ReadRationalWords(destination6, 3); }

// ---------------------------------------------------------------------------
// Look data handed to a look table

VqStatus RawTiffReader::ReadLookCurve(LookTable& looks, int look) {
    const uint32_t count = current_.count;
    // The curve must lie inside the loaded bytes before anything is allocated.
    if (count >= 2 && !view_.containsArray(ShortsOffset(), count, 2)) return error_ = VQ_ERR_READ_PAST_BUFFER;
    std::vector<uint16_t> values;
    try {
        values.resize(std::max<uint32_t>(count, 1));
    } catch (const std::bad_alloc&) {
        return VQ_ERR_FILE_NO_MEMORY;
    }
    uint32_t n = 0;
    if (VqStatus s = ReadShorts(values.data(), n, count)) return s;
    values.resize(n);
    // A curve of no values is simply not stored: the look stays incomplete.
    looks.SetCurve(look, std::move(values));
    return VQ_OK;
}

VqStatus RawTiffReader::ReadLookMatrix(LookTable& looks, int look) {
    LookTable::Matrix matrix{};
    if (VqStatus s = ReadMatrixRationals(matrix.data())) return s;
    return looks.SetMatrix(look, &matrix);
}

VqStatus RawTiffReader::ReadLookNames(LookTable& looks) {
    const uint64_t size = TypeSize(current_.type) ? uint64_t(TypeSize(current_.type)) * current_.count
                                                   : uint64_t(current_.count);
    const uint64_t offset = DataOffset();
    auto block = view_.sub(offset, size);
    if (!block || size > UINT32_MAX) return error_ = VQ_ERR_READ_PAST_BUFFER;
    return looks.SetNames(block->data(), uint32_t(size));
}

// ---------------------------------------------------------------------------
// Model text and its file-version marker

VqStatus RawTiffReader::CheckFileVersion() {
    // The Model value may carry "FILE VERSION", a blank and a decimal number in
    // its second 16 bytes. Only bytes of the value itself, inside the loaded
    // buffer, are looked at.
    static const char kMarker[] = "FILE VERSION";
    constexpr uint32_t kMarkerLength = 12;
    const uint32_t valueBytes = std::min<uint32_t>(current_.count, 32);
    if (valueBytes < 16 + kMarkerLength + 2) return VQ_OK;
    const uint64_t base = uint64_t(current_.value) + 16;
    char tail[16] = {};
    const uint32_t tailBytes = valueBytes - 16;
    if (!view_.copy(base, tail, tailBytes)) return VQ_OK;
    for (uint32_t i = 0; i < kMarkerLength; ++i)
        if (std::toupper(static_cast<unsigned char>(tail[i])) != kMarker[i]) return VQ_OK;
    uint32_t version = 0;
    for (uint32_t i = kMarkerLength + 1; i < tailBytes && std::isdigit(static_cast<unsigned char>(tail[i])); ++i) {
        version = std::min<uint32_t>(version * 10 + uint32_t(tail[i] - '0'), 1000000);
    }
    return version > 3 ? VQ_ERR_FILE_VERSION_TOO_NEW : VQ_OK;
}

// ---------------------------------------------------------------------------
// Directory

namespace {

void initRecord(RawIfdRecord& r) {
    r = RawIfdRecord{};
    r.cameraSettingWord = kRawAbsent;
    r.settingsData.offset = uint32_t(kRawAbsent);
    r.cameraSettingA = int16_t(kRawAbsent);
    r.cameraSettingRatio = kRawAbsentFloat;
    r.cameraSettingB = int16_t(kRawAbsent);
    r.cameraSettingC = int16_t(kRawAbsent);
    r.extraData.offset = uint32_t(kRawAbsent);
    r.private3693 = kRawAbsent;
    r.cfaPattern = kRawAbsent;
    r.exposureTime[0] = kRawAbsent;
    r.exposureTime[1] = 1;
    r.fNumber = kRawAbsentFloat;
    r.exposureProgram = int16_t(kRawAbsent);
    r.exposureBias = kRawAbsentFloat;
    r.subjectDistance = kRawAbsentFloat;
    r.meteringMode = int16_t(kRawAbsent);
    r.flash = int16_t(kRawAbsent);
    r.focalLength = kRawAbsentFloat;
    r.exposureIndex = kRawAbsentFloat;
}

} // namespace

VqStatus RawTiffReader::ReadIfd(ByteView buffer, uint32_t ifdOffset, RawIfdRecord& record,
                                ResolutionRecord* resolution, LookTable* looks, bool checkNext) {
    error_ = VQ_OK;
    view_ = buffer;
    if (uint64_t(ifdOffset) >= buffer.size()) return VQ_ERR_READ_PAST_BUFFER;
    initRecord(record);
    record.bigEndian = bigEndian_;

    const uint16_t n = ReadWord16(ifdOffset);
    if (error_) return error_;
    record.entryCount = n;
    if (uint64_t(ifdOffset) + uint64_t(kEntrySize) * n >= buffer.size()) return VQ_ERR_READ_PAST_BUFFER;
    if (n > kMaxEntries || n < kMinEntries) return VQ_ERR_BAD_FILE;

    const uint64_t first = uint64_t(ifdOffset) + 2;
    record.nextIfd = ReadWord32(first + uint64_t(kEntrySize) * n);
    if (checkNext && record.nextIfd > kMaxNextIfd) return VQ_ERR_BAD_FILE;

    uint16_t previous = 0;
    VqStatus status = VQ_OK;
    for (uint32_t i = 0; i < n && status == VQ_OK && error_ == VQ_OK; ++i) {
        if (ReadEntry(first + uint64_t(kEntrySize) * i) != VQ_OK) break;
        if (i == 0 ? current_.tag <= 0 : current_.tag <= previous) record.outOfOrder = 1;
        previous = current_.tag;
        status = ApplyTag(record, resolution, looks);
    }
    return status != VQ_OK ? status : error_;
}

VqStatus RawTiffReader::ApplyTag(RawIfdRecord& r, ResolutionRecord* resolution, LookTable* looks) {
    const Entry& e = current_;
    const uint16_t type = e.type;
    const uint32_t value = e.value;
    const uint16_t value16 = uint16_t(value);
    uint32_t n = 0;
    auto keep = [&](RawTagRef& ref) {
        ref.count = e.count;
        ref.offset = value;
        return VQ_OK;
    };
    auto floats = [&](float* dst, uint32_t maximum) { return ReadRationalFloats(dst, n, maximum); };
    // A text into a fixed field (cleared first, at most its size less the
    // terminator); the count read into *count when given.
    auto text = [&](auto& field, uint32_t* count) {
        std::memset(field, 0, sizeof field);
        const VqStatus s = ReadAscii(field, n, uint32_t(sizeof field - 1));
        if (count) *count = n;
        return s;
    };
    // LONG values into a fixed array, as many as it holds; the count read into count.
    auto longs = [&](auto& field, uint32_t& count) {
        const VqStatus s = ReadLongs(field, n, uint32_t(std::size(field)));
        count = n;
        return s;
    };

    switch (RawTag(e.tag)) {
    case RawTag::NewSubfileType: if (type == 4) r.newSubfileType = value; return VQ_OK;
    case RawTag::ImageWidth: r.width = value; return VQ_OK;
    case RawTag::ImageLength: r.height = value; return VQ_OK;
    case RawTag::BitsPerSample:
        if (type != 3) return VQ_OK;
        {
            VqStatus s = ReadShorts(r.bitsPerSample, n, 5);
            r.bitsPerSampleCount = n;
            return s;
        }
    case RawTag::Compression: if (type == 3) r.compression = value16; return VQ_OK;
    case RawTag::PhotometricInterpretation: if (type == 3) r.photometric = value16; return VQ_OK;
    case RawTag::ImageDescription:
        if (type != 2) return VQ_OK;
        r.descriptionOffset = value;
        return text(r.description, &r.descriptionCount);
    case RawTag::Make: return type == 2 ? text(r.make, nullptr) : VQ_OK;
    case RawTag::Model:
        if (type != 2) return VQ_OK;
        if (VqStatus s = text(r.model, nullptr)) return s;
        r.modelCount = n;
        return CheckFileVersion();
    case RawTag::StripOffsets: return type == 4 ? longs(r.stripOffsets, r.stripOffsetsCount) : VQ_OK;
    case RawTag::SamplesPerPixel: if (type == 3) r.samplesPerPixel = value16; return VQ_OK;
    case RawTag::RowsPerStrip: if (type == 4) r.rowsPerStrip = value; return VQ_OK;
    case RawTag::StripByteCounts: return type == 4 ? longs(r.stripByteCounts, r.stripByteCountsCount) : VQ_OK;
    case RawTag::MinSampleValue: if (type == 3) r.minSampleValue = value16; return VQ_OK;
    case RawTag::MaxSampleValue: if (type == 3) r.maxSampleValue = value16; return VQ_OK;
    case RawTag::XResolution:
    case RawTag::YResolution:
        if (!resolution) return VQ_OK;
        {
            uint32_t pair[2] = {0, 0};
            VqStatus s = ReadRationalPairs(pair, n, 1);
            if (e.tag == TagNumber(RawTag::XResolution)) {
                resolution->xOffset = value;
                resolution->xNumerator = pair[0];
                resolution->xDenominator = pair[1];
            } else {
                resolution->yOffset = value;
                resolution->yNumerator = pair[0];
                resolution->yDenominator = pair[1];
            }
            return s;
        }
    case RawTag::PlanarConfiguration: if (type == 3) r.planarConfiguration = value16; return VQ_OK;
    case RawTag::GrayResponseUnit: if (type == 3) r.grayResponseUnit = value16; return VQ_OK;
    case RawTag::GrayResponseCurve: if (type == 3) keep(r.grayResponseCurve); return VQ_OK;
    case RawTag::ResolutionUnit:
        if (!resolution) return VQ_OK;
        resolution->unitPresent = 1;
        resolution->unit = value16;
        resolution->unitPosition = uint32_t(currentPosition_ + 8);
        return VQ_OK;
    case RawTag::Software: return type == 2 ? text(r.software, &r.softwareCount) : VQ_OK;
    case RawTag::DateTime: return type == 2 ? text(r.dateTime, nullptr) : VQ_OK;
    case RawTag::Artist: return type == 2 ? text(r.artist, nullptr) : VQ_OK;
    case RawTag::SubIfds: return type == 4 ? longs(r.subIfds, r.subIfdCount) : VQ_OK;
    case RawTag::Model2: return type == 2 ? text(r.model2, &r.model2Count) : VQ_OK;
    case RawTag::CfaPattern: r.cfaPattern = int32_t(value); return VQ_OK;
    case RawTag::PrivateIfd: r.privateIfd = value; return VQ_OK;
    case RawTag::ExposureTime: {
        uint32_t pair[2] = {0, 1};
        VqStatus s = ReadRationalPairs(pair, n, 1);
        if (n) {
            r.exposureTime[0] = int32_t(pair[0]);
            r.exposureTime[1] = int32_t(pair[1]);
        }
        return s;
    }
    case RawTag::FNumber: return floats(&r.fNumber, 1);
    case RawTag::IptcNaa: {
        const uint64_t bytes = uint64_t(TypeSize(type)) * e.count;
        r.iptcLength = bytes > UINT32_MAX ? UINT32_MAX : uint32_t(bytes);
        r.iptcOffset = value;
        r.iptcEntryOffset = uint32_t(currentPosition_);
        return VQ_OK;
    }
    case RawTag::ExposureProgram: r.exposureProgram = int16_t(value16); return VQ_OK;
    case RawTag::ExposureBiasValue: return floats(&r.exposureBias, 1);
    case RawTag::SubjectDistance: return floats(&r.subjectDistance, 1);
    case RawTag::FocalLength: return floats(&r.focalLength, 1);
    case RawTag::ExposureIndex: return floats(&r.exposureIndex, 1);
    case RawTag::MeteringMode: r.meteringMode = int16_t(value16); return VQ_OK;
    case RawTag::Flash: r.flash = int16_t(value16); return VQ_OK;
    case RawTag::ImageNumber: r.imageNumber = value; return VQ_OK;
    case RawTag::SensingMethod: r.sensingMethodEntry = uint32_t(currentPosition_); return VQ_OK;
    case RawTag::SettingsText:
        if (type != 7) return VQ_OK;
        std::memset(r.settingsText, 0, sizeof r.settingsText);
        {
            VqStatus s = ReadAscii(r.settingsText, n, 64);
            r.settingsTextCount = n;
            r.storedSettings.count = 0;
            // An offset that would wrap is kept out of reach rather than small.
            r.storedSettings.offset = value > UINT32_MAX - 40 ? UINT32_MAX : value + 40;
            return s;
        }

    // Private directory.
    case RawTag::CameraText: {
        // A text tag: any other type is skipped like every mistyped entry.
        if (type != 2) return VQ_OK;
        // Kept as count and data offset, and only when the data is really there.
        const uint64_t offset = DataOffset();
        if (!view_.contains(offset, e.count)) return error_ = VQ_ERR_READ_PAST_BUFFER;
        r.cameraText.count = e.count;
        r.cameraText.offset = uint32_t(offset);
        return VQ_OK;
    }
    case RawTag::CameraSettingWord:
        r.cameraSettingWord = int32_t(value);
        r.cameraSettingWordPosition = uint32_t(currentPosition_ + 8);
        return VQ_OK;
    case RawTag::LeftMargin: r.leftMargin = value; return VQ_OK;
    case RawTag::TopMargin: r.topMargin = value; return VQ_OK;
    case RawTag::ActiveWidth: r.activeWidth = value; return VQ_OK;
    case RawTag::ActiveHeight: r.activeHeight = value; return VQ_OK;
    case RawTag::HiddenValue2: r.hiddenValue2 = value; return VQ_OK;
    case RawTag::HiddenValue3: r.hiddenValue3 = value; return VQ_OK;
    case RawTag::HiddenValue6: r.hiddenValue6 = value; return VQ_OK;
    case RawTag::HiddenValue7: r.hiddenValue7 = value; return VQ_OK;
    case RawTag::SettingsData: return keep(r.settingsData);
    case RawTag::StoredSettings: return keep(r.storedSettings);
    case RawTag::ExtraSettingsData: return keep(r.extraData);
    case RawTag::CameraSettingA: r.cameraSettingA = int16_t(value16); return VQ_OK;
    case RawTag::CameraSettingB: r.cameraSettingB = int16_t(value16); return VQ_OK;
    case RawTag::CameraSettingC: r.cameraSettingC = int16_t(value16); return VQ_OK;
    case RawTag::RendererPrivate: r.rendererPrivate = value16; return VQ_OK;
    case RawTag::CameraPreset: if (type == 3) r.cameraPreset = value16; return VQ_OK;
    case RawTag::CameraSettingRatio: return floats(&r.cameraSettingRatio, 1);
    case RawTag::HiddenFloats: return floats(r.hiddenFloats, 8);
    case RawTag::CameraWhiteBalance: {
        // Always three values, whatever the entry's count.
        const Entry saved = current_;
        current_.count = 3;
        VqStatus s = ReadShorts(r.cameraWhiteBalance, n, 3);
        current_ = saved;
        return s;
    }
    case RawTag::ColumnOffsets: if (type == 8) keep(r.columnOffsets); return VQ_OK;
    case RawTag::RowOffsets: if (type == 8) keep(r.rowOffsets); return VQ_OK;

    case RawTag::LookAMatrix0:
    case RawTag::LookAMatrix1:
    case RawTag::LookAMatrix2:
    case RawTag::LookAMatrix3:
    case RawTag::LookAMatrix4:
        return ReadMatrixRationals(r.lookAMatrices[e.tag - TagNumber(RawTag::LookAMatrix0)]);
    case RawTag::BalanceMatrix0:
    case RawTag::BalanceMatrix1:
    case RawTag::BalanceMatrix2:
    case RawTag::BalanceMatrix3:
    case RawTag::BalanceMatrix4:
        return ReadMatrixRationals(r.balanceMatrices[e.tag - TagNumber(RawTag::BalanceMatrix0)]);
    case RawTag::PresetMatrix0:
    case RawTag::PresetMatrix1:
    case RawTag::PresetMatrix2:
    case RawTag::PresetMatrix3:
    case RawTag::PresetMatrix4:
    case RawTag::PresetMatrix5:
        return ReadMatrixRationals(r.presetMatrices[e.tag - TagNumber(RawTag::PresetMatrix0)]);
    case RawTag::ColorMatrices: return ReadMatrixRationals(r.colorMatrices);
    case RawTag::LookMatrix: return ReadMatrixRationals(r.lookMatrix);
    case RawTag::LookAMatrixNew0: return ReadMatrixRationals(r.lookAMatrices[0]);
    case RawTag::LookAMatrixNew1: return ReadMatrixRationals(r.lookAMatrices[1]);
    case RawTag::LookAMatrixNew2: return ReadMatrixRationals(r.lookAMatrices[2]);
    case RawTag::LookAMatrixNew3: return ReadMatrixRationals(r.lookAMatrices[3]);
    case RawTag::LookBMatrix0: return ReadMatrixRationals(r.lookBMatrices[0]);
    case RawTag::LookBMatrix1: return ReadMatrixRationals(r.lookBMatrices[1]);
    case RawTag::LookBMatrix2: return ReadMatrixRationals(r.lookBMatrices[2]);
    case RawTag::LookBMatrix3: return ReadMatrixRationals(r.lookBMatrices[3]);

    case RawTag::BalanceTriple0:
    case RawTag::BalanceTriple1:
    case RawTag::BalanceTriple2:
    case RawTag::BalanceTriple3:
    case RawTag::BalanceTriple4:
    case RawTag::BalanceTriple5:
        if (e.tag == TagNumber(RawTag::BalanceTriple0)) r.balanceTriple0Word = value;
        return ReadTripleRationals(r.balanceTriples[e.tag - TagNumber(RawTag::BalanceTriple0)]);
    case RawTag::PresetGain0:
    case RawTag::PresetGain1:
    case RawTag::PresetGain2:
    case RawTag::PresetGain3:
    case RawTag::PresetGain4:
        return floats(&r.presetGains[e.tag - TagNumber(RawTag::PresetGain0)], 1);

    case RawTag::ToneCurve0: if (type == 3) keep(r.toneCurve0); return VQ_OK;
    case RawTag::ThumbTable: if (type == 3) keep(r.thumbTable); return VQ_OK;
    case RawTag::ThumbSourceTable: if (type == 3) keep(r.thumbSourceTable); return VQ_OK;
    case RawTag::OutputCurve: return keep(r.outputCurve);
    case RawTag::BadColumns: return keep(r.badColumns);
    case RawTag::ToneCurve1: return keep(r.toneCurve1);
    case RawTag::GainMap:
    case RawTag::GainMapAlternative: return keep(r.gainMap);
    case RawTag::F2ByteTable: return keep(r.f2ByteTable);
    case RawTag::F2CurveA:
    case RawTag::F2CurveAAlternative: return keep(r.f2CurveA);
    case RawTag::F2CurveB:
    case RawTag::F2CurveBAlternative: return keep(r.f2CurveB);
    case RawTag::F2FinalTable: return keep(r.f2FinalTable);
    case RawTag::F2OutputCurve: return keep(r.f2OutputCurve);
    case RawTag::CameraRgbGainScale: return floats(&r.cameraRgbGainScale, 1);
    case RawTag::Private2318: return floats(&r.private2318, 1);
    case RawTag::Private2310: if (type == 3) r.private2310 = value16; return VQ_OK;
    case RawTag::Private2319: if (type == 3) r.private2319 = value16; return VQ_OK;
    case RawTag::ThumbTableOn: r.thumbTableOn = value; return VQ_OK;
    case RawTag::Private2400: r.private2400 = value; return VQ_OK;
    case RawTag::Private2401: r.private2401 = value; return VQ_OK;
    case RawTag::GainTileWidth: r.gainTileWidth = value; return VQ_OK;
    case RawTag::GainTileHeight: r.gainTileHeight = value; return VQ_OK;
    case RawTag::CurveLong0:
    case RawTag::CurveLong1:
    case RawTag::CurveLong2: r.curveLongs[e.tag - TagNumber(RawTag::CurveLong0)] = value; return VQ_OK;
    case RawTag::FileGeneration: r.fileGeneration = value; return VQ_OK;
    case RawTag::FileVersion: r.fileVersion = value; return VQ_OK;
    case RawTag::Private3680: r.private3680 = value; return VQ_OK;
    case RawTag::Private3681: r.private3681 = value; return VQ_OK;
    case RawTag::SensitivityPair0:
    case RawTag::SensitivityPair1:
    case RawTag::SensitivityPair2:
    case RawTag::SensitivityPair3:
        return floats(r.sensitivityPairs[e.tag - TagNumber(RawTag::SensitivityPair0)], 2);
    case RawTag::GreyTestValue: if (type == 8) r.greyTestValue = int16_t(value16); return VQ_OK;
    case RawTag::GreyTestRatio: {
        if (type != 5) return VQ_OK;
        // One rational read as two LONG words.
        const Entry saved = current_;
        current_.count = uint32_t(std::min<uint64_t>(uint64_t(saved.count) * 2, 2));
        VqStatus s = ReadLongs(r.greyTestRatio, n, 2);
        current_ = saved;
        return s;
    }
    case RawTag::SharpenSelect:
        r.sharpenSelectPresent = 1;
        if (type == 3) r.sharpenSelect = value16;
        return VQ_OK;
    case RawTag::SharpenKernel:
        if (type != 8) return VQ_OK;
        return ReadShorts(reinterpret_cast<uint16_t*>(r.sharpenKernel), n, 25);
    case RawTag::Sharpen1: if (type == 3) r.sharpen1 = value16; return VQ_OK;
    case RawTag::Sharpen2: if (type == 3) r.sharpen2 = value16; return VQ_OK;
    case RawTag::Sharpen3: if (type == 3) r.sharpen3 = value16; return VQ_OK;
    case RawTag::Sharpen4: if (type == 3) r.sharpen4 = value16; return VQ_OK;
    case RawTag::Sharpen5: if (type == 3) r.sharpen5 = value16; return VQ_OK;
    case RawTag::ConcealTable:
        if (type == 3) {
            r.concealTable = value;
            r.concealTableCount = e.count;
        }
        return VQ_OK;
    case RawTag::DirectionThresholdH: if (type == 3) r.directionThresholdH = value16; return VQ_OK;
    case RawTag::DirectionThresholdV: if (type == 3) r.directionThresholdV = value16; return VQ_OK;
    case RawTag::DemosaicThreshold: if (type == 3) r.demosaicThreshold = value16; return VQ_OK;
    case RawTag::SharpenKernelHead:
        if (type != 3) return VQ_OK;
        return ReadShorts(r.sharpenKernelHead, n, 3);
    case RawTag::CurveShort0:
    case RawTag::CurveShort1:
    case RawTag::CurveShort2: r.curveShorts[e.tag - TagNumber(RawTag::CurveShort0)] = value16; return VQ_OK;
    case RawTag::CurveShortB0:
    case RawTag::CurveShortB1:
    case RawTag::CurveShortB2:
    case RawTag::CurveShortB3:
    case RawTag::CurveShortB4: r.curveShorts2[e.tag - TagNumber(RawTag::CurveShortB0)] = value16; return VQ_OK;
    case RawTag::CurveFlag: r.curveFlag = value != 0 ? 1 : 0; return VQ_OK;
    case RawTag::ColourCurveSets: if (type == 7) keep(r.colourCurveSets); return VQ_OK;
    case RawTag::ColourKnotLists: if (type == 7) keep(r.colourKnotLists); return VQ_OK;
    case RawTag::ColourTableGeneration: if (type == 4) r.colourTableGeneration = value; return VQ_OK;
    case RawTag::Private3692: if (type == 4) r.private3692 = value; return VQ_OK;
    case RawTag::Private3693: if (type == 4) r.private3693 = int32_t(value); return VQ_OK;
    case RawTag::F2ShiftedTable: if (type == 3) keep(r.f2ShiftedTable); return VQ_OK;

    case RawTag::LookNames: return looks ? ReadLookNames(*looks) : VQ_OK;

    default:
        break;
    }

    if (e.tag >= kTagLookCurveFirst && e.tag <= kTagLookCurveLast) {
        if (e.tag == TagNumber(RawTag::ToneCurve1Alternative)) keep(r.toneCurve1);
        if (e.tag == TagNumber(RawTag::F2ToneCurve)) keep(r.f2ToneCurve);
        return looks ? ReadLookCurve(*looks, e.tag - kTagLookCurveFirst) : VQ_OK;
    }
    if (e.tag >= kTagLookMatrixFirst && e.tag <= kTagLookMatrixLast)
        return looks ? ReadLookMatrix(*looks, e.tag - kTagLookMatrixFirst) : VQ_OK;
    // 2100..2104, 2110..2114 and every other tag: nothing kept.
    return VQ_OK;
}

// ---------------------------------------------------------------------------
// Tag finder

VqStatus RawTiffReader::FindTag(ByteView buffer, uint32_t startOffset, uint16_t tag, uint32_t occurrence,
                                uint32_t limit, Entry& out, uint32_t& entryPosition) {
    // Directory links can loop; no walk visits more directories than this.
    constexpr uint32_t kMaxVisits = 64;
    error_ = VQ_OK;
    view_ = buffer;
    entryPosition = 0;
    out = Entry{};

    uint32_t privateIfd = 0;
    std::vector<uint32_t> subIfds;
    size_t nextSub = 0;
    uint32_t offset = startOffset;
    const uint64_t visits = std::min<uint64_t>(uint64_t(limit) + 1, kMaxVisits);
    for (uint64_t index = 0; index < visits; ++index) {
        if (uint64_t(offset) >= buffer.size()) return VQ_ERR_FILE_NO_MEMORY;
        const uint16_t n = ReadWord16(offset);
        if (error_) return error_;
        const uint64_t first = uint64_t(offset) + 2;
        for (uint32_t i = 0; i < n; ++i) {
            const uint64_t position = first + uint64_t(kEntrySize) * i;
            if (ReadEntry(position) != VQ_OK) return error_ = VQ_ERR_READ_PAST_BUFFER;
            if (current_.tag == tag && index >= occurrence) {
                out = current_;
                entryPosition = uint32_t(position);
                return VQ_OK;
            }
            if (current_.tag == TagNumber(RawTag::PrivateIfd)) {
                privateIfd = current_.value;
            } else if (current_.tag == TagNumber(RawTag::SubIfds) && current_.type == 4) {
                uint32_t offsets[5] = {};
                uint32_t count = 0;
                if (ReadLongs(offsets, count, 5) != VQ_OK) return error_;
                for (uint32_t k = 0; k < count && subIfds.size() < kMaxVisits; ++k) subIfds.push_back(offsets[k]);
            }
        }
        const uint32_t next = ReadWord32(first + uint64_t(kEntrySize) * n);
        if (error_) return error_;
        if (next != 0) {
            offset = next;
        } else if (privateIfd != 0) {
            offset = privateIfd;
            privateIfd = 0;
        } else if (nextSub < subIfds.size()) {
            offset = subIfds[nextSub++];
        } else {
            return VQ_ERR_VALUE_ABSENT;
        }
    }
    return VQ_ERR_VALUE_ABSENT;
}

// ---------------------------------------------------------------------------
// Rewrites of a loaded header

VqStatus RawTiffReader::ReplaceDescription(uint8_t* buffer, uint64_t length, uint32_t ifdOffset,
                                           uint32_t& oldCount, const char* text, uint32_t textLength) {
    error_ = VQ_OK;
    view_ = ByteView(buffer, length);
    const uint16_t n = ReadWord16(ifdOffset);
    if (error_) return error_;
    for (uint32_t i = 0; i < n; ++i) {
        if (ReadEntry(uint64_t(ifdOffset) + 2 + uint64_t(kEntrySize) * i) != VQ_OK) return VQ_ERR_READ_PAST_BUFFER;
        if (current_.tag != TagNumber(RawTag::ImageDescription)) continue;
        const uint32_t count = current_.count;
        // The new text must fit in the old field; it is never written before it.
        if (textLength > count) return VQ_ERR_DESCRIPTION_TOO_LONG;
        const uint64_t field = count < 5 ? currentPosition_ + 8 : uint64_t(current_.value);
        if (!view_.contains(field, count)) return error_ = VQ_ERR_READ_PAST_BUFFER;
        if (textLength) std::memcpy(buffer + field + count - textLength, text, textLength);
        oldCount = count;
        return VQ_OK;
    }
    return VQ_ERR_TAG_NOT_FOUND;
}

VqStatus RawTiffReader::SortEntries(uint8_t* directory, uint64_t length, bool& changed, uint16_t& count,
                                    uint16_t tag, uint32_t& entryPosition) {
    changed = false;
    entryPosition = 0;
    error_ = VQ_OK;
    view_ = ByteView(directory, length);
    uint32_t n = count;
    // The entries and the 4-byte link after them must all be loaded.
    if (!view_.contains(2, uint64_t(kEntrySize) * n + 4)) return error_ = VQ_ERR_READ_PAST_BUFFER;

    auto tagAt = [&](uint32_t i) { return ReadWord16(2 + uint64_t(kEntrySize) * i); };
    bool ordered = true;
    for (uint32_t i = 1; i < n && ordered; ++i) ordered = tagAt(i) > tagAt(i - 1);
    if (!ordered) {
        changed = true;
        uint8_t tmp[kEntrySize];
        // Adjacent swaps keep entries of equal tag in file order.
        for (uint32_t pass = 0; pass + 1 < n; ++pass) {
            bool swapped = false;
            for (uint32_t i = 0; i + 1 < n - pass; ++i) {
                if (tagAt(i) > tagAt(i + 1)) {
                    uint8_t* a = directory + 2 + uint64_t(kEntrySize) * i;
                    std::memcpy(tmp, a, kEntrySize);
                    std::memmove(a, a + kEntrySize, kEntrySize);
                    std::memcpy(a + kEntrySize, tmp, kEntrySize);
                    swapped = true;
                }
            }
            if (!swapped) break;
        }
        // Drop entries whose tag repeats the one before.
        uint32_t kept = n ? 1 : 0;
        for (uint32_t i = 1; i < n; ++i) {
            if (tagAt(i) == tagAt(kept - 1)) continue;
            if (i != kept)
                std::memmove(directory + 2 + uint64_t(kEntrySize) * kept, directory + 2 + uint64_t(kEntrySize) * i,
                             kEntrySize);
            ++kept;
        }
        // The next-directory link moves up behind the last kept entry (a camera
        // JPEG file reaches its thumbnail directory through it); the freed
        // tail is zeroed.
        uint8_t link[4];
        std::memcpy(link, directory + 2 + uint64_t(kEntrySize) * n, 4);
        const uint64_t tailStart = 2 + uint64_t(kEntrySize) * kept;
        const uint64_t tailEnd = 2 + uint64_t(kEntrySize) * n + 4;
        std::memset(directory + tailStart, 0, tailEnd - tailStart);
        std::memcpy(directory + tailStart, link, 4);
        n = kept;
        count = uint16_t(n);
        if (bigEndian_) {
            directory[0] = uint8_t(n >> 8);
            directory[1] = uint8_t(n);
        } else {
            directory[0] = uint8_t(n);
            directory[1] = uint8_t(n >> 8);
        }
    }
    for (uint32_t i = 0; i < n; ++i)
        if (tagAt(i) == tag) {
            entryPosition = 2 + kEntrySize * i;
            break;
        }
    return VQ_OK;
}
