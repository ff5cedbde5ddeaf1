#include "Exif.h"

#include "TiffTag.h"
#include "TiffTypeSize.h"
#include "YlmErrp.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

namespace NimbalCore {

namespace {

constexpr uint16_t kIFD0Tags[] = {271, 272, 274, 282, 283, 296, 305, 315, 318, 319, 529, 531, 33432, 34853, 37397};
constexpr uint16_t kExifTags[] = {
    1026,  37390, 37391, 37392, 37397, 37399, 33422, 33434, 33437, 34850, 34855, 36864, 36867,
    36868, 37121, 37122, 37377, 37378, 37379, 37380, 37381, 37383, 37384, 37385, 37386, 37510,
    40960, 40961, 40962, 40963, 40964, 40965, 41486, 41487, 41488, 41493, 41495, 41728, 41729,
    41730, 41985, 41986, 41987, 41988, 41989, 41990, 41991, 41992, 41993, 41994, 41996, 42240};

constexpr uint16_t kExposureTime = 33434, kFNumber = 33437, kExposureIndex = 41493;
constexpr uint16_t kShutterSpeed = 37377, kAperture = 37378, kBrightness = 37379;
constexpr uint16_t kSubIFDs = 330, kPrivateIFD = 33424, kExifIFD = 34665, kGPSIFD = 34853;
constexpr uint64_t kEntryBytes = 12;

template <size_t N> bool InList(uint16_t tag, const uint16_t (&list)[N]) {
    return std::find(std::begin(list), std::end(list), tag) != std::end(list);
}

bool InGPSList(uint16_t tag) { return tag <= 26; }

uint32_t Host32(const uint8_t* p) { return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24); }

bool IsRational(uint16_t type) { return type == TiffTypeRational || type == TiffTypeSRational; }

// The numerator and denominator of a one-value rational entry.
bool RationalOf(const ExifEntry& e, double& value, bool& zeroNumerator) {
    if (!IsRational(e.type) || e.count < 1 || !e.data) return false;
    const uint32_t num = Host32(e.data), den = Host32(e.data + 4);
    if (den == 0) return false;
    zeroNumerator = num == 0;
    value = e.type == TiffTypeSRational ? double(int32_t(num)) / double(int32_t(den)) : double(num) / double(den);
    return true;
}

} // namespace

uint16_t Exif::MapTIFFEPTag(uint16_t tag) {
    switch (tag) {
    case 33422: return 41730;
    case 37390: return 41486;
    case 37391: return 41487;
    case 37392: return 41488;
    case 37397: return 41493;
    case 37399: return 41495;
    default: return tag;
    }
}

bool Exif::IsTagWanted(int flags, uint16_t tag) {
    return ((flags & CollectExifSlot) && InList(tag, kExifTags)) || ((flags & CollectIFD0) && InList(tag, kIFD0Tags)) ||
           ((flags & CollectGPS) && InGPSList(tag));
}

int Exif::ReadFromFile(const FilePathSpec& path) {
    Close();
    std::vector<uint8_t> bytes;
    try {
        file_ = std::make_unique<File>(path);
        file_->Open(File::ReadBinary);
        const int64_t size = file_->GetSize();
        if (size < 0) return SourceUnreadable;
        bytes.resize(size_t(std::min<uint64_t>(uint64_t(size), kMaxSourceBytes)));
        file_->Seek(0, 0);
        if (!bytes.empty()) file_->ReadExactly(bytes.data(), 1, bytes.size());
    } catch (const YlmErrp&) {
        return SourceUnreadable;
    }
    return ReadFromBytes(ByteView(bytes.data(), bytes.size()));
}

int Exif::ReadFromBytes(ByteView bytes) {
    const uint64_t n = std::min<uint64_t>(bytes.size(), kMaxSourceBytes);
    bytes_.assign(n + 2, 0);
    if (n) bytes.copy(0, bytes_.data(), n);
    if (n == 0) bytes_.clear();   // nothing held: every parse answers 2203
    view_ = ByteView(bytes_.data(), bytes_.size());
    return Parse();
}

