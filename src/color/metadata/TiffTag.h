#pragma once
// The TIFF tags and field types the builder and the Exif collector name.
#include <cstdint>

namespace NimbalCore {

enum TiffTag : uint16_t {
    TiffTagStripOffsets = 273,
    TiffTagDateTime = 306,
    TiffTagSubIFDs = 330,
    TiffTagJPEGInterchangeFormat = 513,
    TiffTagPrivateIFD = 33424,
    TiffTagIPTC = 33723,
    TiffTagExifIFD = 34665,
    TiffTagGPSInfoIFD = 34853,
    TiffTagDateTimeOriginal = 36867,
    TiffTagDateTimeDigitized = 36868,
    TiffTagInteroperabilityIFD = 40965,
};

enum TiffFieldType : uint16_t {
    TiffTypeByte = 1,
    TiffTypeAscii = 2,
    TiffTypeShort = 3,
    TiffTypeLong = 4,
    TiffTypeRational = 5,
    TiffTypeSByte = 6,
    TiffTypeUndefined = 7,
    TiffTypeSShort = 8,
    TiffTypeSLong = 9,
    TiffTypeSRational = 10,
    TiffTypeFloat = 11,
    TiffTypeDouble = 12,
};

} // namespace NimbalCore
