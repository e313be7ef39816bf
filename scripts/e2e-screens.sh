#!/usr/bin/env bash
# End-to-end test of the report window on a small screen, under Xvfb and wine64, as a person
# would use it: a 1366 x 768 screen at LogPixels 96, 120 and 144, a report longer than the
# window (40 more PATH folders that hold Quorvane, and a last PATH folder with a long name),
# and DLLs of the list on the PATH whose start-up code misbehaves.
#
# At every DPI: the window lies inside the screen; the test asks kelvra_window_probe where
# the program put its buttons and scroll bar; "Copy Text" copies exactly the whole report;
# the mouse wheel scrolls to the end of the report and the screenshot shows its last (long)
# line at the bottom of the report area; Space, Tab and Enter work the buttons; "Done" or Esc
# ends the program with exit code 0.
# With the misbehaving DLLs (C:\UserBin on the user PATH: DravikLib.dll sleeps, libiomp5md.dll
# shows a box): the window answers while they load, "Copy Text" copies nothing before the
# report is complete, the report appears once the box is answered, the box never comes back
# on resizing, and "Done" or Esc end the program while a DLL's start-up code sleeps for good.
# With DLLs of the list whose start-up code ends its process, terminates it, overflows its
# stack, never returns or writes through null: the window shows and copies the whole report
# with a "Can't load" row for each, and "Done" ends it with 0; /report and /json write the
# whole report within the time limit and exit with 1; a report killed while a DLL's start-up
# code never returns leaves no probe process behind.
# Screenshots and copied texts: build/e2e-screens/.
set -euo pipefail
KELVRA_ROOT=$(cd "$(dirname "$0")/.." && pwd)
source "$KELVRA_ROOT/scripts/wine-env.sh"

bin="$KELVRA_ROOT/build/win64/bin"
exe="$bin/Kelvra_System_Files_Test.exe"
probe_exe="$bin/kelvra_window_probe.exe"
testdlls="$KELVRA_ROOT/build/win64/testdata/x64"
prefix="$KELVRA_ROOT/build/wineprefix64-screens"
artifacts="$KELVRA_ROOT/build/e2e-screens"
screen=1366x768
rm -rf "$artifacts"
mkdir -p "$artifacts"
for needed in "$exe" "$probe_exe" "$testdlls/kelvra_startup_box.dll" "$testdlls/kelvra_startup_sleep.dll" \
    "$testdlls/kelvra_startup_exits.dll" "$testdlls/kelvra_startup_hangs.dll"; do
    [[ -f $needed ]] || { echo "missing $needed: build the win64 preset first" >&2; exit 1; }
done
ensure_prefix64 "$prefix"
export WINEPREFIX=$prefix

