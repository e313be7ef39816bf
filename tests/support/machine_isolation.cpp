#include "support/machine_isolation.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "platform/registry.h"
#include "platform/runtime.h"
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

// Set while a run is under way and inherited by the test programs it starts: such a nested
// run shares the scratch keys of the run that started it and leaves them to that run.
constexpr std::string_view kRunningMarker = "KELVRA_TESTS_RUNNING";

class MachineRegistryIsolation final : public ::testing::Environment {
  public:
    void SetUp() override {
        nested_ = !platform::runtime::Environ(kRunningMarker).empty();
        if (!nested_) {
            reg::DeleteTree(CurrentUser(), kScratchRegistryKey);
            platform::runtime::SetEnviron(kRunningMarker, "1");
        }
        Redirect(reg::kLocalMachine, kScratchLocalMachineKey);
        Redirect(reg::kClassesRoot, kScratchClassesRootKey);
    }

    void TearDown() override {
        reg::OverridePredefinedKey(reg::kLocalMachine, 0);
        reg::OverridePredefinedKey(reg::kClassesRoot, 0);
        if (!nested_) {
            reg::DeleteTree(CurrentUser(), kScratchRegistryKey);
            platform::runtime::UnsetEnviron(kRunningMarker);
        }
    }

  private:
    bool nested_ = false;
};

bool RunningUnderWine() {
    if (kSimulated) {
        return false;
    }
    // Every Wine prefix has this key; Windows has no reason to.
    reg::Key wine;
    return reg::OpenKey(CurrentUser(), "Software\\Wine", reg::kKeyRead, wine) == reg::kErrorSuccess;
}

void IsolateTheMachineRegistry() {
    if (!kSimulated) {
        // googletest takes ownership of the environments it is given.
        ::testing::AddGlobalTestEnvironment(new MachineRegistryIsolation);  // NOLINT
    }
}

}  // namespace kelvra::test
