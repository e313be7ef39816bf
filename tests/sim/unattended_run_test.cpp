// Runs without a window on arranged simulated machines: the text that /report writes is the
// window's report text with CR LF, the JSON carries each kind of row as the run found it, the
// exit code tells whether anything is missing, and an output that cannot be written gives 2
// without touching what was there.
#include "report/unattended_run.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "platform/sim/machine.h"
#include "platform/window.h"
#include "report/file_table.h"
#include "report/verification_report.h"
#include "support/test_data.h"

namespace {

using nlohmann::json;
using report::CommandLine;

constexpr std::string_view kTools = "C:\\Tools";
constexpr std::string_view kInstall = "C:\\Program Files\\Bin\\Quorvane";

class UnattendedRun : public ::testing::Test {
  protected:
    void SetUp() override {
        platform::sim::Reset();
        m().AddFolder(kTools);
        m().AddFolder(kInstall);
        m().SetEnv("PATH",
                   m().systemFolder + ";" + std::string(kTools) + ";" + std::string(kInstall));
    }
    static platform::sim::Machine& m() { return platform::sim::machine(); }

    // Every file of the list as a loadable 32-bit DLL in the tools folder.
    static void PlaceEveryFile() {
        for (std::string_view name : report::kFileList) {
            if (name != "GDI32.dll") {
                m().AddFile(std::string(kTools) + "\\" + std::string(name),
                            kelvra::test::TestDataBytes("x86/kelvra_ver2.dll"),
                            {2010, 11, 30, 8, 0, 0});
            }
        }
    }

    static CommandLine Command(std::vector<std::string> arguments) {
        return report::ParseCommandLine(arguments);
    }

    // The report text of a window's run on the same machine.
    static std::string WindowReportText() {
        report::VerificationReport report;
        const auto surface = platform::window::CreateOffscreenSurface(
            platform::window::kDesignWindowWidthTwips, platform::window::kDesignClientHeightTwips);
        return report.Run(*surface);
    }

