// Runs with /compare on arranged simulated machines: a reference made with /json on one
// machine, the same machine changed in one way or another, and the block, the JSON's
// comparison and the exit code of the comparing run; a reference that cannot be used ends the
// run with 2 before any report is written.
#include <gtest/gtest.h>

#include <functional>

#include <nlohmann/json.hpp>

#include "platform/sim/machine.h"
#include "report/file_table.h"
#include "report/form1.h"
#include "report/unattended_run.h"
#include "report/verification_report.h"
#include "support/test_data.h"

namespace {

using nlohmann::json;
using platform::sim::Machine;

constexpr std::string_view kTools = "C:\\Tools";
constexpr std::string_view kInstall = "C:\\Program Files\\Bin\\Quorvane";
constexpr std::string_view kHeading = "Differences from the reference";

Machine& m() {
    return platform::sim::machine();
}

void ArrangeOrdinaryMachine() {
    platform::sim::Reset();
    m().AddFolder(kInstall);
    for (std::string_view name : report::kFileList) {
        if (name != "GDI32.dll") {
            m().AddFile(std::string(kTools) + "\\" + std::string(name),
                        kelvra::test::TestDataBytes("x86/kelvra_ver2.dll"));
        }
    }
    m().SetEnv("PATH", m().systemFolder + ";" + std::string(kTools) + ";" + std::string(kInstall));
}

int RunProgram(std::vector<std::string> arguments) {
    return report::RunWithoutWindow(report::ParseCommandLine(arguments));
}

// The lines of the written report from the block's heading on.
std::vector<std::string> BlockOf(std::string_view text) {
    std::vector<std::string> lines;
    const auto heading = text.find(kHeading);
    for (std::size_t start = heading; start != std::string_view::npos && start < text.size();) {
        const auto cut = text.find("\r\n", start);
        lines.emplace_back(text.substr(start, cut - start));
        start = cut == std::string_view::npos ? cut : cut + 2;
    }
    return lines;
}

TEST(CompareRun, ChangesToAMachineAgainstItsReference) {
    const std::string referenceLine =
        "Compared with C:\\ref.json, made on KELVRA-SIM at 2026-12-08 08:15:00 UTC";
    const struct {
        std::string_view name;
        std::function<void()> change;
        int exitCode;
        std::vector<std::string> differences;
    } cases[] = {
        {"nothing changed", [] {}, 0, {"No differences."}},
        {"a file replaced and one removed",
         [] {
             m().AddFile("C:\\Tools\\libmmd.dll",
                         kelvra::test::TestDataBytes("x86/kelvra_ver6.dll"));
             m().RemoveFile("C:\\Tools\\DravikLib.dll");
         },
         1,
         {"DravikLib.dll: not located here, C:\\Tools\\DravikLib.dll in the reference",
          "libmmd.dll: version 6.0.8169.0 here, 2.0.50727.42 in the reference",
          "Run-time files in use from one release: no here, yes in the reference"}},
        {"the install folder taken off the PATH",
         [] { m().SetEnv("PATH", m().systemFolder + ";" + std::string(kTools)); },
         1,
         {"Install folder on the PATH: no here, yes in the reference"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ArrangeOrdinaryMachine();
        ASSERT_EQ(RunProgram({"/json", "C:\\ref.json"}), 0);
        c.change();
        EXPECT_EQ(RunProgram({"/compare", "C:\\ref.json", "/report", "r.txt", "/json", "r.json"}),
                  c.exitCode);
        const std::string text = m().FindFile("r.txt")->bytes;
        std::vector<std::string> expected = {std::string(kHeading), "", referenceLine};
        expected.insert(expected.end(), c.differences.begin(), c.differences.end());
        expected.insert(expected.end(), {"", ""});
        EXPECT_EQ(BlockOf(text), expected);
        // Set off from the block before it by an empty line, whatever that block's last line.
        EXPECT_NE(text.find("\r\n\r\n" + std::string(kHeading)), std::string::npos);

        const json doc = json::parse(m().FindFile("r.json")->bytes);
        EXPECT_EQ(doc["comparison"]["reference"]["path"], "C:\\ref.json");
        EXPECT_EQ(doc["comparison"]["differences"].size(),
                  c.exitCode == 0 ? 0 : c.differences.size());
        // The window's run says the same.
        report::VerificationReport::Settings settings;
        settings.reference =
            report::ReadCompareOption(report::ParseCommandLine({"/compare", "C:\\ref.json"}))
                .reference;
        report::VerificationReport window(std::move(settings));
        platform::sim::RecordingSurface surface(platform::window::kDesignWindowWidthTwips);
        EXPECT_EQ(report::WithCrLf(window.Run(surface)), text);
    }
}

TEST(CompareRun, AReferenceThatCannotBeUsedEndsTheRunWith2AndWritesNothing) {
    ArrangeOrdinaryMachine();
    ASSERT_EQ(RunProgram({"/json", "C:\\ref.json"}), 0);
    json newer = json::parse(m().FindFile("C:\\ref.json")->bytes);
    newer["schemaVersion"] = 99;
    m().AddFile("C:\\newer.json", newer.dump());
    m().AddFile("C:\\notjson.json", "report");
    for (const std::string reference : {"C:\\newer.json", "C:\\notjson.json", "C:\\none.json"}) {
        SCOPED_TRACE(reference);
        m().standardError = "";
        EXPECT_EQ(RunProgram({"-Compare", reference, "/report", "r.txt", "/json", "-"}), 2);
        EXPECT_EQ(m().FindFile("r.txt"), nullptr);
        EXPECT_EQ(m().standardOutput.value_or(""), "");
        EXPECT_TRUE(
            m().standardError->starts_with("Kelvra_System_Files_Test: The reference " + reference))
            << *m().standardError;
        EXPECT_EQ(std::count(m().standardError->begin(), m().standardError->end(), '\n'), 1);
        // A window run says it in a box and shows no report.
        m().messageBoxes.clear();
        EXPECT_EQ(report::RunReportWindow(report::ParseCommandLine({"/compare", reference})), 2);
        ASSERT_EQ(m().messageBoxes.size(), 1u);
        EXPECT_TRUE(m().messageBoxes[0].starts_with("The reference " + reference));
    }
}

}  // namespace
