#!/usr/bin/env python3
"""The report text that the program must show and copy on the end-to-end test's Wine prefix.

It knows the prefix as the test prepared it: the title lines as Wine's en-US locale and its
Windows version word them, the 19 file rows (a file of the list that lies in the prefix's
system folder is loaded from there; a copy in a --copies-in folder that the program cannot
load, being of the other machine or missing a DLL it imports, is a "Can't load" row; every
other one is not located), the install folder message and the PATH block for the PATH that the
test wrote. With --json-model it prints, instead, what the JSON report must say of each file
(with the copy in use) and whether the compiler run-time files in use share one release.
"""
import argparse
import datetime
import json
import os
import struct
import sys

FILES = ["COMDLG32.ocx", "MSFLXGRD.OCX", "TABCTL32.OCX", "RICHTX32.OCX", "COMCTL32.OCX",
         "MSCOMCTL.OCX", "MSCOMCT2.OCX", "THREED32.OCX", "SPIN32.OCX", "GRID32.OCX",
         "DBGRID32.ocx", "VBPrnDLG.dll", "GDI32.dll", "MSVBVM60.dll", "DravikLib.dll",
         "libifcoremd.dll", "libmmd.dll", "libifportmd.dll", "libiomp5md.dll"]

# The compiler run-time files, which must come from one release (major, minor and build).
RUNTIME_FILES = ["libifcoremd.dll", "libmmd.dll", "libifportmd.dll", "libiomp5md.dll"]


def short_date(day):
    return f"{day.month}/{day.day}/{day.year}"


def file_version(path):
    data = open(path, "rb").read()
    start = data.find("VS_VERSION_INFO".encode("utf-16-le"))
    at = data.find(b"\xbd\x04\xef\xfe", max(start, 0))
    if start < 0 or at < 0:
        return ""
    ms, ls = struct.unpack_from("<II", data, at + 8)
    return f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}"


MACHINES = {0x14C: "x86", 0x8664: "x64"}
# Wine's en-US text for ERROR_BAD_EXE_FORMAT (193), with the file's name for its insert
# (Windows words it "%1 is not a valid Win32 application.").
BAD_IMAGE_TEXT = "Bad EXE format for {name}."


def pe_machine_and_imports(path):
    """The image's machine ("x86", "x64" or None) and the DLL names it imports directly."""
    data = open(path, "rb").read()
    if len(data) < 0x40 or data[:2] != b"MZ":
        return None, []
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        return None, []
    machine, sections = struct.unpack_from("<HH", data, pe + 4)
    optional_size = struct.unpack_from("<H", data, pe + 20)[0]
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    directories = optional + (96 if magic == 0x10B else 112)
    import_rva = struct.unpack_from("<I", data, directories + 8)[0]
    table = optional + optional_size
    spans = [struct.unpack_from("<IIII", data, table + 40 * i + 8) for i in range(sections)]

    def offset(rva):
        for size, address, _raw_size, raw in spans:
            if address <= rva < address + max(size, _raw_size):
                return rva - address + raw
        return None

    imports = []
    at = offset(import_rva) if import_rva else None
    while at is not None and at + 20 <= len(data):
        name_rva = struct.unpack_from("<I", data, at + 12)[0]
        if name_rva == 0:
            break
        name_at = offset(name_rva)
        imports.append(data[name_at:data.index(b"\0", name_at)].decode("ascii"))
        at += 20
    return MACHINES.get(machine), imports


def local_date(path):
    return short_date(datetime.datetime.fromtimestamp(os.stat(path).st_mtime))


def unix_path(prefix, windows_path):
    """Where a C:\\ path of the prefix lies, each name matched without regard to case."""
    path = os.path.join(prefix, "drive_c")
    for name in windows_path[3:].split("\\"):
        path = find_in(path, name) or os.path.join(path, name)
    return path


def find_in(folder, name):
    if not os.path.isdir(folder):
        return None
    on_disk = {entry.lower(): entry for entry in os.listdir(folder)}
    found = on_disk.get(name.lower())
    return os.path.join(folder, found) if found else None


