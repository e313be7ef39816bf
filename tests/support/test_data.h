// The test DLLs built beside the tests (see tests/data/test_dlls.cmake). Relative names use
// "/" between folders: "x86/kelvra_ver2.dll", "kelvra_x64.dll".
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace kelvra::test {

// A path to the test file that this process's file functions accept: the build folder's own
// path on Linux; under Wine the same folder through drive Z:, with "\" separators.
std::string TestDataPath(std::string_view relativeName);

// The bytes of a test file; "" (and a test failure) when it cannot be read.
std::string TestDataBytes(std::string_view relativeName);

// The folder of test DLLs whose machine matches this process's ("x86" or "x64"), and the
// other one. The simulated process is 32-bit unless a test says otherwise.
std::string_view NativeArchFolder();
std::string_view OtherArchFolder();

// Whether the library search stops at a copy built for the other machine (the load failing
// with 193) instead of passing it over: so under Wine in a 32-bit prefix, which cannot map an
// x64 image at all. In a 64-bit prefix, as on 64-bit Windows, the search goes on.
bool SearchStopsAtTheOtherMachine();

// A full path under which the platform's own functions (LoadLibrary, GetFileVersionInfo)
// reach the test file: on Windows the built file itself; on the simulated machine a copy of
// its bytes put at C:\KelvraTestData\<relative name>.
std::string PlatformTestFile(std::string_view relativeName);

// The bytes of a string as the PE reader takes them.
std::span<const std::uint8_t> AsBytes(std::string_view bytes);

}  // namespace kelvra::test
