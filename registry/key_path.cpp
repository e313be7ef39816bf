#include "registry/key_path.h"

#include <array>

#include "platform/registry.h"
#include "platform/text.h"

namespace registry {
namespace {

struct RootName {
    std::string_view longName;
    std::string_view shortName;
    std::uint32_t root;
};

constexpr std::array<RootName, 7> kRootNames{{
    {"HKEY_CURRENT_USER", "HKCU", platform::registry::kCurrentUser},
    {"HKEY_LOCAL_MACHINE", "HKLM", platform::registry::kLocalMachine},
    {"HKEY_CLASSES_ROOT", "HKCR", platform::registry::kClassesRoot},
    {"HKEY_USERS", "HKUS", platform::registry::kUsers},
    {"HKEY_PERFORMANCE_DATA", "HKPD", platform::registry::kPerformanceData},
    {"HKEY_DYN_DATA", "HKDD", platform::registry::kDynData},
    {"HKEY_CURRENT_CONFIG", "HKCC", platform::registry::kCurrentConfig},
}};

const RootName* FindRoot(std::string_view name) {
    for (const RootName& entry : kRootNames) {
        if (platform::text::EqualsIgnoringCase(name, entry.longName) ||
            platform::text::EqualsIgnoringCase(name, entry.shortName)) {
            return &entry;
        }
    }
    return nullptr;
}

struct RootAndRest {
    std::string_view rootName;
    std::string_view subKey;
};

std::string_view TrimBackslashes(std::string_view text) {
    const auto first = text.find_first_not_of('\\');
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of('\\') - first + 1);
}

RootAndRest SplitRoot(std::string_view path) {
    if (path.starts_with('\\')) {
        path.remove_prefix(1);
    }
    const auto cut = path.find('\\');
    if (cut == std::string_view::npos) {
        return {path, {}};
    }
    return {path.substr(0, cut), TrimBackslashes(path.substr(cut + 1))};
}

}  // namespace

KeyPath ParseKeyPath(std::string_view path) {
    const RootAndRest parts = SplitRoot(path);
    const RootName* root = FindRoot(parts.rootName);
    return {root == nullptr ? 0 : root->root, std::string(parts.subKey)};
}

bool NamesARoot(const KeyPath& path) {
    return path.subKey.find_first_not_of("\\ ") == std::string::npos;
}

std::string LongRootPath(std::string_view path) {
    const RootAndRest parts = SplitRoot(path);
    const RootName* root = FindRoot(parts.rootName);
    if (root == nullptr) {
        return std::string(path);
    }
    std::string out(root->longName);
    if (!parts.subKey.empty()) {
        out += '\\';
        out += parts.subKey;
    }
    return out;
}

}  // namespace registry
