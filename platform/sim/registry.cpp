// The simulated registry: a tree of keys with typed values, subkeys enumerated in
// case-insensitive name order and values in creation order, as the platform does.
#include <algorithm>
#include <mutex>

#include "platform/registry.h"
#include "platform/root_keys.h"
#include "platform/sim/machine.h"
#include "platform/text.h"

namespace platform::registry {
namespace {

using sim::RegistryNode;
using NodePtr = std::shared_ptr<RegistryNode>;

constexpr long kErrorKeyDeleted = 1018;
constexpr std::uint32_t kWriteBits = 0x0002 | 0x0004 | 0x0020 | 0x10000 | 0x40000 | 0x80000;

NodePtr NodeOf(RawKey key) {
    auto& m = sim::machine();
    if (root_keys::IsRootValue(key)) {
        const auto root = static_cast<std::uint32_t>(key);
        const auto overridden = m.rootOverrides.find(root);
        return overridden != m.rootOverrides.end() ? overridden->second : m.registryRoots.at(root);
    }
    const auto it = m.openKeys.find(key);
    return it == m.openKeys.end() ? nullptr : it->second;
}

std::vector<std::string> SplitPath(std::string_view path) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        auto end = path.find('\\', start);
        if (end == std::string_view::npos) {
            end = path.size();
        }
        if (end > start) {
            parts.emplace_back(path.substr(start, end - start));
        }
        start = end + 1;
    }
    return parts;
}

NodePtr Walk(NodePtr node, std::string_view subkey) {
    for (const std::string& part : SplitPath(subkey)) {
        const auto it = node->subkeys.find(text::AsciiUpper(part));
        if (it == node->subkeys.end()) {
            return nullptr;
        }
        node = it->second;
    }
    return node;
}

RawKey NewHandle(NodePtr node) {
    auto& m = sim::machine();
    const RawKey handle = m.nextKeyHandle;
    m.nextKeyHandle += 4;
    m.openKeys[handle] = std::move(node);
    return handle;
}

auto FindValue(RegistryNode& node, std::string_view name) {
    return std::find_if(node.values.begin(), node.values.end(), [&](const auto& entry) {
        return text::EqualsIgnoringCase(entry.first, name);
    });
}

void MarkDeleted(RegistryNode& node) {
    node.deleted = true;
    for (auto& [name, child] : node.subkeys) {
        MarkDeleted(*child);
    }
}

// The node of an open key, or the error for a handle that names no live key.
long LiveNode(RawKey key, NodePtr& node) {
    node = NodeOf(key);
    if (!node) {
        return kErrorInvalidHandle;
    }
    return node->deleted ? kErrorKeyDeleted : kErrorSuccess;
}

// Splits "a\b\c" into the parent path "a\b" and the last name "c".
std::pair<std::string_view, std::string_view> SplitLast(std::string_view subkey) {
    while (subkey.ends_with('\\')) {
        subkey.remove_suffix(1);
    }
    const auto cut = subkey.find_last_of('\\');
    if (cut == std::string_view::npos) {
        return {std::string_view{}, subkey};
    }
    return {subkey.substr(0, cut), subkey.substr(cut + 1)};
}

// The simulated registry serves several threads at once, as the real one does. Recursive:
// a call that replaces an open key closes the old one while it holds the lock.
std::recursive_mutex& RegistryMutex() {
    static std::recursive_mutex mutex;
    return mutex;
}

}  // namespace

void KeyTraits::close(RawKey key) noexcept {
    const std::lock_guard lock(RegistryMutex());
    sim::machine().openKeys.erase(key);
}

RawKey PredefinedKey(std::uint32_t root) noexcept {
    return root_keys::IsRootValue(root) ? RawKey{root} : 0;
}

long OpenKey(RawKey parent, std::string_view subkey, std::uint32_t access, Key& key) {
    const std::lock_guard lock(RegistryMutex());
    NodePtr base;
    if (const long error = LiveNode(parent, base); error != kErrorSuccess) {
        return error;
    }
    const NodePtr node = Walk(base, subkey);
    if (!node) {
        return kErrorFileNotFound;
    }
    if (node->readOnly && (access & kWriteBits) != 0 && access != kMaximumAllowed) {
        return kErrorAccessDenied;
    }
    // As the platform does, "" below a predefined root gives the root's own handle back.
    key.reset(subkey.empty() && PredefinedKey(static_cast<std::uint32_t>(parent)) == parent
                  ? parent
                  : NewHandle(node));
    return kErrorSuccess;
}

long CreateKey(RawKey parent, std::string_view subkey, Key& key) {
    const std::lock_guard lock(RegistryMutex());
    NodePtr node = NodeOf(parent);
    if (!node) {
        return kErrorInvalidHandle;
    }
    if (node->deleted) {
        return kErrorKeyDeleted;
    }
    for (const std::string& part : SplitPath(subkey)) {
        auto& child = node->subkeys[text::AsciiUpper(part)];
        if (!child) {
            if (node->readOnly) {
                node->subkeys.erase(text::AsciiUpper(part));
                return kErrorAccessDenied;
            }
            child = std::make_shared<RegistryNode>();
            child->name = part;
        }
        node = child;
    }
    key.reset(NewHandle(node));
    return kErrorSuccess;
}

