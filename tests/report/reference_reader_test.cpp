// Reading a reference: the sample machine's facts, references that cannot be used (one line
// each), what a readable one holds that the program does not know, and an older report.
#include "report/reference_reader.h"

#include <gtest/gtest.h>

#include <functional>

#include <nlohmann/json.hpp>

#include "platform/runtime.h"
#include "platform/text.h"
#include "report/file_table.h"
#include "report/json_report.h"
#include "support/report_samples.h"
#include "support/scratch_folder.h"

namespace {

using nlohmann::json;
using namespace std::string_literals;
using report::FileFacts;
using report::LoadFailure;
using report::LoadFailureKind;
using report::ReferenceProblem;

// The sample machine with copies on the search path for two files.
report::ReportFacts SampleFactsWithCopies() {
    using Machine = fileinfo::MachineKind;
    report::ReportFacts facts = kelvra::test::SampleFacts();
    facts.files[0].copies = {
        {"C:\\Windows\\SysWOW64\\COMDLG32.OCX", {}, "6.1.98.39", Machine::kX86, 140096, {}, true},
        {"C:\\Tools\\COMDLG32.OCX", {}, "", Machine::kUnknown, std::nullopt, {}, false}};
    facts.files[2].copies = {
        {"C:\\Tools\\TABCTL32.OCX", {}, "2.0.50727.42", Machine::kX64, 5120, {}, true}};
    return facts;
}

std::string SampleJson() {
    return report::JsonReport(SampleFactsWithCopies(), kelvra::test::SampleRunContext());
}

report::Reference ParseGood(std::string_view text) {
    auto reading = report::ParseReference(text, "C:\\Refs\\good.json", report::kJsonSchemaVersion);
    if (const auto* error = std::get_if<report::ReferenceError>(&reading)) {
        ADD_FAILURE() << error->line;
        return {};
    }
    return std::get<report::Reference>(std::move(reading));
}

TEST(ReferenceReader, TheSampleReportsFacts) {
    const report::Reference reference = ParseGood(SampleJson());
    EXPECT_EQ(reference.identity,
              (report::ReferenceIdentity{"C:\\Refs\\good.json", "SUPPORT-PC-07",
                                         "2026-12-08T08:15:00Z", report::kJsonSchemaVersion}));
    EXPECT_TRUE(reference.notUnderstood.empty());
    report::ComparableFacts expected{{},
                                     true,
                                     true,
                                     true,
                                     report::OsVersionNumbers{10, 0, 19045, 2},
                                     kelvra::test::SampleFacts().knownFolders};
    const LoadFailure none{};
    const LoadFailure notFound{LoadFailureKind::kSystemError, 126};
    for (std::string_view name : report::kFileList) {  // found nowhere, but for those below
        expected.files.push_back({std::string(name), false, "", {}, {}, {}, notFound, "", 0});
    }
    const std::string comdlg = "C:\\Windows\\SysWOW64\\COMDLG32.OCX";
    expected.files[0] = {"COMDLG32.ocx", true,         comdlg, "6.1.98.39", 140096, "x86",
                         none,           "registered", 2};
    const LoadFailure otherMachine{LoadFailureKind::kSystemError, 193};
    expected.files[2] = {"TABCTL32.OCX", false, "C:\\Tools\\TABCTL32.OCX",
                         "2.0.50727.42", 5120,  "x64",
                         otherMachine,   "",    1};
    expected.files[3].loadFailure = LoadFailure{LoadFailureKind::kBrokenLink};
    expected.files[4] = {"COMCTL32.OCX", true, "", {}, {}, {}, none, "", 0};
    expected.files[5] = {"MSCOMCTL.OCX", false, "", {}, {}, {}, none, "", 0};  // the error row
    expected.files[6].loadFailure = LoadFailure{LoadFailureKind::kStartUpCode};
    EXPECT_EQ(reference.facts, expected);
    // The facts a run compares are the facts its JSON gives a later comparison.
    EXPECT_EQ(report::ComparableFactsOf(SampleFactsWithCopies()), expected);
}

TEST(ReferenceReader, ReferencesThatCannotBeUsedSayWhichInOneLine) {
    const std::string sample = SampleJson();
    const auto changed = [&](const char* member, json value) {
        json document = json::parse(sample);
        document[json::json_pointer(member)] = std::move(value);
        return document.dump();
    };
    const struct {
        std::string text;
        ReferenceProblem problem;
        std::string_view saying;
    } cases[] = {
        {"", ReferenceProblem::kEmpty, "is empty"},
        {"\xEF\xBB\xBF \r\n\t", ReferenceProblem::kEmpty, "is empty"},
        {"MZ\x90\0\x03"s, ReferenceProblem::kNotJson, "is not JSON (line 1, column 1)"},
        {"{\"a\": 1}\r\n}", ReferenceProblem::kNotJson, "is not JSON (line 2, column 1)"},
        {"{\"a\": \"x\0y\"}"s, ReferenceProblem::kNotJson, "is not JSON"},
        {"[1e999]", ReferenceProblem::kNotJson, "is not JSON"},
        {sample.substr(0, sample.size() / 2), ReferenceProblem::kTruncated, "is cut off"},
        {"[\"Kelvra_System_Files_Test\", 4]", ReferenceProblem::kNotThisProgram,
         "is not a report of Kelvra_System_Files_Test"},
        {changed("/program/name", "Other_Tool"), ReferenceProblem::kNotThisProgram,
         "is not a report"},
        {changed("/schemaVersion", "4"), ReferenceProblem::kNotThisProgram, "is not a report"},
        {changed("/schemaVersion", 5), ReferenceProblem::kNewerSchema,
         "is a report of a newer version of this program (schema version 5; this one reads up "
         "to 4)"},
        {sample + std::string(report::kMaxReferenceBytes, ' '), ReferenceProblem::kTooLarge,
         "is too large"},
    };
    for (const auto& c : cases) {
        const auto reading = report::ParseReference(c.text, "C:\\Refs\\x\r\ny.json", 4);
        ASSERT_TRUE(std::holds_alternative<report::ReferenceError>(reading)) << c.saying;
        const auto& error = std::get<report::ReferenceError>(reading);
        EXPECT_EQ(error.problem, c.problem) << error.line;
        EXPECT_TRUE(
            error.line.starts_with("The reference C:\\Refs\\x??y.json " + std::string(c.saying)))
            << error.line;
    }
}

TEST(ReferenceReader, FilesOnThePlatformAreCappedAndMayBeUtf16) {
    kelvra::test::ScratchFolder scratch;
    namespace rt = platform::runtime;
    const auto problem = [](const report::ReferenceReading& reading) {
        const auto* error = std::get_if<report::ReferenceError>(&reading);
        return error != nullptr ? std::optional(error->problem) : std::nullopt;
    };
    ASSERT_TRUE(rt::WriteFileBytes(scratch / "huge.json", std::string(100 << 20, ' ')));
    EXPECT_EQ(problem(report::ReadReferenceFile(scratch / "huge.json", report::kJsonSchemaVersion)),
              ReferenceProblem::kTooLarge);
    EXPECT_EQ(problem(report::ReadReferenceFile(scratch / "none.json", report::kJsonSchemaVersion)),
              ReferenceProblem::kCannotRead);
    // As Windows PowerShell's ">" saves the standard output: UTF-16LE with its mark.
    const auto bytes = platform::text::EncodeRegistryString(SampleJson());
    const std::string utf16 = "\xFF\xFE" + std::string(bytes.begin(), bytes.end() - 2);
    ASSERT_TRUE(rt::WriteFileBytes(scratch / "utf16.json", utf16));
    const auto reading =
        report::ReadReferenceFile(scratch / "utf16.json", report::kJsonSchemaVersion);
    ASSERT_FALSE(problem(reading));
    EXPECT_EQ(std::get<report::Reference>(reading).facts, ParseGood(SampleJson()).facts);
}

TEST(ReferenceReader, WhatThisProgramDoesNotKnowBecomesADifference) {
    const json sample = json::parse(SampleJson());
    const struct {
        std::function<void(json&)> change;
        std::string subject;
        std::string held;
    } cases[] = {
        {[](json& d) { d["files"][0]["located"] = "yes"; }, "COMDLG32.ocx", "\"located\": \"yes\""},
        {[](json& d) { d["files"][0]["copies"][0]["size"] = -1; }, "COMDLG32.ocx", "\"size\": -1"},
        {[](json& d) { d["files"][2]["copies"][0]["machine"] = "arm64"; }, "TABCTL32.OCX",
         "\"machine\": \"arm64\""},
        {[](json& d) { d["files"][0]["copies"][1] = json::array({json::array()}); }, "COMDLG32.ocx",
         "\"copies\": an array of 1 items"},
        {[](json& d) { d["files"][1]["load"]["errorCode"] = 4294967296.0; }, "MSFLXGRD.OCX",
         "\"errorCode\": 4294967296.0"},
        {[](json& d) { d["files"][6]["load"]["probe"]["outcome"] = std::string(200, '\n'); },
         "MSCOMCT2.OCX", "\"outcome\": \"" + std::string(80, '?') + "...\""},
        {[](json& d) { d["files"][0]["registration"]["verdict"] = nullptr; }, "COMDLG32.ocx",
         "\"verdict\": null"},
        {[](json& d) { d["files"][3]["brokenLink"] = 1; }, "RICHTX32.OCX", "\"brokenLink\": 1"},
        {[](json& d) { d["files"][19]["name"] = "EVIL\r\n.dll"; }, "EVIL??.dll",
         "a file that is not on this program's list"},
        {[](json& d) { d["files"][19]["name"] = "libMMD.DLL"; }, "libmmd.dll",
         "a second entry for this file"},
        {[](json& d) { d["files"][19] = 7; }, "files", "a file without a name: 7"},
        {[](json& d) { d["installFolder"] = "C:\\Q"; }, "installFolder",
         "\"installFolder\": \"C:\\\\Q\""},
        {[](json& d) { d["installFolder"]["onPath"] = 1; }, "path", "\"onPath\": 1"},
        {[](json& d) { d["os"]["build"] = "19045"; }, "os", "\"build\": \"19045\""},
        {[](json& d) { d["knownFolders"]["windows"] = false; }, "knownFolders",
         "\"windows\": false"},
    };
    for (const auto& c : cases) {
        json changed = sample;
        c.change(changed);
        const report::Reference reference = ParseGood(changed.dump());
        EXPECT_EQ(reference.notUnderstood,
                  (std::vector<report::Difference>{{c.subject, "notUnderstood", "", c.held}}))
            << c.held;
    }
}

TEST(ReferenceReader, AnOlderReportIsReadForWhatItHolds) {
    // Schema version 2: no copies, no run-time releases, the Reg_Info text as "registration".
    json old = json::parse(SampleJson());
    old["schemaVersion"] = 2;
    old.erase("runtimeReleases");
    for (json& file : old["files"]) {
        file.erase("copies");
        file["registration"] = file["regInfo"];
    }
    const report::Reference reference = ParseGood(old.dump());
    EXPECT_TRUE(reference.notUnderstood.empty());
    EXPECT_EQ(reference.facts.runtimeReleasesAgree, std::nullopt);
    EXPECT_EQ(reference.facts.files[0],
              (FileFacts{"COMDLG32.ocx", true, "C:\\Windows\\SysWOW64\\COMDLG32.OCX", "6.1.98.39",
                         140096, std::nullopt, LoadFailure{}, std::nullopt, std::nullopt}));
    EXPECT_EQ(reference.facts.files[2].pathInUse, "C:\\Tools\\TABCTL32.OCX");
    EXPECT_EQ(reference.facts.files[2].machine, "x64");
    EXPECT_EQ(reference.facts.files[1].pathInUse, "");
}

}  // namespace
