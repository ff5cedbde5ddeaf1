#include "TiffTypeSize.h"

#include "TiffTag.h"

namespace NimbalCore {

uint32_t TiffTypeSize(uint16_t type) {
    switch (type) {
    case TiffTypeByte: case TiffTypeAscii: case TiffTypeSByte: case TiffTypeUndefined: return 1;
    case TiffTypeShort: case TiffTypeSShort: return 2;
    case TiffTypeLong: case TiffTypeSLong: return 4;
    case TiffTypeRational: case TiffTypeSRational: case TiffTypeFloat: case TiffTypeDouble: return 8;
    default: return 0;
    }
}

} // namespace NimbalCore
