// Two machines: each fact changed alone is one difference with its line, paths below other known
// folders agree, and the block's lines and the JSON come in the block's order.
#include "report/reference_comparison.h"

#include <gtest/gtest.h>

#include <functional>

#include <nlohmann/json.hpp>

namespace {

using report::ComparableFacts;
using report::Difference;
using report::LoadFailure;
using report::LoadFailureKind;
using report::Reference;

enum : std::size_t { kMmd, kDravik, kComctl };
const LoadFailure kNotFound{LoadFailureKind::kSystemError, 126};
const LoadFailure kWrongMachine{LoadFailureKind::kSystemError, 193};

// A machine with its files below its known folders.
ComparableFacts Machine(const std::string& windows, const std::string& programs,
                        const std::string& profile, bool system32) {
    const std::string inWindows = windows + (system32 ? "\\system32\\" : "\\System32\\");
    ComparableFacts facts{{}, true, true, true, report::OsVersionNumbers{10, 0, 19045, 2}, {}};
    facts.knownFolders = {windows, programs, programs + " (x86)", profile};
    facts.files = {{"libmmd.dll", true, inWindows + "libmmd.dll", "2023.1.0.0", 4096, "x86",
                    LoadFailure{}, "", 1},
                   {"DravikLib.dll", true, profile + "\\AppData\\Local\\Dravik\\DravikLib.dll",
                    "6.0.8169.0", 200, "x86", LoadFailure{}, "", 1},
                   {"MSCOMCTL.OCX", true, programs + " (x86)\\Quorvane\\MSCOMCTL.OCX", "6.1.98.39",
                    1000, "x86", LoadFailure{}, "registered", 1}};
    return facts;
}

ComparableFacts Here() {
    return Machine("C:\\WINDOWS", "C:\\Program Files", "C:\\Users\\ann", true);
}

Reference Standard() {
    return {{"C:\\Refs\\good.json", "STANDARD-IMAGE", "2026-12-08T08:15:00Z", 4},
            Machine("D:\\Win", "D:\\Programs", "D:\\Users\\bob", false),
            {}};
}

TEST(ReferenceComparison, EachFactChangedAloneIsOneDifference) {
    using Change = std::function<void(ComparableFacts & here, ComparableFacts & there)>;
    const struct {
        Change change;
        std::vector<std::string> line;  // none, or the one difference's line
    } cases[] = {
        {[](auto&, auto&) {}, {}},
        {[](auto&, auto& r) { r.files[kMmd].version = "2021.7.1.0"; },
         {"libmmd.dll: version 2023.1.0.0 here, 2021.7.1.0 in the reference"}},
        {[](auto& h, auto&) {
             h.files[kDravik] = {"DravikLib.dll", false, "", {}, {}, {}, kNotFound, "", 0};
         },
         {"DravikLib.dll: not located here, D:\\Users\\bob\\AppData\\Local\\Dravik\\DravikLib.dll "
          "in the reference"}},
        {[](auto& h, auto&) {
             const std::string copy = "C:\\Tools\\libmmd.dll";
             h.files[kMmd] = {"libmmd.dll", false, copy, {}, {}, {}, kWrongMachine, "", 1};
         },
         {"libmmd.dll: not located (C:\\Tools\\libmmd.dll cannot be loaded: error code 193) here, "
          "D:\\Win\\System32\\libmmd.dll in the reference"}},
        {[](auto& h, auto& r) {
             h.files[kMmd].located = r.files[kMmd].located = false;
             h.files[kMmd].pathInUse = "";
         },
         {"libmmd.dll: no copy here, D:\\Win\\System32\\libmmd.dll in the reference"}},
        {[](auto&, auto& r) { r.files[kMmd].pathInUse = "D:\\Win\\System32\\libmmd_old.dll"; },
         {"libmmd.dll: copy in use named libmmd.dll here, libmmd_old.dll in the reference"}},
        {[](auto&, auto& r) { r.files[kMmd].pathInUse = "D:/WIN//SYSTEM32/./LIBMMD.DLL"; }, {}},
        {[](auto&, auto& r) { r.files[kMmd].pathInUse = "D:\\Win\\SysWOW64\\libmmd.dll"; },
         {"libmmd.dll: in use from C:\\WINDOWS\\system32\\ here, D:\\Win\\SysWOW64\\ in the "
          "reference"}},
        {[](auto&, auto& r) { r.files[kMmd].pathInUse = "D:\\Win\\Sys\r\nWOW64\\libmmd.dll"; },
         {"libmmd.dll: in use from C:\\WINDOWS\\system32\\ here, D:\\Win\\Sys??WOW64\\ in the "
          "reference"}},
        {[](auto& h, auto& r) {
             h.files[kMmd].pathInUse = "C:\\WINDOWS2\\system32\\libmmd.dll";
             r.files[kMmd].pathInUse = "D:\\Win2\\System32\\libmmd.dll";
         },
         {"libmmd.dll: in use from C:\\WINDOWS2\\system32\\ here, D:\\Win2\\System32\\ in the "
          "reference"}},
        // A reference that does not name its Windows folder compares those paths as written.
        {[](auto&, auto& r) { r.knownFolders.windows.reset(); },
         {"libmmd.dll: in use from C:\\WINDOWS\\system32\\ here, D:\\Win\\System32\\ in the "
          "reference"}},
        {[](auto& h, auto& r) {
             r = h;
             r.knownFolders = {};
             r.files[kMmd].pathInUse = "c:/windows/SYSTEM32/libmmd.dll";
         },
         {}},
        {[](auto&, auto& r) { r.files[kMmd].size = 5; },
         {"libmmd.dll: size 4096 bytes here, 5 bytes in the reference"}},
        {[](auto&, auto& r) { r.files[kMmd].machine = "unknown"; },
         {"libmmd.dll: built for x86 here, neither x86 nor x64 in the reference"}},
        {[](auto&, auto& r) { r.files[kMmd].loadFailure = {LoadFailureKind::kBrokenLink}; },
         {"libmmd.dll: no load failure here, cannot be loaded: a broken link in the reference"}},
        {[](auto& h, auto&) { h.files[kMmd].loadFailure = {LoadFailureKind::kStartUpCode}; },
         {"libmmd.dll: cannot be loaded: its start-up code here, no load failure in the "
          "reference"}},
        {[](auto&, auto& r) { r.files[kComctl].registration = "notRegistered"; },
         {"MSCOMCTL.OCX: registered here, not registered in the reference"}},
        {[](auto&, auto& r) { r.files[kDravik].copiesOnSearchPath = 2; },
         {"DravikLib.dll: 1 copy on the search path here, 2 copies in the reference"}},
        {[](auto& h, auto&) { h.installFolderExists = false; },
         {"Install folder exists: no here, yes in the reference"}},
        {[](auto& h, auto&) { h.installFolderOnPath = false; },
         {"Install folder on the PATH: no here, yes in the reference"}},
        {[](auto&, auto& r) { r.runtimeReleasesAgree = false; },
         {"Run-time files in use from one release: yes here, no in the reference"}},
        {[](auto&, auto& r) { r.os->build = 22631; },
         {"Windows version: 10.0 build 19045, platform 2 here, 10.0 build 22631, platform 2 in "
          "the reference"}},
        // What one side does not know is not compared.
        {[](auto&, auto& r) {
             r.files[kMmd].version.reset();
             r.os.reset();
             r.files.erase(r.files.begin() + kDravik);
         },
         {}},
    };
    for (const auto& c : cases) {
        ComparableFacts here = Here();
        Reference reference = Standard();
        c.change(here, reference.facts);
        std::vector<std::string> lines;
        for (const Difference& difference : report::Compare(here, reference)) {
            lines.push_back(report::DifferenceLine(difference));
        }
        EXPECT_EQ(lines, c.line);
    }
}

TEST(ReferenceComparison, TheBlockInItsOrderAndTheJson) {
    ComparableFacts here = Here();
    Reference reference = Standard();
    reference.facts.os->major = 6;
    reference.facts.files[kComctl].size = 1;
    reference.facts.files[kMmd].size = 1;
    reference.notUnderstood = {{"knownFolders", "notUnderstood", "", "\"windows\": 1"},
                               {"EVIL.dll", "notUnderstood", "", "a file not on its list"},
                               {"libmmd.dll", "notUnderstood", "", "\"version\": 2"}};
    here.installFolderExists = false;
    const std::vector<Difference> differences = report::Compare(here, reference);
    std::vector<std::string> subjects;
    for (const Difference& difference : differences) {
        subjects.push_back(difference.subject);
    }
    EXPECT_EQ(subjects,
              (std::vector<std::string>{"libmmd.dll", "libmmd.dll", "MSCOMCTL.OCX", "EVIL.dll",
                                        "installFolder", "os", "knownFolders"}));
    EXPECT_EQ(report::DifferenceLine(differences[1]),
              "libmmd.dll: the reference holds what this program does not know: \"version\": 2");
    EXPECT_EQ(report::ComparisonLines(reference.identity, {}),
              (std::vector<std::string>{"Compared with C:\\Refs\\good.json, made on "
                                        "STANDARD-IMAGE at 2026-12-08 08:15:00 UTC",
                                        "No differences."}));
    const nlohmann::json json = report::ComparisonJson(reference.identity, {differences[1]});
    EXPECT_EQ(json["reference"], nlohmann::json::parse(R"({"path": "C:\\Refs\\good.json",
        "machineName": "STANDARD-IMAGE", "generatedAt": "2026-12-08T08:15:00Z",
        "schemaVersion": 4})"));
    EXPECT_EQ(json["differences"], nlohmann::json::parse(R"([{"subject": "libmmd.dll",
        "field": "notUnderstood", "here": null, "reference": "\"version\": 2"}])"));
}

}  // namespace
