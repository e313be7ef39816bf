// Formats a date with a Windows date picture ("M/d/yyyy", "dd.MM.yyyy", "yyyy-MM-dd", ...):
// d, dd, ddd, dddd, M, MM, MMM, MMMM, y, yy, yyyy, and text in single quotes.
#pragma once

#include <string>
#include <string_view>

#include "platform/runtime.h"

namespace platform {

std::string FormatDatePicture(const runtime::DateTime& date, std::string_view picture);

}  // namespace platform