# --- The prefix: as the window test prepares it, with a long PATH.
long_folder='C:\Users\Public\QuorvaneTools\The last line of the report names this folder, whose long name reaches across most of the window'
drive_c="$prefix/drive_c"
mkdir -p "$drive_c/Program Files/Bin/Quorvane" "$drive_c/UserBin"
mkdir -p "$drive_c/users/Public/QuorvaneTools/${long_folder##*\\}"
rm -rf "$drive_c/Missing" "$drive_c/UserBin"/*
system_path='%SystemRoot%\system32;%SystemRoot%;C:\Program Files\Bin\Quorvane;C:\program files\bin\quorvane\;C:\Missing\Quorvane'
extra_folders=()
for n in $(seq -w 1 40); do
    extra_folders+=("C:\\Kelvra\\Quorvane$n")
    mkdir -p "$drive_c/Kelvra/Quorvane$n"
    system_path+=";C:\\Kelvra\\Quorvane$n"
done
$WINE64 reg add 'HKLM\System\CurrentControlSet\Control\Session Manager\Environment' /v PATH \
    /t REG_EXPAND_SZ /f /d "$system_path" >/dev/null
$WINE64 reg add 'HKCU\Environment' /v PATH /t REG_SZ /f /d "$long_folder;C:\\UserBin" >/dev/null
/usr/lib/wine/wineserver -w

# The expected report: the window test's, with the extra system folders and the long user
# folder; and with the rows of the misbehaving DLLs when they lie in C:\UserBin: loaded, or,
# for the names in cant_load ("name=reason" each), not.
cant_load=()
expected_report() {
    python3 "$KELVRA_ROOT/scripts/expected_report.py" --prefix "$prefix" --user-folder "$long_folder" |
        python3 -c "$long_report_edit" "$drive_c/UserBin" "${#extra_folders[@]}" "${extra_folders[@]}" "${cant_load[@]}"
}
long_report_edit='
import datetime, os, sys
text = sys.stdin.buffer.read().decode("utf-8")
userbin, count = sys.argv[1], int(sys.argv[2])
extra, reasons = sys.argv[3:3 + count], dict(a.split("=", 1) for a in sys.argv[3 + count:])
block = "".join(f"\rQuorvane {f}\\\r\tFull Path Name: {f}\\\r" for f in extra)
marker = "\r\rUser PATH environment variables\r"
text = text.replace(marker, block + marker, 1)
for name in os.listdir(userbin):
    path = os.path.join(userbin, name)
    stamp = datetime.datetime.fromtimestamp(os.stat(path).st_mtime)
    where = f"C:\\UserBin\\{name}"
    if name in reasons:
        where = f"Can\x27t load {where}: {reasons[name]}"
    row = (f"{where}, n/a, {stamp.month}/{stamp.day}/{stamp.year}, "
           f"{os.path.getsize(path)} bytes, ")
    text = text.replace(f"\rUnable to locate {name}, ,na,na, \r", f"\r{row}\r", 1)
sys.stdout.buffer.write(text.encode("utf-8"))
'

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok:   $*"; }

start_xvfb "$screen"
on_exit '/usr/lib/wine/wineserver -k 2>/dev/null || true'
screen_width=${screen%x*}
screen_height=${screen#*x}

set_dpi() {
    /usr/lib/wine/wineserver -k 2>/dev/null || true
    /usr/lib/wine/wineserver -w
    $WINE64 reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null
    /usr/lib/wine/wineserver -w
}

# --- Asking the program where things are (kelvra_window_probe), in screen pixels.
probe_out=""
probe_now() { probe_out=$(timeout 30 $WINE64 "$probe_exe" 2>/dev/null | tr -d '\r') || probe_out=""; }
# rect_of window|client|ScrollBar|CAPTION: "left top right bottom"
rect_of() {
    case $1 in
        window | client) awk -v k="$1" '$1 == k { print $2, $3, $4, $5 }' <<<"$probe_out" ;;
        ScrollBar) awk '$1 == "control" && $2 == "ScrollBar" { print $3, $4, $5, $6 }' <<<"$probe_out" ;;
        *) awk -v c="$1" '$1 == "control" && $2 == "Button" {
               caption = $8; for (i = 9; i <= NF; i++) caption = caption " " $i
               if (caption == c) print $3, $4, $5, $6 }' <<<"$probe_out" ;;
    esac
}
scroll_bar_visible() { awk '$1 == "control" && $2 == "ScrollBar" && $7 == "visible" { found = 1 } END { exit !found }' <<<"$probe_out"; }
# "position max page" of the report area's scroll bar.
scroll_info() { awk '$1 == "control" && $2 == "ScrollBar" { print $9, $10, $11 }' <<<"$probe_out"; }
probe_dpi() { awk '$1 == "dpi" { print $2 }' <<<"$probe_out"; }
centre_of() { local l t r b; read -r l t r b <<<"$(rect_of "$1")"; echo "$(((l + r) / 2)) $(((t + b) / 2))"; }

# The long report is on the window once its scroll bar shows.
wait_for_report() {
    for _ in $(seq 240); do
        probe_now
        scroll_bar_visible && return 0
        sleep 0.5
    done
    return 1
}

# start_program NAME [VAR=VALUE...]: starts the program, with the arguments in program_args,
# in a work folder of its own; sets pid and window.
program_args=()
start_program() {
    local name=$1
    shift
    mkdir -p "$artifacts/$name"
    (cd "$artifacts/$name" && exec env "$@" $WINE64 "$exe" "${program_args[@]}") &
    pid=$!
    window=$(timeout 90 xdotool search --sync --name '^Form1$' | head -n 1) || true
    [[ -n $window ]]
}

# ends_with_zero NAME SECONDS: the program ends within SECONDS with exit code 0.
ends_with_zero() {
    local status=0
    if ! timeout "$2" tail --pid="$pid" -f /dev/null; then
        fail "$1: the program did not end within $2 s"
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
        return
    fi
    wait "$pid" || status=$?
    if ((status == 0)); then pass "$1: the program ended with exit code 0"; else fail "$1: exit code $status"; fi
}

# copy_text NAME: clicks "Copy Text" where the program put it until the clipboard changes;
# leaves the text in NAME.clipboard.
copy_text() {
    local name=$1 x y
    printf 'before' | xclip -selection clipboard
    read -r x y <<<"$(centre_of 'Copy Text')"
    for _ in 1 2 3 4 5; do
        xdotool mousemove "$x" "$y" click 1
        sleep 1
        xclip -o -selection clipboard >"$artifacts/$name.clipboard" 2>/dev/null || true
        [[ "$(cat "$artifacts/$name.clipboard")" != before ]] && break
    done
    return 0
}

check_whole_report() {
    if cmp -s "$artifacts/$1.clipboard" <(expected_report); then
        pass "$1: 'Copy Text' put exactly the whole report on the clipboard"
    else
        fail "$1: the clipboard differs from the expected report"
        diff <(expected_report | tr '\r' '\n') <(tr '\r' '\n' <"$artifacts/$1.clipboard") | head -n 20 || true
    fi
}

# band_extent SHOT LEFT TOP WIDTH HEIGHT: the rightmost drawn pixel of that part of the
# screenshot, counted from LEFT; -1 when it holds only background.
band_extent() {
    local shot=$1 left=$2 top=$3 width=$4 height=$5 cl ct cr cb background box
    read -r cl ct cr cb <<<"$(rect_of client)"
    # The client area's bottom left corner is background: the buttons keep their distance.
    background=$(convert "$shot" -format "%[pixel:p{$((cl + 1)),$((cb - 2))}]" info:)
    box=$(convert "$shot" -crop "${width}x$height+$left+$top" +repage \
        -bordercolor "$background" -border 1 -fuzz 10% -format '%@' info:)
    # WxH+X+Y of what is not background; the border adds 1 to X.
    if [[ $box =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] && ((BASH_REMATCH[1] > 0 && BASH_REMATCH[1] < width)); then
        echo $((BASH_REMATCH[3] - 1 + BASH_REMATCH[1]))
    else
        echo -1
    fi
}

line_height() { echo $(((195 * $1 + 720) / 1440)); }

# The rightmost drawn pixel of the lowest two text lines of the report area, from a
# screenshot saved as NAME.png.
last_lines_extent() {
    local name=$1 line cl ct cr cb bl bt br bb
    line=$(line_height "$2")
    read -r cl ct cr cb <<<"$(rect_of client)"
    read -r bl bt br bb <<<"$(rect_of ScrollBar)"
    import -window root "$artifacts/$name.png"
    band_extent "$artifacts/$name.png" "$cl" $((bb - 2 * line)) $((bl - cl)) $((2 * line))
}

# The rightmost drawn pixel of the report area's second line (where the window says that
# the report is not complete), from a screenshot saved as NAME.png.
second_line_extent() {
    local name=$1 line cl ct cr cb
    line=$(line_height "$2")
    read -r cl ct cr cb <<<"$(rect_of client)"
    import -window root "$artifacts/$name.png"
    band_extent "$artifacts/$name.png" "$cl" $((ct + line + 2)) $((cr - cl)) $((line - 2))
}

# --- At 96, 120 and 144 DPI: geometry, copy, scroll to the end, keyboard, Done.
for dpi in 96 120 144; do
    set_dpi "$dpi"
    name=dpi$dpi
    if ! start_program "$name"; then
        fail "$name: no window with the caption Form1"
        kill "$pid" 2>/dev/null || true
        continue
    fi
    if ! wait_for_report; then
        fail "$name: the report did not appear"
        kill "$pid" 2>/dev/null || true
        continue
    fi
    [[ $(probe_dpi) == "$dpi" ]] && pass "$name: the window runs at $dpi DPI" || fail "$name: the window reports $(probe_dpi) DPI"
    read -r wl wt wr wb <<<"$(rect_of window)"
    if ((wl >= 0 && wt >= 0 && wr <= screen_width && wb <= screen_height)); then
        pass "$name: the window ($wl $wt $wr $wb) lies inside the $screen screen"
    else
        fail "$name: the window ($wl $wt $wr $wb) does not lie inside the $screen screen"
    fi
    read -r cl ct cr cb <<<"$(rect_of client)"
    for button in 'Copy Text' Done; do
        read -r l t r b <<<"$(rect_of "$button")"
        if [[ -n $l ]] && ((l >= cl && t >= ct && r <= cr && b <= cb)); then
            pass "$name: '$button' ($l $t $r $b) lies inside the client area"
        else
            fail "$name: '$button' (${l:-none} ${t:-} ${r:-} ${b:-}) is not inside the client area ($cl $ct $cr $cb)"
        fi
    done
    copy_text "$name"
    check_whole_report "$name"

    # Scroll with the mouse wheel over the report area until the scroll bar is at its end.
    before=$(last_lines_extent "$name-top" "$dpi")
    read -r x y <<<"$(centre_of ScrollBar)"
    xdotool mousemove $((cl + 100)) "$y"
    for _ in $(seq 60); do
        xdotool click --repeat 5 5
        probe_now
        read -r position max page <<<"$(scroll_info)"
        ((position >= max - page + 1)) && break
    done
    read -r position max page <<<"$(scroll_info)"
    if ((position == max - page + 1 && position > 0)); then
        pass "$name: the wheel scrolled the report area to its end ($position of $((max + 1)) pixels, $page visible)"
    else
        fail "$name: the scroll position is $position, not the end ($((max - page + 1)))"
    fi
    sleep 1
    after=$(last_lines_extent "$name-end" "$dpi")
    width=$(($(rect_of ScrollBar | cut -d' ' -f1) - cl))
    if ((after > width * 6 / 10 && before < width * 6 / 10)); then
        pass "$name: at the end the last (long) line is drawn at the bottom of the report area"
    else
        fail "$name: the lowest lines reach $after of $width pixels at the end ($before at the top)"
    fi

    # Keyboard: Home goes back up; Space presses the focused "Copy Text", Tab moves on to "Done"
    # and Enter presses it.
    xdotool windowfocus --sync "$window" 2>/dev/null || true
    xdotool key Home
    sleep 0.5
    probe_now
    read -r position max page <<<"$(scroll_info)"
    ((position == 0)) && pass "$name: Home scrolled back to the top" || fail "$name: Home left the position at $position"
    printf 'before' | xclip -selection clipboard
    xdotool key space
    # The text lands once the window has handled the key, later on a busy machine.
    for _ in $(seq 20); do
        sleep 0.5
        xclip -o -selection clipboard >"$artifacts/$name-space.clipboard" 2>/dev/null || true
        [[ "$(cat "$artifacts/$name-space.clipboard")" != before ]] && break
    done
    if cmp -s "$artifacts/$name-space.clipboard" <(expected_report); then
        pass "$name: Space on the focused 'Copy Text' copied the whole report"
    else
        fail "$name: Space did not copy the report"
    fi
    xdotool key Tab
    sleep 0.5
    xdotool key Return
    ends_with_zero "$name: Tab, Enter on 'Done'" 20
done

# --- Esc ends the program (at 120 DPI, the last set above is 144).
set_dpi 120
if start_program esc && wait_for_report; then
    xdotool windowfocus --sync "$window" 2>/dev/null || true
    xdotool key Escape
    ends_with_zero "esc: Esc" 20
else
    fail "esc: no report window"
    kill "$pid" 2>/dev/null || true
fi

# --- Misbehaving DLLs on the PATH under names of the list.
cp "$testdlls/kelvra_startup_sleep.dll" "$drive_c/UserBin/DravikLib.dll"
cp "$testdlls/kelvra_startup_box.dll" "$drive_c/UserBin/libiomp5md.dll"
box_name='^Kelvra start-up box$'

# answer_box NAME_PATTERN: clicks OK on the box of that caption (in the middle of its lower
# edge), as a person would; the click goes where the pointer is, whatever has the focus.
answer_box() {
    local box X Y WIDTH HEIGHT SCREEN WINDOW
    box=$(timeout 90 xdotool search --sync --name "$1" | head -n 1) || return 1
    for _ in 1 2 3 4 5; do
        eval "$(xdotool getwindowgeometry --shell "$box")"
        xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT - 20 * dpi / 96)) click 1
        sleep 1
        xdotool search --name "$1" >/dev/null 2>&1 || return 0
    done
    return 1
}

# answers_while NAME "WIDTH HEIGHT" TAG [told]: the window answers while a DLL's start-up
# code runs: it takes a new size and lays its buttons out for it, and "Copy Text" copies
# nothing and says so on the window (the notice stays once it has been "told").
answers_while() {
    local name=$1 size=$2 tag=$3 told=${4:-} l t r b dl dt dr db before after
    xdotool windowsize "$window" ${size% *} ${size#* }
    sleep 1
    probe_now
    read -r l t r b <<<"$(rect_of client)"
    read -r dl dt dr db <<<"$(rect_of Done)"
    if ((r - l == ${size% *} && dr <= r && db <= b && dr > r - 40)); then
        pass "$name: the window took the new size and moved 'Done' to its corner"
    else
        fail "$name: the window did not follow the new size (client $l $t $r $b, Done $dl $dt $dr $db)"
    fi
    before=$(second_line_extent "$tag-before-copy" "$dpi")
    printf 'before' | xclip -selection clipboard
    read -r x y <<<"$(centre_of 'Copy Text')"
    for _ in 1 2 3; do
        xdotool mousemove "$x" "$y" click 1
        sleep 1
        after=$(second_line_extent "$tag-after-copy" "$dpi")
        ((after > 0)) && break
    done
    if (((before < 0 || ${#told} > 0) && after > 100)); then
        pass "$name: 'Copy Text' said on the window that the report is not complete yet"
    else
        fail "$name: no notice from 'Copy Text' (second line reaches $before, then $after)"
    fi
    [[ "$(xclip -o -selection clipboard 2>/dev/null)" == before ]] &&
        pass "$name: and copied nothing" || fail "$name: it copied something"
}

screenshot() { import -window root "$artifacts/$1.png"; }

dpi=120
program_args=(/timeout 30)  # DravikLib.dll may take its 12 s
if start_program misbehaving KELVRA_STARTUP_SLEEP_SECONDS=12; then
    sleep 3
    answers_while "misbehaving, while DravikLib.dll sleeps" "900 600" misbehaving-sleeping
    if timeout 90 xdotool search --sync --name "$box_name" >/dev/null 2>&1; then
        answers_while "misbehaving, while libiomp5md.dll shows its box" "1000 650" misbehaving-box told
        answer_box "$box_name" && pass "misbehaving: the DLL's box was answered" || fail "misbehaving: the DLL's box could not be answered"
        if wait_for_report; then
            pass "misbehaving: the report appeared once the box was answered"
            # Without the sleeping DLL, a run that resizing started would bring the box back
            # within a second.
            expected_report >"$artifacts/misbehaving.expected"
            rm "$drive_c/UserBin/DravikLib.dll"
            for size in "800 500" "1200 700" "700 400" "1300 740"; do
                xdotool windowsize "$window" ${size% *} ${size#* }
                sleep 0.7
            done
            sleep 4
            if xdotool search --name "$box_name" >/dev/null 2>&1; then
                fail "misbehaving: the DLL's box came back on resizing"
            else
                pass "misbehaving: the DLL's box did not come back on resizing"
            fi
            screenshot misbehaving-report
            probe_now
            copy_text misbehaving
            if cmp -s "$artifacts/misbehaving.clipboard" "$artifacts/misbehaving.expected"; then
                pass "misbehaving: 'Copy Text' put exactly the whole report on the clipboard"
            else
                fail "misbehaving: the clipboard differs from the expected report"
            fi
            read -r x y <<<"$(centre_of Done)"
            xdotool mousemove "$x" "$y" click 1
            ends_with_zero "misbehaving: Done" 20
        else
            fail "misbehaving: no report after the box was answered"
        fi
    else
        fail "misbehaving: the DLL's box did not appear"
    fi
    kill "$pid" 2>/dev/null || true
else
    fail "misbehaving: no window"
fi
program_args=()
/usr/lib/wine/wineserver -k 2>/dev/null || true

# "Done" and Esc while DravikLib.dll's start-up code sleeps for good.
cp "$testdlls/kelvra_startup_sleep.dll" "$drive_c/UserBin/DravikLib.dll"
for way in Done Escape; do
    name="stuck-$way"
    if start_program "$name" KELVRA_STARTUP_SLEEP_SECONDS=forever; then
        sleep 4  # the 14 files before DravikLib.dll take well under a second
        probe_now
        if scroll_bar_visible; then fail "$name: a report appeared though a DLL never ends its start-up"; fi
        if [[ $way == Done ]]; then
            read -r x y <<<"$(centre_of Done)"
            xdotool mousemove "$x" "$y" click 1
            sleep 1
            xdotool mousemove "$x" "$y" click 1 2>/dev/null || true
        else
            xdotool windowfocus --sync "$window" 2>/dev/null || true
            xdotool key Escape
        fi
        ends_with_zero "$name: $way while a DLL's start-up code sleeps for good" 20
    else
        fail "$name: no window"
    fi
    /usr/lib/wine/wineserver -k 2>/dev/null || true
done
rm -f "$drive_c/UserBin"/*

# --- Every kind of start-up code that would take the report with it, in the window and
# without one, with a time limit of 3 s.
limit=3
declare -A kinds=(
    [libifcoremd.dll]="exits=its start-up code ended the program (exit code 7)"
    [libmmd.dll]="terminates=its start-up code ended the program (exit code 9)"
    [libifportmd.dll]="overflows=its start-up code raised exception 0xC00000FD"
    [libiomp5md.dll]="hangs=its start-up code did not finish within $limit s"
    [DravikLib.dll]="null=No access to memory location."
)
cant_load=()
for name in "${!kinds[@]}"; do
    cp "$testdlls/kelvra_startup_${kinds[$name]%%=*}.dll" "$drive_c/UserBin/$name"
    cant_load+=("$name=${kinds[$name]#*=}")
done
every_kind=("${cant_load[@]}")
# Wine's loader may catch a stack overflow in start-up code itself, and the load then fails
# with "Stack overflow."; that tells the truth as the exception does. Only an exit code would
# not. OUTPUT is what the program produced; the expected report follows its answer.
expect_overflow_as_in() {
    cant_load=("${every_kind[@]}")
    if grep -qa 'libifportmd\.dll: Stack overflow\.' "$1"; then
        echo "(Wine's loader caught the stack overflow of libifportmd.dll itself)"
        cant_load=("${cant_load[@]/#libifportmd.dll=*/libifportmd.dll=Stack overflow.}")
    fi
}
program_args=(/timeout "$limit")
if start_program every-kind && wait_for_report; then
    copy_text every-kind
    expect_overflow_as_in "$artifacts/every-kind.clipboard"
    check_whole_report every-kind
    read -r x y <<<"$(centre_of Done)"
    xdotool mousemove "$x" "$y" click 1
    ends_with_zero "every-kind: Done" 20
