#pragma once
// The looks of a raw file: up to ten named rendering variants, each a tone curve
// and (for colour files) a 3x3 matrix. Files without looks answer two built-in
// looks, "Product" and "Portrait", whose matrices are the identity.
#include <array>
#include <cstdint>
#include <vector>

#include "VqStatus.h"

class LookTable {
public:
    static constexpr int kLooks = 10;
    // Nine rationals row by row: numerator, denominator, ...
    using Matrix = std::array<uint32_t, 18>;

    struct NameRecord {
        uint32_t look = 0;          // in
        uint32_t length = 0;        // out: bytes including the terminator
        const char* name = nullptr; // out: points into the table
        uint32_t usable = 0;        // out: 1 when the look can be used
    };

    // The table takes the values; setting a look's curve again replaces the old one.
    VqStatus SetCurve(int look, std::vector<uint16_t> values);
    VqStatus GetCurve(int look, uint32_t& count, const uint16_t*& values) const;
    // The table takes the matrix; null answers VQ_ERR_LOOK_TABLE_MISSING.
    VqStatus SetMatrix(int look, const Matrix* matrix);
    VqStatus GetMatrix(int look, Matrix& out) const;
    VqStatus SetNames(const uint8_t* block, uint32_t length);
    VqStatus IsComplete(int look, bool matrixRequired) const;
    int CountLooks(bool fromFile, bool matrixRequired) const;
    VqStatus GetName(NameRecord& record, bool fromFile, bool matrixRequired) const;

    static const Matrix& BuiltInMatrix();

private:
    static bool ValidIndex(int look) { return look >= 0 && look < kLooks; }

    std::array<std::vector<uint16_t>, kLooks> curves_;
    std::array<std::vector<uint32_t>, kLooks> matrices_; // empty, or 18 words
    std::vector<char> names_;                             // length + 8 zero bytes
    uint32_t namesLength_ = 0;
    bool hasNames_ = false;
};
