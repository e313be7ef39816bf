#include "support/test_data.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "platform/kernel32.h"
#if !defined(_WIN32)
#include "platform/sim/machine.h"
#endif

namespace kelvra::test {

std::string TestDataPath(std::string_view relativeName) {
    std::string path = std::string(KELVRA_TESTDATA_DIR) + "/" + std::string(relativeName);
#ifdef _WIN32
    // Built on Linux, run under Wine: the build folder is reached through drive Z:.
    if (path.starts_with('/')) {
        path = "Z:" + path;
    }
    for (char& c : path) {
        if (c == '/') {
            c = '\\';
        }
    }
#endif
    return path;
}

std::string TestDataBytes(std::string_view relativeName) {
    const std::string path = TestDataPath(relativeName);
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        ADD_FAILURE() << "cannot read the test file " << path;
        return "";
    }
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string_view NativeArchFolder() {
    return platform::kernel32::ProcessMachine() == 0x8664 ? "x64" : "x86";
}

std::string_view OtherArchFolder() {
    return NativeArchFolder() == "x64" ? "x86" : "x64";
}

bool SearchStopsAtTheOtherMachine() {
#if defined(_WIN32)
    return platform::kernel32::ProcessMachine() == 0x014C &&
           !platform::kernel32::GetFileAttributes(platform::kernel32::WindowsFolder() +
                                                  "\\SysWOW64");
#else
    return false;  // the simulated machine is a 64-bit Windows
#endif
}

std::string PlatformTestFile(std::string_view relativeName) {
#if defined(_WIN32)
    return TestDataPath(relativeName);
#else
    std::string path = "C:\\KelvraTestData\\" + std::string(relativeName);
    for (char& c : path) {
        if (c == '/') {
            c = '\\';
        }
    }
    platform::sim::machine().AddFile(path, TestDataBytes(relativeName));
    return path;
#endif
}

std::span<const std::uint8_t> AsBytes(std::string_view bytes) {
    return {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()};
}

}  // namespace kelvra::test
