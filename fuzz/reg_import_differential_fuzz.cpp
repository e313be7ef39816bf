// Registry scripts of any bytes (either form): the import leaves the same simulated registry,
// and gives the same result, as the plain reference that applies the lines one by one. Then
// both forms of the tree it left: every root exported as REGEDIT4 and in the Unicode form, and
// each set of files imported into an empty registry, must give the tree back but for what the
// export named as left out; the Unicode form leaves out nothing but keys whose names hold a
// line break, and REGEDIT4 leaves those out too.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "fuzz/reg_import_setup.h"
#include "platform/root_keys.h"
#include "platform/runtime.h"
#include "platform/text.h"
#include "registry/key_path.h"
#include "registry/registry_access.h"
#include "tests/registry/sim/reference_import.h"

namespace {

using registry::ExportLeftOut;
using registry::RegScriptForm;
using registry::reference::Picture;

void Require(bool holds) {
    if (!holds) {
        std::abort();
    }
}

// The picture's key of a left-out key path ("HKEY_CURRENT_USER\A" is "<root value>\A").
std::string PictureKey(std::string_view keyPath) {
    const registry::KeyPath path = registry::ParseKeyPath(keyPath);
    return std::to_string(path.root) + (path.subKey.empty() ? "" : "\\" + path.subKey);
}

// The picture without what was left out, each key's values in name order (an export writes
// them in an order of its own).
Picture Without(Picture picture, const std::vector<ExportLeftOut>& leftOut) {
    for (const ExportLeftOut& item : leftOut) {
        const std::string key = PictureKey(item.keyPath);
        if (item.wholeKey) {
            std::erase_if(picture, [&](const auto& entry) {
                return entry.first == key || entry.first.starts_with(key + "\\");
            });
        } else if (auto found = picture.find(key); found != picture.end()) {
            std::erase_if(found->second,
                          [&](const auto& value) { return value.first == item.valueName; });
        }
    }
    for (auto& [key, values] : picture) {
        std::sort(values.begin(), values.end(), [](const auto& a, const auto& b) {
            return platform::text::AsciiUpper(a.first) < platform::text::AsciiUpper(b.first);
        });
    }
    return picture;
}

// Exports every root in `form`, empties the registry and imports the files: what the export
// left out. The files always read back whole.
std::vector<ExportLeftOut> ExportAndImportAgain(RegScriptForm form) {
    namespace reg = platform::registry;
    registry::clsRegistryAccess registry;
    std::vector<ExportLeftOut> leftOut;
    std::vector<std::string> files;
    for (const auto& root : platform::root_keys::RootKeyNames()) {
        const std::string file = "C:\\export" + std::to_string(files.size()) + ".reg";
        platform::runtime::DeleteFile(file);
        (void)registry.ExportToReg(
            root.longName, file, true, {},
            [&](const ExportLeftOut& item) { leftOut.push_back(item); }, form);
        files.push_back(file);
    }
    auto& machine = platform::sim::machine();
    machine.openKeys.clear();
    for (auto& [root, node] : machine.registryRoots) {
        node = std::make_shared<platform::sim::RegistryNode>();
    }
    for (const std::string& file : files) {
        Require(registry.ImportFromReg(file) == 1);
    }
    return leftOut;
}

// True when the key or a key above it was left out as a whole.
bool LeftOutWithKeyOrAbove(const std::string& keyPath, const std::vector<ExportLeftOut>& leftOut) {
    return std::any_of(leftOut.begin(), leftOut.end(), [&](const ExportLeftOut& item) {
        return item.wholeKey &&
               (keyPath == item.keyPath || keyPath.starts_with(item.keyPath + "\\"));
    });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto script = kelvra::fuzz::AsText(data, size);

    kelvra::fuzz::PrepareRegistry(script);
    const long imported = registry::clsRegistryAccess().ImportFromReg(kelvra::fuzz::kScriptPath);
    const auto byImport = registry::reference::WholeRegistry();

    kelvra::fuzz::PrepareRegistry(script);
    const long expected = registry::reference::Import(script);
    const auto byReference = registry::reference::WholeRegistry();
    Require(imported == expected && byImport == byReference);

    const std::vector<ExportLeftOut> unicodeLeftOut = ExportAndImportAgain(RegScriptForm::kUnicode);
    Require(Without(registry::reference::WholeRegistry(), {}) == Without(byImport, unicodeLeftOut));

    kelvra::fuzz::PrepareRegistry(script);
    (void)registry::reference::Import(script);
    const std::vector<ExportLeftOut> ansiLeftOut = ExportAndImportAgain(RegScriptForm::kRegedit4);
    Require(Without(registry::reference::WholeRegistry(), {}) == Without(byImport, ansiLeftOut));

    for (const ExportLeftOut& item : unicodeLeftOut) {
        Require(item.wholeKey && item.keyPath.find_first_of("\r\n") != std::string::npos);
        Require(LeftOutWithKeyOrAbove(item.keyPath, ansiLeftOut));
    }
    return 0;
}
