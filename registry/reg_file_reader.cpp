#include "registry/reg_file_reader.h"

#include "platform/text.h"
#include "registry/hex_text.h"

namespace registry {
namespace {

using Kind = RegOperation::Kind;
constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kRegedit4Header = "REGEDIT4";
constexpr std::string_view kUnicodeHeader = "Windows Registry Editor Version 5.00";

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

using platform::text::StartsWithIgnoringCase;
using platform::text::TrimBlanks;

// One to eight hex digits and nothing else, as a number.
std::optional<std::uint32_t> HexNumber(std::string_view text) {
    if (text.empty() || text.size() > 8) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    for (const char c : text) {
        const int digit = HexDigit(c);
        if (digit < 0) {
            return std::nullopt;
        }
        value = value * 16 + static_cast<std::uint32_t>(digit);
    }
    return value;
}

// A line that can carry on a hex list: hex digits, commas and blanks, maybe a final "\".
bool ContinuesHexList(std::string_view line) {
    if (line.ends_with('\\')) {
        line.remove_suffix(1);
    }
    if (TrimBlanks(line).empty()) {
        return false;
    }
    for (const char c : line) {
        if (HexDigit(c) < 0 && c != ',' && !IsBlank(c)) {
            return false;
        }
    }
    return true;
}

// Adds one line's part of a hex list, so that "01,02\" followed by "03" reads as 01,02,03.
void AppendListPart(std::string& list, std::string_view part) {
    part = TrimBlanks(part);
    if (part.empty()) {
        return;
    }
    if (!list.empty() && list.back() != ',') {
        list += ',';
    }
    list += part;
}

// The data of a Unicode value line without the "; comment" after it.
std::string_view WithoutComment(std::string_view data) {
    return TrimBlanks(data.substr(0, data.find(';')));
}

// A quoted name or text of the Unicode form, read from its opening quote on.
struct Unquoted {
    std::string text;             // its escapes resolved
    std::string_view rest;        // what follows the closing quote
    const char* fault = nullptr;  // why it cannot be read
};

// The character that a backslash and `c` stand for in a quoted name or text; 0 for none.
char Unescaped(char c) {
    switch (c) {
        case '\\':
        case '"':
            return c;
        case 'r':
            return '\r';
        case 'n':
            return '\n';
        default:
            return 0;
    }
}

Unquoted Unquote(std::string_view quoted) {
    Unquoted out;
    for (std::size_t at = 1;;) {  // after the opening quote, then after each escape
        std::size_t stop = at;    // the next quote or backslash
        while (stop < quoted.size() && quoted[stop] != '"' && quoted[stop] != '\\') {
            ++stop;
        }
        out.text.append(quoted.substr(at, stop - at));
        if (stop < quoted.size() && quoted[stop] == '"') {
            out.rest = quoted.substr(stop + 1);
            return out;
        }
        if (stop + 1 >= quoted.size()) {  // the end of the line, or a final backslash
            out.fault = "without its closing quote";
            return out;
        }
        const char escaped = Unescaped(quoted[stop + 1]);
        if (escaped == 0) {
            out.fault = "with an unknown escape (a backslash not followed by \\, \", r or n)";
            return out;
        }
        out.text.push_back(escaped);
        at = stop + 2;
    }
}

}  // namespace

std::optional<std::vector<std::uint8_t>> ParseHexList(std::string_view list) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(list.size() / 3 + 1);
    std::size_t at = 0;
    const auto skipBlanks = [&] {
        while (at < list.size() && IsBlank(list[at])) {
            ++at;
        }
    };
    // One pass: blanks, one or two hex digits, blanks, then a comma or the end; blanks alone
    // may follow the last comma.
    skipBlanks();
    while (at < list.size()) {
        const int high = HexDigit(list[at]);
        if (high < 0) {
            return std::nullopt;
        }
        ++at;
        const int low = at < list.size() ? HexDigit(list[at]) : -1;
        at += low >= 0 ? 1 : 0;
        bytes.push_back(static_cast<std::uint8_t>(low >= 0 ? high * 16 + low : high));
        skipBlanks();
        if (at == list.size()) {
            break;
        }
        if (list[at] != ',') {
            return std::nullopt;
        }
        ++at;
        skipBlanks();
    }
    return bytes;
}

bool RegScriptReader::Line(std::string_view line) {
    ++number_;
    current_ = line;
    switch (state_) {
        case State::kHeader:
            return Header(line);
        case State::kRefused:
            return false;
        case State::kInHexList:
            if (HexListLine(line)) {
                return true;
            }
            break;
        default:
            break;
    }
    Content(TrimBlanks(line));
    return true;
}

