#include "platform/library_probe.h"

#include <atomic>
#include <charconv>
#include <vector>

#include "platform/closed_library.h"
#include "platform/kernel32.h"
#include "platform/library_probe_protocol.h"
#include "platform/library_probe_server.h"

namespace platform::library_probe {
namespace protocol {
namespace {

constexpr char kSeparator = '\t';
constexpr std::uint32_t kErrorInvalidParameter = 87;

std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (;;) {
        const auto cut = line.find(kSeparator, start);
        fields.push_back(line.substr(start, cut - start));
        if (cut == std::string_view::npos) {
            return fields;
        }
        start = cut + 1;
    }
}

std::optional<std::uint32_t> Number(std::string_view field) {
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
    if (error != std::errc{} || end != field.data() + field.size() || field.empty()) {
        return std::nullopt;
    }
    return value;
}

std::string Line(std::initializer_list<std::string> fields) {
    std::string line;
    for (const std::string& field : fields) {
        if (!line.empty()) {
            line += kSeparator;
        }
        line += field;
    }
    return line;
}

// A line of a word and a code, such as "exception" or "raised".
std::optional<std::uint32_t> CodeLine(const std::vector<std::string_view>& fields,
                                      std::string_view word) {
    if (fields.size() != 2 || fields[0] != word) {
        return std::nullopt;
    }
    return Number(fields[1]);
}

// "exception" answers whatever was asked.
std::optional<Ending> ExceptionEnding(const std::vector<std::string_view>& fields) {
    const auto code = CodeLine(fields, kExceptionAnswer);
    if (!code) {
        return std::nullopt;
    }
    return Ending{Ending::Kind::kException, 0, *code, 0};
}

}  // namespace

std::string Escape(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || c == '%') {
            escaped += '%';
            escaped += kHex[byte >> 4];
            escaped += kHex[byte & 0x0F];
        } else {
            escaped += c;
        }
    }
    return escaped;
}

std::optional<std::string> Unescape(std::string_view field) {
    const auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9') {
            return c - '0';
        }
        if (c >= 'A' && c <= 'F') {
            return c - 'A' + 10;
        }
        return -1;
    };
    std::string text;
    text.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (static_cast<unsigned char>(c) < 0x20) {
            return std::nullopt;
        }
        if (c != '%') {
            text += c;
            continue;
        }
        if (i + 2 >= field.size()) {
            return std::nullopt;
        }
        const int high = digit(field[i + 1]);
        const int low = digit(field[i + 2]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        text += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return text;
}

std::string FormatRequest(const Request& request) {
    if (request.kind == Request::Kind::kLoad) {
        return Line({"load", Escape(request.name)});
    }
    return Line({"find", Escape(request.name), Escape(request.pathBuffer)});
}

std::optional<Request> ParseRequest(std::string_view line) {
    const auto fields = Fields(line);
    Request request;
    if (fields.size() == 2 && fields[0] == "load") {
        request.kind = Request::Kind::kLoad;
    } else if (fields.size() == 3 && fields[0] == "find") {
        request.kind = Request::Kind::kFind;
        auto pathBuffer = Unescape(fields[2]);
        if (!pathBuffer) {
            return std::nullopt;
        }
        request.pathBuffer = std::move(*pathBuffer);
    } else {
        return std::nullopt;
    }
    auto name = Unescape(fields[1]);
    if (!name) {
        return std::nullopt;
    }
    request.name = std::move(*name);
    return request;
}

std::string FormatLoadAnswer(const LoadAnswer& answer) {
    if (answer.loaded) {
        return Line({"loaded", std::to_string(answer.lastError), Escape(answer.modulePath)});
    }
    return Line({"failed", std::to_string(answer.lastError)});
}

std::string FormatFindAnswer(const FindAnswer& answer) {
    if (!answer.available) {
        return Line({"unavailable", Escape(answer.unavailableMessage)});
    }
    return Line({"found", std::to_string(answer.lastError), Escape(answer.name),
                 Escape(answer.pathBuffer)});
}

std::string FormatExceptionAnswer(std::uint32_t exceptionCode) {
    return Line({std::string(kExceptionAnswer), std::to_string(exceptionCode)});
}

std::string FormatRaisedNote(std::uint32_t exceptionCode) {
    return Line({std::string(kRaisedNote), std::to_string(exceptionCode)});
}

std::optional<std::uint32_t> ParseRaisedNote(std::string_view line) {
    return CodeLine(Fields(line), kRaisedNote);
}

