#include "IccProfile.h"

#include "CmsLibrary.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace orvexcms {

using lumora::ByteOrder;
using lumora::ByteReader;
using lumora::ByteView;

namespace {

constexpr uint32_t sig(const char (&s)[5]) {
    return uint32_t(uint8_t(s[0])) << 24 | uint32_t(uint8_t(s[1])) << 16 | uint32_t(uint8_t(s[2])) << 8 |
           uint32_t(uint8_t(s[3]));
}

// A file read whole, refusing sizes we would not hold.
SpStatus readFile(const char* path, uint64_t limit, std::vector<uint8_t>& out) {
    if (!path || !path[0]) return SpStatBadArgument;
    FILE* f = std::fopen(path, "rb");
    if (!f) return SpStatFileNotFound;
    SpStatus status = SpStatSuccess;
    out.clear();
    uint8_t chunk[65536];
    for (;;) {
        const size_t n = std::fread(chunk, 1, sizeof chunk, f);
        if (n == 0) break;
        if (out.size() + n > limit) {
            status = SpStatNotAProfile;
            break;
        }
        out.insert(out.end(), chunk, chunk + n);
    }
    if (status == SpStatSuccess && std::ferror(f)) status = SpStatReadFailed;
    std::fclose(f);
    return status;
}

} // namespace

SpStatus IccProfile::parseHeader(ByteView bytes, SpHeader& h) {
    h = SpHeader{};
    if (bytes.size() < kHeaderSize) return SpStatNotAProfile;
    ByteReader r(bytes, ByteOrder::Big);
    uint32_t magic = 0;
    r.u32(h.profileSize);
    r.u32(h.preferredCMM);
    r.u32(h.version);
    r.u32(h.deviceClass);
    r.u32(h.dataColorSpace);
    r.u32(h.connectionSpace);
    for (auto& v : h.dateTime) r.u16(v);
    r.u32(magic);
    r.u32(h.platform);
    r.u32(h.flags);
    r.u32(h.deviceManufacturer);
    r.u32(h.deviceModel);
    r.u32(h.attributes[0]);
    r.u32(h.attributes[1]);
    r.u32(h.renderingIntent);
    for (auto& v : h.illuminant) {
        uint32_t u = 0;
        r.u32(u);
        v = int32_t(u);
    }
    r.u32(h.creator);
    r.bytes(h.profileID, sizeof h.profileID);
    if (!r.ok()) return SpStatNotAProfile;
    if (magic != sig("acsp") || h.profileSize < kHeaderSize + 4) return SpStatNotAProfile;
    return SpStatSuccess;
}

SpStatus IccProfile::headerOfFile(const char* path, SpHeader& header) {
    header = SpHeader{};
    if (!path || !path[0]) return SpStatBadArgument;
    FILE* f = std::fopen(path, "rb");
    if (!f) return SpStatFileNotFound;
    uint8_t head[kHeaderSize];
    const size_t n = std::fread(head, 1, sizeof head, f);
    const bool failed = std::ferror(f);
    std::fclose(f);
    if (failed) return SpStatReadFailed;
    return parseHeader(ByteView(head, n), header);
}

SpStatus IccProfile::fromBytes(std::vector<uint8_t> bytes, bool exactSize,
                               std::shared_ptr<const IccProfile>& out) {
    out.reset();
    std::shared_ptr<IccProfile> p(new (std::nothrow) IccProfile);
    if (!p) return SpStatNoMemory;
    const ByteView all(bytes.data(), bytes.size());
    if (SpStatus s = parseHeader(all, p->header_); s) return s;
    const uint64_t declared = p->header_.profileSize;
    if (declared > all.size() || declared > kMaxProfileSize) return SpStatNotAProfile;
    if (exactSize) bytes.resize(declared);
    const ByteView view(bytes.data(), declared);

    // The tag directory: every entry must lie inside the profile.
    ByteReader r(view, ByteOrder::Big);
    r.seek(kHeaderSize);
    uint32_t count = 0;
    if (!r.u32(count) || !view.containsArray(kHeaderSize + 4, count, 12)) return SpStatNotAProfile;
    p->tags_.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        TagEntry t{};
        r.u32(t.signature);
        r.u32(t.offset);
        r.u32(t.size);
        if (!r.ok() || !view.contains(t.offset, t.size)) return SpStatNotAProfile;
        p->tags_.push_back(t);
    }
    p->bytes_ = std::move(bytes);

    // What the engine cannot open is no use to anybody: refuse it now rather
    // than at the first transform.
    cmsHPROFILE h = p->openLcms(CmsLibrary::instance().context());
    if (!h) return SpStatNotAProfile;
    cmsCloseProfile(h);
    out = std::move(p);
    return SpStatSuccess;
}