bool RegScriptReader::UnreadableLine(std::string_view text, std::string reason) {
    ++number_;
    current_ = text;
    if (state_ == State::kHeader || state_ == State::kRefused) {
        state_ = State::kRefused;
        return false;
    }
    if (state_ == State::kInHexList) {
        DropHexList("a hex list cut off by an unreadable line");
    }
    if (TrimBlanks(text).starts_with('[')) {
        state_ = State::kOutsideSection;  // its values are passed over, as after any unreadable
                                          // key line: they are not for the section before
    }
    Problem(std::move(reason));
    return true;
}

void RegScriptReader::Finish() {
    if (state_ != State::kInHexList) {
        return;
    }
    if (Unicode()) {
        DropHexList("a hex list continued past the end of the file");
    } else {
        EndHexList(pendingList_);
    }
}

bool RegScriptReader::Header(std::string_view line) {
    const std::string_view header = Unicode() ? kUnicodeHeader : kRegedit4Header;
    state_ =
        platform::text::EqualsIgnoringCase(line, header) ? State::kOutsideSection : State::kRefused;
    return state_ != State::kRefused;
}

// A line while a hex list waits for its continuation: true when it was the list's.
bool RegScriptReader::HexListLine(std::string_view line) {
    line = TrimBlanks(line);
    if (Unicode()) {
        if (line.empty() || line.starts_with(';')) {
            return true;  // the registry editors' lists wait past blank and comment lines
        }
        line = WithoutComment(line);
    }
    if (ContinuesHexList(line)) {
        ContinueHexList(line);
        return true;
    }
    // Any other line ends the list and is read as what it is.
    if (Unicode()) {
        DropHexList("a hex list whose continuation is missing");
    } else {
        EndHexList(pendingList_);
    }
    return false;
}

void RegScriptReader::Content(std::string_view line) {
    if (line.empty() || line.starts_with(';')) {
        return;
    }
    if (line.starts_with('[')) {
        KeyLine(line);
    } else if (state_ == State::kInSection) {
        ValueLine(line);
    }
}

void RegScriptReader::KeyLine(std::string_view line) {
    state_ = State::kOutsideSection;
    if (line.size() < 2 || !line.ends_with(']')) {
        Problem("a key line without its closing \"]\"");
        return;
    }
    const std::string_view key = line.substr(1, line.size() - 2);
    RegOperation op;
    op.line = number_;
    if (key.starts_with('-')) {
        op.kind = Kind::kDeleteTree;
        op.keyPath = std::string(key.substr(1));
        sink_.Operation(std::move(op));
        return;
    }
    op.kind = Kind::kOpenKey;
    op.keyPath = std::string(key);
    sink_.Operation(std::move(op));
    state_ = State::kInSection;
}

void RegScriptReader::ValueLine(std::string_view line) {
    std::string name;
    const bool atName = line.starts_with('@');
    if (atName) {
        line.remove_prefix(1);
    } else if (line.starts_with('"') && Unicode()) {
        Unquoted quoted = Unquote(line);
        if (quoted.fault != nullptr) {
            Problem(std::string("a value name ") + quoted.fault);
            return;
        }
        name = std::move(quoted.text);
        line = quoted.rest;
    } else if (line.starts_with('"')) {
        const auto close = line.find('"', 1);
        if (close == std::string_view::npos) {
            Problem("a value name without its closing quote");
            return;
        }
        name = std::string(line.substr(1, close - 1));
        line.remove_prefix(close + 1);
    } else {
        Problem("neither a key line nor a value line");
        return;
    }
    line = platform::text::TrimLeadingBlanks(line);
    if (!line.starts_with('=')) {
        Problem("a value name without \"=\" after it");
        return;
    }
    Data(std::move(name), atName, platform::text::TrimLeadingBlanks(line.substr(1)));
}

void RegScriptReader::Data(std::string name, bool atName, std::string_view data) {
    RegOperation op;
    op.line = number_;
    op.name = std::move(name);
    if (Unicode() && !data.starts_with('"')) {
        data = WithoutComment(data);
    }
    if (data == "-") {
        op.kind = Kind::kDeleteValue;
    } else if (StartsWithIgnoringCase(data, "hex:")) {
        op.kind = Kind::kSetBinary;
        StartHexList(std::move(op), data.substr(4));
        return;
    } else if (StartsWithIgnoringCase(data, "hex(")) {
        const auto close = data.find("):");
        const auto type =
            close == std::string_view::npos ? std::nullopt : HexNumber(data.substr(4, close - 4));
        if (!type) {
            Problem("an unreadable value type in \"hex(...)\"");
            return;
        }
        op.kind = Unicode() ? Kind::kSetStored : Kind::kSetTyped;
        op.type = *type;
        StartHexList(std::move(op), data.substr(close + 2));
        return;
    } else if (StartsWithIgnoringCase(data, "dword:")) {
        const auto value = HexNumber(data.substr(6));
        if (!value) {
            Problem("a DWORD value that is not one to eight hex digits");
            return;
        }
        op.kind = Kind::kSetDword;
        op.dword = static_cast<std::int32_t>(*value);
    } else if (Unicode()) {
        QuotedStringData(std::move(op), data);
        return;
    } else {
        StringData(std::move(op), atName, data);
        return;
    }
    sink_.Operation(std::move(op));
}

