#!/usr/bin/env bash
# Sets up what is missing, builds all three targets and runs every test: the native tests on
# the simulated platform, the same tests on real Win32 under wine64, the end-to-end window
# test, and one run of the shipped 32-bit build's tests under wine32.
set -euo pipefail
KELVRA_ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$KELVRA_ROOT"
bash scripts/setup.sh
source scripts/wine-env.sh

step() { echo; echo "=== $* ==="; }

for preset in linux win64 win32; do
    step "build $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done

step "native tests (simulated platform)"
ctest --test-dir build/linux --output-on-failure -j 2

step "Windows x86-64 tests under wine64"
ensure_prefix64
(cd build/win64/bin && KELVRA_WINE_REGEDIT=1 WINEPREFIX=$KELVRA_PREFIX64 $WINE64 kelvra_tests.exe --gtest_brief=1)

step "end-to-end window test (Xvfb, wine64)"
bash scripts/e2e-window.sh

step "Windows 32-bit tests under wine32 (emulated)"
ensure_prefix32
(cd build/win32/bin && WINEPREFIX=$KELVRA_PREFIX32 $WINE32 kelvra_tests.exe --gtest_brief=1)
WINEPREFIX=$KELVRA_PREFIX32 /usr/lib/wine/wineserver -k 2>/dev/null || true

step "all tests passed"
