#!/usr/bin/env bash
# Sets up what is missing, builds the program and starts it under Wine.
# With an X display the window opens for you. Without one it runs under Xvfb, saves a
# screenshot and the text that "Copy Text" puts on the clipboard, prints that text and closes
# the window with "Done".
#   scripts/run.sh          the shipped 32-bit build under wine32 (what customers run)
#   scripts/run.sh --win64  the x86-64 build under wine64
set -euo pipefail
KELVRA_ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$KELVRA_ROOT"
bash scripts/setup.sh
source scripts/wine-env.sh

preset=win32
[[ ${1:-} == --win64 ]] && preset=win64
if [[ $preset == win32 ]] && ! use_native_i386; then
    echo "Running the x86-64 build instead."
    preset=win64
fi
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target Kelvra_System_Files_Test Kelvra_Intel_Win32
exe="$KELVRA_ROOT/build/$preset/bin/Kelvra_System_Files_Test.exe"
out="$KELVRA_ROOT/build/run"
mkdir -p "$out"
cd "$out"

if [[ $preset == win32 ]]; then
    ensure_prefix32
    export WINEPREFIX=$KELVRA_PREFIX32 WINE=$WINE32
else
    ensure_prefix64
    export WINEPREFIX=$KELVRA_PREFIX64 WINE=$WINE64
fi

if [[ -n "${DISPLAY:-}" ]] && xdpyinfo >/dev/null 2>&1; then
    status=0
    $WINE "$exe" || status=$?
    exit $status  # through the exit actions, which restore what the set-up switched off
fi

start_xvfb
$WINE "$exe" &
pid=$!
window=$(timeout 300 xdotool search --sync --name '^Form1$' | head -n 1)
sleep 3
import -window root "$out/report-window.png"
xdotool mousemove --window "$window" $(( (180 + 775) / 15 )) $(( (12750 + 157) / 15 )) click 1
sleep 1
xclip -o -selection clipboard > "$out/report.txt"
tr '\r' '\n' < "$out/report.txt"
echo
xdotool mousemove --window "$window" $(( (15150 + 610) / 15 )) $(( (12840 + 157) / 15 )) click 1
status=0
wait "$pid" || status=$?
echo "Screenshot: $out/report-window.png  Copied text: $out/report.txt  Log: $out/DLLver.log"
exit $status
