#include "report/install_folder_checks.h"

#include "pathcheck/path_report.h"

namespace report {
namespace {

void SpacerLines(platform::window::Surface& surface, int count) {
    for (int i = 0; i < count; ++i) {
        surface.Print("  ", true);
    }
}

}  // namespace

std::string InstallFolderMessage(bool exists) {
    return std::string(kInstallFolder) + (exists ? " Folder exists" : " Folder does not exist");
}

InstallFolderResult RunInstallFolderChecks(platform::window::Surface& surface,
                                           const platform::scripting::FileSystemObject& fso,
                                           pathcheck::PathFolderTable& pathTable,
                                           std::string& installFolder) {
    InstallFolderResult result;
    installFolder = kInstallFolder;
    result.installFolderExists = fso.FolderExists(installFolder);
    result.message = InstallFolderMessage(result.installFolderExists);
    SpacerLines(surface, 3);
    surface.Print("  Check that install folder exists", true);
    SpacerLines(surface, 1);
    surface.Print("  " + result.message, false);

    const std::string folderName(kApplicationFolderName);
    pathcheck::display_path_info(pathTable, fso, 1, result.pathReport, folderName);
    SpacerLines(surface, 3);  // the first of them ends the message line
    surface.Print("  Check that install folder is included in PATH", true);
    SpacerLines(surface, 1);
    surface.Print("  " + result.pathReport, false);
    return result;
}

}  // namespace report
