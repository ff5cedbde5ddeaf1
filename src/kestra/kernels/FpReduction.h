#pragma once
// Changing a kernel's size. Enlarging pads with zeros; reducing cuts two taps
// at a time and refits the shorter kernel by weighted least squares so that
// its sum, a tapered second moment, its response to an alternating pattern
// and its centre tap stay as close as they can.
#include "FpRecords.h"
#include "FpStatus.h"

namespace kestra {

// Rows of equally sized elements over one data block.
struct FpMatrix {
    void** rows;
    void* data;
    int32_t count;
    int32_t columns;
};

bool FpNewMatrix(int32_t rows, int32_t columns, int32_t elementSize, FpMatrix& m);
void FpFreeMatrix(FpMatrix& m);
inline int16_t* FpRow16(const FpMatrix& m, int32_t r) { return static_cast<int16_t*>(m.rows[r]); }
inline double* FpRowD(const FpMatrix& m, int32_t r) { return static_cast<double*>(m.rows[r]); }

struct FpReductionStep {
    int32_t size;
    int32_t constraintCount;
    int32_t probeCount;
    int32_t fractionBits;
    FpMatrix constraints;
    FpMatrix probes;
    FpMatrix projections;
    double** normalRows;
    double* normalBase;
};

struct FpReduction {
    int32_t oldSize;
    int32_t newSize;
    FpReductionStep* steps;
    double* storage;
};

bool FpConstraintRows(int32_t m, int32_t f, FpMatrix& rows);
bool FpProbeRows(int32_t m, int32_t f, int32_t& count, FpMatrix& rows);
void FpBlendConstraintRows(FpMatrix& rows, const FpMatrix& larger, int32_t count, int32_t m);
FpStatus FpNewReductionStep(int32_t m, int32_t f, FpReductionStep& step, const FpReductionStep* larger);
FpStatus FpAttachNormalRows(FpReductionStep& step, double* storage);
void FpFreeReductionStep(FpReductionStep& step);
FpStatus FpNewReduction(int32_t n, int32_t N, int32_t f, FpReduction& plan);
void FpFreeReduction(FpReduction& plan);
void FpProjectKernel(const int16_t* taps, double* out, const FpReductionStep& step);
const double* FpSolveReductionStep(const double* a, const double* b, const FpReductionStep& step);
bool FpGaussJordan(double** rows, int32_t n, int32_t w);
// taps holds m taps and is cut to m - 2 in place; smaller is the step of
// size m - 2.
void FpReduceKernelBy2(int16_t* taps, int32_t m, const FpReductionStep& step, const FpReductionStep& smaller);

void FpCopyKernels(const FpKernelSet& old, FpKernelSet& out);
FpStatus FpShrinkKernels(const FpKernelSet& old, FpKernelSet& out);

} // namespace kestra