    static json FileNamed(const json& doc, std::string_view name) {
        for (const json& file : doc["files"]) {
            if (file["name"] == name) {
                return file;
            }
        }
        return nullptr;
    }
};

TEST_F(UnattendedRun, EverythingInPlaceExitsWith0AndWritesTheWindowsTextWithCrLf) {
    PlaceEveryFile();
    EXPECT_EQ(report::RunWithoutWindow(Command({"/report", "C:\\out\\report.txt"})), 2)
        << "no such folder";
    EXPECT_EQ(m().FindFile("C:\\out\\report.txt"), nullptr);
    m().AddFolder("C:\\out");
    EXPECT_EQ(report::RunWithoutWindow(Command({"-REPORT", "C:\\out\\report.txt"})), 0);
    const auto* written = m().FindFile("C:\\out\\report.txt");
    ASSERT_NE(written, nullptr);
    const std::string window = WindowReportText();
    EXPECT_EQ(written->bytes, report::WithCrLf(window));
    EXPECT_EQ(written->bytes.find("Unable to locate"), std::string::npos);
    EXPECT_NE(m().FindFile("DLLver.log"), nullptr) << "the log is written as in a window run";
    EXPECT_TRUE(m().messageBoxes.empty());
    EXPECT_TRUE(m().systemErrorBoxesSuppressed) << "nobody is there to answer a box";
}

TEST_F(UnattendedRun, AMissingFileOrAnInstallFolderOffThePathExitsWith1) {
    PlaceEveryFile();
    ASSERT_TRUE(m().RemoveFile(std::string(kTools) + "\\libmmd.dll"));
    EXPECT_EQ(report::RunWithoutWindow(Command({"/json", "report.json"})), 1);
    EXPECT_EQ(FileNamed(json::parse(m().FindFile("report.json")->bytes), "libmmd.dll")["located"],
              false);

    PlaceEveryFile();
    m().SetEnv("PATH", m().systemFolder + ";" + std::string(kTools));
    EXPECT_EQ(report::RunWithoutWindow(Command({"/json", "report.json"})), 1);
    const json doc = json::parse(m().FindFile("report.json")->bytes);
    EXPECT_EQ(doc["installFolder"]["exists"], true);
    EXPECT_EQ(doc["installFolder"]["onPath"], false);
}

TEST_F(UnattendedRun, TheJsonCarriesEveryKindOfRowAsTheRunFoundIt) {
    m().AddFile(std::string(kTools) + "\\DravikLib.dll",
                kelvra::test::TestDataBytes("x86/kelvra_ver2.dll"), {2010, 11, 30, 8, 0, 0});
    m().AddFile(std::string(kTools) + "\\libmmd.dll",
                kelvra::test::TestDataBytes("x64/kelvra_ver2.dll"));
    m().AddFile(std::string(kTools) + "\\libifcoremd.dll",
                kelvra::test::TestDataBytes("x86/kelvra_badimport.dll"));
    m().AddFile(std::string(kTools) + "\\libiomp5md.dll",
                kelvra::test::TestDataBytes("x86/kelvra_nover.dll"));
    m().standardOutput = "";
    EXPECT_EQ(report::RunWithoutWindow(Command({"/json", "-"})), 1);
    const json doc = json::parse(*m().standardOutput);
    EXPECT_EQ(doc["machineName"], "KELVRA-SIM");
    EXPECT_EQ(doc["generatedAt"], "2026-12-08T08:15:00Z");
    ASSERT_EQ(doc["files"].size(), report::kFileList.size());
    for (std::size_t i = 0; i < report::kFileList.size(); ++i) {
        EXPECT_EQ(doc["files"][i]["name"], report::kFileList[i]) << "report order";
    }

    const json located = FileNamed(doc, "DravikLib.dll");
    EXPECT_EQ(located["located"], true);
    EXPECT_EQ(located["path"], "C:\\Tools\\DravikLib.dll");
    EXPECT_EQ(located["date"], "2010-11-30T08:00:00");
    EXPECT_EQ(located["version"], "2.0.50727.42");
    EXPECT_EQ(located["load"], nullptr);

    const json nowhere = FileNamed(doc, "MSFLXGRD.OCX");
    EXPECT_EQ(nowhere["located"], false);
    EXPECT_EQ(nowhere["path"], "Unable to locate MSFLXGRD.OCX");
    EXPECT_EQ(nowhere["load"]["errorCode"], 126);
    EXPECT_EQ(nowhere["copy"], nullptr);

    const json otherMachine = FileNamed(doc, "libmmd.dll");
    EXPECT_EQ(otherMachine["located"], false);
    EXPECT_EQ(otherMachine["load"]["errorCode"], 193);
    EXPECT_EQ(otherMachine["copy"]["path"], "C:\\Tools\\libmmd.dll");
    EXPECT_EQ(otherMachine["copy"]["machine"], "x64");
    EXPECT_EQ(otherMachine["copy"]["canBeLoaded"], false);
    EXPECT_EQ(otherMachine["path"],
              "Can't load C:\\Tools\\libmmd.dll: libmmd.dll is not a valid Win32 application.");

    const json missingImport = FileNamed(doc, "libifcoremd.dll");
    EXPECT_EQ(missingImport["located"], false);
    EXPECT_EQ(missingImport["copy"]["machine"], "x86");
    EXPECT_EQ(missingImport["copy"]["missingImport"], "kelvra_missing_dependency.dll");
    EXPECT_EQ(missingImport["regInfo"], "n/a");

    const json noVersion = FileNamed(doc, "libiomp5md.dll");
    EXPECT_EQ(noVersion["located"], true);
    EXPECT_EQ(noVersion["version"], "");
    EXPECT_GT(noVersion["size"], 0);

    EXPECT_EQ(doc["installFolder"]["path"], kInstall);
    EXPECT_EQ(doc["installFolder"]["exists"], true);
    EXPECT_EQ(doc["installFolder"]["onPath"], true);
    EXPECT_EQ(doc["installFolder"]["pathFolders"], json::array({std::string(kInstall) + "\\"}))
        << "as the report's PATH block names them";
}

// Whatever the files' start-up code does, the run writes its whole report and exits with 1.
TEST_F(UnattendedRun, MisbehavingStartUpCodeBecomesRowsOfAWholeReport) {
    const struct {
        std::string_view name;
        std::string_view dll;
        json probe;
    } cases[] = {
        {"libifcoremd.dll", "kelvra_startup_exits.dll", {{"outcome", "exited"}, {"exitCode", 7}}},
        {"libmmd.dll", "kelvra_startup_terminates.dll", {{"outcome", "exited"}, {"exitCode", 9}}},
        {"libifportmd.dll",
         "kelvra_startup_overflows.dll",
         {{"outcome", "exception"}, {"exceptionCode", 0xC00000FDu}}},
        {"libiomp5md.dll",
         "kelvra_startup_hangs.dll",
         {{"outcome", "timedOut"}, {"limitSeconds", 1}}},
        // Nobody answers a box in a run without a window.
        {"DravikLib.dll", "kelvra_startup_box.dll", {{"outcome", "timedOut"}, {"limitSeconds", 1}}},
    };
    for (const auto& c : cases) {
        m().AddFile(std::string(kTools) + "\\" + std::string(c.name),
                    kelvra::test::TestDataBytes("x86/" + std::string(c.dll)));
    }
    m().standardOutput = "";
    EXPECT_EQ(
        report::RunWithoutWindow(Command({"/timeout", "1", "/report", "report.txt", "/json", "-"})),
        1);
    const json doc = json::parse(*m().standardOutput);
    const std::string text = m().FindFile("report.txt")->bytes;
    EXPECT_EQ(doc["failedPasses"], json::array());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const json file = FileNamed(doc, c.name);
        EXPECT_EQ(file["load"]["probe"], c.probe);
        EXPECT_EQ(file["load"]["errorCode"], nullptr);
        const std::string row = file["path"];
        EXPECT_TRUE(row.starts_with("Can't load C:\\Tools\\" + std::string(c.name) +
                                    ": its start-up code "))
            << row;
        EXPECT_NE(text.find(row + ", n/a, "), std::string::npos) << "the text report has the row";
    }
    EXPECT_EQ(FileNamed(doc, "libiomp5md.dll")["path"],
              "Can't load C:\\Tools\\libiomp5md.dll: its start-up code did not finish within 1 s");
    EXPECT_NE(text.find("Quorvane"), std::string::npos) << "the install folder checks ran";
}

