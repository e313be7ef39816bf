#!/usr/bin/env bash
# End-to-end test of the report window under Xvfb, as a person would use it: the shipped
# 32-bit program under wine32 and the x86-64 build under wine64, each on a Wine prefix of its
# own that the test prepares: the install folder present, a machine-wide PATH with the
# Quorvane folder, a duplicate of it and a missing folder, and user PATH folders. The window
# opens with its caption and draws the whole report (its screenshot is checked line by line
# against the report); "Copy Text" puts exactly the expected report on the clipboard;
# DLLver.log holds its three lines; "Done" ends the program with exit code 0. A second run in
# a read-only folder writes no log but shows and copies the whole report. Two files of the list
# lie on the user PATH in forms the program cannot load, and their rows must say so.
# Then the runs without a window: /report and /json open no window (the X server is watched),
# write the expected text and a JSON report that conforms to the schema and says of each file
# what the prefix holds, and exit with 1 (files are missing); /json - writes to a redirected
# standard output; a target in a read-only folder gives 2, one line on standard error, and
# leaves the folder as it was. With two files of the list whose start-up code ends the process
# and never returns, /json still writes the whole report within its time limit.
#   scripts/e2e-window.sh [32] [64]     both by default
set -euo pipefail
KELVRA_ROOT=$(cd "$(dirname "$0")/.." && pwd)
source "$KELVRA_ROOT/scripts/wine-env.sh"

artifacts="$KELVRA_ROOT/build/e2e"
rm -rf "$artifacts"
mkdir -p "$artifacts"

# The user PATH folder that holds copies of listed files which the program cannot load.
copies_folder='C:\Users\Public\QuorvaneTools'

# prepare_prefix: the prefix ($WINEPREFIX, started with $WINE) as the expected report
# describes it. Two files of the list lie on the user PATH, and the program can load neither:
# libmmd.dll built for the other machine, libifcoremd.dll importing a DLL found nowhere.
prepare_prefix() {
    local tools="$WINEPREFIX/drive_c/users/Public/QuorvaneTools" own=x64 other=x86
    [[ $bits == 32 ]] && own=x86 other=x64
    mkdir -p "$WINEPREFIX/drive_c/Program Files/Bin/Quorvane" "$tools"
    rm -rf "$WINEPREFIX/drive_c/Missing"
    cp "$KELVRA_ROOT/build/win64/testdata/$other/kelvra_ver2.dll" "$tools/libmmd.dll"
    cp "$KELVRA_ROOT/build/win64/testdata/$own/kelvra_badimport.dll" "$tools/libifcoremd.dll"
    $WINE reg add 'HKLM\System\CurrentControlSet\Control\Session Manager\Environment' /v PATH \
        /t REG_EXPAND_SZ /f \
        /d '%SystemRoot%\system32;%SystemRoot%;C:\Program Files\Bin\Quorvane;C:\program files\bin\quorvane\;C:\Missing\Quorvane' >/dev/null
    $WINE reg add 'HKCU\Environment' /v PATH /t REG_SZ /f \
        /d 'C:\Users\Public\QuorvaneTools;C:\UserBin' >/dev/null
    /usr/lib/wine/wineserver -w
}

start_xvfb

# Design positions of the buttons' centres in client pixels at 96 dpi (twips / 15).
copy_x=$(( (180 + 1550 / 2) / 15 )); copy_y=$(( (12750 + 315 / 2) / 15 ))
done_x=$(( (15150 + 1220 / 2) / 15 )); done_y=$(( (12840 + 315 / 2) / 15 ))

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok:   $*"; }

expected() {
    python3 "$KELVRA_ROOT/scripts/expected_report.py" --prefix "$WINEPREFIX" --bits "$bits" \
        --copies-in "$copies_folder" "$@"
}
expected_report() { expected; }
expected_log() { expected --log; }

# check_screenshot NAME WINDOW: the window's drawing, line by line, against the report. The
# report appears once the run has drawn it: the screenshot is taken again until it shows it.
check_screenshot() {
    local name=$1 window=$2 X Y WIDTH HEIGHT SCREEN
    eval "$(xdotool getwindowgeometry --shell "$window")"
    expected_report > "$artifacts/$name.expected"
    for attempt in $(seq 30); do
        import -window root "$artifacts/$name.png"
        if python3 "$KELVRA_ROOT/scripts/check_screenshot.py" --png "$artifacts/$name.png" \
            --window "$X,$Y,$WIDTH,$HEIGHT" --report "$artifacts/$name.expected" \
            > "$artifacts/$name.screenshot.txt"; then
            pass "$name: the window draws every line of the report in place ($(head -n 1 "$artifacts/$name.screenshot.txt"))"
            return
        fi
        sleep 1
    done
    fail "$name: the window does not show the report as expected:"
    sed 's/^/      /' "$artifacts/$name.screenshot.txt" | head -n 12
}

