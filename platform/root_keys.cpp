#include "platform/root_keys.h"

#include <array>
#include <charconv>
#include <limits>

#include "platform/registry.h"
#include "platform/text.h"

namespace platform::root_keys {
namespace {

namespace reg = platform::registry;

constexpr std::array<RootKeyName, 7> kRootKeyNames{{
    {"HKEY_CURRENT_USER", "HKCU", reg::kCurrentUser},
    {"HKEY_LOCAL_MACHINE", "HKLM", reg::kLocalMachine},
    {"HKEY_CLASSES_ROOT", "HKCR", reg::kClassesRoot},
    {"HKEY_USERS", "HKUS", reg::kUsers},
    {"HKEY_PERFORMANCE_DATA", "HKPD", reg::kPerformanceData},
    {"HKEY_DYN_DATA", "HKDD", reg::kDynData},
    {"HKEY_CURRENT_CONFIG", "HKCC", reg::kCurrentConfig},
}};

template <typename Matches>
const RootKeyName* Find(Matches matches) {
    for (const RootKeyName& row : kRootKeyNames) {
        if (matches(row)) {
            return &row;
        }
    }
    return nullptr;
}

// The number of names in a key path, empty ones between backslashes not counted.
std::size_t NameCount(std::string_view subKey) {
    std::size_t count = 0;
    bool inName = false;
    for (const char c : subKey) {
        count += !inName && c != '\\';
        inName = c != '\\';
    }
    return count;
}

}  // namespace

std::span<const RootKeyName> RootKeyNames() {
    return kRootKeyNames;
}

const RootKeyName* FindByLongName(std::string_view name) {
    return Find(
        [&](const RootKeyName& row) { return text::EqualsIgnoringCase(name, row.longName); });
}

const RootKeyName* FindByShortName(std::string_view name) {
    return Find(
        [&](const RootKeyName& row) { return text::EqualsIgnoringCase(name, row.shortName); });
}

const RootKeyName* FindByName(std::string_view name) {
    return Find([&](const RootKeyName& row) {
        return text::EqualsIgnoringCase(name, row.longName) ||
               text::EqualsIgnoringCase(name, row.shortName);
    });
}

bool IsRootValue(std::uint64_t value) {
    return value >= reg::kClassesRoot && value <= reg::kDynData;
}

RootNameAndRest SplitRootName(std::string_view path) {
    if (path.starts_with('\\')) {
        path.remove_prefix(1);
    }
    const auto cut = path.find('\\');
    if (cut == std::string_view::npos) {
        return {path, {}};
    }
    return {path.substr(0, cut), path.substr(cut + 1)};
}

std::string DecimalText(std::uint32_t root) {
    return std::to_string(static_cast<std::int32_t>(root));
}

std::optional<std::uint32_t> ParseDecimalText(std::string_view text) {
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    using Limits = std::numeric_limits<std::int32_t>;
    if (error != std::errc{} || end != text.data() + text.size() || value < Limits::min() ||
        value > Limits::max()) {
        return std::nullopt;
    }
    const auto root = static_cast<std::uint32_t>(static_cast<std::int32_t>(value));
    return IsRootValue(root) ? std::optional(root) : std::nullopt;
}

bool IsHiveRoot(std::uint32_t root, std::string_view subKey) {
    return (root == reg::kUsers || root == reg::kLocalMachine) && NameCount(subKey) == 1;
}

}  // namespace platform::root_keys
