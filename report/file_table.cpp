#include "report/file_table.h"

#include "platform/runtime.h"

namespace report {
namespace {

std::string ErrorRowText(const FileRowRecord& row) {
    return std::string(kErrorRowPrefix) + row.name;
}

std::string SizeText(const FileRowRecord& row) {
    return std::to_string(row.size) + " bytes";
}

}  // namespace

void clsVersionLoadFileInfo(fileinfo::CDLLVersion& clsVersion, std::string& sModule,
                            std::string& sCLSID, std::string& sCLSIDVer, long& ierr) {
    try {
        clsVersion.LoadFileInfo(sModule, sCLSID, sCLSIDVer);
    } catch (...) {
        ierr = -1;
    }
}

FileRowRecord CollectFileRow(fileinfo::CDLLVersion& version, int pass) {
    FileRowRecord row;
    row.name = kFileList.at(static_cast<std::size_t>(pass - 1));
    std::string sModule = row.name;
    std::string sCLSID;
    std::string sCLSIDVer;
    long loadError = 0;
    clsVersionLoadFileInfo(version, sModule, sCLSID, sCLSIDVer, loadError);
    row.loadInfoFailed = loadError != 0;
    if (!row.loadInfoFailed) {
        row.located = version.Located();
        row.path = version.FilePathName();
        row.regInfo = version.FileRegistrationInfo();
        row.date = version.FileDate();
        row.size = version.FileSize();
        row.version = version.FileVersion();
        row.diagnosis = version.Diagnosis();
        row.filePath = version.DescribedFilePath();
    }
    return row;
}

std::string FileRowLine(const FileRowRecord& row) {
    if (row.loadInfoFailed) {
        return ErrorRowText(row);
    }
    std::string line = row.path + ", " + row.regInfo;
    line += row.date.IsZero() ? ",na" : ", " + platform::runtime::FormatShortDate(row.date);
    line += row.size == 0 ? ",na" : ", " + SizeText(row);
    return line + ", " + row.version;
}

void DrawFileRow(platform::window::Surface& surface, const ColumnPositions& columns,
                 const FileRowRecord& row) {
    if (const int pass = PassOfRow(row); pass == 15 || pass == 16) {
        surface.Print("  ", true);  // sets the groups apart
    }
    if (row.loadInfoFailed) {
        surface.Print(ErrorRowText(row), true);
        return;
    }
    surface.Print("  " + row.path, false);
    surface.SetCurrentX(static_cast<double>(columns.regInfo));
    surface.Print(" " + row.regInfo, false);
    surface.SetCurrentX(static_cast<double>(columns.date));
    if (!row.date.IsZero()) {
        surface.Print(platform::runtime::FormatShortDate(row.date), false);
    }
    surface.SetCurrentX(static_cast<double>(columns.size));
    if (row.size != 0) {
        surface.Print(SizeText(row), false);
    }
    surface.SetCurrentX(static_cast<double>(columns.version));
    surface.Print(row.version, true);
}

}  // namespace report
