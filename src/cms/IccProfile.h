#pragma once
// One ICC profile as loaded: the exact bytes it came from, its header and its
// tag directory, both read directly and checked against the bytes held. The
// object never changes after it is made, so threads share it freely.
#include "ORVEXCMS.h"

#include <ByteView.h>
#include <lcms2.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orvexcms {

class IccProfile {
public:
    static constexpr uint32_t kHeaderSize = 128;
    // Profiles larger than this are refused rather than read into memory.
    static constexpr uint64_t kMaxProfileSize = 256ull << 20;

    // Checks the bytes and makes the profile. With exactSize the profile is
    // the header's size field (the caller's bytes may continue); otherwise all
    // bytes are kept, as a file is.
    static SpStatus fromBytes(std::vector<uint8_t> bytes, bool exactSize,
                              std::shared_ptr<const IccProfile>& out);
    // Reads a whole file and makes the profile.
    static SpStatus fromFile(const char* path, std::shared_ptr<const IccProfile>& out);
    // Reads the 128-byte header at the start of the bytes.
    static SpStatus parseHeader(lumora::ByteView bytes, SpHeader& header);
    // Reads just the header of a file.
    static SpStatus headerOfFile(const char* path, SpHeader& header);

    const std::vector<uint8_t>& bytes() const { return bytes_; }
    const SpHeader& header() const { return header_; }

    bool hasTag(uint32_t signature) const;
    // Fills value with library-owned copies; SpTagFree releases them.
    SpStatus readTag(uint32_t signature, SpTagValue& value) const;

    // A fresh LittleCMS handle over the bytes; the caller closes it.
    cmsHPROFILE openLcms(cmsContext context) const;

private:
    struct TagEntry {
        uint32_t signature;
        uint32_t offset;
        uint32_t size;
    };
    IccProfile() = default;
    const TagEntry* findTag(uint32_t signature) const;
    SpStatus readDescription(std::string& text) const;

    std::vector<uint8_t> bytes_;
    SpHeader header_{};
    std::vector<TagEntry> tags_;
};

} // namespace orvexcms
