// The name of the running Windows version for the report's title lines.
#pragma once

#include <optional>
#include <string>

#include "platform/kernel32.h"

namespace fileinfo {

// The name for a version record, "Unknown" for every version without a name of its own and
// for a failed query.
std::string OsNameFor(const std::optional<platform::kernel32::OsVersionInfo>& record);

}  // namespace fileinfo