void Exif::Close() {
    bytes_.clear();
    bytes_.shrink_to_fit();
    view_ = ByteView();
    if (file_) {
        try {
            file_->Close();
        } catch (const YlmErrp&) {
            // Only read from: nothing of it is lost.
        }
        file_.reset();
    }
}

int Exif::Parse() {
    sourceIsTiff_ = DetectByteOrder(view_);
    return sourceIsTiff_ ? ParseTIFFFile() : ParseJPEGFile();
}

bool Exif::DetectByteOrder(ByteView bytes) {
    uint8_t b[4];
    if (!bytes.copy(0, b, 4)) return false;
    if (b[0] == 'M' && b[1] == 'M' && b[2] == 0 && b[3] == 0x2A) {
        order_ = ByteOrder::Big;
        return true;
    }
    if (b[0] == 'I' && b[1] == 'I' && b[2] == 0x2A && b[3] == 0) {
        order_ = ByteOrder::Little;
        return true;
    }
    return false;
}

bool Exif::ReadUInt16(uint64_t offset, uint16_t& out) const { return view_.u16(offset, order_, out); }
bool Exif::ReadUInt32(uint64_t offset, uint32_t& out) const { return view_.u32(offset, order_, out); }

bool Exif::ReadEntry(uint64_t at, ExifEntry& e) const {
    if (!view_.contains(at, kEntryBytes)) return false;
    ReadUInt16(at, e.tag);
    ReadUInt16(at + 2, e.type);
    ReadUInt32(at + 4, e.count);
    const uint64_t size = uint64_t(TiffTypeSize(e.type)) * e.count;
    uint8_t raw[4];
    view_.copy(at + 8, raw, 4);
    e.data = nullptr;
    if (size > 4) {
        ReadUInt32(at + 8, e.value);   // an offset
        return true;
    }
    // Inline values to host order, left-justified.
    uint8_t host[4] = {raw[0], raw[1], raw[2], raw[3]};
    if (order_ == ByteOrder::Big) {
        if (e.type == TiffTypeShort || e.type == TiffTypeSShort) {
            std::swap(host[0], host[1]);
            std::swap(host[2], host[3]);
        } else if (e.type == TiffTypeLong || e.type == TiffTypeSLong) {
            std::reverse(host, host + 4);
        }
    }
    e.value = Host32(host);
    return true;
}

int Exif::WalkIFD0(bool tiff) {
    if (!ReadUInt32(header_ + 4, ifd0_) || ifd0_ == 0 || header_ + ifd0_ >= view_.size()) return NotTiffOrExif;
    uint16_t count = 0;
    if (!ReadUInt16(header_ + ifd0_, count)) return NotTiffOrExif;
    for (uint32_t i = 0; i < count; ++i) {
        ExifEntry e;
        if (!ReadEntry(header_ + ifd0_ + 2 + kEntryBytes * i, e)) break;   // the rest lies outside the bytes
        if (e.tag == kExifIFD) (tiff ? slot20_ : slot04_) = e.value;
        else if (e.tag == kPrivateIFD && tiff) slot04_ = e.value;
        else if (e.tag == kGPSIFD) gps_ = e.value;
        else if (e.tag == kSubIFDs && tiff) {
            if (e.count == 1) {
                subIFD1_ = e.value;
            } else if (!ReadUInt32(header_ + uint64_t(e.value), subIFD1_) ||
                       !ReadUInt32(header_ + uint64_t(e.value) + 4, subIFD2_)) {
                subIFD1_ = subIFD2_ = 0;   // the pair lies outside the bytes: no SubIFDs
            }
        }
    }
    return Ok;
}

int Exif::ParseTIFFFile() {
    header_ = 0;
    ifd0_ = slot20_ = slot04_ = 0;
    if (bytes_.empty()) return NotTiffOrExif;
    return WalkIFD0(true);
}

