// Conversions at the boundary of the wide-character Win32 functions.
#pragma once

#include "platform/win32/windows_api.h"

#include <string>
#include <string_view>

#include "platform/text.h"

namespace platform::win32 {

inline std::wstring Widen(std::string_view utf8) {
    const std::u16string wide = text::Utf8ToUtf16(utf8);
    return std::wstring(wide.begin(), wide.end());
}

inline std::string Narrow(std::wstring_view wide) {
    return text::Utf16ToUtf8(std::u16string(wide.begin(), wide.end()));
}

}  // namespace platform::win32