TEST_F(UnattendedRun, OutputsThatCannotBeWrittenGive2AndLeaveWhatWasThere) {
    m().AddFile("C:\\out\\report.txt", "the previous report", {},
                platform::kernel32::kFileAttributeReadOnly);
    m().standardError = "";
    EXPECT_EQ(report::RunWithoutWindow(Command({"/report", "C:\\out\\report.txt"})), 2);
    EXPECT_EQ(m().FindFile("C:\\out\\report.txt")->bytes, "the previous report");
    EXPECT_EQ(*m().standardError, "Kelvra_System_Files_Test: cannot write C:\\out\\report.txt\r\n");

    m().standardError = "";
    m().standardOutput.reset();  // no standard output attached
    EXPECT_EQ(report::RunWithoutWindow(Command({"/json", "-"})), 2);
    EXPECT_NE(m().standardError->find("standard output"), std::string::npos);
}

TEST_F(UnattendedRun, UsageAndMistakesNeedNoRun) {
    m().standardOutput = "";
    m().standardError = "";
    EXPECT_EQ(report::RunWithoutWindow(Command({"/?"})), 0);
    EXPECT_EQ(*m().standardOutput, report::UsageText());
    EXPECT_EQ(report::RunWithoutWindow(Command({"/jsn", "x"})), 2);
    EXPECT_EQ(*m().standardError, "Kelvra_System_Files_Test: unknown option /jsn (see /?)\r\n");
    EXPECT_EQ(m().FindFile("DLLver.log"), nullptr) << "no run";

    m().standardOutput.reset();
    EXPECT_EQ(report::RunWithoutWindow(Command({"-h"})), 0);
    EXPECT_EQ(m().messageBoxes, std::vector<std::string>{report::UsageText()});
}

TEST(UnattendedReportText, MessagesAndFailedPassesFollowTheReportOneLineEach) {
    EXPECT_EQ(report::UnattendedReportText("a\rb", {}), "a\r\nb\r\n");
    EXPECT_EQ(report::UnattendedReportText("a", {"first\r\nsecond", "x\ny\rz"}, {3}),
              "a\r\n  Message: first second\r\n  Message: x y z\r\n"
              "  Pass 3 of 20 did not complete: an error of the program's own ended it\r\n");
}

}  // namespace
