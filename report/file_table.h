// The file version verification table: one row per file of a fixed list, on the window and
// as a comma-separated result line in the report text.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "fileinfo/dll_version.h"
#include "platform/window.h"
#include "report/column_layout.h"
#include "report/report_facts.h"

namespace report {

// The files checked by passes 1 to 19, in pass order, spelled as they are passed on.
inline constexpr std::array<std::string_view, 19> kFileList = {
    "COMDLG32.ocx",    "MSFLXGRD.OCX", "TABCTL32.OCX",    "RICHTX32.OCX",  "COMCTL32.OCX",
    "MSCOMCTL.OCX",    "MSCOMCT2.OCX", "THREED32.OCX",    "SPIN32.OCX",    "GRID32.OCX",
    "DBGRID32.ocx",    "VBPrnDLG.dll", "GDI32.dll",       "MSVBVM60.dll",  "DravikLib.dll",
    "libifcoremd.dll", "libmmd.dll",   "libifportmd.dll", "libiomp5md.dll"};

inline constexpr std::string_view kErrorRowPrefix = "  Error loading file info for : ";

// Loads the file's information; sets `ierr` to -1 when that fails, and leaves it otherwise.
void clsVersionLoadFileInfo(fileinfo::CDLLVersion& clsVersion, std::string& sModule,
                            std::string& sCLSID, std::string& sCLSIDVer, long& ierr);

// Loads the information of the file of pass `pass` (1 to 19) and returns what its row shows.
FileRowRecord CollectFileRow(fileinfo::CDLLVersion& version, int pass);

// The row's result line in the report text: the error row, or the path, Reg_Info, date, size
// and version separated by commas ("na" for no date or size).
std::string FileRowLine(const FileRowRecord& row);

// Draws the row at the columns, set apart by an empty line before the rows of passes 15 and 16.
void DrawFileRow(platform::window::Surface& surface, const ColumnPositions& columns,
                 const FileRowRecord& row);

}  // namespace report
