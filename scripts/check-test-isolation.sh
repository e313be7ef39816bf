#!/usr/bin/env bash
# Runs the whole Windows test suite the way a developer's crash would leave things: first a
# run that is killed while it has changed the machine-wide PATH, then a whole run. The
# prefix's registry outside the tests' scratch keys (HKCU\Software\KelvraTests) must then be
# exactly as it was before both, which shows that the tests change the machine only in their
# scratch keys and that no run mistakes a killed run's leftovers for the machine's state.
#   scripts/check-test-isolation.sh WINE PREFIX PRESET
set -euo pipefail
KELVRA_ROOT=$(cd "$(dirname "$0")/.." && pwd)
source "$KELVRA_ROOT/scripts/wine-env.sh"
wine=$1 prefix=$2 preset=$3
bin="$KELVRA_ROOT/build/$preset/bin"
work="$KELVRA_ROOT/build/isolation-$preset"
rm -rf "$work"
mkdir -p "$work"
export WINEPREFIX=$prefix

# Keys that Wine itself rewrites whenever a process or a desktop starts: the volatile
# environment, the display and monitor devices of its display driver, its font cache, its
# network cards, and the Run* keys that its session start-up creates and empties (a .reg file
# doubles every backslash of a key's name).
export WINE_KEYS='^\[(Volatile Environment|System\\\\CurrentControlSet\\\\(Enum|Control\\\\DeviceClasses|Control\\\\Class)\\\\|Software\\\\Wine\\\\Fonts|Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion\\\\NetworkCards\]|Software\\\\(Wow6432Node\\\\)?Microsoft\\\\Windows\\\\CurrentVersion\\\\Run(Once|Services|ServicesOnce)?\])'

# The registry as the wineserver stores it: one line per key and per value, without
# timestamps, without the tests' scratch keys and without the keys Wine maintains itself.
snapshot() {
    /usr/lib/wine/wineserver -k 2>/dev/null || true
    /usr/lib/wine/wineserver -w 2>/dev/null || true
    local hive
    for hive in system user; do
        awk -v hive="$hive" '
            /^(WINE REGISTRY|;;|#arch=|#time=)/ { next }
            /^\[/ {
                key = $0
                sub(/\] [0-9]+$/, "]", key)
                skip = (key ~ /^\[Software\\\\KelvraTests(\\\\|\])/) || (key ~ ENVIRON["WINE_KEYS"])
                if (!skip) print hive " " key
                next
            }
            !skip && NF { print hive " " key " " $0 }' "$prefix/$hive.reg"
    done
}

# Wine's own programs touch a few keys whenever a process starts; a first run settles them.
(cd "$bin" && $wine kelvra_tests.exe --gtest_filter='ColumnPositions.*' >/dev/null)
snapshot > "$work/before.txt"

echo "A run killed while it has changed the machine-wide PATH:"
(cd "$bin" && KELVRA_WAIT_TO_BE_KILLED=1 exec $wine kelvra_tests.exe \
    --gtest_filter='MachineIsolation.WaitsToBeKilled*' > "$work/killed.txt" 2>&1) &
pid=$!
for _ in $(seq 600); do
    grep -q "waiting to be killed" "$work/killed.txt" 2>/dev/null && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
if ! grep -q "waiting to be killed" "$work/killed.txt"; then
    echo "FAIL: the run to be killed did not reach its waiting point"
    cat "$work/killed.txt"
    exit 1
fi
kill -9 "$pid"
wait "$pid" 2>/dev/null || true
echo "killed it."

echo "Then the whole suite:"
status=0
(cd "$bin" && KELVRA_WINE_REGEDIT=1 $wine kelvra_tests.exe --gtest_brief=1 \
    --gtest_filter="${KELVRA_ISOLATION_FILTER:-*}") || status=$?
snapshot > "$work/after.txt"
if ((status != 0)); then
    exit "$status"
fi
if ! diff -u "$work/before.txt" "$work/after.txt" > "$work/changes.diff"; then
    echo "FAIL: the test runs changed the registry outside their scratch keys:"
    head -n 40 "$work/changes.diff"
    exit 1
fi
echo "The registry outside the scratch keys is as it was before both runs."