# run_case NAME FOLDER: starts the program with FOLDER as working folder, checks the window,
# copies the text, ends it with "Done". Leaves NAME.png and NAME.clipboard in the artifacts.
run_case() {
    local name=$1 folder=$2 window pid status
    (cd "$folder" && exec $WINE "$exe") &
    pid=$!
    window=$(timeout 60 xdotool search --sync --name '^Form1$' | head -n 1) || true
    if [[ -z $window ]]; then
        fail "$name: no window with the caption Form1"
        kill "$pid" 2>/dev/null || true
        return
    fi
    pass "$name: window 'Form1' is open ($(xdotool getwindowgeometry "$window" | tail -n 1 | xargs))"
    check_screenshot "$name" "$window"
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

# run_program BITS: both cases for the 32-bit or the x86-64 program, on its own prefix.
run_program() {
    bits=$1
    local work readonly_work
    if [[ $bits == 32 ]]; then
        if ! use_native_i386; then
            echo "skip: the 32-bit program (this kernel cannot start it)"
            return
        fi
        exe="$KELVRA_ROOT/build/win32/bin/Kelvra_System_Files_Test.exe"
        export WINEPREFIX="$KELVRA_ROOT/build/wineprefix32-e2e" WINE=$WINE32
        ensure_prefix32 "$WINEPREFIX"
    else
        exe="$KELVRA_ROOT/build/win64/bin/Kelvra_System_Files_Test.exe"
        export WINEPREFIX="$KELVRA_ROOT/build/wineprefix64-e2e" WINE=$WINE64
        ensure_prefix64 "$WINEPREFIX"
    fi
    echo "--- the ${bits}-bit program"
    prepare_prefix

    work="$artifacts/work$bits"
    mkdir -p "$work"
    run_case "win$bits-report-window" "$work"
    if cmp -s "$work/DLLver.log" <(expected_log); then
        pass "win$bits: DLLver.log holds the three heading lines"
    else
        fail "win$bits: DLLver.log differs"; od -c "$work/DLLver.log" | head -n 10 || true
    fi

    readonly_work="$artifacts/readonly$bits"
    mkdir -p "$readonly_work"
    if chattr +i "$readonly_work" 2>/dev/null; then
        run_case "win$bits-read-only-folder" "$readonly_work"
        chattr -i "$readonly_work"
        if [[ -e $readonly_work/DLLver.log ]]; then
            fail "win$bits: a log was written in a read-only folder"
        else
            pass "win$bits: no log in a read-only folder"
        fi
    else
        echo "skip: cannot make a read-only folder here (chattr)"
    fi
    run_unattended
    /usr/lib/wine/wineserver -k 2>/dev/null || true
}

# The visible top-level windows on the X server.
visible_windows() { xdotool search --onlyvisible --name '' 2>/dev/null | sort || true; }

# run_quietly FOLDER ARGS...: runs the program with ARGS in FOLDER and fails when a window
# appears while it runs; its exit code is left in $status.
run_quietly() {
    local folder=$1 pid before appeared
    shift
    before=$(visible_windows)
    (cd "$folder" && exec $WINE "$exe" "$@") &
    pid=$!
    while kill -0 "$pid" 2>/dev/null; do
        appeared=$(comm -13 <(echo "$before") <(visible_windows))
        if [[ -n $appeared ]]; then
            fail "win$bits $*: a window appeared: $(xdotool getwindowname "${appeared%%$'\n'*}" 2>/dev/null)"
            kill "$pid" 2>/dev/null || true
            break
        fi
        sleep 0.2
    done
    status=0
    wait "$pid" || status=$?
}

# expect_status NAME WANTED
expect_status() {
    if [[ $status -eq $2 ]]; then pass "$1: exit code $2"; else fail "$1: exit code $status, expected $2"; fi
}

# check_json NAME FILE: the JSON report conforms to the schema and says what the model says.
check_json() {
    local name=$1 file=$2
    if python3 "$KELVRA_ROOT/scripts/validate_json.py" "$KELVRA_ROOT/schemas/report.schema.json" "$file"; then
        pass "$name: the JSON report conforms to the schema"
    else
        fail "$name: the JSON report does not conform to the schema"
    fi
    expected --json-model > "$file.model"
    if python3 "$KELVRA_ROOT/scripts/check_report_json.py" "$file" "$file.model" > "$file.differences"; then
        pass "$name: the JSON report says of every file what the prefix holds"
    else
        fail "$name: the JSON report differs from the prefix:"
        sed 's/^/      /' "$file.differences" | head -n 12
    fi
}

# Runs without a window: /report and /json to files, /json to a redirected standard output, and
# a target that cannot be written.
run_unattended() {
    local work="$artifacts/unattended$bits" locked
    mkdir -p "$work"
    printf 'the previous report' > "$work/report.txt"
    run_quietly "$work" /report report.txt -JSON report.json
    expect_status "win$bits /report /json" 1
    if cmp -s "$work/report.txt" <(expected_report | python3 -c 'import sys; sys.stdout.buffer.write(sys.stdin.buffer.read().replace(b"\r", b"\r\n") + b"\r\n")'); then
        pass "win$bits /report: the file holds the window's report with CR LF line ends"
    else
        fail "win$bits /report: the file differs from the expected report"
        diff <(expected_report | tr '\r' '\n') <(tr -d '\r' < "$work/report.txt") | head -n 20 || true
    fi
    check_json "win$bits /json" "$work/report.json"
    if cmp -s "$work/DLLver.log" <(expected_log); then
        pass "win$bits /report: DLLver.log written as in a window run"
    else
        fail "win$bits /report: DLLver.log differs"
    fi
    if compgen -G "$work/*.part" >/dev/null; then fail "win$bits: part files left: $(ls "$work"/*.part)"; fi

    run_quietly "$work" /json - > "$work/stdout.json" 2> "$work/stderr.txt"
    expect_status "win$bits /json -" 1
    check_json "win$bits /json - (redirected standard output)" "$work/stdout.json"

    locked="$work/locked"
    mkdir -p "$locked"
    printf 'kept' > "$locked/report.json"
    if chattr +i "$locked" 2>/dev/null; then
        run_quietly "$work" /json locked/report.json 2> "$work/locked-stderr.txt"
        chattr -i "$locked"
        expect_status "win$bits /json into a read-only folder" 2
        if [[ $(cat "$locked/report.json") == kept && $(ls "$locked") == report.json ]]; then
            pass "win$bits: the unwritable target is as it was, with nothing beside it"
        else
            fail "win$bits: the read-only folder changed: $(ls "$locked")"
        fi
        if grep -q 'cannot write' "$work/locked-stderr.txt"; then
            pass "win$bits: one line on standard error says why"
        else
            fail "win$bits: standard error says: $(head -c 300 "$work/locked-stderr.txt")"
        fi
    else
        echo "skip: cannot make a read-only folder here (chattr)"
    fi
    run_misbehaving
}

# Two files of the list whose start-up code ends its process or never returns: the run still
# writes the whole report, with their rows, within (files x limit) and a few seconds.
run_misbehaving() {
    local work="$artifacts/misbehaving$bits" tools="$WINEPREFIX/drive_c/users/Public/QuorvaneTools"
    local arch=x64 limit=2 started took
    [[ $bits == 32 ]] && arch=x86
    mkdir -p "$work"
    cp "$KELVRA_ROOT/build/win64/testdata/$arch/kelvra_startup_exits.dll" "$tools/VBPrnDLG.dll"
    cp "$KELVRA_ROOT/build/win64/testdata/$arch/kelvra_startup_hangs.dll" "$tools/MSVBVM60.dll"
    started=$SECONDS
    run_quietly "$work" /json report.json /timeout "$limit"
    took=$((SECONDS - started))
    rm -f "$tools/VBPrnDLG.dll" "$tools/MSVBVM60.dll"
    expect_status "win$bits misbehaving start-up code" 1
    ((took <= 2 * limit + 10)) && pass "win$bits misbehaving: ended within the limits ($took s)" ||
        fail "win$bits misbehaving: took $took s"
    if python3 "$KELVRA_ROOT/scripts/validate_json.py" "$KELVRA_ROOT/schemas/report.schema.json" "$work/report.json" &&
        python3 - "$work/report.json" "$copies_folder" "$limit" <<'PY'; then
import json, sys
report = json.load(open(sys.argv[1], encoding="utf-8"))
files = {f["name"]: f for f in report["files"]}
folder, limit = sys.argv[2], int(sys.argv[3])
wanted = {"VBPrnDLG.dll": ({"outcome": "exited", "exitCode": 7},
                           "its start-up code ended the program (exit code 7)"),
          "MSVBVM60.dll": ({"outcome": "timedOut", "limitSeconds": limit},
                           f"its start-up code did not finish within {limit} s")}
for name, (probe, reason) in wanted.items():
    row = files[name]
    if row["load"]["probe"] != probe or row["path"] != f"Can't load {folder}\\{name}: {reason}":
        sys.exit(f"{name}: {row['path']} {row['load']}")
if len(report["files"]) != 19 or report["installFolder"]["path"] == "":
    sys.exit("the report is not whole")
PY
        pass "win$bits misbehaving: the whole JSON report, with their rows and the probes' outcomes"
    else
        fail "win$bits misbehaving: the JSON report is not as expected"
    fi
}

programs=("$@")
((${#programs[@]})) || programs=(32 64)
for bits in "${programs[@]}"; do
    run_program "$bits"
done
echo "Screenshots and copied texts: $artifacts"
if ((failures)); then
    echo "end-to-end: $failures failed"
    exit 1
fi
echo "end-to-end: all passed"
