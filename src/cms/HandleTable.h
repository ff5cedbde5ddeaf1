#pragma once
// Objects handed to callers as 32-bit handles. A handle is never 0 and is not
// reused while its object is in the table; a caller that frees a handle while
// another thread still works with the object only drops the table's share.
#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace orvexcms {

template <typename T>
class HandleTable {
public:
    uint32_t add(std::shared_ptr<T> object) {
        std::lock_guard lock(mutex_);
        do {
            ++next_;
        } while (next_ == 0 || map_.count(next_));
        map_.emplace(next_, std::move(object));
        return next_;
    }
    std::shared_ptr<T> get(uint32_t handle) const {
        std::lock_guard lock(mutex_);
        auto it = map_.find(handle);
        return it == map_.end() ? nullptr : it->second;
    }
    std::shared_ptr<T> remove(uint32_t handle) {
        std::lock_guard lock(mutex_);
        auto it = map_.find(handle);
        if (it == map_.end()) return nullptr;
        auto object = std::move(it->second);
        map_.erase(it);
        return object;
    }
    size_t size() const {
        std::lock_guard lock(mutex_);
        return map_.size();
    }

private:
    mutable std::mutex mutex_;
    std::unordered_map<uint32_t, std::shared_ptr<T>> map_;
    uint32_t next_ = 0;
};

} // namespace orvexcms
