// The machine-wide PATH in the registry, the process environment and folders outside the
// scratch folder, changed by a test and put back when it ends. Under Wine the test prefix is
// the project's own, so its machine-wide PATH may change for the length of a test.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pathcheck/path_table.h"
#include "platform/registry.h"
#include "platform/runtime.h"
#include "platform/scripting.h"
#include "platform/text.h"
#include "support/scratch_folder.h"

namespace kelvra::test {

inline constexpr std::string_view kEnvironmentSubkey =
    "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";

class PathFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        namespace reg = platform::registry;
        reg::Key key;
        ASSERT_EQ(reg::CreateKey(reg::PredefinedKey(reg::kLocalMachine), kEnvironmentSubkey, key),
                  reg::kErrorSuccess);
        reg::Value value;
        if (reg::QueryValue(key.get(), "Path", value) == reg::kErrorSuccess) {
            savedSystemPath_ = std::move(value);
        }
        SaveVariable("PATH");
    }

    void TearDown() override {
        namespace reg = platform::registry;
        reg::Key key;
        if (reg::CreateKey(reg::PredefinedKey(reg::kLocalMachine), kEnvironmentSubkey, key) ==
            reg::kErrorSuccess) {
            if (savedSystemPath_) {
                reg::SetValue(key.get(), "Path", savedSystemPath_->type, savedSystemPath_->data);
            } else {
                reg::DeleteValue(key.get(), "Path");
            }
        }
        for (const auto& [name, value] : savedVariables_) {
            if (value) {
                platform::runtime::SetEnviron(name, *value);
            } else {
                platform::runtime::UnsetEnviron(name);
            }
        }
        for (auto folder = createdFolders_.rbegin(); folder != createdFolders_.rend(); ++folder) {
            platform::runtime::RemoveDirectory(*folder);
        }
    }

    // Stores the machine-wide PATH as the platform does: REG_EXPAND_SZ, unexpanded.
    static void SetSystemPath(std::string_view path) {
        SetSystemPathValue(platform::registry::kRegExpandSz,
                           platform::text::EncodeRegistryString(path));
    }

    // Stores the machine-wide Path value with any type and data.
    static void SetSystemPathValue(std::uint32_t type, const std::vector<std::uint8_t>& data) {
        namespace reg = platform::registry;
        reg::Key key;
        ASSERT_EQ(reg::CreateKey(reg::PredefinedKey(reg::kLocalMachine), kEnvironmentSubkey, key),
                  reg::kErrorSuccess);
        ASSERT_EQ(reg::SetValue(key.get(), "Path", type, data), reg::kErrorSuccess);
    }

    static void RemoveSystemPath() {
        namespace reg = platform::registry;
        reg::Key key;
        if (reg::OpenKey(reg::PredefinedKey(reg::kLocalMachine), kEnvironmentSubkey,
                         reg::kKeyAllAccess, key) == reg::kErrorSuccess) {
            reg::DeleteValue(key.get(), "Path");
        }
    }

    // Sets a variable of the process environment for the test.
    void SetVariable(const std::string& name, std::string_view value) {
        SaveVariable(name);
        platform::runtime::SetEnviron(name, value);
    }

    // Removes a variable from the process environment for the test.
    void UnsetVariable(const std::string& name) {
        SaveVariable(name);
        platform::runtime::UnsetEnviron(name);
    }

    void SetProcessPath(std::string_view path) { SetVariable("PATH", path); }

    // A folder that exists for the test: created (with its missing parents) unless it does,
    // and removed at the end when the test created it.
    void EnsureFolder(const std::string& path) {
        const platform::scripting::FileSystemObject fso;
        std::size_t cut = path.find('\\', 3);
        while (true) {
            const std::string level = path.substr(0, cut);
            if (!fso.FolderExists(level)) {
                ASSERT_TRUE(platform::runtime::CreateDirectory(level)) << level;
                createdFolders_.push_back(level);
            }
            if (cut == std::string::npos) {
                break;
            }
            cut = path.find('\\', cut + 1);
        }
    }

    // The folder `name` below the scratch folder, created, with a trailing "\".
    std::string ScratchSubfolder(std::string_view name) {
        const std::string path = scratch_ / name;
        EXPECT_TRUE(platform::runtime::CreateDirectory(path)) << path;
        return path + "\\";
    }

    ScratchFolder scratch_;
    platform::scripting::FileSystemObject fso_;
    pathcheck::PathFolderTable table_;

  private:
    void SaveVariable(const std::string& name) {
        savedVariables_.try_emplace(name, platform::runtime::FindEnviron(name));
    }

    std::optional<platform::registry::Value> savedSystemPath_;
    std::map<std::string, std::optional<std::string>> savedVariables_;  // nullopt: was not set
    std::vector<std::string> createdFolders_;
};

}  // namespace kelvra::test
