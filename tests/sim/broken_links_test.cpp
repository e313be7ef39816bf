// Why a file of the list cannot load, to the last link, on arranged simulated machines: the
// row's reason, the block "Broken links", the JSON's brokenLink and the exit code of a run
// without a window. The DLLs are made by the test builder; every other file of the list is a
// loadable DLL, so the exit code tells of the link alone.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "platform/sim/machine.h"
#include "report/file_table.h"
#include "report/unattended_run.h"
#include "support/pe_builder.h"
#include "support/test_data.h"

namespace {

using kelvra::test::PeDllLayout;
using nlohmann::json;

constexpr std::string_view kTools = "C:\\Tools";
constexpr std::string_view kInstall = "C:\\Program Files\\Bin\\Quorvane";

// Each case concerns libifcoremd.dll, a file of the list, and the DLLs it needs in C:\Tools.
struct Case {
    std::string_view name;
    std::vector<std::pair<std::string, PeDllLayout>> dlls;  // put in C:\Tools
    std::string reason;  // in the row and the block; "" for a located copy and no block
    std::string kind;    // the JSON's brokenLink kind, "" for null
    int exitCode;
    bool delayLoadNote = false;  // the reason is the block's alone: the file loads
};

std::string Tools(std::string_view name) {
    return std::string(kTools) + "\\" + std::string(name);
}

TEST(BrokenLinks, EachKindInTheRowTheBlockTheJsonAndTheExitCode) {
    const PeDllLayout libmmd = PeDllLayout().Export("for_open").Version(2, 0, 50727, 42);
    const std::vector<Case> cases = {
        {"a healthy chain",
         {{"libifcoremd.dll", PeDllLayout().Import("libmmd.dll", {"for_open"})},
          {"libmmd.dll", libmmd}},
         "",
         "",
         0},
        {"a missing DLL two links down",
         {{"libifcoremd.dll", PeDllLayout().Import("libmmd.dll", {"for_open"})},
          {"libmmd.dll", PeDllLayout().Import("svml_dispmd.dll", {"f"}).Export("for_open")}},
         "it needs libmmd.dll, which needs svml_dispmd.dll, which cannot be found",
         "missingDll",
         1},
        {"a function the copy does not export",
         {{"libifcoremd.dll", PeDllLayout().Import("libmmd.dll", {"for_write_seq_lis"})},
          {"libmmd.dll", libmmd}},
         "it needs for_write_seq_lis from libmmd.dll, which " + Tools("libmmd.dll") +
             " 2.0.50727.42 does not export",
         "missingExport",
         1},
        {"a chain of five DLLs",
         {{"libifcoremd.dll", PeDllLayout().Import("a1.dll", {"f"})},
          {"a1.dll", PeDllLayout().Import("a2.dll", {"f"}).Export("f")},
          {"a2.dll", PeDllLayout().Import("a3.dll", {"f"}).Export("f")},
          {"a3.dll", PeDllLayout().Import("z.dll", {"f"}).Export("f")}},
         "it needs a1.dll, which through 2 more DLLs needs z.dll, which cannot be found",
         "missingDll",
         1},
        {"a DLL importing the one that imports it",
         {{"libifcoremd.dll", PeDllLayout().Import("libmmd.dll", {"for_open"})},
          {"libmmd.dll", PeDllLayout().Import("libifcoremd.dll", {}).Export("for_open")}},
         "",
         "",
         0},
        {"a delay-load import found nowhere: a note, the load succeeds",
         {{"libifcoremd.dll", PeDllLayout().DelayLoadImport("gone.dll", {"f"})}},
         "when it first calls a delay-loaded DLL, it needs gone.dll, which cannot be found",
         "missingDll",
         0,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        platform::sim::Reset();
        platform::sim::Machine& m = platform::sim::machine();
        m.AddFolder(kInstall);
        for (std::string_view name : report::kFileList) {
            if (name != "GDI32.dll") {
                m.AddFile(Tools(name), kelvra::test::TestDataBytes("x86/kelvra_ver2.dll"));
            }
        }
        for (const auto& [name, layout] : c.dlls) {
            m.AddFile(Tools(name), kelvra::test::BuildPeImage(layout));
        }
        m.SetEnv("PATH", m.systemFolder + ";" + std::string(kTools) + ";" + std::string(kInstall));
        EXPECT_EQ(report::RunWithoutWindow(
                      report::ParseCommandLine({"/report", "r.txt", "/json", "r.json"})),
                  c.exitCode);
        const json doc = json::parse(m.FindFile("r.json")->bytes);
        const auto found =
            std::find_if(doc["files"].begin(), doc["files"].end(),
                         [](const json& file) { return file["name"] == "libifcoremd.dll"; });
        ASSERT_NE(found, doc["files"].end());
        const json& row = *found;
        EXPECT_EQ(row["path"], c.reason.empty() || c.delayLoadNote
                                   ? Tools("libifcoremd.dll")
                                   : "Can't load " + Tools("libifcoremd.dll") + ": " + c.reason);
        EXPECT_EQ(row["brokenLink"].is_null() ? "" : row["brokenLink"]["kind"], c.kind);
        const std::string text = m.FindFile("r.txt")->bytes;
        const std::string block = "\r\nBroken links\r\n\r\n";
        const auto at = text.find(block);
        EXPECT_EQ(at == std::string::npos
                      ? ""
                      : text.substr(at + block.size(),
                                    text.find("\r\n", at + block.size()) - at - block.size()),
                  c.reason.empty() ? "" : "libifcoremd.dll: " + c.reason);
    }
}

}  // namespace
