#include "PsfStatus.h"

#include "Kestra.h"

namespace kestra {

int32_t PsfMapStatus(FpStatus status) {
    switch (status) {
    case 1: return PSFSuccess;
    case 100: case 109: case 125: case 143: case 144: case 581: return PSFErrNoMemory;
    case 101: case 103: case 105: case 116: case 123: return PSFErrFilterUnusable;
    case 102: return PSFErrNoProcessor;
    case 107: return PSFErrFilterInUse;
    case 108: return PSFErrFilterNotInitialized;
    case 110: return PSFErrBadAttribute;
    case 114: return PSFErrNotDone;
    case 305: return PSFErrNoThreadMemory;
    case 510: case 511: case 512: case 513: case 557: case 559: case 560: case 561: case 562: return PSFErrBadPicture;
    case 547: return PSFErrCancelled;
    case 553: case 580: case 600: return PSFErrArgumentOutOfRange;
    case 558: case 572: case 573: case 574: case 575: return PSFErrInconsistentArguments;
    case 590: return PSFErrAttributeNotFound;
    default: return status;
    }
}

} // namespace kestra
