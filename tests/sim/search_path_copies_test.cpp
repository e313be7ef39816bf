// The block "Copies on the search path" on arranged simulated machines, through a run without
// a window: the block's lines (and where the window draws them), the JSON and the exit code.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "pathcheck/path_report.h"
#include "platform/sim/machine.h"
#include "report/file_table.h"
#include "report/report_blocks.h"
#include "report/unattended_run.h"
#include "report/verification_report.h"
#include "support/test_data.h"

namespace {

using nlohmann::json;
using platform::sim::Machine;
using platform::sim::RecordingSurface;

constexpr std::string_view kTools = "C:\\Tools";
constexpr std::string_view kInstall = "C:\\Program Files\\Bin\\Quorvane";
const std::string kVer2 = "2.0.50727.42";
const std::string kVer6 = "6.0.8169.0";

// Every file of the list as a loadable 32-bit DLL of version 2 in C:\Tools, and the install
// folder on the PATH: everything is in place.
void ArrangeOrdinaryMachine(Machine& m) {
    m.AddFolder(kInstall);
    for (std::string_view name : report::kFileList) {
        if (name != "GDI32.dll") {
            m.AddFile(std::string(kTools) + "\\" + std::string(name),
                      kelvra::test::TestDataBytes("x86/kelvra_ver2.dll"));
        }
    }
    m.SetEnv("PATH", m.systemFolder + ";" + std::string(kTools) + ";" + std::string(kInstall));
}

std::vector<std::string> Lines(std::string_view text, std::string_view separator) {
    std::vector<std::string> lines;
    for (std::size_t start = 0;;) {
        const auto cut = text.find(separator, start);
        lines.emplace_back(text.substr(start, cut - start));
        if (cut == std::string_view::npos) {
            return lines;
        }
        start = cut + separator.size();
    }
}

struct Case {
    std::string_view name;
    std::string pathAdded;                                   // after the ordinary PATH
    std::vector<std::pair<std::string, std::string>> files;  // path, test file
    std::vector<std::string> block;  // the lines after the heading; none: no block
    int exitCode;
    std::vector<std::string> dravikCopies;  // DravikLib.dll's copies in the JSON, "*" in use
    bool runtimeReleasesAgree;
};

TEST(SearchPathCopies, MachinesWithCopiesAndRunTimeReleases) {
    const std::string later = "C:\\Later\\DravikLib.dll";
    const std::string tools = "C:\\Tools\\DravikLib.dll";
    const std::string own = "C:\\Program Files\\Kelvra\\DravikLib.dll";
    const std::vector<Case> cases = {
        {"one copy", "", {}, {}, 0, {"*" + tools}, true},
        {"a newer copy behind an older one",
         ";C:\\Later",
         {{later, "x86/kelvra_ver6.dll"}},
         {"", "DravikLib.dll: in use " + tools + " " + kVer2,
          "\talso " + later + " " + kVer6 + " x86",
          "\tAn older copy comes first: " + later + " further along is " + kVer6, "", ""},
         0,
         {"*" + tools, later},
         true},
        // The library search passes over a copy built for the other machine and takes the
        // next one, as Wine's loader and Windows' do.
        {"the other machine's copy first",
         "",
         {{own, "x64/kelvra_ver2.dll"}},
         {"", "DravikLib.dll: in use " + tools + " " + kVer2,
          "\talso " + own + " " + kVer2 + " x64", "", ""},
         0,
         {own, "*" + tools},
         true},
        {"the run-time files from two releases",
         "",
         {{"C:\\Tools\\libifportmd.dll", "x86/kelvra_ver6.dll"},
          {"C:\\Tools\\libiomp5md.dll", "x86/kelvra_ver6.dll"}},
         {"",
          "The compiler run-time files in use come from different releases: libifcoremd.dll " +
              kVer2 + " in C:\\Tools\\, libmmd.dll " + kVer2 + " in C:\\Tools\\, libifportmd.dll " +
              kVer6 + " in C:\\Tools\\, libiomp5md.dll " + kVer6 + " in C:\\Tools\\",
          "", ""},
         1,
         {"*" + tools},
         false},
        {"a folder twice on the PATH", ";c:\\tools\\.\\", {}, {}, 0, {"*" + tools}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        platform::sim::Reset();
        Machine& m = platform::sim::machine();
        ArrangeOrdinaryMachine(m);
        m.SetEnv("PATH", *m.GetEnv("PATH") + c.pathAdded);
        for (const auto& [path, testFile] : c.files) {
            m.AddFile(path, kelvra::test::TestDataBytes(testFile));
        }
        EXPECT_EQ(report::RunWithoutWindow(
                      report::ParseCommandLine({"/report", "report.txt", "/json", "report.json"})),
                  c.exitCode);

        const std::string& written = m.FindFile("report.txt")->bytes;
        const std::vector<std::string> lines =
            Lines(std::string_view(written).substr(0, written.size() - 2), "\r\n");
        const auto heading = std::find(lines.begin(), lines.end(), report::kCopiesHeading);
        EXPECT_EQ(heading == lines.end() ? std::vector<std::string>{}
                                         : std::vector<std::string>(heading + 1, lines.end()),
                  c.block);

        const json doc = json::parse(m.FindFile("report.json")->bytes);
        std::vector<std::string> copies;
        for (const json& copy : doc["files"][14]["copies"]) {
            copies.push_back((copy["inUse"] ? "*" : "") + copy["path"].get<std::string>());
        }
        EXPECT_EQ(copies, c.dravikCopies);
        EXPECT_EQ(doc["runtimeReleases"]["agree"], c.runtimeReleasesAgree);

        // The window draws the block below the PATH block, a line of the text on each line.
        report::VerificationReport window;
        RecordingSurface surface(16800);
        const std::vector<std::string> text = Lines(window.Run(surface), "\r");
        const auto& ops = surface.ops();
        const auto drawn = std::find_if(ops.begin(), ops.end(), [](const auto& op) {
            return op.text == report::kCopiesHeading;
        });
        const std::string pathHeading = pathcheck::ReportHeading(1, "Quorvane");
        const auto pathDrawn = std::find_if(ops.begin(), ops.end(),
                                            [&](const auto& op) { return op.text == pathHeading; });
        ASSERT_NE(pathDrawn, ops.end());
        if (!c.block.empty()) {
            ASSERT_NE(drawn, ops.end());
            const auto linesBetween = std::find(text.begin(), text.end(), report::kCopiesHeading) -
                                      std::find(text.begin(), text.end(), pathHeading);
            EXPECT_EQ(drawn->y - pathDrawn->y, linesBetween * RecordingSurface::kLineHeight);
        }
    }
}

}  // namespace
