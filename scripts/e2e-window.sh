#!/usr/bin/env bash
# End-to-end test of the report window under Xvfb and wine64, as a person would use it:
# the window opens with its caption, the report is drawn (a screenshot is kept), "Copy Text"
# puts the report text on the clipboard, DLLver.log holds its three lines, and "Done" ends
# the program with exit code 0. A second run in a read-only folder writes no log but shows
# and copies the whole report.
set -euo pipefail
KELVRA_ROOT=$(cd "$(dirname "$0")/.." && pwd)
source "$KELVRA_ROOT/scripts/wine-env.sh"

exe="$KELVRA_ROOT/build/win64/bin/Kelvra_System_Files_Test.exe"
artifacts="$KELVRA_ROOT/build/e2e"
rm -rf "$artifacts"
mkdir -p "$artifacts"
ensure_prefix64
start_xvfb
trap stop_xvfb EXIT

# Design positions of the buttons' centres in client pixels at 96 dpi (twips / 15).
copy_x=$(( (180 + 1550 / 2) / 15 )); copy_y=$(( (12750 + 315 / 2) / 15 ))
done_x=$(( (15150 + 1220 / 2) / 15 )); done_y=$(( (12840 + 315 / 2) / 15 ))

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok:   $*"; }

# The report text that the program must show and copy, as this prefix words its title lines.
expected_report() {
    local date os="Unknown"
    date=$(date +%-m/%-d/%Y)
    printf '  Kelvra System Files verification %s on %s\t File\t Reg_Info\tDate\tSize\t Version\r\r  File version verification %s on %s\r\r  File,Reg_Info,Date,Size,Version' \
        "$date" "$os" "$date" "$os"
}
expected_log() {
    local date
    date=$(date +%-m/%-d/%Y)
    printf '  File version verification %s on Unknown\r\n\r\n  File,Reg_Info,Date,Size,Version\r\n' "$date"
}

# run_case NAME FOLDER: starts the program with FOLDER as working folder, checks the window,
# copies the text, ends it with "Done". Leaves NAME.png and NAME.clipboard in the artifacts.
run_case() {
    local name=$1 folder=$2 window pid status
    (cd "$folder" && WINEPREFIX=$KELVRA_PREFIX64 exec $WINE64 "$exe") &
    pid=$!
    window=$(timeout 60 xdotool search --sync --name '^Form1$' | head -n 1) || true
    if [[ -z $window ]]; then
        fail "$name: no window with the caption Form1"
        kill "$pid" 2>/dev/null || true
        return
    fi
    pass "$name: window 'Form1' is open ($(xdotool getwindowgeometry "$window" | tail -n 1 | xargs))"
    sleep 2
    import -window root "$artifacts/$name.png"
    printf 'before' | xclip -selection clipboard
    xdotool mousemove --window "$window" "$copy_x" "$copy_y" click 1
    sleep 1
    xclip -o -selection clipboard > "$artifacts/$name.clipboard" 2>/dev/null || true
    if cmp -s "$artifacts/$name.clipboard" <(expected_report); then
        pass "$name: 'Copy Text' put exactly the report text on the clipboard"
    else
        fail "$name: the clipboard differs from the report text"
        diff <(expected_report | tr '\r' '\n') <(tr '\r' '\n' < "$artifacts/$name.clipboard") | head -n 20 || true
    fi
    xdotool mousemove --window "$window" "$done_x" "$done_y" click 1
    status=0
    timeout 30 tail --pid="$pid" -f /dev/null || { fail "$name: 'Done' did not end the program"; kill "$pid"; }
    wait "$pid" || status=$?
    if [[ $status -eq 0 ]]; then pass "$name: 'Done' ended the program with exit code 0"; else fail "$name: exit code $status"; fi
}

work="$artifacts/work"
mkdir -p "$work"
run_case report-window "$work"
if cmp -s "$work/DLLver.log" <(expected_log); then
    pass "DLLver.log holds the three heading lines"
else
    fail "DLLver.log differs"; od -c "$work/DLLver.log" | head -n 10 || true
fi

readonly_work="$artifacts/readonly"
mkdir -p "$readonly_work"
if chattr +i "$readonly_work" 2>/dev/null; then
    run_case read-only-folder "$readonly_work"
    chattr -i "$readonly_work"
    if [[ -e $readonly_work/DLLver.log ]]; then fail "a log was written in a read-only folder"; else pass "no log in a read-only folder"; fi
else
    echo "skip: cannot make a read-only folder here (chattr)"
fi

WINEPREFIX=$KELVRA_PREFIX64 /usr/lib/wine/wineserver -k 2>/dev/null || true
echo "Screenshots and copied texts: $artifacts"
if ((failures)); then
    echo "end-to-end: $failures failed"
    exit 1
fi
echo "end-to-end: all passed"
