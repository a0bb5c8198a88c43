#pragma once
#include <cstdint>
#include <utility>

// Move-only owner of a Win32 handle; the closer runs exactly once, on reset or destruction.
// The empty value is given by its bits: INVALID_HANDLE_VALUE is a cast, not a constant expression, so it
// cannot be a pointer template argument itself.
template <class Handle, auto Close, intptr_t EmptyBits = 0>
class Unique {
    static Handle Empty() { return reinterpret_cast<Handle>(EmptyBits); }

public:
    Unique() = default;
    explicit Unique(Handle handle) : handle_(handle) {}
    Unique(const Unique&) = delete;
    Unique& operator=(const Unique&) = delete;
    Unique(Unique&& other) noexcept : handle_(other.release()) {}
    Unique& operator=(Unique&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~Unique() { reset(); }

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != Empty(); }
    // Gives up ownership, e.g. when a submenu is appended to its parent with MF_POPUP.
    Handle release() { return std::exchange(handle_, Empty()); }
    void reset(Handle handle = Empty()) {
        Handle old = std::exchange(handle_, handle);
        if (old != Empty()) Close(old);
    }

private:
    Handle handle_ = reinterpret_cast<Handle>(EmptyBits);
};
