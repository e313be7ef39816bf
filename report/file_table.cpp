#include "report/file_table.h"

#include "platform/runtime.h"

namespace report {

void clsVersionLoadFileInfo(fileinfo::CDLLVersion& clsVersion, std::string& sModule,
                            std::string& sCLSID, std::string& sCLSIDVer, long& ierr) {
    try {
        clsVersion.LoadFileInfo(sModule, sCLSID, sCLSIDVer);
    } catch (...) {
        ierr = -1;
    }
}

std::string RunFilePass(platform::window::Surface& surface, fileinfo::CDLLVersion& version,
                        const ColumnPositions& columns, int pass) {
    std::string sCLSID;
    std::string sCLSIDVer;
    if (pass == 15 || pass == 16) {
        surface.Print("  ", true);  // sets the groups apart
    }
    std::string sModule(kFileList.at(static_cast<std::size_t>(pass - 1)));
    long loadError = 0;
    clsVersionLoadFileInfo(version, sModule, sCLSID, sCLSIDVer, loadError);
    if (loadError != 0) {
        std::string line = std::string(kErrorRowPrefix) + sModule;
        surface.Print(line, true);
        return line;
    }

    std::string line = version.FilePathName();
    surface.Print("  " + version.FilePathName(), false);

    surface.SetCurrentX(static_cast<double>(columns.regInfo));
    surface.Print(" " + version.FileRegistrationInfo(), false);
    line += ", " + version.FileRegistrationInfo();

    surface.SetCurrentX(static_cast<double>(columns.date));
    if (!version.FileDate().IsZero()) {
        const std::string date = platform::runtime::FormatShortDate(version.FileDate());
        surface.Print(date, false);
        line += ", " + date;
    } else {
        line += ",na";
    }

    surface.SetCurrentX(static_cast<double>(columns.size));
    if (version.FileSize() != 0) {
        const std::string size = std::to_string(version.FileSize()) + " bytes";
        surface.Print(size, false);
        line += ", " + size;
    } else {
        line += ",na";
    }

    surface.SetCurrentX(static_cast<double>(columns.version));
    surface.Print(version.FileVersion(), true);
    line += ", " + version.FileVersion();
    return line;
}

}  // namespace report
