#!/usr/bin/env python3
"""The report text that the program must show and copy on the end-to-end test's Wine prefix.

It knows the prefix as the test prepared it: the title lines as Wine's en-US locale and its
Windows version word them, the 19 file rows (a file of the list that lies in the prefix's
system folder is loaded from there; every other one is not located), the install folder
message and the PATH block for the PATH that the test wrote.
"""
import argparse
import datetime
import os
import struct
import sys

FILES = ["COMDLG32.ocx", "MSFLXGRD.OCX", "TABCTL32.OCX", "RICHTX32.OCX", "COMCTL32.OCX",
         "MSCOMCTL.OCX", "MSCOMCT2.OCX", "THREED32.OCX", "SPIN32.OCX", "GRID32.OCX",
         "DBGRID32.ocx", "VBPrnDLG.dll", "GDI32.dll", "MSVBVM60.dll", "DravikLib.dll",
         "libifcoremd.dll", "libmmd.dll", "libifportmd.dll", "libiomp5md.dll"]


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


def file_row(name, system32):
    on_disk = {entry.lower(): entry for entry in os.listdir(system32)}
    found = on_disk.get(name.lower())
    if found is None:
        return f"Unable to locate {name}, ,na,na, "
    path = os.path.join(system32, found)
    stamp = datetime.datetime.fromtimestamp(os.stat(path).st_mtime)
    size = os.path.getsize(path)
    # The program imports GDI32.dll under that name, and Wine keeps it for the loaded module.
    return (f"C:\\windows\\system32\\{name}, n/a, {short_date(stamp)}, {size} bytes, "
            f"{file_version(path)}")


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
    args = parser.parse_args()

    today = short_date(datetime.date.today())
    os_name = "Unknown"
    section = f"  File version verification {today} on {os_name}"
    if args.log:
        sys.stdout.buffer.write(f"{section}\r\n\r\n  File,Reg_Info,Date,Size,Version\r\n".encode())
        return
    system32 = os.path.join(args.prefix, "drive_c", "windows", "system32")
    text = (f"  Kelvra System Files verification {today} on {os_name}"
            "\t File\t Reg_Info\tDate\tSize\t Version")
    text += f"\r\r{section}\r\r  File,Reg_Info,Date,Size,Version"
    for name in FILES:
        text += "\r" + file_row(name, system32)
    folder = "C:\\Program Files\\Bin\\Quorvane"
    text += "\r" + folder + (" Folder does not exist" if args.install_missing else " Folder exists")
    text += "\r" + path_block(not args.install_missing, args.user_folder)
    sys.stdout.buffer.write(text.encode("utf-8"))


if __name__ == "__main__":
    main()
