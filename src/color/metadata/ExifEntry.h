#pragma once
#include <cstdint>

namespace NimbalCore {

// One metadata entry in the shape of a TIFF directory entry, values in host
// byte order. A value of four bytes or less sits in `value`, left-justified
// as in a TIFF entry; a longer one is at `data`, inside the bytes the Exif
// object holds or in storage it owns (an entry never owns memory).
struct ExifEntry {
    uint16_t tag = 0;
    uint16_t type = 0;
    uint32_t count = 0;
    uint32_t value = 0;
    const uint8_t* data = nullptr;
};

} // namespace NimbalCore
