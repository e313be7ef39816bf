// The simulated machine the registry import fuzz targets start from: a few keys with values in
// several roots, and the script as a file.
#pragma once

#include <string_view>

#include "platform/sim/machine.h"

namespace kelvra::fuzz {

inline constexpr const char* kScriptPath = "C:\\fuzz.reg";

inline void PrepareRegistry(std::string_view script) {
    namespace reg = platform::registry;
    platform::sim::Reset();
    auto& machine = platform::sim::machine();
    const auto add = [&](std::uint32_t root, const char* path, const char* name) {
        machine.RegistryKey(root, path)->values.push_back({name, {reg::kRegDword, {1, 2, 3, 4}}});
    };
    add(reg::kCurrentUser, "Software\\A\\B", "v");
    add(reg::kCurrentUser, "Software\\A", "");
    add(reg::kCurrentUser, "Software\\Other", "kept");
    add(reg::kCurrentUser, "", "onTheRoot");
    add(reg::kClassesRoot, ".txt", "");
    add(reg::kLocalMachine, "Software\\Classes\\.txt", "");
    add(reg::kUsers, ".DEFAULT\\Software", "x");
    machine.AddFile(kScriptPath, script);
}

}  // namespace kelvra::fuzz
