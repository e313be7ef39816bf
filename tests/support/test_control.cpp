#include "support/test_control.h"

#include "platform/kernel32.h"
#include "platform/runtime.h"
#include "support/test_data.h"
#if !defined(_WIN32)
#include "platform/sim/machine.h"
#endif

namespace kelvra::test {

platform::type_library::TypeLibraryInfo TestControlLibrary() {
    platform::type_library::TypeLibraryInfo library;
    library.id = "{6F1D2C3B-4A59-4E87-B0C6-3D2E1F0A9B01}";
    library.majorVersion = 2;
    library.minorVersion = 10;
    library.locale = 0x409;
    library.platform = NativeArchFolder() == "x64" ? platform::type_library::kPlatformWin64
                                                   : platform::type_library::kPlatformWin32;
    library.classes = {{"{6F1D2C3B-4A59-4E87-B0C6-3D2E1F0A9B11}", "KelvraSpinButton", true},
                       {"{6F1D2C3B-4A59-4E87-B0C6-3D2E1F0A9B12}", "KelvraSpinLabel", true},
                       {"{6F1D2C3B-4A59-4E87-B0C6-3D2E1F0A9B13}", "KelvraSpinPart", false}};
    return library;
}

bool PlaceTestControl(const std::string& path) {
    platform::runtime::DeleteFile(path);
    const std::string bytes =
        TestDataBytes(std::string(NativeArchFolder()) + "/kelvra_control.ocx");
    if (!platform::runtime::WriteFileBytes(path, bytes)) {
        return false;
    }
#if !defined(_WIN32)
    platform::sim::machine().FindFile(path)->typeLibrary = TestControlLibrary();
#endif
    return true;
}

std::string ShortPathOf(const std::string& path) {
#if !defined(_WIN32)
    auto& machine = platform::sim::machine();
    for (auto cut = path.find('\\', 3); cut != std::string::npos; cut = path.find('\\', cut + 1)) {
        const std::string folder = path.substr(0, cut);
        const std::string name = folder.substr(folder.find_last_of('\\') + 1);
        if (name.size() > 8 || name.find_first_of(" -") != std::string::npos) {
            machine.AddShortName(folder, name.substr(0, 6) + "~1");
        }
    }
#endif
    return platform::kernel32::ShortPathName(path).value_or(path);
}

}  // namespace kelvra::test
