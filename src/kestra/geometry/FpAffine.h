#pragma once
// The affine set-up of a resampling filter: a forward matrix turned into one
// or two one-dimensional passes per stage, and strong reductions split into
// a repeated stage and a final one, each pass with the resampler level that
// serves its step.
#include "FpRecords.h"
#include "FpStatus.h"

namespace kestra {

constexpr FpStatus FpSingular = 505;
constexpr int32_t kFpMaxStages = 5;

void FpMakeAffineMatrix(const double m[4], const double offset[2], double out[9]);
void FpCopyMatrix(const double source[9], double destination[9]);
void FpClearMatrix(double m[9]);
void FpSetMatrix(double m[9], double a, double b, double e, double c, double d, double f);
void FpScaleMatrixColumns(double m[9], double kx, double ky);
int32_t FpMatrixDiagonalUsable(const double m[9]);

// geometry is the thread's (or any) plan being built.
FpStatus FpSetAffine(FpGeometry& geometry, const double matrix[9], uint16_t recentre);
FpStatus FpSplitAffine(FpAffineStage& stage, uint16_t keepOrder, double* keptCopy, int32_t& resampled1,
                       int32_t& resampled2);
FpStatus FpSplitAffineInPlace(FpAffineStage& stage);
FpStatus FpPlanAffineStages(FpGeometry& geometry, double smallest, Handle attributes, int32_t& stages);
FpStatus FpSetupAffineTables(FpGeometry& geometry, Handle attributes);

// The processor's entry: the plan made in the calling thread and saved into
// the filter.
FpStatus FpAffineSetup(const double m[4], const double offset[2], Handle filter);

} // namespace kestra