std::optional<LoadAnswer> ParseLoadAnswer(std::string_view line) {
    const auto fields = Fields(line);
    if (const auto ending = ExceptionEnding(fields)) {
        return LoadAnswer{false, 0, "", *ending};
    }
    if (fields.size() == 3 && fields[0] == "loaded") {
        const auto lastError = Number(fields[1]);
        auto path = Unescape(fields[2]);
        if (lastError && path) {
            return LoadAnswer{true, *lastError, std::move(*path), {}};
        }
    } else if (fields.size() == 2 && fields[0] == "failed") {
        if (const auto error = Number(fields[1])) {
            return LoadAnswer{false, *error, "", {}};
        }
    }
    return std::nullopt;
}

std::optional<FindAnswer> ParseFindAnswer(std::string_view line) {
    const auto fields = Fields(line);
    FindAnswer answer;
    if (const auto ending = ExceptionEnding(fields)) {
        answer.ending = *ending;
        return answer;
    }
    if (fields.size() == 2 && fields[0] == "unavailable") {
        auto message = Unescape(fields[1]);
        if (!message) {
            return std::nullopt;
        }
        answer.available = false;
        answer.unavailableMessage = std::move(*message);
        return answer;
    }
    if (fields.size() != 4 || fields[0] != "found") {
        return std::nullopt;
    }
    const auto lastError = Number(fields[1]);
    auto name = Unescape(fields[2]);
    auto pathBuffer = Unescape(fields[3]);
    if (!lastError || !name || !pathBuffer) {
        return std::nullopt;
    }
    answer.lastError = *lastError;
    answer.name = std::move(*name);
    answer.pathBuffer = std::move(*pathBuffer);
    return answer;
}

}  // namespace protocol

namespace {

std::atomic<int> g_probesStarted{0};

// The full path of a module of that name loaded in this process, however long; "".
std::string GetModulePath(std::string_view name) {
    const auto module = kernel32::GetModuleHandle(name);
    return module == 0 ? "" : kernel32::GetModuleFileName(module);
}

LoadAnswer Load(const std::string& name) {
    LoadAnswer answer;
    {
        const auto module = kernel32::LoadLibrary(name);
        answer.lastError = kernel32::GetLastError();
        if (module) {
            answer.loaded = true;
            answer.modulePath = GetModulePath(name);
        }
    }  // freed before the answer goes out: what its end does is part of this request
    return answer;
}

FindAnswer Find(std::string name, std::string pathBuffer) {
    FindAnswer answer;
    try {
        closed_library::FindFileInPath(name, pathBuffer);
        answer.lastError = kernel32::GetLastError();
        answer.name = std::move(name);
        answer.pathBuffer = std::move(pathBuffer);
    } catch (const closed_library::Unavailable& unavailable) {
        answer.available = false;
        answer.unavailableMessage = unavailable.what();
    }
    return answer;
}

}  // namespace

std::string AnswerRequest(std::string_view line) {
    const auto request = protocol::ParseRequest(line);
    if (!request) {
        return protocol::FormatLoadAnswer(
            LoadAnswer{false, protocol::kErrorInvalidParameter, "", {}});
    }
    if (request->kind == protocol::Request::Kind::kLoad) {
        return protocol::FormatLoadAnswer(Load(request->name));
    }
    return protocol::FormatFindAnswer(Find(request->name, request->pathBuffer));
}

void CountProbeStarted() {
    ++g_probesStarted;
}

int ProbesStarted() {
    return g_probesStarted;
}

LoadAnswer Probe::LoadLibrary(std::string_view name) {
    std::string line;
    const Ending ending = Exchange(
        protocol::FormatRequest({protocol::Request::Kind::kLoad, std::string(name), ""}), line);
    if (ending.kind != Ending::Kind::kAnswered) {
        return LoadAnswer{false, 0, "", ending};
    }
    if (auto answer = protocol::ParseLoadAnswer(line)) {
        return *answer;
    }
    return LoadAnswer{false, 0, "", Ending{Ending::Kind::kBroken}};
}

FindAnswer Probe::FindFileInPath(std::string_view name, std::string_view pathBuffer) {
    std::string line;
    const Ending ending =
        Exchange(protocol::FormatRequest(
                     {protocol::Request::Kind::kFind, std::string(name), std::string(pathBuffer)}),
                 line);
    FindAnswer answer;
    if (ending.kind != Ending::Kind::kAnswered) {
        answer.ending = ending;
        return answer;
    }
    if (auto parsed = protocol::ParseFindAnswer(line)) {
        return *parsed;
    }
    answer.ending = Ending{Ending::Kind::kBroken};
    return answer;
}

}  // namespace platform::library_probe
