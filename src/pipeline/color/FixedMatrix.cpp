#include "FixedMatrix.h"

#include "IntOps.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace {

// Rounds half away from zero and saturates, so a wild value from a file can never
// reach an undefined float-to-int conversion.
int32_t RoundToInt32(double v) {
    if (std::isnan(v)) return 0;
    const double r = std::round(v);
    if (r >= double(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
    if (r <= double(std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
    return int32_t(r);
}

int32_t TruncToInt32(double v) {
    if (std::isnan(v)) return 0;
    const double r = std::trunc(v);
    if (r >= double(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
    if (r <= double(std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
    return int32_t(r);
}

bool ShapeFits(int32_t rows, int32_t cols) { return rows >= 1 && rows <= 3 && cols >= 1 && cols <= 3; }

} // namespace

FixedMatrix::FixedMatrix() : coefficients(store) {}

bool FixedMatrix::IsValid() const { return coefficients == nullptr || valid != 0; }

VqStatus FixedMatrix::GetNumerators(int32_t* out) const {
    if (!out || !coefficients) return VQ_ERR_BAD_HANDLE;
    std::memcpy(out, coefficients, sizeof(int32_t) * size_t(rows * cols));
    return 0;
}

VqStatus FixedMatrix::GetAsDoubles(double* out) const {
    if (!out || !coefficients) return VQ_ERR_BAD_HANDLE;
    if (denominator == 0) return VQ_ERR_MATRIX_SUM_RANGE;
    for (int32_t i = 0; i < rows * cols; ++i) out[i] = double(coefficients[i]) / denominator;
    return 0;
}

VqStatus FixedMatrix::Set(const int32_t* values, int32_t r, int32_t c, int32_t d) {
    if (!values) return VQ_ERR_BAD_HANDLE;
    // More than nine entries would run past the coefficient array.
    if (d == 0 || !ShapeFits(r, c)) return VQ_ERR_MATRIX_SUM_RANGE;
    coefficients = store;
    rows = r;
    cols = c;
    denominator = d;
    std::memcpy(store, values, sizeof(int32_t) * size_t(r * c));
    valid = 1;
    return 0;
}

VqStatus FixedMatrix::SetFromDoubles(const double* values, int32_t r, int32_t c, int32_t d) {
    if (!values) return VQ_ERR_BAD_HANDLE;
    if (!ShapeFits(r, c) || d <= 0) return VQ_ERR_MATRIX_SUM_RANGE;
    coefficients = store;
    rows = r;
    cols = c;
    denominator = d;
    for (int32_t i = 0; i < r * c; ++i) store[i] = TruncToInt32(double(d) * values[i]);
    valid = 1;
    return 0;
}

VqStatus FixedMatrix::ApplyToDoubles(const double* in, double* out, int32_t inCount, int32_t outCount) const {
    if (inCount != cols || outCount != rows) return VQ_ERR_MATRIX_SIZE_MISMATCH;
    if (!in || !out || !coefficients) return VQ_ERR_BAD_HANDLE;
    if (denominator == 0) return VQ_ERR_MATRIX_SUM_RANGE;
    for (int32_t i = 0; i < rows; ++i) {
        double sum = 0;
        for (int32_t j = 0; j < cols; ++j) sum += double(coefficients[i * cols + j]) * in[j];
        double v = sum / denominator;
        if (v > maximum) v = maximum;
        if (v < minimum) v = minimum;
        out[i] = v;
    }
    return 0;
}

VqStatus FixedMatrix::CombineWithRowTables(const RationalValue* x, RationalValue* y, bool requireEqualRowSums) const {
    if (!x || !y || !coefficients) return VQ_ERR_BAD_HANDLE;
    const int32_t* m = coefficients;
    const int64_t s = int64_t(m[0]) + m[1] + m[2];
    if (requireEqualRowSums) {
        for (int i = 1; i < 3; ++i)
            if (int64_t(m[3 * i]) + m[3 * i + 1] + m[3 * i + 2] != s) return VQ_ERR_ROW_SUMS_DIFFER;
    }
    for (int t = 0; t < 9; ++t)
        if (x[t].denominator == 0) return VQ_ERR_MATRIX_SUM_RANGE;
    RationalValue result[9];
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            double sum = 0;
            for (int t = 0; t < 3; ++t)
                sum += double(x[3 * i + t].numerator) / x[3 * i + t].denominator * m[3 * t + j];
            result[3 * i + j] = {RoundToInt32(sum), denominator};
        }
    }
    for (int i = 0; i < 3; ++i) {
        const int64_t others = int64_t(result[3 * i + (i + 1) % 3].numerator) + result[3 * i + (i + 2) % 3].numerator;
        result[4 * i].numerator = int32_t(uint32_t(int64_t(s - others)));
    }
    std::memcpy(y, result, sizeof result);
    return 0;
}

void FixedMatrix::Scale(double factor) {
    if (!coefficients) return;
    for (int32_t i = 0; i < rows * cols; ++i) coefficients[i] = TruncToInt32(factor * coefficients[i]);
}

VqStatus FixedMatrix::Inverse(double* out) const {
    if (!out) return VQ_ERR_BAD_HANDLE;
    if (rows != 3 || cols != 3) return VQ_ERR_MATRIX_SIZE_MISMATCH;
    double a[9];
    if (VqStatus st = GetAsDoubles(a)) return st;
    const double c00 = a[4] * a[8] - a[5] * a[7];
    const double c01 = a[5] * a[6] - a[3] * a[8];
    const double c02 = a[3] * a[7] - a[4] * a[6];
    const double det = a[0] * c00 + a[1] * c01 + a[2] * c02;
    if (det == 0.0) return VQ_ERR_MATRIX_SUM_RANGE;
    out[0] = c00 / det;
    out[1] = (a[2] * a[7] - a[1] * a[8]) / det;
    out[2] = (a[1] * a[5] - a[2] * a[4]) / det;
    out[3] = c01 / det;
    out[4] = (a[0] * a[8] - a[2] * a[6]) / det;
    out[5] = (a[2] * a[3] - a[0] * a[5]) / det;
    out[6] = c02 / det;
    out[7] = (a[1] * a[6] - a[0] * a[7]) / det;
    out[8] = (a[0] * a[4] - a[1] * a[3]) / det;
    return 0;
}

VqStatus FixedMatrix::InvertInPlace() {
    double inv[9];
    if (VqStatus st = Inverse(inv)) return st;
    return SetFromDoubles(inv, 3, 3, 4096);
}

VqStatus FixedMatrix::SetRationalsAndInvert(const RationalValue* values) {
    if (!values) return VQ_ERR_BAD_HANDLE;
    SetFromRationals(values);
    return InvertInPlace();
}

void FixedMatrix::GetSize(int32_t* rowsOut, int32_t* colsOut) const {
    if (rowsOut) *rowsOut = rows;
    if (colsOut) *colsOut = cols;
}

void FixedMatrix::SetFromRationals(const RationalValue* values) {
    if (!values) return;
    coefficients = store;
    rows = 3;
    cols = 3;
    for (int i = 0; i < 9; ++i) store[i] = values[i].numerator;
    denominator = values[0].denominator;
    valid = 1;
}

VqStatus FixedMatrix::RationalsToFixed(RationalValue* x, int32_t n, int32_t* denominatorOut, int32_t* shiftOut) {
    if (!x || !denominatorOut || !shiftOut || n <= 0 || n > 3) return VQ_ERR_BAD_HANDLE;
    const int32_t d = x[0].denominator;
    uint32_t s = 0;
    const bool powerOfTwo = lumora::intLog2(d, s);
    *denominatorOut = d;
    *shiftOut = int32_t(s);
    if (powerOfTwo) return 0;

    // Every entry is divided by its own denominator below, and the new
    // denominator must stay a positive 32-bit power of two.
    if (d <= 0 || s >= 30) return VQ_ERR_MATRIX_SUM_RANGE;
    for (int32_t i = 0; i < n * n; ++i)
        if (x[i].denominator == 0) return VQ_ERR_MATRIX_SUM_RANGE;

    int64_t rowSum[3] = {};
    for (int32_t i = 0; i < n; ++i)
        for (int32_t j = 0; j < n; ++j) rowSum[i] += x[i * n + j].numerator;
    for (int32_t i = 1; i < n; ++i)
        if (rowSum[i] != rowSum[i - 1]) return VQ_ERR_ROW_SUMS_DIFFER;

    const int64_t dNew = int64_t(1) << (s + 1);
    *denominatorOut = int32_t(dNew);
    *shiftOut = int32_t(s + 1);
    const int64_t target = RoundToInt32(double(rowSum[0]) / d * double(dNew));
    for (int32_t i = 0; i < n * n; ++i) {
        const int64_t scaled = dNew * x[i].numerator;
        const int64_t v = scaled >= 0 ? (scaled + d / 2) / x[i].denominator : (scaled - d / 2) / x[i].denominator;
        x[i].numerator = int32_t(uint32_t(uint64_t(v)));
        x[i].denominator = int32_t(dNew);
    }
    for (int32_t i = 0; i < n; ++i) {
        int64_t sum = 0;
        for (int32_t j = 0; j < n; ++j) sum += x[i * n + j].numerator;
        RationalValue& diag = x[i * n + i];
        diag.numerator = int32_t(uint32_t(uint64_t(diag.numerator + (target - sum))));
    }
    return 0;
}

VqStatus FixedMatrix::MultiplyRationals(const RationalValue* a, const RationalValue* b, RationalValue* out, int32_t n) {
    if (!a || !b || !out || n <= 0 || n > 3) return VQ_ERR_BAD_HANDLE;
    for (int32_t i = 0; i < n * n; ++i)
        if (a[i].denominator == 0 || b[i].denominator == 0) return VQ_ERR_MATRIX_SUM_RANGE;
    const int32_t c = a[0].denominator < b[0].denominator ? a[0].denominator : b[0].denominator;
    RationalValue result[9];
    for (int32_t i = 0; i < n; ++i) {
        for (int32_t j = 0; j < n; ++j) {
            double sum = 0;
            // Both factors are turned into doubles first, then multiplied: the
            // order decides how a product that lies on a half rounds.
            for (int32_t t = 0; t < n; ++t) {
                const double x = double(a[i * n + t].numerator) / a[i * n + t].denominator;
                const double y = double(b[t * n + j].numerator) / b[t * n + j].denominator;
                sum += x * y;
            }
            result[i * n + j] = {RoundToInt32(double(c) * sum), c};
        }
    }
    std::memcpy(out, result, sizeof(RationalValue) * size_t(n * n));
    return 0;
}

bool FixedMatrix::AllDenominatorsSet(const RationalValue* values) {
    if (!values) return false;
    for (int i = 0; i < 9; ++i)
        if (values[i].denominator == 0) return false;
    return true;
}

bool FixedMatrix::IsIdentityRationals(const RationalValue* values) {
    if (!values) return false;
    for (int i = 0; i < 9; ++i) {
        if (i % 4 == 0) {
            if (values[i].denominator == 0 || values[i].numerator != values[i].denominator) return false;
        } else if (values[i].numerator != 0) {
            return false;
        }
    }
    return true;
}

VqStatus FixedMatrix::FindStoredMatrix(const RationalValue* storedSets, const RationalValue* values, int32_t* indexOut) {
    if (!storedSets || !values || !indexOut) return VQ_ERR_BAD_HANDLE;
    for (int32_t set = 0; set < 4; ++set) {
        bool match = true;
        for (int i = 0; i < 9 && match; ++i) match = storedSets[set * 9 + i].numerator == values[i].numerator;
        if (match) {
            *indexOut = set;
            return 0;
        }
    }
    return VQ_ERR_BAD_BALANCE_KIND;
}

VqStatus FixedMatrix::BalanceRowSums(RationalValue* x) {
    if (!x) return VQ_ERR_BAD_HANDLE;
    int64_t sums[3];
    for (int i = 0; i < 3; ++i) sums[i] = int64_t(x[3 * i].numerator) + x[3 * i + 1].numerator + x[3 * i + 2].numerator;
    if (sums[0] == sums[1] && sums[1] == sums[2]) return 0;
    int64_t target = sums[0];
    for (int i = 1; i < 3; ++i)
        if (sums[i] > target) target = sums[i];
    VqStatus status = 0;
    for (int i = 0; i < 3; ++i) {
        const int64_t shortfall = target - sums[i];
        if (shortfall == 0) continue;
        int smallest = 0;
        for (int j = 1; j < 3; ++j)
            if (x[3 * i + j].numerator <= x[3 * i + smallest].numerator) smallest = j;
        RationalValue& e = x[3 * i + smallest];
        e.numerator = int32_t(uint32_t(uint64_t(e.numerator + shortfall)));
        if (shortfall >= 3) status = VQ_ERR_ROW_SUMS_DIFFER;
    }
    return status;
}

void FixedMatrix::InitFromRationals(VqStatus* status, const RationalValue* nine, int32_t r, int32_t c,
                                    int32_t max, int32_t min) {
    if (!nine) {
        if (status) *status = VQ_ERR_BAD_HANDLE;
        return;
    }
    RationalValue values[9];
    std::memcpy(values, nine, sizeof values);
    rows = r;
    cols = c;
    maximum = max;
    minimum = min;
    int32_t d = 0, s = 0;
    const VqStatus st = RationalsToFixed(values, 3, &d, &s);
    if (status) *status = st;
    if (st == 0) {
        denominator = d;
        shift = s;
        half = d / 2;
        for (int i = 0; i < 9; ++i) store[i] = values[i].numerator;
    }
    valid = st == 0;
}
