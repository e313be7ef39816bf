// One owner for every kind of platform handle: registry keys, loaded modules, files, GDI
// objects. The traits name the raw handle type, its "no handle" value and how a handle is
// released; the owner releases it exactly once and cannot be copied.
//
// Traits may also declare `adopted(pointer)`: it is told of every handle that an owner takes
// from the platform (not of handles moved between owners), so that the platform layer can
// count the objects it holds. A handle given up with release() stays counted: for such
// objects that is a leak unless something else frees them.
#pragma once

#include <utility>

namespace platform {

template <typename Traits>
class UniqueHandle {
  public:
    using pointer = typename Traits::pointer;
    // Whether the traits count the handles their owners take in.
    static constexpr bool kCounted = requires(pointer handle) { Traits::adopted(handle); };

    UniqueHandle() noexcept = default;
    explicit UniqueHandle(pointer handle) noexcept : handle_(handle) { NoteAdopted(handle); }
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            Replace(other.release());
        }
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { Replace(Traits::invalid()); }

    [[nodiscard]] pointer get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != Traits::invalid(); }

    // Gives up ownership without releasing.
    [[nodiscard]] pointer release() noexcept { return std::exchange(handle_, Traits::invalid()); }

    // Releases the handle held (if any) and takes `handle`.
    void reset(pointer handle = Traits::invalid()) noexcept {
        NoteAdopted(handle);
        Replace(handle);
    }

    // For out-parameters of platform calls: releases what is held and exposes the slot.
    // Counted handles must come in through the constructor or reset() instead.
    [[nodiscard]] pointer* put() noexcept requires(!kCounted) {
        reset();
        return &handle_;
    }

  private:
    static void NoteAdopted(pointer handle) noexcept {
        if constexpr (kCounted) {
            if (handle != Traits::invalid()) {
                Traits::adopted(handle);
            }
        }
    }

    void Replace(pointer handle) noexcept {
        const pointer old = std::exchange(handle_, handle);
        if (old != Traits::invalid()) {
            Traits::close(old);
        }
    }

    pointer handle_ = Traits::invalid();
};

}  // namespace platform
