#!/usr/bin/env bash
# End-to-end test of the report window under Xvfb and wine64, as a person would use it, on a
# Wine prefix of its own that it prepares: the install folder present, a machine-wide PATH
# with the Quorvane folder, a duplicate of it and a missing folder, and user PATH folders.
# The window opens with its caption and the whole report (a screenshot is kept); "Copy Text"
# puts exactly the expected report on the clipboard; DLLver.log holds its three lines; "Done"
# ends the program with exit code 0. A second run in a read-only folder writes no log but
# shows and copies the whole report.
set -euo pipefail
KELVRA_ROOT=$(cd "$(dirname "$0")/.." && pwd)
source "$KELVRA_ROOT/scripts/wine-env.sh"

exe="$KELVRA_ROOT/build/win64/bin/Kelvra_System_Files_Test.exe"
prefix="$KELVRA_ROOT/build/wineprefix64-e2e"
artifacts="$KELVRA_ROOT/build/e2e"
rm -rf "$artifacts"
mkdir -p "$artifacts"
ensure_prefix64 "$prefix"
export WINEPREFIX=$prefix

# The prefix as the expected report describes it.
mkdir -p "$prefix/drive_c/Program Files/Bin/Quorvane" "$prefix/drive_c/users/Public/QuorvaneTools"
rm -rf "$prefix/drive_c/Missing"
$WINE64 reg add 'HKLM\System\CurrentControlSet\Control\Session Manager\Environment' /v PATH \
    /t REG_EXPAND_SZ /f \
    /d '%SystemRoot%\system32;%SystemRoot%;C:\Program Files\Bin\Quorvane;C:\program files\bin\quorvane\;C:\Missing\Quorvane' >/dev/null
$WINE64 reg add 'HKCU\Environment' /v PATH /t REG_SZ /f \
    /d 'C:\Users\Public\QuorvaneTools;C:\UserBin' >/dev/null
/usr/lib/wine/wineserver -w

start_xvfb
trap stop_xvfb EXIT

# Design positions of the buttons' centres in client pixels at 96 dpi (twips / 15).
copy_x=$(( (180 + 1550 / 2) / 15 )); copy_y=$(( (12750 + 315 / 2) / 15 ))
done_x=$(( (15150 + 1220 / 2) / 15 )); done_y=$(( (12840 + 315 / 2) / 15 ))

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok:   $*"; }

expected_report() { python3 "$KELVRA_ROOT/scripts/expected_report.py" --prefix "$prefix"; }
expected_log() { python3 "$KELVRA_ROOT/scripts/expected_report.py" --prefix "$prefix" --log; }

# run_case NAME FOLDER: starts the program with FOLDER as working folder, checks the window,
# copies the text, ends it with "Done". Leaves NAME.png and NAME.clipboard in the artifacts.
run_case() {
    local name=$1 folder=$2 window pid status
    (cd "$folder" && exec $WINE64 "$exe") &
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
    # A click that only activates the window copies nothing: click again, as a person would.
    for _ in 1 2 3 4 5; do
        xdotool mousemove --window "$window" "$copy_x" "$copy_y" click 1
        sleep 1
        xclip -o -selection clipboard > "$artifacts/$name.clipboard" 2>/dev/null || true
        [[ "$(cat "$artifacts/$name.clipboard")" != before ]] && break
    done
    if cmp -s "$artifacts/$name.clipboard" <(expected_report); then
        pass "$name: 'Copy Text' put exactly the expected report on the clipboard"
    else
        fail "$name: the clipboard differs from the expected report"
        diff <(expected_report | tr '\r' '\n') <(tr '\r' '\n' < "$artifacts/$name.clipboard") | head -n 20 || true
    fi
    status=0
    for attempt in 1 2 3 4 5; do
        xdotool mousemove --window "$window" "$done_x" "$done_y" click 1 2>/dev/null || true
        timeout 6 tail --pid="$pid" -f /dev/null && break
        if ((attempt == 5)); then
            fail "$name: 'Done' did not end the program"
            kill "$pid"
        fi
    done
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

/usr/lib/wine/wineserver -k 2>/dev/null || true
echo "Screenshots and copied texts: $artifacts"
if ((failures)); then
    echo "end-to-end: $failures failed"
    exit 1
fi
echo "end-to-end: all passed"
