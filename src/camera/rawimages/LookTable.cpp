#include "LookTable.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {
// "Product", NUL, "Portrait", NUL, NUL, NUL.
constexpr char kDefaultNames[19] = {'P', 'r', 'o', 'd', 'u', 'c', 't', 0, 'P', 'o',
                                    'r', 't', 'r', 'a', 'i', 't', 0,   0, 0};
} // namespace

const LookTable::Matrix& LookTable::BuiltInMatrix() {
    // Numerator and denominator pairs, row by row: the identity over 32768.
    static const Matrix identity = {32768, 32768, 0,     32768, 0, 32768,  //
                                    0,     32768, 32768, 32768, 0, 32768,  //
                                    0,     32768, 0,     32768, 32768, 32768};
    return identity;
}

VqStatus LookTable::SetCurve(int look, std::vector<uint16_t> values) {
    if (!ValidIndex(look)) return VQ_ERR_BAD_LOOK_INDEX;
    if (values.empty()) return VQ_ERR_LOOK_MISSING;
    curves_[look] = std::move(values);
    return VQ_OK;
}

VqStatus LookTable::GetCurve(int look, uint32_t& count, const uint16_t*& values) const {
    if (!ValidIndex(look)) return VQ_ERR_BAD_LOOK_INDEX;
    if (curves_[look].empty()) return VQ_ERR_LOOK_MISSING;
    count = uint32_t(curves_[look].size());
    values = curves_[look].data();
    return VQ_OK;
}

VqStatus LookTable::SetMatrix(int look, const Matrix* matrix) {
    if (!ValidIndex(look)) return VQ_ERR_BAD_LOOK_INDEX;
    if (!matrix) return VQ_ERR_LOOK_TABLE_MISSING;
    matrices_[look].assign(matrix->begin(), matrix->end());
    return VQ_OK;
}

VqStatus LookTable::GetMatrix(int look, Matrix& out) const {
    if (!ValidIndex(look)) return VQ_ERR_BAD_LOOK_INDEX;
    if (!matrices_[look].empty()) {
        std::copy(matrices_[look].begin(), matrices_[look].end(), out.begin());
        return VQ_OK;
    }
    if (look < 2) {
        out = BuiltInMatrix();
        return VQ_OK;
    }
    return VQ_ERR_LOOK_TABLE_MISSING;
}

VqStatus LookTable::SetNames(const uint8_t* block, uint32_t length) {
    if (length && !block) return VQ_ERR_FILE_NO_MEMORY;
    std::vector<char> copy;
    try {
        copy.assign(uint64_t(length) + 8, 0);
    } catch (const std::bad_alloc&) {
        return VQ_ERR_FILE_NO_MEMORY;
    }
    if (length) std::memcpy(copy.data(), block, length);
    names_ = std::move(copy);
    namesLength_ = length;
    hasNames_ = true;
    return VQ_OK;
}

VqStatus LookTable::IsComplete(int look, bool matrixRequired) const {
    if (!ValidIndex(look)) return VQ_ERR_BAD_LOOK_INDEX;
    if (curves_[look].empty()) return VQ_ERR_LOOK_MISSING;
    if (matrixRequired) {
        const auto& m = matrices_[look];
        if (m.empty()) return VQ_ERR_LOOK_TABLE_MISSING;
        for (size_t i = 1; i < m.size(); i += 2)
            if (m[i] == 0) return VQ_ERR_LOOK_TABLE_MISSING;
    }
    return VQ_OK;
}

int LookTable::CountLooks(bool fromFile, bool matrixRequired) const {
    if (!fromFile) return 2;
    int n = 0;
    for (int i = 0; i < kLooks; ++i)
        if (IsComplete(i, matrixRequired) == VQ_OK) ++n;
    return n;
}

VqStatus LookTable::GetName(NameRecord& record, bool fromFile, bool matrixRequired) const {
    record.length = 0;
    record.name = nullptr;
    record.usable = 0;
    // The index arrives as an unsigned word; anything above 9 (a negative one
    // included) is refused.
    if (record.look >= uint32_t(kLooks)) return VQ_ERR_BAD_LOOK_INDEX;
    const int look = int(record.look);

    const char* block = kDefaultNames;
    uint32_t length = sizeof kDefaultNames;
    uint32_t usable = look < 2 ? 1 : 0;
    if (fromFile) {
        usable = IsComplete(look, matrixRequired) == VQ_OK ? 1 : 0;
        if (hasNames_) {
            block = names_.data();
            length = namesLength_;
        }
    }

    // Look n names the string after the n-th NUL of the block.
    uint32_t start = 0;
    if (look > 0) {
        int nuls = 0;
        uint32_t i = 0;
        for (; i < length; ++i) {
            if (block[i] == 0 && ++nuls == look) break;
        }
        if (i >= length) return VQ_ERR_NAME_NOT_FOUND;
        start = i + 1;
        // The block is followed by zero bytes, so an empty string there is found
        // as such rather than read past.
        if (start >= length || block[start] == 0) return VQ_ERR_NAME_NOT_FOUND;
    } else if (length == 0) {
        return VQ_ERR_NAME_NOT_FOUND;
    }
    // The stored copy carries 8 trailing zeros, so strnlen stays inside it.
    const uint64_t room = hasNames_ && block == names_.data() ? names_.size() - start : length - start;
    record.name = block + start;
    record.length = uint32_t(strnlen(record.name, room)) + 1;
    record.usable = usable;
    return VQ_OK;
}
