#pragma once

#include <utility>

namespace quillon::platform {

// Owns one handle of the operating system (a file descriptor, a Windows HANDLE) and closes it
// when the owner ends, however it ends. Traits name the value that holds nothing and how a
// handle is closed:
//   struct Traits {
//       static Value Invalid();
//       static void Close(Value handle);
//   };
template <typename Traits>
class UniqueHandle {
public:
    using Value = decltype(Traits::Invalid());

    UniqueHandle() noexcept : value_(Traits::Invalid()) {}
    explicit UniqueHandle(Value value) noexcept : value_(value) {}
    UniqueHandle(UniqueHandle&& other) noexcept : value_(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            Reset(other.Release());
        }
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { Reset(Traits::Invalid()); }

    Value Get() const noexcept { return value_; }
    bool Valid() const noexcept { return value_ != Traits::Invalid(); }
    // Gives the handle up without closing it.
    Value Release() noexcept { return std::exchange(value_, Traits::Invalid()); }
    // Closes what is held and holds `value` instead.
    void Reset(Value value) noexcept {
        const Value old = std::exchange(value_, value);
        if (old != Traits::Invalid()) {
            Traits::Close(old);
        }
    }

private:
    Value value_;
};

}  // namespace quillon::platform
