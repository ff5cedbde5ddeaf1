#pragma once
// One strip of a picture resampled with a prepared resampling filter: the
// affine plan's stages run pass by pass, intermediates carved out of the
// caller's work picture, and what lies outside the source left alone,
// repeated from the edge or filled, per plane.
#include "FpProgress.h"
#include "FpRecords.h"
#include "FpResamplePass.h"
#include "FpStatus.h"
#include "Kestra.h"

namespace kestra {

enum : FpStatus {
    FpSmallIntermediate = 568,
    FpEmptyIntermediate = 579,
    FpEmptySource = 587,
};

using FpResampleFunction = FpStatus (*)(const FpResampleArgs&);

FpStatus FpMidRect(const FpAffineStage& stage, const PSFRect& source, const PSFRect& destination, bool relative,
                   PSFRect& out);
PSFRect FpMapRectThroughStage(const FpAffineStage& stage, const PSFRect& r);
// The input of the next stage of a strip of a filter that resamples both
// axes (mode 4): the stage's result gives up the margin at every side that
// does not lie on the picture's extent, as far as it is wider than twice
// the margin.
void FpTrimStageResult(int32_t mode, int32_t margin, const PSFRect& extent, PSFRect& r);
// The width and height of a picture carved out of the work picture over r.
int32_t FpCarvedWidth(const PSFRect& r);
int32_t FpCarvedHeight(const PSFRect& r);
int32_t FpCheckPictureRect(const PSFPicture* picture);
void FpFillOutside(const PSFPicture& destination, const PSFRect& done, const FpEdgeRecord* edges);
FpStatus FpCarveWorkPicture(bool fromEnd, const PSFRect& r, const PSFPicture& work, PSFPicture& out);
// The part of the destination a stage writes; destinationBuffer is where
// the destination's plane data lie.
PSFPicture FpStageDestView(const FpAffineStage& stage, const PSFRect& source, const PSFPicture& destination,
                           const PSFRect& destinationBuffer);

FpStatus FpScaleStrip(Handle filter, const PSFPicture* source, PSFPicture* work, const PSFPicture* destination,
                      const FpEdgeRecord* edges, FpRunRecord& run, int32_t mode,
                      FpResampleFunction pass = FpResamplePass);
// The processor's entry: restores the filter's geometry into the thread.
FpStatus FpScale(Handle filter, const PSFPicture* source, PSFPicture* work, const PSFPicture* destination,
                 const FpEdgeRecord* edges, const FpRunRecord& run, int32_t mode,
                 FpResampleFunction pass = FpResamplePass);

} // namespace kestra