long DeleteKey(RawKey parent, std::string_view subkey) {
    const std::lock_guard lock(RegistryMutex());
    const NodePtr base = NodeOf(parent);
    if (!base) {
        return kErrorInvalidHandle;
    }
    const auto [parentPath, last] = SplitLast(subkey);
    if (last.empty()) {
        // Deleting the key that the handle itself names.
        if (!base->subkeys.empty()) {
            return kErrorAccessDenied;
        }
        if (root_keys::IsRootValue(parent)) {
            return kErrorAccessDenied;
        }
        // Find and unlink it from its parent.
        for (auto& [root, rootNode] : sim::machine().registryRoots) {
            (void)root;
            std::vector<NodePtr> stack{rootNode};
            while (!stack.empty()) {
                const NodePtr n = stack.back();
                stack.pop_back();
                for (auto it = n->subkeys.begin(); it != n->subkeys.end(); ++it) {
                    if (it->second == base) {
                        if (n->readOnly) {
                            return kErrorAccessDenied;
                        }
                        MarkDeleted(*base);
                        n->subkeys.erase(it);
                        return kErrorSuccess;
                    }
                    stack.push_back(it->second);
                }
            }
        }
        return kErrorFileNotFound;
    }
    const NodePtr owner = Walk(base, parentPath);
    if (!owner) {
        return kErrorFileNotFound;
    }
    const auto it = owner->subkeys.find(text::AsciiUpper(last));
    if (it == owner->subkeys.end()) {
        return kErrorFileNotFound;
    }
    if (!it->second->subkeys.empty() || owner->readOnly || it->second->readOnly) {
        return kErrorAccessDenied;
    }
    MarkDeleted(*it->second);
    owner->subkeys.erase(it);
    return kErrorSuccess;
}

long DeleteTree(RawKey parent, std::string_view subkey) {
    const std::lock_guard lock(RegistryMutex());
    const NodePtr base = NodeOf(parent);
    if (!base) {
        return kErrorInvalidHandle;
    }
    const auto [parentPath, last] = SplitLast(subkey);
    const NodePtr owner = Walk(base, parentPath);
    if (!owner || last.empty()) {
        return kErrorFileNotFound;
    }
    const auto it = owner->subkeys.find(text::AsciiUpper(last));
    if (it == owner->subkeys.end()) {
        return kErrorFileNotFound;
    }
    if (owner->readOnly || it->second->readOnly) {
        return kErrorAccessDenied;
    }
    MarkDeleted(*it->second);
    owner->subkeys.erase(it);
    return kErrorSuccess;
}

long QueryValue(RawKey key, std::string_view name, Value& value) {
    const std::lock_guard lock(RegistryMutex());
    NodePtr node;
    if (const long error = LiveNode(key, node); error != kErrorSuccess) {
        return error;
    }
    const auto it = FindValue(*node, name);
    if (it == node->values.end()) {
        return kErrorFileNotFound;
    }
    value = it->second;
    return kErrorSuccess;
}

long SetValue(RawKey key, std::string_view name, std::uint32_t type,
              std::span<const std::uint8_t> data) {
    const std::lock_guard lock(RegistryMutex());
    NodePtr node;
    if (const long error = LiveNode(key, node); error != kErrorSuccess) {
        return error;
    }
    if (node->readOnly) {
        return kErrorAccessDenied;
    }
    Value stored{type, std::vector<std::uint8_t>(data.begin(), data.end())};
    const auto it = FindValue(*node, name);
    if (it == node->values.end()) {
        node->values.emplace_back(std::string(name), std::move(stored));
    } else {
        it->second = std::move(stored);
    }
    return kErrorSuccess;
}

long DeleteValue(RawKey key, std::string_view name) {
    const std::lock_guard lock(RegistryMutex());
    const NodePtr node = NodeOf(key);
    if (!node) {
        return kErrorInvalidHandle;
    }
    if (node->readOnly) {
        return kErrorAccessDenied;
    }
    const auto it = FindValue(*node, name);
    if (it == node->values.end()) {
        return kErrorFileNotFound;
    }
    node->values.erase(it);
    return kErrorSuccess;
}

long EnumKey(RawKey key, std::uint32_t index, std::string& name) {
    const std::lock_guard lock(RegistryMutex());
    NodePtr node;
    if (const long error = LiveNode(key, node); error != kErrorSuccess) {
        return error;
    }
    if (index >= node->subkeys.size()) {
        return kErrorNoMoreItems;
    }
    name = std::next(node->subkeys.begin(), index)->second->name;
    return kErrorSuccess;
}

long EnumValue(RawKey key, std::uint32_t index, std::string& name, Value& value) {
    const std::lock_guard lock(RegistryMutex());
    NodePtr node;
    if (const long error = LiveNode(key, node); error != kErrorSuccess) {
        return error;
    }
    if (index >= node->values.size()) {
        return kErrorNoMoreItems;
    }
    name = node->values[index].first;
    value = node->values[index].second;
    return kErrorSuccess;
}

long OverridePredefinedKey(std::uint32_t root, RawKey replacement) {
    const std::lock_guard lock(RegistryMutex());
    if (PredefinedKey(root) == 0 || PredefinedKey(static_cast<std::uint32_t>(replacement)) != 0) {
        return kErrorInvalidHandle;
    }
    auto& overrides = sim::machine().rootOverrides;
    if (replacement == 0) {
        overrides.erase(root);
        return kErrorSuccess;
    }
    const NodePtr node = NodeOf(replacement);
    if (!node) {
        return kErrorInvalidHandle;
    }
    overrides[root] = node;
    return kErrorSuccess;
}

Host RegistryHost() {
    return Host::kSimulation;
}

}  // namespace platform::registry
