#!/usr/bin/env bash
# End-to-end test of the copies on the search path, under wine64 without a window. The user
# PATH of the test's own prefix names two folders: the first holds DravikLib.dll 2.0.50727.42
# with libifcoremd.dll and libmmd.dll of that release, the second DravikLib.dll 6.0.8169.0 with
# libifportmd.dll and libiomp5md.dll of release 6.0.8169. /report and /json must end the report
# with the block "Copies on the search path" (an older copy comes first, the run-time files in
# use come from different releases), write JSON that conforms to the schema and lists both
# copies, and exit with 1.
# Then /compare on the same prefix: the JSON report just written is the reference; compared with
# it, the unchanged machine differs in nothing (exit 0); with one run-time file replaced by
# another release and one removed, the block names both (exit 1); a reference that is no JSON
# gives exit 2, one line on standard error and no report.
set -euo pipefail
KELVRA_ROOT=$(cd "$(dirname "$0")/.." && pwd)
source "$KELVRA_ROOT/scripts/wine-env.sh"

export WINEPREFIX="$KELVRA_ROOT/build/wineprefix-e2e-copies"
exe="$KELVRA_ROOT/build/win64/bin/Kelvra_System_Files_Test.exe"
dlls="$KELVRA_ROOT/build/win64/testdata/x64"
work="$KELVRA_ROOT/build/e2e-copies"
ensure_prefix64 "$WINEPREFIX"

first="$WINEPREFIX/drive_c/KelvraFirst" second="$WINEPREFIX/drive_c/KelvraSecond"
rm -rf "$first" "$second" "$work"
mkdir -p "$first" "$second" "$work"
for name in DravikLib.dll libifcoremd.dll libmmd.dll; do cp "$dlls/kelvra_ver2.dll" "$first/$name"; done
for name in DravikLib.dll libifportmd.dll libiomp5md.dll; do cp "$dlls/kelvra_ver6.dll" "$second/$name"; done
$WINE64 reg add 'HKCU\Environment' /v PATH /t REG_SZ /f /d 'C:\KelvraFirst;C:\KelvraSecond' >/dev/null
/usr/lib/wine/wineserver -w

# run NAME ARGS...: the program in the work folder; its exit code goes to $work/NAME.status and
# its standard error to $work/NAME.stderr.
run() {
    local name=$1 status=0
    shift
    (cd "$work" && exec $WINE64 "$exe" "$@" 2> "$name.stderr") || status=$?
    echo "$status" > "$work/$name.status"
}

run copies /report report.txt /json report.json
status=$(cat "$work/copies.status")
run same /compare report.json /report same.txt /json same.json
cp "$dlls/kelvra_ver6.dll" "$first/libmmd.dll"
rm "$second/libiomp5md.dll"
run changed /compare report.json /report changed.txt /json changed.json
echo "not a report" > "$work/bad.json"
run bad /compare bad.json /report bad.txt /json bad-out.json
/usr/lib/wine/wineserver -k 2>/dev/null || true

cd "$KELVRA_ROOT"
PYTHONPATH=scripts python3 - "$work" "$status" <<'PY'
import json, os, subprocess, sys
from e2e_checks import check, finish, report_lines
work, status = sys.argv[1], int(sys.argv[2])
A, B, v2, v6 = "C:\\KelvraFirst\\", "C:\\KelvraSecond\\", "2.0.50727.42", "6.0.8169.0"

check("exit code 1", status, 1)
lines = report_lines(f"{work}/report.txt")
block = lines[lines.index("Copies on the search path"):] if "Copies on the search path" in lines else []
check("the report ends with the block of copies", block, [
    "Copies on the search path", "",
    f"DravikLib.dll: in use {A}DravikLib.dll {v2}",
    f"\talso {B}DravikLib.dll {v6} x64",
    f"\tAn older copy comes first: {B}DravikLib.dll further along is {v6}", "",
    "The compiler run-time files in use come from different releases: "
    f"libifcoremd.dll {v2} in {A}, libmmd.dll {v2} in {A}, libifportmd.dll {v6} in {B}, "
    f"libiomp5md.dll {v6} in {B}", "", "", ""])
schema = subprocess.run([sys.executable, "scripts/validate_json.py", "schemas/report.schema.json",
                         f"{work}/report.json"], capture_output=True, text=True)
check("the JSON report conforms to the schema", schema.stdout + schema.stderr, "")
doc = json.load(open(f"{work}/report.json", encoding="utf-8"))
dravik = next(f for f in doc["files"] if f["name"] == "DravikLib.dll")
check("the JSON lists both copies of DravikLib.dll in search order",
      [(c["path"], c["version"], c["machine"], c["inUse"]) for c in dravik["copies"]],
      [(A + "DravikLib.dll", v2, "x64", True), (B + "DravikLib.dll", v6, "x64", False)])
check("the JSON has the note on DravikLib.dll", len(dravik["notes"]), 1)
check("the JSON's run-time releases",
      (doc["runtimeReleases"]["agree"], [f["version"] for f in doc["runtimeReleases"]["files"]]),
      (False, [v2, v2, v6, v6]))

def block(name):
    lines = report_lines(f"{work}/{name}.txt")
    heading = "Differences from the reference"
    return lines[lines.index(heading) - 1:] if heading in lines else []
def status_of(name):
    return int(open(f"{work}/{name}.status").read())
same = block("same")
check("compared with itself: exit code 0", status_of("same"), 0)
check("compared with itself: the block says so, set off by an empty line",
      same[:3] + [same[3].startswith("Compared with report.json, made on ")] + same[4:],
      ["", "Differences from the reference", "", True, "No differences.", "", "", ""])
check("the comparison's JSON conforms to the schema", subprocess.run(
    [sys.executable, "scripts/validate_json.py", "schemas/report.schema.json", f"{work}/same.json"],
    capture_output=True, text=True).stdout, "")
check("a file replaced and one removed: exit code 1", status_of("changed"), 1)
check("a file replaced and one removed: the block names both", block("changed")[4:], [
    f"libmmd.dll: version {v6} here, {v2} in the reference",
    f"libiomp5md.dll: not located here, {B}libiomp5md.dll in the reference", "", "", ""])
differences = json.load(open(f"{work}/changed.json", encoding="utf-8"))["comparison"]["differences"]
check("a file replaced and one removed: the JSON's differences",
      [(d["subject"], d["field"]) for d in differences],
      [("libmmd.dll", "version"), ("libiomp5md.dll", "located")])
check("a reference that is no JSON: exit code 2", status_of("bad"), 2)
stderr = open(f"{work}/bad.stderr", encoding="utf-8", errors="replace").read()
check("a reference that is no JSON: one line on standard error",
      (stderr.count("\n"), "bad.json is not JSON" in stderr), (1, True))
check("a reference that is no JSON: no report", [os.path.exists(f"{work}/{f}") for f in
      ("bad.txt", "bad-out.json")], [False, False])
finish()
PY
