#pragma once
// A work array in a buffer of the colour library, freed when the scope ends.
#include "ORVEXCMS.h"

#include <cstdint>
#include <cstring>

namespace kestra {

template <typename T>
class FpScratch {
public:
    FpScratch() = default;
    // Cleared; check with bool() whether it was allocated.
    explicit FpScratch(int64_t count) { allocate(count); }
    ~FpScratch() { reset(); }
    FpScratch(const FpScratch&) = delete;
    FpScratch& operator=(const FpScratch&) = delete;

    bool allocate(int64_t count) {
        reset();
        const uint64_t bytes = uint64_t(count < 1 ? 1 : count) * sizeof(T);
        if (bytes > UINT32_MAX) return false;
        p_ = static_cast<T*>(allocBufferPtr(uint32_t(bytes)));
        if (p_) std::memset(static_cast<void*>(p_), 0, bytes);
        return p_ != nullptr;
    }
    void reset() {
        if (p_) freeBufferPtr(p_);
        p_ = nullptr;
    }
    explicit operator bool() const { return p_ != nullptr; }
    T* get() const { return p_; }
    T& operator[](int64_t i) const { return p_[i]; }

private:
    T* p_ = nullptr;
};

} // namespace kestra
