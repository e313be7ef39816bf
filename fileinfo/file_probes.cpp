#include "fileinfo/file_probes.h"

#include <algorithm>
#include <charconv>

#include "fileinfo/version_text.h"
#include "platform/closed_library.h"
#include "platform/kernel32.h"
#include "platform/registry.h"
#include "platform/root_keys.h"
#include "platform/runtime.h"
#include "platform/text.h"

namespace fileinfo {
namespace {

namespace reg = platform::registry;

bool EndsWithExe(std::string_view name) {
    return platform::text::EndsWithIgnoringCase(name, "EXE");
}

// The subkey names of a key, in the platform's order; empty when it cannot be opened.
std::vector<std::string> SubkeyNames(std::uint32_t root, std::string_view keyPath) {
    std::vector<std::string> names;
    reg::Key key;
    if (reg::OpenKey(reg::PredefinedKey(root), keyPath, reg::kKeyRead, key) != 0) {
        return names;
    }
    std::string name;
    for (std::uint32_t index = 0; reg::EnumKey(key.get(), index, name) == 0; ++index) {
        names.push_back(name);
    }
    return names;
}

// The text of a value's data as the ANSI functions would give it, less its last character.
std::string DataText(const reg::Value& value) {
    if (value.type == reg::kRegSz || value.type == reg::kRegExpandSz) {
        return platform::text::DecodeRegistryString(value.data);
    }
    if (value.data.empty()) {
        return "";
    }
    if (value.type == reg::kRegMultiSz) {
        std::u16string wide;
        for (std::size_t i = 0; i + 1 < value.data.size(); i += 2) {
            wide.push_back(static_cast<char16_t>(value.data[i] | (value.data[i + 1] << 8)));
        }
        if (!wide.empty()) {
            wide.pop_back();
        }
        return platform::text::Utf16ToUtf8(wide);
    }
    const std::string bytes(value.data.begin(), value.data.end() - 1);
    return platform::kernel32::AnsiToUtf8(bytes);
}

// The closed library's FINDFILEINPATH, called in the probe.
void FindFileInPath(platform::library_probe::Probe& probe, std::string& name, std::string& path,
                    std::uint32_t& lastError) {
    const auto found = probe.FindFileInPath(name, path);
    if (found.ending.kind != platform::library_probe::Ending::Kind::kAnswered) {
        throw platform::closed_library::Unavailable(
            "Kelvra_Intel_Win32.dll could not be called in the probe process");
    }
    if (!found.available) {
        throw platform::closed_library::Unavailable(found.unavailableMessage);
    }
    name = found.name;
    path = found.pathBuffer;
    lastError = found.lastError;
}

}  // namespace

bool LocateFile(std::string& name, std::string& path, std::uint32_t& lastError,
                platform::library_probe::Probe& probe, LoadAttempt* attempt) {
    bool located = false;
    if (attempt != nullptr) {
        *attempt = {};
    }
    if (EndsWithExe(name)) {
        std::string candidate = name;
        if (name.find('\\') == std::string::npos) {
            candidate = platform::runtime::CurDir();
            if (!candidate.ends_with('\\')) {
                candidate += '\\';
            }
            candidate += name;
        }
        located = !platform::runtime::Dir(candidate).empty();
        lastError = platform::kernel32::GetLastError();
        if (located) {
            path = candidate;
        }
    } else if (const auto load = probe.LoadLibrary(name); load.loaded) {
        lastError = load.lastError;
        path = load.modulePath;
        located = true;
    } else {
        if (attempt != nullptr) {
            *attempt = LoadAttempt{true, load.lastError, load.ending};
        }
        FindFileInPath(probe, name, path, lastError);
    }
    if (!located) {
        path = kUnableToLocate;
    }
    return located;
}

std::string GetErrorText(std::uint32_t code) {
    const auto message = platform::kernel32::FormatSystemMessage(code);
    if (!message || message->size() < 2) {
        return "";
    }
    // The system ends its texts with a line end.
    return message->substr(0, message->size() - 2);
}

std::string GetFileVersionString(std::string_view path) {
    return ReadFileVersionText(path);
}

std::string ReadRegValue(std::uint32_t root, std::string_view keyPath, std::string_view valueName) {
    if (!platform::root_keys::IsRootValue(root)) {
        return "";
    }
    reg::Key key;
    if (reg::OpenKey(reg::PredefinedKey(root), keyPath, reg::kKeyRead, key) != 0) {
        return "";
    }
    reg::Value value;
    if (reg::QueryValue(key.get(), valueName, value) != 0) {
        return "";
    }
    if (value.type == reg::kRegDword) {
        std::uint32_t number = 0;
        for (std::size_t i = 0; i < 4 && i < value.data.size(); ++i) {
            number |= static_cast<std::uint32_t>(value.data[i]) << (8 * i);
        }
        std::string digits = std::to_string(number);
        return digits.size() < 3 ? std::string(3 - digits.size(), '0') + digits : digits;
    }
    return DataText(value);
}

bool ReadVersionNumber(std::string_view text, float& number) {
    if (text.empty() || !(text[0] == '-' || text[0] == '.' || (text[0] >= '0' && text[0] <= '9'))) {
        return false;
    }
    float value = 0;
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
    if (error != std::errc{} || end != text.data() + text.size()) {
        return false;
    }
    number = value;
    return true;
}

std::string FindRegSubKey(std::string_view rootText, std::string_view keyPath,
                          std::string_view wanted) {
    const std::optional<std::uint32_t> root = platform::root_keys::ParseDecimalText(rootText);
    if (!root) {
        return "";
    }
    const std::vector<std::string> names = SubkeyNames(*root, keyPath);
    if (!wanted.empty() && std::ranges::find(names, wanted) != names.end()) {
        return std::string(wanted);
    }
    std::string answer;
    float best = 0;
    for (const std::string& name : names) {
        float number = 0;
        if (ReadVersionNumber(name, number) && number >= best) {
            best = number;
            answer = name;
        }
    }
    return answer;
}

}  // namespace fileinfo