void RegScriptReader::QuotedStringData(RegOperation op, std::string_view data) {
    if (!data.starts_with('"')) {
        Problem("data that is none of \"-\", hex:, hex(N):, dword: and a quoted text");
        return;
    }
    Unquoted text = Unquote(data);
    if (text.fault != nullptr) {
        Problem(std::string("a text ") + text.fault);
        return;
    }
    const std::string_view after = TrimBlanks(text.rest);
    if (!after.empty() && !after.starts_with(';')) {
        Problem("something other than a comment after a text's closing quote");
        return;
    }
    op.kind = Kind::kSetString;
    op.text = std::move(text.text);
    sink_.Operation(std::move(op));
}

void RegScriptReader::StringData(RegOperation op, bool atName, std::string_view data) {
    if (data.size() >= 2 && data.starts_with('"') && data.ends_with('"')) {
        data = data.substr(1, data.size() - 2);
    }
    op.kind = Kind::kSetString;
    op.text = std::string(data);
    const bool deletesDefault = atName && op.text.empty();
    const std::size_t line = op.line;
    sink_.Operation(std::move(op));
    if (deletesDefault) {
        // An empty default text deletes the default value rather than keeping it empty.
        RegOperation deletion;
        deletion.kind = Kind::kDeleteValue;
        deletion.line = line;
        sink_.Operation(std::move(deletion));
    }
}

void RegScriptReader::StartHexList(RegOperation op, std::string_view list) {
    pending_ = std::move(op);
    pendingList_.clear();
    pendingFirstLine_.reset();
    state_ = State::kInHexList;
    ContinueHexList(TrimBlanks(list));
}

void RegScriptReader::ContinueHexList(std::string_view list) {
    const bool continues = list.ends_with('\\');
    if (continues) {
        list.remove_suffix(1);
    }
    if (!continues && pendingList_.empty()) {
        EndHexList(list);  // nothing gathered before: read where it stands
        return;
    }
    if (!pendingFirstLine_) {
        pendingFirstLine_ = std::string(current_);  // the list's first line goes now
    }
    AppendListPart(pendingList_, list);
    if (!continues) {
        EndHexList(pendingList_);
    }
}

void RegScriptReader::EndHexList(std::string_view list) {
    state_ = State::kInSection;
    auto bytes = ParseHexList(list);
    pendingList_.clear();
    if (!bytes) {
        sink_.Problem({pending_.line, PendingFirstLine(), "an unreadable hex list"});
        return;
    }
    pending_.bytes = std::move(*bytes);
    sink_.Operation(std::move(pending_));
    pending_ = {};
}

void RegScriptReader::DropHexList(std::string reason) {
    state_ = State::kInSection;
    pendingList_.clear();
    sink_.Problem({pending_.line, PendingFirstLine(), std::move(reason)});
    pending_ = {};
}

std::string RegScriptReader::PendingFirstLine() {
    return pendingFirstLine_ ? std::move(*pendingFirstLine_) : std::string(current_);
}

void RegScriptReader::Problem(std::string reason) {
    sink_.Problem({number_, std::string(current_), std::move(reason)});
}

bool ReadRegFile(std::string_view text, RegScriptSink& sink, RegScriptForm form) {
    RegScriptReader reader(sink, form);
    while (true) {
        const auto end = text.find(kLineEnd);
        if (!reader.Line(text.substr(0, end))) {
            return false;
        }
        if (end == std::string_view::npos) {
            break;
        }
        text.remove_prefix(end + kLineEnd.size());
    }
    reader.Finish();
    return true;
}

std::optional<std::vector<RegOperation>> ReadRegFile(std::string_view text,
                                                     std::vector<RegLineProblem>* problems,
                                                     RegScriptForm form) {
    struct Collector final : RegScriptSink {
        std::vector<RegOperation> operations;
        std::vector<RegLineProblem>* problems = nullptr;
        void Operation(RegOperation&& op) override { operations.push_back(std::move(op)); }
        void Problem(RegLineProblem&& problem) override {
            if (problems != nullptr) {
                problems->push_back(std::move(problem));
            }
        }
    } collector;
    collector.problems = problems;
    if (!ReadRegFile(text, collector, form)) {
        return std::nullopt;
    }
    return std::move(collector.operations);
}

}  // namespace registry
