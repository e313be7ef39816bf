// Tests change machine-wide state only inside scratch keys of their own. On a real Windows
// machine (and under Wine) the whole test run redirects HKEY_LOCAL_MACHINE and
// HKEY_CLASSES_ROOT, for this process only, to scratch keys below
// HKEY_CURRENT_USER\Software\KelvraTests\Machine, and keeps every other key it writes below
// HKEY_CURRENT_USER\Software\KelvraTests. That tree is deleted when the run starts (a killed
// run leaves it behind) and when it ends, so no run ever takes a previous run's leftovers for
// the machine's state. The simulated machine is fresh for every test and needs none of this.
#pragma once

#include <string_view>

namespace kelvra::test {

// Every key a test writes lies below this key of HKEY_CURRENT_USER.
inline constexpr std::string_view kScratchRegistryKey = "Software\\KelvraTests";
// The keys that stand for the machine-wide roots while the tests run.
inline constexpr std::string_view kScratchLocalMachineKey = "Software\\KelvraTests\\Machine\\HKLM";
inline constexpr std::string_view kScratchClassesRootKey = "Software\\KelvraTests\\Machine\\HKCR";

// Whether the tests run under Wine (in the project's own prefix), where a test may also
// arrange what it cannot arrange on a real Windows machine without changing it.
bool RunningUnderWine();

// Installs the redirection for the whole test run (on the real platform).
void IsolateTheMachineRegistry();

}  // namespace kelvra::test
