// The test program: the whole suite, with the machine-wide registry redirected to scratch
// keys (support/machine_isolation.h).
#include <gtest/gtest.h>

#include "support/machine_isolation.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    kelvra::test::IsolateTheMachineRegistry();
    return RUN_ALL_TESTS();
}
