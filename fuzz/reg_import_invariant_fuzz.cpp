// Registry scripts of any bytes (either form) never touch a key that they do not name: after the
// import, every key that existed is still there with the same values, unless a key deletion line
// names it or a key above it (below the root of a hive), or a key line names it (which may change
// its values); and every new key lies on the path of a key line.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "fuzz/reg_import_setup.h"
#include "platform/text.h"
#include "registry/key_path.h"
#include "registry/registry_access.h"
#include "tests/registry/sim/reference_import.h"

namespace {

// A key as the simulated registry finds it: its root and its upper-cased names.
using KeyId = std::vector<std::string>;

KeyId Components(std::string first, std::string_view path) {
    KeyId id{std::move(first)};
    std::size_t start = 0;
    while (start <= path.size()) {
        auto end = path.find('\\', start);
        if (end == std::string_view::npos) {
            end = path.size();
        }
        if (end > start) {
            id.push_back(platform::text::AsciiUpper(path.substr(start, end - start)));
        }
        start = end + 1;
    }
    return id;
}

bool Within(const KeyId& key, const KeyId& top) {
    return key.size() >= top.size() && std::equal(top.begin(), top.end(), key.begin());
}

// The root of a hive, which no deletion may empty: a key directly below HKEY_USERS or
// HKEY_LOCAL_MACHINE.
bool IsHiveRoot(const KeyId& key) {
    namespace reg = platform::registry;
    return key.size() == 2 &&
           (key[0] == std::to_string(reg::kUsers) || key[0] == std::to_string(reg::kLocalMachine));
}

struct Named {
    std::set<KeyId> sections;  // keys whose values may change, created with their parents
    std::set<KeyId> deleted;   // keys that may go with everything below them
};

// The text of a script: the Unicode form's UTF-16LE after its byte-order mark, any other script
// in the ANSI code page.
std::string ScriptText(std::string_view script) {
    if (!script.starts_with("\xFF\xFE")) {
        return platform::kernel32::AnsiToUtf8(script);
    }
    std::u16string units;
    for (std::size_t at = 2; at + 1 < script.size(); at += 2) {
        units.push_back(static_cast<char16_t>(static_cast<unsigned char>(script[at]) |
                                              (static_cast<unsigned char>(script[at + 1]) << 8)));
    }
    return platform::text::Utf16ToUtf8(units);
}

// Every line that looks like a key line, whatever else the reader makes of it.
Named NamedKeys(std::string_view script) {
    Named named;
    const std::string text = ScriptText(script);
    std::string_view rest = text;
    while (!rest.empty()) {
        const auto end = rest.find("\r\n");
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 2);
        line.remove_prefix(std::min(line.find_first_not_of(" \t"), line.size()));
        if (!line.starts_with('[')) {
            continue;
        }
        line.remove_prefix(1);
        const bool deletion = line.starts_with('-');
        line.remove_prefix(deletion ? 1 : 0);
        const auto close = line.rfind(']');
        const registry::KeyPath path = registry::ParseKeyPath(
            line.substr(0, close == std::string_view::npos ? line.size() : close));
        const KeyId id = Components(std::to_string(path.root), path.subKey);
        if (!deletion) {
            named.sections.insert(id);
        } else if (id.size() > 1 && !IsHiveRoot(id)) {
            named.deleted.insert(id);
        }
    }
    return named;
}

std::map<KeyId, std::vector<std::pair<std::string, platform::registry::Value>>> ById(
    const registry::reference::Picture& picture) {
    std::map<KeyId, std::vector<std::pair<std::string, platform::registry::Value>>> keys;
    for (const auto& [path, values] : picture) {
        const auto cut = path.find('\\');
        keys[Components(path.substr(0, cut), cut == std::string::npos ? "" : path.substr(cut))] =
            values;
    }
    return keys;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto script = kelvra::fuzz::AsText(data, size);
    kelvra::fuzz::PrepareRegistry(script);
    const auto before = ById(registry::reference::WholeRegistry());
    (void)registry::clsRegistryAccess().ImportFromReg(kelvra::fuzz::kScriptPath);
    const auto after = ById(registry::reference::WholeRegistry());
    const Named named = NamedKeys(script);

    const auto underDeletion = [&](const KeyId& key) {
        return std::any_of(named.deleted.begin(), named.deleted.end(),
                           [&](const KeyId& top) { return Within(key, top); });
    };
    for (const auto& entry : before) {
        if (underDeletion(entry.first)) {
            continue;
        }
        const auto found = after.find(entry.first);
        if (found == after.end() ||
            (!named.sections.contains(entry.first) && found->second != entry.second)) {
            std::abort();  // a key the script does not name was deleted or changed
        }
    }
    for (const auto& entry : after) {
        const KeyId& key = entry.first;
        const bool onASectionPath =
            std::any_of(named.sections.begin(), named.sections.end(),
                        [&](const KeyId& section) { return Within(section, key); });
        if (!before.contains(key) && !onASectionPath) {
            std::abort();  // a key the script does not name was created
        }
    }
    return 0;
}
