// Owners for kernel file and find handles.
#pragma once

#include "platform/win32/windows_api.h"

#include "platform/handle.h"

namespace platform::win32 {

struct FileHandleTraits {
    using pointer = HANDLE;
    static pointer invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(pointer handle) noexcept { ::CloseHandle(handle); }
};
using UniqueFile = UniqueHandle<FileHandleTraits>;

struct FindHandleTraits {
    using pointer = HANDLE;
    static pointer invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(pointer handle) noexcept { ::FindClose(handle); }
};
using UniqueFind = UniqueHandle<FindHandleTraits>;

}  // namespace platform::win32
