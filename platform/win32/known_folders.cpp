#include "platform/known_folders.h"

#include "platform/win32/windows_api.h"

#include <knownfolders.h>
#include <shlobj.h>

#include "platform/handle.h"
#include "platform/kernel32.h"
#include "platform/runtime.h"
#include "platform/win32/wide.h"

namespace platform::known_folders {
namespace {

// A text that the shell allocated for its caller, freed with CoTaskMemFree.
struct TaskMemoryTextTraits {
    using pointer = wchar_t*;
    static constexpr pointer invalid() noexcept { return nullptr; }
    static void close(pointer text) noexcept { ::CoTaskMemFree(text); }
};
using TaskMemoryText = UniqueHandle<TaskMemoryTextTraits>;

std::optional<std::string> NonEmpty(std::string text) {
    while (text.size() > 3 && text.back() == '\\') {
        text.pop_back();
    }
    return text.empty() ? std::nullopt : std::optional<std::string>(std::move(text));
}

std::optional<std::string> ShellFolder(REFKNOWNFOLDERID id) {
    TaskMemoryText path;
    // The shell sets the pointer even when it fails (to nullptr); the owner frees what it got.
    if (FAILED(::SHGetKnownFolderPath(id, KF_FLAG_DONT_VERIFY, nullptr, path.put()))) {
        return std::nullopt;
    }
    return NonEmpty(win32::Narrow(path.get()));
}

// Whether Windows is a 64-bit system: this program is an x64 one, or an x86 one under WOW64.
bool WindowsIs64Bit() {
    if (kernel32::ProcessMachine() == 0x8664) {
        return true;
    }
    BOOL wow64 = FALSE;
    return ::IsWow64Process(::GetCurrentProcess(), &wow64) && wow64;
}

}  // namespace

KnownFolders ReadKnownFolders() {
    KnownFolders folders;
    folders.windows = NonEmpty(kernel32::WindowsFolder());
    folders.userProfile = ShellFolder(FOLDERID_Profile);
    if (!WindowsIs64Bit()) {
        folders.programFiles = ShellFolder(FOLDERID_ProgramFiles);
        return folders;
    }
    folders.programFilesX86 = ShellFolder(FOLDERID_ProgramFilesX86);
    if (kernel32::ProcessMachine() == 0x8664) {
        folders.programFiles = ShellFolder(FOLDERID_ProgramFiles);
    } else {
        // A 32-bit program on 64-bit Windows gets the x86 folder for FOLDERID_ProgramFiles and
        // an error for FOLDERID_ProgramFilesX64; the system names the other folder in the
        // environment of every process, under ProgramW6432.
        folders.programFiles = NonEmpty(runtime::FindEnviron("ProgramW6432").value_or(""));
    }
    return folders;
}

}  // namespace platform::known_folders
