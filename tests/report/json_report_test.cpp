// The JSON report of a machine with every kind of row, parsed back with the JSON library and
// compared field by field; and the verdict that the unattended run's exit code is made from.
#include "report/json_report.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "support/report_samples.h"

namespace {

using nlohmann::json;
using report::FileRowRecord;
using report::ReportFacts;

json Parse(const ReportFacts& facts) {
    return json::parse(report::JsonReport(facts, kelvra::test::SampleRunContext()));
}

TEST(JsonReport, EveryKindOfRowFieldByField) {
    const json doc = Parse(kelvra::test::SampleFacts());
    EXPECT_EQ(doc["schemaVersion"], 6);
    EXPECT_EQ(doc["program"], json({{"name", "Kelvra_System_Files_Test"}, {"version", "1.0.0"}}));
    EXPECT_EQ(doc["machineName"], "SUPPORT-PC-07");
    EXPECT_EQ(doc["generatedAt"], "2026-12-08T08:15:00Z");
    EXPECT_EQ(doc["os"], json({{"name", "Unknown"},
                               {"major", 10},
                               {"minor", 0},
                               {"build", 19045},
                               {"platformId", 2}}));
    ASSERT_EQ(doc["files"].size(), 19u);

    const json& located = doc["files"][0];
    EXPECT_EQ(located,
              json({{"name", "COMDLG32.ocx"},
                    {"loadInfoFailed", false},
                    {"located", true},
                    {"path", "C:\\Windows\\SysWOW64\\COMDLG32.OCX"},
                    {"regInfo", "n/a"},
                    {"date", "2004-03-08T12:00:00"},
                    {"size", 140096},
                    {"version", "6.1.98.39"},
                    {"load", nullptr},
                    {"copy", nullptr},
                    {"brokenLink", nullptr},
                    {"registration",
                     {{"verdict", "registered"},
                      {"typeLibrary",
                       {{"id", "{5A3E0C11-8B2D-4C7A-9E64-0D1F2A3B4C01}"},
                        {"version", "1.2"},
                        {"locale", 0},
                        {"registeredPath", "%SystemRoot%\\SysWOW64\\comdlg32.ocx"}}},
                      {"classes",
                       {{{"id", "{5A3E0C11-8B2D-4C7A-9E64-0D1F2A3B4C11}"},
                         {"name", "CommonDialog"},
                         {"registeredPath", "\"C:\\Windows\\SysWOW64\\COMDLG32.OCX\""}}}}}},
                    {"copies", json::array()},
                    {"notes", json::array()}}));

    const json& nowhere = doc["files"][1];
    EXPECT_EQ(nowhere["located"], false);
    EXPECT_EQ(nowhere["path"], "Unable to locate MSFLXGRD.OCX");
    EXPECT_EQ(nowhere["date"], nullptr);
    EXPECT_EQ(nowhere["size"], 0);
    EXPECT_EQ(nowhere["load"], json({{"errorCode", 126},
                                     {"errorText", "The specified module could not be found."},
                                     {"probe", nullptr}}));
    EXPECT_EQ(nowhere["copy"], nullptr);

    const json& otherMachine = doc["files"][2];
    EXPECT_EQ(otherMachine["located"], false);
    EXPECT_EQ(otherMachine["regInfo"], "n/a");
    EXPECT_EQ(otherMachine["registration"], nullptr);
    EXPECT_EQ(otherMachine["load"]["errorCode"], 193);
    EXPECT_EQ(otherMachine["copy"], json({{"path", "C:\\Tools\\TABCTL32.OCX"},
                                          {"machine", "x64"},
                                          {"canBeLoaded", false},
                                          {"missingImport", nullptr}}));

    const json& missingImport = doc["files"][3];
    EXPECT_EQ(missingImport["copy"]["missingImport"], "MSVCR71.dll");
    EXPECT_EQ(missingImport["copy"]["machine"], "x86");
    EXPECT_EQ(missingImport["brokenLink"], json({{"kind", "missingDll"},
                                                 {"chain", {"MSVCR71.dll"}},
                                                 {"copy", nullptr},
                                                 {"function", nullptr},
                                                 {"forwardedTo", nullptr},
                                                 {"delayLoad", false}}));

    const json& noVersion = doc["files"][4];
    EXPECT_EQ(noVersion["located"], true);
    EXPECT_EQ(noVersion["version"], "");

    // The probe that loads it gave no answer: no error code, the outcome as data.
    const json& hangs = doc["files"][6];
    EXPECT_EQ(hangs["load"], json({{"errorCode", nullptr},
                                   {"errorText", nullptr},
                                   {"probe", {{"outcome", "timedOut"}, {"limitSeconds", 10}}}}));
    EXPECT_EQ(hangs["copy"]["canBeLoaded"], true);
    // A located file whose dependency lacks a function its import names (loaded under Wine).
    const json& missingExport = doc["files"][4]["brokenLink"];
    EXPECT_EQ(missingExport["kind"], "missingExport");
    EXPECT_EQ(missingExport["copy"], "C:\\Tools\\libmmd.dll");
    EXPECT_EQ(missingExport["function"], "#77");
    EXPECT_EQ(missingExport["forwardedTo"], json({{"dll", "gone.dll"}, {"function", "for_open"}}));

    const json& errorRow = doc["files"][5];
    EXPECT_EQ(errorRow["loadInfoFailed"], true);
    EXPECT_EQ(errorRow["path"], "  Error loading file info for : MSCOMCTL.OCX");

    EXPECT_EQ(doc["installFolder"],
              json({{"path", "C:\\Program Files\\Bin\\Quorvane"},
                    {"exists", true},
                    {"onPath", true},
                    {"pathFolders",
                     {"C:\\Program Files\\Bin\\Quorvane\\", "C:\\program files\\bin\\quorvane\\",
                      "%QUORVANE_HOME%\\bin\\"}}}));
    EXPECT_EQ(doc["path"]["systemValueType"], "REG_EXPAND_SZ");
    EXPECT_EQ(doc["path"]["systemValueNote"], nullptr);
    ASSERT_EQ(doc["path"]["folders"].size(), 4u);
    EXPECT_EQ(doc["path"]["folders"][1], json({{"number", 2},
                                               {"source", "system"},
                                               {"folder", "C:\\program files\\bin\\quorvane\\"},
                                               {"fullName", "C:\\program files\\bin\\quorvane\\"},
                                               {"exists", true},
                                               {"duplicateOf", 1},
                                               {"notes", json::array()}}));
    EXPECT_EQ(doc["path"]["folders"][3]["source"], "user");
    EXPECT_EQ(doc["path"]["folders"][3]["notes"],
              json({"Folder uses an undefined variable: %QUORVANE_HOME%"}));
    EXPECT_EQ(doc["messages"], json({"An error occurred in myRegReadString: HKLM\\x Path : boom"}));
    EXPECT_EQ(doc["failedPasses"], json::array());
    EXPECT_EQ(doc["everythingInPlace"], false);
}

TEST(JsonReport, TheVerdictNeedsEveryFileAndTheInstallFolderOnThePath) {
    ReportFacts facts = kelvra::test::SampleFacts();
    for (FileRowRecord& row : facts.files) {
        row.located = true;
        row.imports = {};
    }
    EXPECT_TRUE(report::EverythingInPlace(facts));
    // The folder spelled otherwise on the PATH still counts.
    facts.pathTable.PathFullName[1] = "c:/PROGRAM FILES/bin/./Quorvane//";
    EXPECT_TRUE(report::InstallFolderIsOnPath(facts));
    EXPECT_TRUE(report::EverythingInPlace(facts));

    facts.files[7].located = false;
    EXPECT_FALSE(report::EverythingInPlace(facts));
    facts.files[7].located = true;
    // A file that loads here although a link of its imports is broken; a delay-load import's
    // note does not stop the load.
    facts.files[7].imports.delayLoadNotes = {fileinfo::BrokenLink{}};
    EXPECT_TRUE(report::EverythingInPlace(facts));
    facts.files[7].imports.brokenLink = fileinfo::BrokenLink{};
    EXPECT_FALSE(report::EverythingInPlace(facts));
    facts.files[7].imports = {};
    // A control that is there but not registered for that copy stops the application too.
    facts.files[0].registration->verdict = report::RegistrationVerdict::kPartly;
    EXPECT_FALSE(report::EverythingInPlace(facts));
    facts.files[0].registration->verdict = report::RegistrationVerdict::kRegistered;
    facts.installFolder.exists = false;
    EXPECT_FALSE(report::EverythingInPlace(facts));
    facts.installFolder.exists = true;
    // A pass that failed before it recorded its row, or after: nothing vouches for it.
    facts.failedPasses = {20};
    EXPECT_FALSE(report::EverythingInPlace(facts));
    facts.failedPasses = {};
    const FileRowRecord last = facts.files.back();
    facts.files.pop_back();
    EXPECT_FALSE(report::EverythingInPlace(facts));
    facts.files.push_back(last);
    EXPECT_TRUE(report::EverythingInPlace(facts));
    facts.pathTable.PathFullName[1] = "C:\\Program Files\\Bin\\QuorvaneOld\\";
    facts.pathTable.PathFullName[2] = "C:\\Program Files\\Bin\\Quorvane\\Sub\\";
    EXPECT_FALSE(report::InstallFolderIsOnPath(facts)) << "a folder that merely contains the name";
    EXPECT_FALSE(report::EverythingInPlace(facts));
}

TEST(JsonReport, TextsThatNeedEscapingStayExact) {
    ReportFacts facts = kelvra::test::SampleFacts();
    facts.files[0].path = "C:\\Odd \"quoted\"\\tab\there\\line\r\nend\\\xC3\xA9\x01";
    facts.messages = {"", std::string("nul\0inside", 10)};
    const json doc = Parse(facts);
    EXPECT_EQ(doc["files"][0]["path"], facts.files[0].path);
    EXPECT_EQ(doc["messages"][1], std::string("nul\0inside", 10));
}

TEST(JsonReport, IsoDatesAndTimes) {
    EXPECT_EQ(report::IsoDateTime({2026, 1, 2, 3, 4, 5}, false), "2026-01-02T03:04:05");
    EXPECT_EQ(report::IsoDateTime({1999, 12, 31, 23, 59, 59}, true), "1999-12-31T23:59:59Z");
}

}  // namespace
