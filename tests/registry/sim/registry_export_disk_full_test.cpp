// An export whose file cannot be written to its end, which only the simulated disk can arrange:
// it leaves no file at all, neither the one asked for nor a part of it beside it.
#include <gtest/gtest.h>

#include <string>

#include "platform/runtime.h"
#include "platform/sim/machine.h"
#include "registry/registry_access.h"

namespace registry {
namespace {

namespace reg = platform::registry;

TEST(RegistryExportDiskFull, AnExportThatFailsPartOfTheWayLeavesNoFile) {
    // About 300 KB of script: the disk fills before the header, within it, and after the first
    // pieces of the file were written.
    for (const std::size_t freeBytes : {0u, 5u, 100'000u}) {
        platform::sim::Reset();
        auto& machine = platform::sim::machine();
        for (int key = 0; key < 300; ++key) {
            auto node =
                machine.RegistryKey(reg::kCurrentUser, "Software\\Big\\K" + std::to_string(key));
            for (std::uint8_t value = 0; value < 20; ++value) {
                node->values.push_back({"value" + std::to_string(value),
                                        {reg::kRegBinary, std::vector<std::uint8_t>(12, value)}});
            }
        }
        machine.AddFolder("C:\\Exports");
        machine.freeDiskBytes = freeBytes;
        EXPECT_EQ(clsRegistryAccess().ExportToReg("HKCU\\Software\\Big", "C:\\Exports\\big.reg"), 0)
            << freeBytes;
        for (const auto& [canonical, file] : machine.files()) {
            EXPECT_FALSE(canonical.starts_with("C:\\EXPORTS\\"))
                << file.path << " after " << freeBytes;
        }
        machine.freeDiskBytes.reset();
        EXPECT_EQ(clsRegistryAccess().ExportToReg("HKCU\\Software\\Big", "C:\\Exports\\big.reg"),
                  1);
        EXPECT_GT(platform::runtime::FileLen("C:\\Exports\\big.reg").value_or(0), 250'000);
    }
    platform::sim::Reset();
}

}  // namespace
}  // namespace registry
