#include "support/machine_isolation.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "platform/registry.h"
#include "support/scratch_folder.h"

namespace kelvra::test {
namespace {

namespace reg = platform::registry;

reg::RawKey CurrentUser() {
    return reg::PredefinedKey(reg::kCurrentUser);
}

void Redirect(std::uint32_t root, std::string_view scratchKey) {
    reg::Key key;
    if (reg::CreateKey(CurrentUser(), scratchKey, key) != reg::kErrorSuccess ||
        reg::OverridePredefinedKey(root, key.get()) != reg::kErrorSuccess) {
        // Without the redirection a test could change the machine: stop before any test runs.
        std::fprintf(stderr, "cannot redirect the root 0x%08X to a scratch key\n",
                     static_cast<unsigned>(root));
        std::abort();
    }
}

}  // namespace

class MachineRegistryIsolation final : public ::testing::Environment {
  public:
    void SetUp() override {
        reg::DeleteTree(CurrentUser(), kScratchRegistryKey);
        Redirect(reg::kLocalMachine, kScratchLocalMachineKey);
        Redirect(reg::kClassesRoot, kScratchClassesRootKey);
    }

    void TearDown() override {
        reg::OverridePredefinedKey(reg::kLocalMachine, 0);
        reg::OverridePredefinedKey(reg::kClassesRoot, 0);
        reg::DeleteTree(CurrentUser(), kScratchRegistryKey);
    }
};

void IsolateTheMachineRegistry() {
    if (!kSimulated) {
        // googletest takes ownership of the environments it is given.
        ::testing::AddGlobalTestEnvironment(new MachineRegistryIsolation);  // NOLINT
    }
}

}  // namespace kelvra::test
