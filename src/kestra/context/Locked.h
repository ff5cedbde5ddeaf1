#pragma once
// A movable buffer of the colour library held locked for one scope: the
// pointer is good until the scope ends (or release()), which gives the lock
// back on every path.
#include "ORVEXCMS.h"

#include <cstdint>
#include <utility>

namespace kestra {

template <typename T>
class Locked {
public:
    Locked() = default;
    explicit Locked(uint32_t handle) : handle_(handle), p_(handle ? static_cast<T*>(lockBuffer(handle)) : nullptr) {}
    ~Locked() { release(); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;
    Locked(Locked&& o) noexcept : handle_(std::exchange(o.handle_, 0)), p_(std::exchange(o.p_, nullptr)) {}

    explicit operator bool() const { return p_ != nullptr; }
    T* get() const { return p_; }
    T* operator->() const { return p_; }
    T& operator*() const { return *p_; }
    uint32_t handle() const { return handle_; }

    void release() {
        if (p_) unlockBuffer(handle_);
        p_ = nullptr;
    }

private:
    uint32_t handle_ = 0;
    T* p_ = nullptr;
};

} // namespace kestra
