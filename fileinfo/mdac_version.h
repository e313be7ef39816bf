// The installed version of the data access components, as the registry records it.
#pragma once

#include <cstdint>
#include <string>

namespace fileinfo {

// "FullInstallVer" of HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\DataAccess, "N/A" when it cannot
// be read.
std::string GetMdacVersion();

// Reads value `SubKeyRef` of key `KeyName` below the root `KeyRoot` as text into `KeyVal`: a
// string (also an expandable one, unexpanded) as it stands, a DWORD as "&h" and its
// upper-case hex digits. Other types leave `KeyVal` as it was. False, with `KeyVal` "", when
// the key or the value cannot be read. The key is opened for reading only.
bool GetKeyValue(std::uint32_t KeyRoot, const std::string& KeyName, const std::string& SubKeyRef,
                 std::string& KeyVal);

}  // namespace fileinfo