int Exif::ParseJPEGFile() {
    header_ = 0;
    slot20_ = 0;
    uint8_t soi[2];
    if (bytes_.empty() || !view_.copy(0, soi, 2) || soi[0] != 0xFF || soi[1] != 0xD8) return NotTiffOrExif;
    uint64_t p = 2;
    const ByteOrder saved = order_;
    for (;;) {
        uint16_t marker, length;
        if (!view_.u16(p, ByteOrder::Big, marker) || !view_.u16(p + 2, ByteOrder::Big, length)) return NotTiffOrExif;
        if (p + length >= view_.size() || marker < 0xFF00) return NotTiffOrExif;
        switch (marker) {
        case 0xFFC0: case 0xFFC4: case 0xFFD0: case 0xFFD9: case 0xFFDA: case 0xFFDB: return NoExifBeforeImage;
        default: break;
        }
        uint8_t id[4];
        if (marker == 0xFFE1 && view_.copy(p + 4, id, 4) && std::memcmp(id, "Exif", 4) == 0) {
            header_ = p + 10;
            auto tiff = view_.sub(header_, view_.size() - std::min(header_, view_.size()));
            if (!tiff || !DetectByteOrder(*tiff)) {
                order_ = saved;
                return NotTiffOrExif;
            }
            break;
        }
        p += uint64_t(length) + 2;
    }
    return WalkIFD0(false);
}

const uint8_t* Exif::Own(std::vector<uint8_t> bytes) {
    owned_.push_back(std::move(bytes));
    return owned_.back().data();
}

int Exif::ParseIFD(int flags, uint32_t offset) {
    if (offset == 0) return Ok;
    uint16_t count = 0;
    if (!ReadUInt16(header_ + offset, count)) return NotTiffOrExif;   // the directory lies outside the bytes
    if (count == 0 || count > kMaxDirectoryEntries) return BadDirectory;
    for (uint32_t i = 0; i < count; ++i) {
        ExifEntry e;
        if (!ReadEntry(header_ + offset + 2 + kEntryBytes * i, e)) break;
        if (!IsTagWanted(flags, e.tag)) continue;
        e.tag = MapTIFFEPTag(e.tag);
        if (HasTag(e.tag)) continue;
        if (e.type == TiffTypeFloat || e.type == TiffTypeDouble) continue;   // none of ours has them
        const uint64_t size = uint64_t(TiffTypeSize(e.type)) * e.count;
        if (size == 0 || size > kMaxValueBytes) continue;
        if (size > 4) {
            // Values are brought to host order in a copy of our own: the
            // held bytes stay as read, so two entries sharing a value both
            // see it right.
            std::vector<uint8_t> value(size);
            if (!view_.copy(header_ + uint64_t(e.value), value.data(), size)) continue;
            const bool swap = order_ == ByteOrder::Big;
            switch (e.type) {
            case TiffTypeAscii: value.back() = 0; break;
            case TiffTypeShort: case TiffTypeSShort:
                if (swap) for (uint64_t k = 0; k + 1 < size; k += 2) std::swap(value[k], value[k + 1]);
                break;
            case TiffTypeLong: case TiffTypeSLong: case TiffTypeRational: case TiffTypeSRational:
                if (swap) for (uint64_t k = 0; k + 3 < size; k += 4) std::reverse(value.begin() + k, value.begin() + k + 4);
                break;
            default: break;
            }
            if (IsRational(e.type)) {
                bool zero = false;
                for (uint64_t k = 4; k + 3 < size; k += 8) zero = zero || Host32(value.data() + k) == 0;
                if (zero) continue;
            }
            e.data = Own(std::move(value));
            e.value = 0;
        } else if (e.type == TiffTypeAscii) {
            if (size < 2) continue;
            e.value &= ~(0xFFu << (8 * (size - 1)));
        }
        entries_.push_back(e);
    }
    return Ok;
}

