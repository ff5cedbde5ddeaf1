// Exports whose work the library does not do yet: the affine set-up and
// resampling strips. Each answers "not implemented", so that a program
// binding the whole interface loads and learns it plainly.
#include "Kestra.h"

extern "C" {

PSFStatus PSFAffineSetup(PSFFilter, const double*, const double*) { return PSFErrNotImplemented; }
PSFStatus PSFScaleSetup(PSFFilter, double, const double*, double, const double*) { return PSFErrNotImplemented; }
PSFStatus PSFScale(PSFFilter, const PSFPicture*, PSFPicture*, PSFPicture*, void*, PSFProgressProc, void*) {
    return PSFErrNotImplemented;
}

} // extern "C"
