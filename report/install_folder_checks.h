// The install folder checks that close the report: does the install folder exist, and which
// PATH folders contain the application's folder name.
#pragma once

#include <string>
#include <string_view>

#include "pathcheck/path_table.h"
#include "platform/scripting.h"
#include "platform/window.h"

namespace report {

inline constexpr std::string_view kInstallFolder = "C:\\Program Files\\Bin\\Quorvane";
inline constexpr std::string_view kApplicationFolderName = "Quorvane";

// "<install folder> Folder exists" or "<install folder> Folder does not exist".
std::string InstallFolderMessage(bool exists);

// Draws both sections and returns the two result lines of the pass: the install folder
// message and the PATH search report.
struct InstallFolderResult {
    bool installFolderExists = false;
    std::string message;
    std::string pathReport;
};
InstallFolderResult RunInstallFolderChecks(platform::window::Surface& surface,
                                           const platform::scripting::FileSystemObject& fso,
                                           pathcheck::PathFolderTable& pathTable,
                                           std::string& installFolder);

}  // namespace report
