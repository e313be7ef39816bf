// The known folders on the platform at hand: existing folders, and a 32-bit program on 64-bit
// Windows gets the system's own program files folder, not the x86 one it is pointed at.
#include "platform/known_folders.h"

#include <gtest/gtest.h>

#include "platform/kernel32.h"

namespace {

namespace k32 = platform::kernel32;

TEST(KnownFolders, EachNamedIsAnExistingFolderAndTheProgramFilesFoldersDiffer) {
    const platform::known_folders::KnownFolders folders =
        platform::known_folders::ReadKnownFolders();
    EXPECT_EQ(folders.windows, k32::WindowsFolder());
    ASSERT_TRUE(folders.programFiles && folders.userProfile);
    for (const auto& folder :
         {folders.windows, folders.programFiles, folders.programFilesX86, folders.userProfile}) {
        if (folder) {
            const auto attributes = k32::GetFileAttributes(*folder);
            EXPECT_TRUE(attributes && (*attributes & k32::kFileAttributeDirectory)) << *folder;
            EXPECT_FALSE(folder->ends_with('\\')) << *folder;
        }
    }
    if (k32::ProcessMachine() == 0x8664) {
        EXPECT_TRUE(folders.programFilesX86) << "64-bit Windows has a folder for x86 programs";
    }
    EXPECT_NE(folders.programFiles, folders.programFilesX86);
}

}  // namespace
