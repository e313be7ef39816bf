// The test program: the whole suite, with the machine-wide registry redirected to scratch
// keys (support/machine_isolation.h). Started as a probe, it is one for the suite's reports
// (platform/library_probe.h), as the program is for its own.
#include <gtest/gtest.h>

#include <string_view>

#include "platform/library_probe.h"
#include "support/machine_isolation.h"

int main(int argc, char** argv) {
    if (argc == 2 && std::string_view(argv[1]) == platform::library_probe::kProbeArgument) {
        return platform::library_probe::Serve();
    }
    ::testing::InitGoogleTest(&argc, argv);
    kelvra::test::IsolateTheMachineRegistry();
    return RUN_ALL_TESTS();
}
