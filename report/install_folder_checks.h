// The install folder checks that close the report: does the install folder exist, and which
// PATH folders contain the application's folder name.
#pragma once

#include <string>
#include <string_view>

#include "pathcheck/path_table.h"
#include "platform/scripting.h"
#include "platform/window.h"
#include "report/report_facts.h"

namespace report {

inline constexpr std::string_view kInstallFolder = "C:\\Program Files\\Bin\\Quorvane";
inline constexpr std::string_view kApplicationFolderName = "Quorvane";

// "<install folder> Folder exists" or "<install folder> Folder does not exist".
std::string InstallFolderMessage(bool exists);

// Checks the install folder and has the PATH search report name the PATH folders that contain
// the application's folder name, building `pathTable` when it is still empty; the facts get
// both, and the table as it then is.
void CollectInstallFolderChecks(ReportFacts& facts,
                                const platform::scripting::FileSystemObject& fso,
                                pathcheck::PathFolderTable& pathTable);

// Both sections as the window shows them, each after its heading.
void DrawInstallFolderChecks(platform::window::Surface& surface, const ReportFacts& facts);

}  // namespace report