def file_model(name, system32, copies, bits):
    """What the row of `name` must say: a dict with the row text and the JSON facts."""
    path = find_in(system32, name)
    if path is not None:
        # The program imports GDI32.dll under that name, and Wine keeps it for the loaded module.
        shown = f"C:\\windows\\system32\\{name}"
        return {"row": (f"{shown}, n/a, {local_date(path)}, {os.path.getsize(path)} bytes, "
                        f"{file_version(path)}"),
                "located": True, "path": shown, "load": None, "copy": None,
                "inUse": shown, "version": file_version(path)}
    for windows_folder, unix_folder in copies:
        copy = find_in(unix_folder, name)
        if copy is None:
            continue
        copy_path = windows_folder + "\\" + os.path.basename(copy)
        machine, imports = pe_machine_and_imports(copy)
        own = "x64" if bits == 64 else "x86"
        missing = [dll for dll in imports
                   if find_in(system32, dll) is None
                   and all(find_in(folder, dll) is None for _, folder in copies)]
        if machine != own:
            code, reason = 193, BAD_IMAGE_TEXT.format(name=os.path.basename(copy))
            missing_import = None
        elif missing:
            code, reason = 126, f"it needs {missing[0]}, which cannot be found"
            missing_import = missing[0]
        else:
            shown = copy_path
            return {"row": (f"{shown}, n/a, {local_date(copy)}, {os.path.getsize(copy)} bytes, "
                            f"{file_version(copy)}"),
                    "located": True, "path": shown, "load": None, "copy": None,
                    "inUse": shown, "version": file_version(copy)}
        shown = f"Can't load {copy_path}: {reason}"
        return {"row": (f"{shown}, n/a, {local_date(copy)}, {os.path.getsize(copy)} bytes, "
                        f"{file_version(copy)}"),
                # The walk of imports names a DLL it imports directly that lies nowhere; a
                # copy of the other machine is not walked.
                "brokenLink": reason if missing_import else None,
                "located": False, "path": shown, "load": {"errorCode": code},
                "copy": {"path": copy_path, "machine": machine, "canBeLoaded": False,
                         "missingImport": missing_import},
                "inUse": copy_path, "version": file_version(copy)}
    return {"row": f"Unable to locate {name}, ,na,na, ", "located": False,
            "path": f"Unable to locate {name}", "load": {"errorCode": 126}, "copy": None,
            "inUse": None, "version": ""}


def path_block(install_exists, user_folder):
    lines = "\rSystem PATH environment variables for Quorvane\r"
    lines += ("\rQuorvane C:\\Program Files\\Bin\\Quorvane\\\r"
              "\tFull Path Name: C:\\Program Files\\Bin\\Quorvane\\\r")
    if not install_exists:
        lines += "\tFolder does not exist\r"
    lines += ("\rQuorvane C:\\program files\\bin\\quorvane\\: C:\\program files\\bin\\quorvane\\\r"
              "\tPATH duplicated\r")
    if not install_exists:
        lines += "\tFolder does not exist\r"
    lines += ("\rQuorvane C:\\Missing\\Quorvane\\\r\tFull Path Name: C:\\Missing\\Quorvane\\\r"
              "\tFolder does not exist\r")
    lines += "\r\rUser PATH environment variables\r"
    lines += f"\rQuorvane {user_folder}\\\r\tFull Path Name: {user_folder}\\\r"
    return lines + "\r"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--prefix", required=True)
    parser.add_argument("--log", action="store_true", help="print DLLver.log instead")
    parser.add_argument("--install-missing", action="store_true")
    parser.add_argument("--user-folder", default="C:\\Users\\Public\\QuorvaneTools")
    parser.add_argument("--copies-in", action="append", default=[],
                        help="a folder of the PATH (C:\\...) that may hold copies of listed files")
    parser.add_argument("--bits", type=int, default=64, help="the program's: 32 or 64")
    parser.add_argument("--json-model", action="store_true")
    args = parser.parse_args()
    copies = [(folder, unix_path(args.prefix, folder)) for folder in args.copies_in]

    today = short_date(datetime.date.today())
    os_name = "Unknown"
    section = f"  File version verification {today} on {os_name}"
    if args.log:
        sys.stdout.buffer.write(f"{section}\r\n\r\n  File,Reg_Info,Date,Size,Version\r\n".encode())
        return
    system32 = os.path.join(args.prefix, "drive_c", "windows", "system32")
    models = [dict(file_model(name, system32, copies, args.bits), name=name) for name in FILES]
    if args.json_model:
        releases = {tuple(m["version"].split(".")[:3]) for m in models
                    if m["name"] in RUNTIME_FILES and m["version"]}
        json.dump({"files": models, "installFolderExists": not args.install_missing,
                   "runtimeReleasesAgree": len(releases) <= 1}, sys.stdout, indent=1)
        return
    text = (f"  Kelvra System Files verification {today} on {os_name}"
            "\t File\t Reg_Info\tDate\tSize\t Version")
    text += f"\r\r{section}\r\r  File,Reg_Info,Date,Size,Version"
    for model in models:
        text += "\r" + model["row"]
    folder = "C:\\Program Files\\Bin\\Quorvane"
    text += "\r" + folder + (" Folder does not exist" if args.install_missing else " Folder exists")
    text += "\r" + path_block(not args.install_missing, args.user_folder)
    # The block "Broken links" after the PATH block, which ends with an empty line.
    links = "".join(f"{m['name']}: {m['brokenLink']}\r" for m in models if m.get("brokenLink"))
    if links:
        text += "Broken links\r\r" + links + "\r"
    sys.stdout.buffer.write(text.encode("utf-8"))


if __name__ == "__main__":
    main()
