// The lines that the report and its probe process exchange (platform/library_probe.h). Pure
// code: a line holds fields separated by TAB; a field's bytes below 0x20 and "%" are written
// as "%XX", so that no field holds a TAB or a line end. Anything that does not read as a
// line of this form gives nullopt.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/library_probe.h"

namespace platform::library_probe::protocol {

std::string Escape(std::string_view text);
std::optional<std::string> Unescape(std::string_view field);

// What the report asks.
struct Request {
    enum class Kind { kLoad, kFind };
    Kind kind = Kind::kLoad;
    std::string name;
    std::string pathBuffer;  // kFind
    friend bool operator==(const Request&, const Request&) = default;
};
std::string FormatRequest(const Request& request);
std::optional<Request> ParseRequest(std::string_view line);

// What the probe answers. An unhandled exception in the probe answers whatever was asked
// ("exception" and its code). Before any answer, the probe may note each error exception
// raised while it works ("raised" and its code), handled or not.
inline constexpr std::string_view kExceptionAnswer = "exception";
inline constexpr std::string_view kRaisedNote = "raised";
std::string FormatLoadAnswer(const LoadAnswer& answer);
std::string FormatFindAnswer(const FindAnswer& answer);
std::string FormatExceptionAnswer(std::uint32_t exceptionCode);
std::optional<LoadAnswer> ParseLoadAnswer(std::string_view line);
std::optional<FindAnswer> ParseFindAnswer(std::string_view line);
std::string FormatRaisedNote(std::uint32_t exceptionCode);
std::optional<std::uint32_t> ParseRaisedNote(std::string_view line);

}  // namespace platform::library_probe::protocol
