#!/usr/bin/env bash
# Sets up what is missing, builds all three targets and runs every test: the native tests on
# the simulated platform (also under AddressSanitizer and UndefinedBehaviorSanitizer), the
# fuzz targets for a bounded time, the whole suite on real Win32 under wine64 and, for the
# shipped 32-bit build, under wine32 (natively: see scripts/wine-env.sh), the end-to-end test
# of both programs' windows, and the check that a test run leaves the machine as it found it.
# Every step prints how long it took.
set -euo pipefail
KELVRA_ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$KELVRA_ROOT"
source scripts/wine-env.sh

step_name=
step_started=$SECONDS
end_step() {
    if [[ -n $step_name ]]; then
        echo "--- $step_name: $((SECONDS - step_started)) s"
    fi
    step_name=
}
step() {
    end_step
    step_name=$*
    step_started=$SECONDS
    echo
    echo "=== $* ==="
}

step "set-up (Debian packages)"
bash scripts/setup.sh
# ccache's results serve every clone: paths below the clone count from its root.
export CCACHE_BASEDIR=$KELVRA_ROOT CCACHE_NOHASHDIR=1

step "format (the project's .clang-format)"
clang-format --dry-run --Werror $(git ls-files '*.cpp' '*.h' '*.c')

# The native tests run in the sanitizer build only: the same suite as the plain linux preset
# (the developers' quick build), with every fault of memory and undefined behaviour caught.
for preset in linux-asan win64 win32; do
    step "build $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done

step "native tests (simulated platform) under AddressSanitizer and UndefinedBehaviorSanitizer"
ctest --test-dir build/linux-asan --output-on-failure -j 2

export FUZZ_SECONDS=${FUZZ_SECONDS:-20}
step "fuzz targets ($FUZZ_SECONDS s each)"
bash scripts/fuzz.sh

# run_windows_tests WINE PREFIX PRESET [GTEST ARGS]: the whole suite of one Windows build, in
# its prefix.
run_windows_tests() {
    local wine=$1 prefix=$2 preset=$3 status=0
    shift 3
    (cd "build/$preset/bin" && KELVRA_WINE_REGEDIT=1 WINEPREFIX=$prefix $wine kelvra_tests.exe \
        --gtest_brief=1 "$@") || status=$?
    WINEPREFIX=$prefix /usr/lib/wine/wineserver -k 2>/dev/null || true
    return $status
}

step "Windows x86-64 tests under wine64, after a run killed midway; the registry must come out as it was"
ensure_prefix64
bash scripts/check-test-isolation.sh "$WINE64" "$KELVRA_PREFIX64" win64

# The soak runs (a thousand report runs, each with its probe process) look for leaks of the
# program's own code, which is the same on both builds: they run under wine64 only.
step "Windows 32-bit tests (the shipped build) under wine32, but for the soak runs"
if use_native_i386; then
    ensure_prefix32
    run_windows_tests "$WINE32" "$KELVRA_PREFIX32" win32 --gtest_filter=-Soak.*
fi

step "end-to-end: both programs' windows and runs without a window, under Xvfb (wine64 and wine32)"
bash scripts/e2e-window.sh

step "end-to-end: the window on a small screen at 96, 120 and 144 dpi, and misbehaving DLLs (wine64)"
bash scripts/e2e-screens.sh

step "end-to-end: copies on the search path, run-time files of two releases and /compare (wine64)"
bash scripts/e2e-copies.sh

step "end-to-end: broken links behind files of the list, with DLLs built by the build (wine64)"
bash scripts/e2e-links.sh

end_step
echo
echo "=== all tests passed in $((SECONDS / 60)) min $((SECONDS % 60)) s ==="
