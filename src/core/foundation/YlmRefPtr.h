#pragma once
// A counted pointer to an object with an intrusive count (YlmRefCount). The
// holder that releases the last reference deletes the object through its
// virtual destructor.

namespace NimbalCore {

template <typename T>
class YlmRefPtr {
public:
    YlmRefPtr() = default;
    YlmRefPtr(T* object) : object_(object) {
        if (object_) object_->AddReference();
    }
    YlmRefPtr(const YlmRefPtr& other) : YlmRefPtr(other.object_) {}
    template <typename U>
    YlmRefPtr(const YlmRefPtr<U>& other) : YlmRefPtr(other.Get()) {}
    ~YlmRefPtr() { Reset(); }

    YlmRefPtr& operator=(const YlmRefPtr& other) { return *this = other.object_; }
    YlmRefPtr& operator=(T* object) {
        if (object == object_) return *this;
        T* old = object_;
        object_ = object;
        if (object_) object_->AddReference();
        if (old && old->RemoveReference()) delete old;
        return *this;
    }

    void Reset() {
        T* old = object_;
        object_ = nullptr;
        if (old && old->RemoveReference()) delete old;
    }

    T* Get() const { return object_; }
    T* operator->() const { return object_; }
    T& operator*() const { return *object_; }
    explicit operator bool() const { return object_ != nullptr; }

private:
    T* object_ = nullptr;
};

} // namespace NimbalCore
