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

void CollectInstallFolderChecks(ReportFacts& facts,
                                const platform::scripting::FileSystemObject& fso,
                                pathcheck::PathFolderTable& pathTable) {
    facts.installFolder.path = kInstallFolder;
    facts.installFolder.exists = fso.FolderExists(facts.installFolder.path);
    const std::string folderName(kApplicationFolderName);
    pathcheck::display_path_info(pathTable, fso, 1, facts.pathReport, folderName);
    facts.pathTable = pathTable;
    facts.installFolderChecked = true;
}

void DrawInstallFolderChecks(platform::window::Surface& surface, const ReportFacts& facts) {
    SpacerLines(surface, 3);
    surface.Print("  Check that install folder exists", true);
    SpacerLines(surface, 1);
    surface.Print("  " + InstallFolderMessage(facts.installFolder.exists), false);
    SpacerLines(surface, 3);  // the first of them ends the message line
    surface.Print("  Check that install folder is included in PATH", true);
    SpacerLines(surface, 1);
    surface.Print("  " + facts.pathReport, false);
}

}  // namespace report