int Exif::ClearEntries() {
    entries_.clear();
    sorted_ = false;
    return 0;
}

int Exif::CollectEntries(int flags) {
    struct Step {
        int bit;
        uint32_t offset;
    };
    const Step steps[] = {{CollectExifSlot, slot04_}, {CollectTiffExif, slot20_}, {CollectIFD0, ifd0_},
                          {CollectSecondSubIFD, subIFD2_}, {CollectFirstSubIFD, subIFD1_}};
    int status = Ok;
    if (!bytes_.empty()) {
        for (const Step& s : steps) {
            if (!s.offset || !(flags & s.bit)) continue;
            status = ParseIFD(flags, s.offset);
            if (status) return status;
        }
        if (gps_ && (flags & CollectGPS)) {
            status = ParseIFD(CollectGPS, gps_);
            if (status) return status;
        }
    }
    if (sourceIsTiff_) ComputeApexValues();
    std::stable_sort(entries_.begin(), entries_.end(), [](const ExifEntry& a, const ExifEntry& b) { return a.tag < b.tag; });
    sorted_ = true;
    return Ok;
}

int Exif::GetEntriesForIFD(int kind, const std::vector<ExifEntry>** out) {
    if (!sorted_) CollectEntries(kind);
    output_.clear();
    for (const ExifEntry& e : entries_) {
        const bool wanted = (kind == KindIFD0 && InList(e.tag, kIFD0Tags)) || (kind == KindExif && InList(e.tag, kExifTags)) ||
                            (kind == KindGPS && InGPSList(e.tag));
        if (wanted) output_.push_back(e);
    }
    std::stable_sort(output_.begin(), output_.end(), [](const ExifEntry& a, const ExifEntry& b) { return a.tag < b.tag; });
    if (out) *out = &output_;
    return 0;
}

bool Exif::HasTag(uint16_t tag) const {
    return std::any_of(entries_.begin(), entries_.end(), [tag](const ExifEntry& e) { return e.tag == tag; });
}

bool Exif::RemoveTag(uint16_t tag) {
    auto it = std::find_if(entries_.begin(), entries_.end(), [tag](const ExifEntry& e) { return e.tag == tag; });
    if (it == entries_.end()) return false;
    entries_.erase(it);
    return true;
}

int Exif::SetEntry(ExifEntry entry) {
    if (!HasTag(entry.tag)) entries_.push_back(entry);
    return 0;
}

int Exif::GetEntry(int tag, ExifEntry* out) const {
    if (!out) return TagAbsent;
    *out = ExifEntry{};
    for (const ExifEntry& e : entries_)
        if (e.tag == uint16_t(tag)) {
            *out = e;
            return 0;
        }
    return TagAbsent;
}

int Exif::GetString(int tag, std::string& out) const {
    ExifEntry e;
    if (int status = GetEntry(tag, &e)) return status;
    if (e.count < 2) return TagAbsent;
    if (e.count <= 4 || !e.data) {
        char inlineText[5] = {};
        for (int i = 0; i < 4; ++i) inlineText[i] = char(e.value >> (8 * i));
        out = inlineText;
    } else {
        const char* text = reinterpret_cast<const char*>(e.data);
        out.assign(text, strnlen(text, e.count));
    }
    return 0;
}

int Exif::SetString(const std::string& text, int tag) {
    if (text.empty() || HasTag(uint16_t(tag)) || HasTag(MapTIFFEPTag(uint16_t(tag)))) return 0;
    std::vector<uint8_t> copy(text.begin(), text.end());
    copy.push_back(0);
    const uint32_t count = uint32_t(copy.size());
    ExifEntry e{uint16_t(tag), TiffTypeAscii, count, 0, nullptr};
    if (count <= 4) {
        for (uint32_t i = 0; i < count; ++i) e.value |= uint32_t(copy[i]) << (8 * i);
    }
    e.data = Own(std::move(copy));
    entries_.push_back(e);
    return 0;
}

