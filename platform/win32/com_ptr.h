// Owners for COM interfaces and the strings they hand out.
#pragma once

#include "platform/win32/windows_api.h"

#include <oleauto.h>

#include "platform/handle.h"

namespace platform::win32 {

// An interface pointer, released when its owner goes.
template <typename Interface>
struct ComTraits {
    using pointer = Interface*;
    static constexpr pointer invalid() noexcept { return nullptr; }
    static void close(pointer object) noexcept { object->Release(); }
};
template <typename Interface>
using ComPtr = UniqueHandle<ComTraits<Interface>>;

// A BSTR, freed when its owner goes.
struct BstrTraits {
    using pointer = BSTR;
    static constexpr pointer invalid() noexcept { return nullptr; }
    static void close(pointer text) noexcept { ::SysFreeString(text); }
};
using UniqueBstr = UniqueHandle<BstrTraits>;

}  // namespace platform::win32
