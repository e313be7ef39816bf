#include "fileinfo/mdac_version.h"

#include <cstdio>

#include "platform/registry.h"
#include "platform/text.h"

namespace fileinfo {

namespace reg = platform::registry;

std::string GetMdacVersion() {
    std::string version;
    const bool read = GetKeyValue(reg::kLocalMachine, "SOFTWARE\\Microsoft\\DataAccess",
                                  "FullInstallVer", version);
    return read ? version : "N/A";
}

bool GetKeyValue(std::uint32_t KeyRoot, const std::string& KeyName, const std::string& SubKeyRef,
                 std::string& KeyVal) {
    reg::Key key;
    reg::Value value;
    if (reg::OpenKey(reg::PredefinedKey(KeyRoot), KeyName, reg::kKeyRead, key) != 0 ||
        reg::QueryValue(key.get(), SubKeyRef, value) != 0) {
        KeyVal.clear();
        return false;
    }
    if (value.type == reg::kRegSz || value.type == reg::kRegExpandSz) {
        KeyVal = platform::text::DecodeRegistryString(value.data);
    } else if (value.type == reg::kRegDword) {
        std::uint32_t number = 0;
        for (std::size_t i = 0; i < 4 && i < value.data.size(); ++i) {
            number |= static_cast<std::uint32_t>(value.data[i]) << (8 * i);
        }
        char digits[16] = {};
        std::snprintf(digits, sizeof digits, "%X", static_cast<unsigned>(number));
        KeyVal = std::string("&h") + digits;
    }
    return true;
}

}  // namespace fileinfo
