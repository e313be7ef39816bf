#!/usr/bin/env python3
"""Compares the JSON report of an end-to-end run with the model that expected_report.py
computes from the prefix: check_report_json.py REPORT.json MODEL.json. For each of the 19 files,
in report order: its name, whether it was located, the path text of its row, and for a row that
names a copy, the load's error code, the copy's path and machine, and the missing import; no
type-library registration (the prefix has no ActiveX controls); the copy marked in use among its
copies on the search path; then the install folder, whether the compiler run-time files agree,
and the verdict. Prints each difference and exits 1 when there is one."""
import json
import sys


def main():
    report = json.load(open(sys.argv[1], encoding="utf-8"))
    model = json.load(open(sys.argv[2], encoding="utf-8"))
    problems = []

    def expect(where, actual, wanted):
        if actual != wanted:
            problems.append(f"{where}: {actual!r}, expected {wanted!r}")

    files = report.get("files", [])
    expect("number of files", len(files), len(model["files"]))
    for got, want in zip(files, model["files"]):
        name = want["name"]
        expect(f"{name}: name", got.get("name"), name)
        expect(f"{name}: located", got.get("located"), want["located"])
        expect(f"{name}: path", got.get("path"), want["path"])
        load = got.get("load")
        if want["load"] is None:
            expect(f"{name}: load", load, None)
        else:
            expect(f"{name}: load error code", (load or {}).get("errorCode"),
                   want["load"]["errorCode"])
        expect(f"{name}: copy", got.get("copy"), want["copy"])
        expect(f"{name}: registration", got.get("registration", "missing"), None)
        if want["located"]:
            expect(f"{name}: size given", got.get("size", 0) > 0, True)
        in_use = [c["path"] for c in got.get("copies", []) if c.get("inUse")]
        expect(f"{name}: copy in use", in_use, [want["inUse"]] if want["inUse"] else [])
    folder = report.get("installFolder", {})
    expect("installFolder.exists", folder.get("exists"), model["installFolderExists"])
    expect("installFolder.onPath", folder.get("onPath"), True)
    agree = model["runtimeReleasesAgree"]
    expect("runtimeReleases.agree", report.get("runtimeReleases", {}).get("agree"), agree)
    everything = (all(f["located"] for f in model["files"]) and model["installFolderExists"]
                  and agree)
    expect("everythingInPlace", report.get("everythingInPlace"), everything)
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
