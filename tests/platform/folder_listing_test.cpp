// Listing a folder's files, the same on Windows and on the simulated machine.
#include "platform/folder_listing.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/runtime.h"
#include "support/scratch_folder.h"

namespace {

namespace rt = platform::runtime;
using kelvra::test::ScratchFolder;

std::optional<std::vector<std::string>> SortedNames(std::string_view folder) {
    auto names = platform::folder::FileNames(folder);
    if (names) {
        std::sort(names->begin(), names->end());
    }
    return names;
}

TEST(FolderListing, TheFilesOfAFolderWithoutItsSubfolders) {
    ScratchFolder scratch;
    ASSERT_TRUE(rt::WriteFileBytes(scratch / "b.dll", "b"));
    ASSERT_TRUE(rt::WriteFileBytes(scratch / "A.DLL", "a"));
    ASSERT_TRUE(rt::CreateDirectory(scratch / "sub.dll"));
    ASSERT_TRUE(rt::WriteFileBytes(scratch / "sub.dll\\inner.dll", "i"));
    ASSERT_TRUE(rt::CreateDirectory(scratch / "empty"));
    const std::vector<std::string> both{"A.DLL", "b.dll"};
    EXPECT_EQ(SortedNames(scratch.path()), both);
    EXPECT_EQ(SortedNames(scratch.path() + "\\"), both);
    EXPECT_EQ(SortedNames("sub.dll"), std::vector<std::string>{"inner.dll"}) << "relative";
    EXPECT_EQ(SortedNames(scratch / "empty"), std::vector<std::string>{});
    EXPECT_EQ(SortedNames(scratch / "missing"), std::nullopt);
    EXPECT_EQ(SortedNames(scratch / "b.dll"), std::nullopt) << "a file is no folder";
}

}  // namespace
