// Exports whose work the library does not do yet: set-up, strips and
// pictures. Each answers "not implemented",
// so that a program binding the whole interface loads and learns it plainly.
#include "Kestra.h"

extern "C" {

PSFStatus PSFSharpenSetup(PSFFilter, double, uint16_t, const uint8_t*) { return PSFErrNotImplemented; }
PSFStatus PSFSharpenSetupT(PSFFilter, double, uint16_t, const uint8_t*, int32_t) { return PSFErrNotImplemented; }
PSFStatus PSFAffineSetup(PSFFilter, const double*, const double*) { return PSFErrNotImplemented; }
PSFStatus PSFScaleSetup(PSFFilter, double, const double*, double, const double*) { return PSFErrNotImplemented; }
PSFStatus PSFRectangles(PSFFilter, PSFRect*, PSFRect*, PSFRect*, const PSFRect*, uint16_t*, uint16_t, uint16_t) {
    return PSFErrNotImplemented;
}
PSFStatus PSFStripBegin(PSFFilter, const PSFRect*) { return PSFErrNotImplemented; }
PSFStatus PSFStripEnd(PSFFilter) { return PSFErrNotImplemented; }
PSFStatus PSFSharpen(PSFFilter, const PSFPicture*, const PSFPicture*, PSFPicture*, PSFPicture*, PSFProgressProc,
                     void*) {
    return PSFErrNotImplemented;
}
PSFStatus PSFScale(PSFFilter, const PSFPicture*, PSFPicture*, PSFPicture*, void*, PSFProgressProc, void*) {
    return PSFErrNotImplemented;
}
PSFStatus PSFAllocPicture(const PSFPicture*, const PSFRect*, PSFPicture*) { return PSFErrNotImplemented; }
PSFStatus PSFFreePicture(PSFPicture*) { return PSFErrNotImplemented; }

} // extern "C"
