// What the copies of a file tell, and whether the compiler run-time files in use come from one
// release, for arranged lists of copies.
#include "report/file_copies.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

using report::FileCopy;

// A copy of version `text` ("" for none) of machine 1 (x86), 2 (x64) or 0 (unknown).
FileCopy Copy(std::string path, std::string text, int machine, bool inUse = false) {
    constexpr fileinfo::MachineKind kMachines[] = {
        fileinfo::MachineKind::kUnknown, fileinfo::MachineKind::kX86, fileinfo::MachineKind::kX64};
    FileCopy copy{std::move(path), std::nullopt, text, kMachines[machine],
                  std::nullopt,    std::nullopt, inUse};
    unsigned v[4] = {};
    if (std::sscanf(text.c_str(), "%u.%u.%u.%u", &v[0], &v[1], &v[2], &v[3]) == 4) {
        copy.version = report::VersionNumberOf(v[0] << 16 | v[1], v[2] << 16 | v[3]);
    }
    return copy;
}

TEST(FileCopies, NotesOnTheCopiesOfAFileForAnX86Program) {
    const std::string newer = "An older copy comes first: B further along is 6.0.1.0";
    const std::string machine =
        "The copy in use is built for x64: C further along is built for x86, as this program is";
    const std::vector<std::pair<std::vector<FileCopy>, std::vector<std::string>>> cases = {
        {{Copy("A", "2.0.9.0", 1, true), Copy("B", "6.0.1.0", 1), Copy("C", "2.1.0.0", 1)},
         {newer}},
        {{Copy("A", "2.0.9.0", 1, true), Copy("B", "6.0.1.0", 2), Copy("C", "2.0.9.0", 1)}, {}},
        {{Copy("B", "6.0.1.0", 1), Copy("A", "2.0.9.0", 1, true)}, {}},
        {{Copy("A", "", 1, true), Copy("B", "6.0.1.0", 1)}, {}},
        {{Copy("A", "2.0.9.0", 1), Copy("B", "6.0.1.0", 1)}, {}},
        {{Copy("A", "2.0.9.0", 2, true), Copy("B", "6.0.1.0", 2), Copy("C", "2.0.9.0", 1),
          Copy("D", "2.0.9.0", 1)},
         {newer, machine}},
        {{Copy("A", "2.0.9.0", 2, true), Copy("B", "2.0.9.0", 0)}, {}},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(report::CopyNotes(cases[i].first, fileinfo::MachineKind::kX86), cases[i].second)
            << "case " << i;
    }
}

TEST(FileCopies, RunTimeFilesShareOneReleaseWhenMajorMinorAndBuildAgree) {
    const auto inUse = [](std::string name, std::string version) {
        return report::RuntimeFileInUse{name, Copy("C:\\R\\" + name, version, 1, true)};
    };
    const std::vector<std::pair<std::vector<report::RuntimeFileInUse>, std::string>> cases = {
        {{inUse("libmmd.dll", "11.1.4.7"), inUse("libiomp5md.dll", "11.1.4.9")}, ""},
        {{inUse("libmmd.dll", "11.1.4.7"), inUse("libifcoremd.dll", ""), {"libiomp5md.dll", {}}},
         ""},
        {{inUse("libifcoremd.dll", "11.1.4.7"), inUse("libmmd.dll", ""),
          inUse("libiomp5md.dll", "11.1.5.7")},
         "The compiler run-time files in use come from different releases: libifcoremd.dll "
         "11.1.4.7 in C:\\R\\, libiomp5md.dll 11.1.5.7 in C:\\R\\"},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(report::RuntimeReleaseNote(cases[i].first), cases[i].second) << "case " << i;
        EXPECT_EQ(report::ShareOneRelease(cases[i].first), cases[i].second.empty()) << i;
    }
}

}  // namespace