SpStatus IccProfile::fromFile(const char* path, std::shared_ptr<const IccProfile>& out) {
    out.reset();
    std::vector<uint8_t> bytes;
    if (SpStatus s = readFile(path, kMaxProfileSize, bytes); s) return s;
    return fromBytes(std::move(bytes), false, out);
}

const IccProfile::TagEntry* IccProfile::findTag(uint32_t signature) const {
    for (const auto& t : tags_)
        if (t.signature == signature) return &t;
    return nullptr;
}

bool IccProfile::hasTag(uint32_t signature) const { return findTag(signature) != nullptr; }

cmsHPROFILE IccProfile::openLcms(cmsContext context) const {
    return cmsOpenProfileFromMemTHR(context, bytes_.data(), cmsUInt32Number(bytes_.size()));
}

SpStatus IccProfile::readDescription(std::string& text) const {
    text.clear();
    cmsHPROFILE h = openLcms(CmsLibrary::instance().context());
    if (!h) return SpStatTagUnreadable;
    SpStatus status = SpStatTagUnreadable;
    if (auto* mlu = static_cast<const cmsMLU*>(cmsReadTag(h, cmsSigProfileDescriptionTag))) {
        const cmsUInt32Number n = cmsMLUgetASCII(mlu, cmsNoLanguage, cmsNoCountry, nullptr, 0);
        if (n > 0) {
            std::vector<char> buf(n);
            cmsMLUgetASCII(mlu, cmsNoLanguage, cmsNoCountry, buf.data(), n);
            text.assign(buf.data());
        }
        status = SpStatSuccess;
    }
    cmsCloseProfile(h);
    return status;
}

SpStatus IccProfile::readTag(uint32_t signature, SpTagValue& value) const {
    value = SpTagValue{};
    const TagEntry* t = findTag(signature);
    if (!t) return SpStatTagNotFound;
    const ByteView view(bytes_.data(), bytes_.size());
    const auto stored = view.sub(t->offset, t->size);
    if (!stored) return SpStatTagUnreadable;
    uint32_t type = 0;
    stored->u32(0, ByteOrder::Big, type);

    std::string text;
    bool isText = false;
    if (signature == sig("desc")) {
        if (SpStatus s = readDescription(text); s) return s;
        isText = true;
    } else if (type == sig("text")) {
        // 'text': type, 4 reserved bytes, ASCII up to the first NUL.
        if (stored->size() < 8) return SpStatTagUnreadable;
        const char* p = reinterpret_cast<const char*>(stored->data() + 8);
        text.assign(p, strnlen(p, stored->size() - 8));
        isText = true;
    } else if (type == sig("desc")) {
        // textDescription: type, reserved, ASCII count (with its NUL), ASCII.
        uint32_t count = 0;
        if (!stored->u32(8, ByteOrder::Big, count) || !stored->contains(12, count))
            return SpStatTagUnreadable;
        const char* p = reinterpret_cast<const char*>(stored->data() + 12);
        text.assign(p, strnlen(p, count));
        isText = true;
    }

    auto* data = static_cast<uint8_t*>(std::malloc(stored->size() ? stored->size() : 1));
    auto* copy = static_cast<char*>(std::malloc(text.size() + 1));
    if (!data || !copy) {
        std::free(data);
        std::free(copy);
        return SpStatNoMemory;
    }
    if (stored->size()) std::memcpy(data, stored->data(), stored->size());
    std::memcpy(copy, text.c_str(), text.size() + 1);
    value.signature = signature;
    value.typeCode = isText ? SpTagTypeText : SpTagTypeData;
    value.typeSignature = type;
    value.textLength = uint32_t(text.size());
    value.text = copy;
    value.dataSize = uint32_t(stored->size());
    value.data = data;
    return SpStatSuccess;
}

} // namespace orvexcms
