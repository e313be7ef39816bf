#!/usr/bin/env bash
# End-to-end test of broken links, under wine64 without a window, with DLLs built by the build.
# The user PATH of the test's own prefix names one folder that holds
#   libiomp5md.dll   importing kelvra_ver2.dll, which there imports a DLL found nowhere: the
#                    load fails, and the row names the last link, two DLLs down;
#   libifcoremd.dll  importing KelvraAlpha and ordinal 7 of kelvra_exports.dll, whose copy there
#                    exports neither: Wine binds them to stubs and loads it (Windows would
#                    refuse it), so its row is as ever and the block lists it.
# /report and /json must name both in the block "Broken links" and in the JSON's brokenLink,
# conform to the schema, and exit with 1.
set -euo pipefail
KELVRA_ROOT=$(cd "$(dirname "$0")/.." && pwd)
source "$KELVRA_ROOT/scripts/wine-env.sh"

export WINEPREFIX="$KELVRA_ROOT/build/wineprefix-e2e-links"
exe="$KELVRA_ROOT/build/win64/bin/Kelvra_System_Files_Test.exe"
dlls="$KELVRA_ROOT/build/win64/testdata/x64"
work="$KELVRA_ROOT/build/e2e-links"
ensure_prefix64 "$WINEPREFIX"

links="$WINEPREFIX/drive_c/KelvraLinks"
rm -rf "$links" "$work"
mkdir -p "$links" "$work"
cp "$dlls/kelvra_usesver2.dll" "$links/libiomp5md.dll"
cp "$dlls/kelvra_badimport.dll" "$links/kelvra_ver2.dll"
cp "$dlls/kelvra_imports.dll" "$links/libifcoremd.dll"
cp "$dlls/kelvra_ver6.dll" "$links/kelvra_exports.dll"
$WINE64 reg add 'HKCU\Environment' /v PATH /t REG_SZ /f /d 'C:\KelvraLinks' >/dev/null
/usr/lib/wine/wineserver -w

status=0
(cd "$work" && exec $WINE64 "$exe" /report report.txt /json report.json) || status=$?
/usr/lib/wine/wineserver -k 2>/dev/null || true

cd "$KELVRA_ROOT"
PYTHONPATH=scripts python3 - "$work" "$status" <<'PY'
import json, subprocess, sys
from e2e_checks import check, finish, report_lines
work, status = sys.argv[1], int(sys.argv[2])
L = "C:\\KelvraLinks\\"

check("exit code 1", status, 1)
lines = report_lines(f"{work}/report.txt")
missing = ("it needs kelvra_ver2.dll, which needs kelvra_missing_dependency.dll, "
           "which cannot be found")
export = (f"it needs KelvraAlpha from kelvra_exports.dll, which {L}kelvra_exports.dll "
          "6.0.8169.0 does not export")
check("the row of the file that cannot load names the last link",
      [line for line in lines if line.startswith(f"Can't load {L}libiomp5md.dll")],
      [f"Can't load {L}libiomp5md.dll: {missing}, n/a, " + line.split(", n/a, ")[1]
       for line in lines if line.startswith(f"Can't load {L}libiomp5md.dll")][:1])
check("the row of the file that Wine loads is as ever",
      [line.split(",")[0] for line in lines if "libifcoremd.dll" in line][:1],
      [f"{L}libifcoremd.dll"])
heading = "Broken links"
block = lines[lines.index(heading) - 1:] if heading in lines else []
check("the block, set off by an empty line, names both", block[:6],
      ["", heading, "", f"libifcoremd.dll: {export}", f"libiomp5md.dll: {missing}", ""])
schema = subprocess.run([sys.executable, "scripts/validate_json.py", "schemas/report.schema.json",
                         f"{work}/report.json"], capture_output=True, text=True)
check("the JSON report conforms to the schema", schema.stdout + schema.stderr, "")
files = {f["name"]: f for f in json.load(open(f"{work}/report.json", encoding="utf-8"))["files"]}
check("the JSON's broken link of libiomp5md.dll, and its copy cannot be loaded",
      (files["libiomp5md.dll"]["brokenLink"]["kind"], files["libiomp5md.dll"]["brokenLink"]["chain"],
       files["libiomp5md.dll"]["copy"]["canBeLoaded"]),
      ("missingDll", ["kelvra_ver2.dll", "kelvra_missing_dependency.dll"], False))
link = files["libifcoremd.dll"]["brokenLink"] or {}
check("the JSON's broken link of libifcoremd.dll",
      (link.get("kind"), link.get("copy"), link.get("function"), files["libifcoremd.dll"]["located"]),
      ("missingExport", L + "kelvra_exports.dll", "KelvraAlpha", True))
finish()
PY
