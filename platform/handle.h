// One owner for every kind of platform handle: registry keys, loaded modules, files, GDI
// objects. The traits name the raw handle type, its "no handle" value and how a handle is
// released; the owner releases it exactly once and cannot be copied.
#pragma once

#include <utility>

namespace platform {

template <typename Traits>
class UniqueHandle {
  public:
    using pointer = typename Traits::pointer;

    UniqueHandle() noexcept = default;
    explicit UniqueHandle(pointer handle) noexcept : handle_(handle) {}
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    [[nodiscard]] pointer get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != Traits::invalid(); }

    // Gives up ownership without releasing.
    [[nodiscard]] pointer release() noexcept { return std::exchange(handle_, Traits::invalid()); }

    // Releases the handle held (if any) and takes `handle`.
    void reset(pointer handle = Traits::invalid()) noexcept {
        const pointer old = std::exchange(handle_, handle);
        if (old != Traits::invalid()) {
            Traits::close(old);
        }
    }

    // For out-parameters of platform calls: releases what is held and exposes the slot.
    [[nodiscard]] pointer* put() noexcept {
        reset();
        return &handle_;
    }

  private:
    pointer handle_ = Traits::invalid();
};

}  // namespace platform
