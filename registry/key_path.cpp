#include "registry/key_path.h"

#include "platform/root_keys.h"

namespace registry {
namespace {

namespace root_keys = platform::root_keys;

std::string_view TrimBackslashes(std::string_view text) {
    const auto first = text.find_first_not_of('\\');
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of('\\') - first + 1);
}

}  // namespace

KeyPath ParseKeyPath(std::string_view path) {
    const auto [rootName, rest] = root_keys::SplitRootName(path);
    const root_keys::RootKeyName* root = root_keys::FindByName(rootName);
    return {root == nullptr ? 0 : root->root, std::string(TrimBackslashes(rest))};
}

bool NamesARoot(const KeyPath& path) {
    return path.subKey.find_first_not_of("\\ ") == std::string::npos;
}

std::optional<std::string> DeletionRefusal(const KeyPath& path) {
    if (path.root == 0) {
        return "no root key name at its start";
    }
    if (NamesARoot(path)) {
        return "deleting a root key as a whole is refused";
    }
    if (root_keys::IsHiveRoot(path.root, path.subKey)) {
        return "deleting the root of a hive is refused";
    }
    return std::nullopt;
}

std::string LongRootPath(std::string_view path) {
    const auto [rootName, rest] = root_keys::SplitRootName(path);
    const root_keys::RootKeyName* root = root_keys::FindByName(rootName);
    if (root == nullptr) {
        return std::string(path);
    }
    std::string out(root->longName);
    if (const std::string_view subKey = TrimBackslashes(rest); !subKey.empty()) {
        out += '\\';
        out += subKey;
    }
    return out;
}

}  // namespace registry