else
    fail "every-kind: no report window"
    kill "$pid" 2>/dev/null || true
fi
program_args=()
/usr/lib/wine/wineserver -k 2>/dev/null || true

unattended="$artifacts/every-kind-unattended"
mkdir -p "$unattended"
started=$SECONDS
status=0
(cd "$unattended" && $WINE64 "$exe" /report report.txt /json report.json /timeout "$limit") || status=$?
took=$((SECONDS - started))
((status == 1)) && pass "every-kind /report /json: exit code 1" || fail "every-kind /report /json: exit code $status"
((took <= ${#kinds[@]} * limit + 10)) && pass "every-kind: ended within the limits ($took s)" ||
    fail "every-kind: took $took s"
expect_overflow_as_in "$unattended/report.txt"
if cmp -s "$unattended/report.txt" <(expected_report | python3 -c 'import sys; sys.stdout.buffer.write(sys.stdin.buffer.read().replace(b"\r", b"\r\n") + b"\r\n")'); then
    pass "every-kind /report: the whole report, with a row for each"
else
    fail "every-kind /report: the text differs from the expected report"
    diff <(expected_report | tr '\r' '\n') <(tr -d '\r' <"$unattended/report.txt") | head -n 20 || true
fi
if python3 "$KELVRA_ROOT/scripts/validate_json.py" "$KELVRA_ROOT/schemas/report.schema.json" "$unattended/report.json" &&
    python3 - "$unattended/report.json" "$limit" <<'PY'; then
import json, sys
files = {f["name"]: f for f in json.load(open(sys.argv[1], encoding="utf-8"))["files"]}
limit = int(sys.argv[2])
wanted = {"libifcoremd.dll": {"outcome": "exited", "exitCode": 7},
          "libmmd.dll": {"outcome": "exited", "exitCode": 9},
          "libifportmd.dll": {"outcome": "exception", "exceptionCode": 0xC00000FD},
          "libiomp5md.dll": {"outcome": "timedOut", "limitSeconds": limit},
          "DravikLib.dll": None}
overflow = files["libifportmd.dll"]["load"] or {}
if overflow.get("probe") is None and overflow.get("errorCode") == 1001:
    wanted["libifportmd.dll"] = None  # Wine's loader caught it: ERROR_STACK_OVERFLOW
wrong = [n for n, p in wanted.items() if (files[n]["load"] or {}).get("probe") != p]
sys.exit(f"wrong probe outcomes: {wrong}" if wrong else 0)
PY
    pass "every-kind /json: conforms to the schema and gives each probe's outcome"
else
    fail "every-kind /json: not as expected"
fi

# A report killed while a DLL's start-up code never returns leaves no probe behind.
(cd "$unattended" && exec $WINE64 "$exe" /json killed.json /timeout 120) &
pid=$!
sleep 5
kill -9 "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
sleep 2
# Probes of this prefix (other prefixes may run probes of their own meanwhile).
left=()
for probe_pid in $(pgrep -f 'Kelvra_System_Files_Test.exe /library-probe' || true); do
    tr '\0' '\n' <"/proc/$probe_pid/environ" 2>/dev/null | grep -qx "WINEPREFIX=$prefix" && left+=("$probe_pid")
done
if ((${#left[@]})); then
    fail "a killed report left its probe process behind"
    kill -9 "${left[@]}" 2>/dev/null || true
else
    pass "a killed report leaves no probe process behind"
fi
rm -f "$drive_c/UserBin"/*
/usr/lib/wine/wineserver -k 2>/dev/null || true

echo "Screenshots and copied texts: $artifacts"
if ((failures)); then
    echo "end-to-end (screens): $failures failed"
    exit 1
fi
echo "end-to-end (screens): all passed"
