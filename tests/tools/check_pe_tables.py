#!/usr/bin/env python3
"""Holds what our PE reader reads (tests/tools/pe_tables.cpp) against what the MinGW objdump -p
prints for the same files (imports, exports) and llvm-readobj --coff-imports (the delay-load
table, which objdump does not print). Usage: check_pe_tables.py PE_TABLES_TOOL SAMPLE_FOLDER
FILE...; the tool's builder samples are written into SAMPLE_FOLDER and checked too."""
import glob
import os
import re
import subprocess
import sys


def objdump_for(path):
    with open(path, "rb") as f:
        data = f.read()
    pe = int.from_bytes(data[0x3C:0x40], "little")
    machine = int.from_bytes(data[pe + 4:pe + 6], "little")
    return "x86_64-w64-mingw32-objdump" if machine == 0x8664 else "i686-w64-mingw32-objdump"


def objdump_lines(path):
    text = subprocess.run([objdump_for(path), "-p", path], check=True, capture_output=True,
                          text=True).stdout
    lines = []
    dll = None
    base = None
    exports = {}   # unbiased index -> (rva kind, forwarder)
    names = []     # (name, unbiased index) in table order
    section = None
    for line in text.splitlines():
        if line.startswith("\tDLL Name: "):
            dll, section = line.split(": ", 1)[1], "import"
            continue
        m = re.match(r"Export Address Table -- Ordinal Base (\d+)", line)
        if m:
            base, section = int(m.group(1)), "eat"
            continue
        if line.startswith("[Ordinal/Name Pointer] Table"):
            section = "names"
            continue
        if not line.strip():
            if section == "import":
                section = None
            continue
        if section == "import" and not line.strip().startswith("vma:"):
            fields = line.split()
            if fields[-1] == "<none>":
                lines.append(f"import {dll} #{int(fields[0], 16) & 0xFFFF}")
            else:
                lines.append(f"import {dll} {fields[2]}")
        elif section == "eat":
            m = re.match(r"\s*\[\s*(\d+)\] \+base\[\s*(\d+)\] [0-9a-f]+ (Export|Forwarder) RVA"
                         r"(?: -- (.*))?$", line)
            if m:
                exports[int(m.group(1))] = m.group(4)
            else:
                section = None
        elif section == "names":
            m = re.match(r"\s*\[\s*(\d+)\] (\S+)$", line)
            if m:
                names.append((m.group(2), int(m.group(1))))
            else:
                section = None
    for index in sorted(exports):
        first = next((n for n, i in names if i == index), "-")
        forwarder = exports[index]
        lines.append(f"export {base + index} {first}" + (f" {forwarder}" if forwarder else ""))
    for name, index in sorted(names):
        lines.append(f"exportname {name} {base + index}")
    return lines


def readobj_delay_lines(path):
    text = subprocess.run(["llvm-readobj", "--coff-imports", path], check=True,
                          capture_output=True, text=True).stdout
    lines = []
    dll = None
    in_delay = False
    for line in text.splitlines():
        stripped = line.strip()
        if stripped.startswith("DelayImport {"):
            in_delay = True
        elif stripped.startswith("Import {") and not line.startswith(" "):
            in_delay = False
        elif in_delay and stripped.startswith("Name: "):
            dll = stripped[len("Name: "):]
        elif in_delay and stripped.startswith("Symbol: "):
            m = re.match(r"Symbol: (\S*) ?\((\d+)\)$", stripped)
            name = m.group(1)
            lines.append(f"delay {dll} {name}" if name else f"delay {dll} #{m.group(2)}")
    return lines


def ours(tool, args):
    text = subprocess.run([tool] + args, check=True, capture_output=True, text=True).stdout
    files = {}
    current = None
    for line in text.splitlines():
        if line.startswith("file "):
            current = line[5:]
            files[current] = []
        else:
            files[current].append(line)
    return files


def main():
    tool, samples = sys.argv[1], sys.argv[2]
    os.makedirs(samples, exist_ok=True)
    paths = sys.argv[3:]
    read = ours(tool, ["--write-samples", samples] + paths + sorted(glob.glob(samples + "/*.dll")))
    failures = 0
    checked = 0
    for path, lines in read.items():
        imports = [l for l in lines if l.startswith("import ")]
        delays = [l for l in lines if l.startswith("delay ")]
        exports = [l for l in lines if l.startswith("export")]
        theirs = objdump_lines(path)
        expected = {
            "import": [l for l in theirs if l.startswith("import ")],
            "delay": readobj_delay_lines(path),
            "export": [l for l in theirs if l.startswith("export")],
        }
        for kind, got in (("import", imports), ("delay", delays), ("export", exports)):
            if got != expected[kind]:
                failures += 1
                print(f"{path}: the {kind} table differs\n  ours:   {got}\n  theirs: {expected[kind]}")
        if any(l.startswith("unreadable") for l in lines):
            failures += 1
            print(f"{path}: {[l for l in lines if l.startswith('unreadable')]}")
        checked += 1
    print(f"{checked} files checked, {failures} differences")
    return 1 if failures or checked == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
