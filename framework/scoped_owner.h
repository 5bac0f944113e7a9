// The scope-bound owner of any handle, given how to tell an invalid one and how to
// close one: portable, so that the vendor's native tools hold their descriptors the
// way the programs hold their Win32 handles (framework/scoped.h).
#pragma once

template <typename Handle, typename Traits>
class Scoped {
 public:
    Scoped() : handle_(Traits::Invalid()) {}
    explicit Scoped(Handle h) : handle_(h) {}
    ~Scoped() { Reset(); }
    Scoped(const Scoped&) = delete;
    Scoped& operator=(const Scoped&) = delete;
    Scoped(Scoped&& other) noexcept : handle_(other.Release()) {}
    Scoped& operator=(Scoped&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }

    Handle Get() const { return handle_; }
    Handle* Receive() {
        Reset();
        return &handle_;
    }
    bool Valid() const { return handle_ != Traits::Invalid(); }
    explicit operator bool() const { return Valid(); }
    Handle Release() {
        Handle h = handle_;
        handle_ = Traits::Invalid();
        return h;
    }
    void Reset(Handle h = Traits::Invalid()) {
        if (Valid()) Traits::Close(handle_);
        handle_ = h;
    }

 private:
    Handle handle_;
};
