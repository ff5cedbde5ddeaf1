#pragma once
// Integer colour matrices: entries over one power-of-two denominator, so pixels
// are converted with multiply-adds, one rounding shift and a clamp.
#include "RationalValue.h"
#include "VqStatus.h"

#include <cstdint>

class FixedMatrix {
public:
    FixedMatrix();
    FixedMatrix(const FixedMatrix&) = delete;
    FixedMatrix& operator=(const FixedMatrix&) = delete;
    virtual ~FixedMatrix() = default;

    virtual bool IsValid() const;
    virtual VqStatus GetNumerators(int32_t* out) const;
    virtual VqStatus GetAsDoubles(double* out) const;
    virtual VqStatus Set(const int32_t* values, int32_t rows, int32_t cols, int32_t denominator);
    virtual VqStatus SetFromDoubles(const double* values, int32_t rows, int32_t cols, int32_t denominator);
    virtual VqStatus ApplyToDoubles(const double* in, double* out, int32_t inCount, int32_t outCount) const;
    virtual VqStatus CombineWithRowTables(const RationalValue* x, RationalValue* y, bool requireEqualRowSums) const;
    virtual void Scale(double factor);
    virtual VqStatus Inverse(double* out) const;
    virtual VqStatus InvertInPlace();
    virtual VqStatus SetRationalsAndInvert(const RationalValue* values);
    virtual void GetSize(int32_t* rowsOut, int32_t* colsOut) const;

    void SetFromRationals(const RationalValue* values);

    static VqStatus RationalsToFixed(RationalValue* values, int32_t n, int32_t* denominatorOut, int32_t* shiftOut);
    static VqStatus MultiplyRationals(const RationalValue* a, const RationalValue* b, RationalValue* out, int32_t n);
    static bool AllDenominatorsSet(const RationalValue* values);
    static bool IsIdentityRationals(const RationalValue* values);
    static VqStatus FindStoredMatrix(const RationalValue* storedSets, const RationalValue* values, int32_t* indexOut);
    static VqStatus BalanceRowSums(RationalValue* values);

    int32_t* coefficients;
    int32_t rows = 3;
    int32_t cols = 3;
    int32_t maximum = 4095;
    int32_t minimum = 0;
    int32_t valid = 0;
    int32_t denominator = 4096;
    int32_t shift = 0;
    int32_t half = 2048;
    int32_t store[9] = {};

protected:
    int32_t Clamp(int64_t v) const { return v < minimum ? minimum : (v > maximum ? maximum : int32_t(v)); }
    // Builds an applier from nine rationals, which are taken by value (the
    // caller's stay as they were); the status goes to the caller.
    void InitFromRationals(VqStatus* status, const RationalValue* nine, int32_t rows, int32_t cols, int32_t maximum,
                           int32_t minimum);
};
