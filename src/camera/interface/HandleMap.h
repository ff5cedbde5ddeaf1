#pragma once
// A table that turns the caller's 32-bit numbers into objects. Handles come
// from a counter that lives outside the table, so they keep growing for the
// whole life of the process across every open and close of the interface.
// The table holds plain references: it never closes or deletes its objects.
#include <cstddef>
#include <cstdint>
#include <map>

namespace lumora::vq {

template <class T>
class HandleMap {
public:
    using Object = T;

    explicit HandleMap(uint32_t& counter) : counter_(counter) {}
    HandleMap(const HandleMap&) = delete;
    HandleMap& operator=(const HandleMap&) = delete;

    // The handle after counter: counter + 1, except that a number whose low 16
    // bits are 0 is passed over (so 0x10000, 0x20000, ... and 0 are never
    // issued and the counter goes on at 1 after 0xFFFFFFFF).
    static uint32_t NextHandle(uint32_t counter) {
        uint32_t next = counter + 1u;
        if ((next & 0xFFFFu) == 0) next = counter + 2u;
        return next;
    }

    // Issues the next handle and stores object under it; a null object is not
    // stored and answers 0, but the counter still moves on. Once the counter
    // has gone all the way round, a handle still in the table is passed over,
    // so a live handle never names a second object.
    int32_t Add(T* object) {
        uint32_t next = NextHandle(counter_);
        if (object) {
            while (entries_.find(int32_t(next)) != entries_.end()) next = NextHandle(next);
        }
        counter_ = next;
        if (!object) return 0;
        entries_.emplace_hint(entries_.end(), int32_t(next), object);
        return int32_t(next);
    }

    // The object under handle, or null (handle 0, unknown handle, empty table).
    T* Find(int32_t handle) const {
        if (handle == 0) return nullptr;
        auto it = entries_.find(handle);
        return it == entries_.end() ? nullptr : it->second;
    }

    // Drops handle (nothing happens for an unknown one); answers the number of
    // entries left.
    size_t Remove(int32_t handle) {
        entries_.erase(handle);
        return entries_.size();
    }

    size_t Count() const { return entries_.size(); }

protected:
    // Ordered by the handle taken as a signed number.
    std::map<int32_t, T*> entries_;

private:
    uint32_t& counter_;
};

} // namespace lumora::vq