int Exif::CopyEntry(int newTag, int sourceTag) {
    if (HasTag(uint16_t(newTag))) return 0;
    ExifEntry e;
    if (int status = GetEntry(sourceTag, &e)) return status;
    e.tag = uint16_t(newTag);
    return SetEntry(e);
}

int Exif::SetPixelDimensions(int width, int height) {
    SetEntry(ExifEntry{40962, TiffTypeLong, 1, uint32_t(width), nullptr});
    SetEntry(ExifEntry{40963, TiffTypeLong, 1, uint32_t(height), nullptr});
    return 0;
}

namespace {
std::vector<uint8_t> Pair(uint32_t num, uint32_t den) {
    std::vector<uint8_t> b(8);
    for (int i = 0; i < 4; ++i) {
        b[i] = uint8_t(num >> (8 * i));
        b[4 + i] = uint8_t(den >> (8 * i));
    }
    return b;
}

int32_t TruncToInt(double v) {
    if (!(v > -2147483648.0 && v < 2147483648.0)) return 0;
    return int32_t(v);
}
} // namespace

int Exif::SetResolution(float x, float y, int unit) {
    const float sx = x * 1000.0f, sy = y * 1000.0f;
    SetEntry(ExifEntry{282, TiffTypeRational, 1, 0, Own(Pair(uint32_t(TruncToInt(sx)), 1000))});
    SetEntry(ExifEntry{283, TiffTypeRational, 1, 0, Own(Pair(uint32_t(TruncToInt(sy)), 1000))});
    SetEntry(ExifEntry{296, TiffTypeLong, 1, uint32_t(unit), nullptr});
    return 0;
}

int Exif::ComputeApexValues() {
    double t = 0, ei = 0, n = 0;
    bool zt = false, zei = false, zn = false;
    ExifEntry et, eei, en;
    if (GetEntry(kExposureTime, &et) || GetEntry(kExposureIndex, &eei) || GetEntry(kFNumber, &en)) return ApexInputMissing;
    if (!RationalOf(et, t, zt) || !RationalOf(eei, ei, zei) || !RationalOf(en, n, zn)) return ApexInputMissing;
    // A zero (or negative) input has no logarithm.
    if (zt || zei || zn || t <= 0 || ei <= 0 || n <= 0) return ApexInputMissing;
    const double tv = -std::log2(t), av = 2.0 * std::log2(n), bv = av + tv - std::log2(0.32 * ei);
    SetEntry(ExifEntry{kAperture, TiffTypeRational, 1, 0, Own(Pair(uint32_t(TruncToInt(av * 1024)), 1024))});
    SetEntry(ExifEntry{kShutterSpeed, TiffTypeSRational, 1, 0, Own(Pair(uint32_t(TruncToInt(tv * 1024)), 1024))});
    SetEntry(ExifEntry{kBrightness, TiffTypeSRational, 1, 0, Own(Pair(uint32_t(TruncToInt(bv * 1024)), 1024))});
    return 0;
}

bool Exif::IsGPSValid() const {
    if (!gps_ || bytes_.empty()) return false;
    uint16_t count = 0;
    if (!ReadUInt16(header_ + gps_, count) || count == 0 || count > kMaxDirectoryEntries) return false;
    for (uint32_t i = 0; i < count; ++i) {
        ExifEntry e;
        if (!ReadEntry(header_ + gps_ + 2 + kEntryBytes * i, e)) return false;
        if (!IsRational(e.type)) continue;
        if (e.count < 1 || e.count > 4) return false;
        for (uint32_t k = 0; k < e.count; ++k) {
            uint32_t den;
            if (!ReadUInt32(header_ + uint64_t(e.value) + 8 * k + 4, den) || den == 0) return false;
        }
    }
    return true;
}

} // namespace NimbalCore
