#include "registry/reg_file_reader.h"

#include "platform/text.h"
#include "registry/hex_text.h"

namespace registry {
namespace {

using Kind = RegOperation::Kind;

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (true) {
        const auto end = text.find("\r\n", start);
        if (end == std::string_view::npos) {
            lines.push_back(text.substr(start));
            return lines;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrimLeft(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    return text;
}

std::string_view Trim(std::string_view text) {
    text = TrimLeft(text);
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           platform::text::EqualsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

// The leading hex digits of `text` as a number, when there are one to eight of them.
std::optional<std::uint32_t> LeadingHex(std::string_view text) {
    std::uint32_t value = 0;
    std::size_t count = 0;
    for (const char c : text) {
        const int digit = HexDigit(c);
        if (digit < 0) {
            break;
        }
        if (++count > 8) {
            return std::nullopt;
        }
        value = value * 16 + static_cast<std::uint32_t>(digit);
    }
    if (count == 0) {
        return std::nullopt;
    }
    return value;
}

RegOperation MakeOperation(Kind kind, std::string keyPath, std::string name = {}) {
    RegOperation op;
    op.kind = kind;
    op.keyPath = std::move(keyPath);
    op.name = std::move(name);
    return op;
}

// The walk over the lines after the header.
class Reader {
  public:
    Reader(std::vector<std::string_view> lines, const RegOperationSink& sink)
        : lines_(std::move(lines)), sink_(sink) {}

    void Run() {
        for (next_ = 1; next_ < lines_.size();) {
            Line(Trim(lines_[next_++]));
        }
    }

  private:
    enum class State {
        kOutsideSection,  // before the first section, after [-key] or a malformed key line
        kInSection,
    };

    void Line(std::string_view line) {
        if (line.starts_with('[')) {
            KeyLine(line);
        } else if (state_ == State::kInSection && !line.starts_with(';')) {
            ValueLine(line);
        }
    }

    void KeyLine(std::string_view line) {
        state_ = State::kOutsideSection;
        if (!line.ends_with(']') || line.size() < 2) {
            return;
        }
        const std::string_view key = line.substr(1, line.size() - 2);
        if (key.starts_with('-')) {
            Add(MakeOperation(Kind::kDeleteTree, std::string(key.substr(1))));
            return;
        }
        keyPath_ = std::string(key);
        state_ = State::kInSection;
    }

    void ValueLine(std::string_view line) {
        std::string name;
        const bool atName = line.starts_with('@');
        if (atName) {
            line.remove_prefix(1);
        } else if (line.starts_with('"')) {
            const auto close = line.find('"', 1);
            if (close == std::string_view::npos) {
                return;
            }
            name = std::string(line.substr(1, close - 1));
            line.remove_prefix(close + 1);
        } else {
            return;
        }
        line = TrimLeft(line);
        if (!line.starts_with('=')) {
            return;
        }
        Data(std::move(name), atName, TrimLeft(line.substr(1)));
    }

    void Data(std::string name, bool atName, std::string_view data) {
        RegOperation op = MakeOperation(Kind::kSetString, keyPath_, std::move(name));
        if (data == "-") {
            op.kind = Kind::kDeleteValue;
        } else if (StartsWithIgnoringCase(data, "hex:")) {
            op.kind = Kind::kSetBinary;
            op.bytes = HexList(data.substr(4));
        } else if (StartsWithIgnoringCase(data, "hex(")) {
            if (!TypedHex(data.substr(4), op)) {
                return;
            }
        } else if (StartsWithIgnoringCase(data, "dword:")) {
            const auto value = LeadingHex(data.substr(6));
            if (!value) {
                return;
            }
            op.kind = Kind::kSetDword;
            op.dword = static_cast<std::int32_t>(*value);
        } else {
            StringData(std::move(op), atName, data);
            return;
        }
        Add(std::move(op));
    }

    // "N):01,02" after "hex(".
    bool TypedHex(std::string_view data, RegOperation& op) {
        const auto close = data.find("):");
        if (close == std::string_view::npos || close == 0) {
            return false;
        }
        const auto type = LeadingHex(data.substr(0, close));
        if (!type || data.substr(0, close).find_first_not_of("0123456789abcdefABCDEF") !=
                         std::string_view::npos) {
            return false;
        }
        op.kind = Kind::kSetTyped;
        op.type = *type;
        op.bytes = HexList(data.substr(close + 2));
        return true;
    }

    void StringData(RegOperation op, bool atName, std::string_view data) {
        if (data.size() >= 2 && data.starts_with('"') && data.ends_with('"')) {
            data = data.substr(1, data.size() - 2);
        }
        op.kind = Kind::kSetString;
        op.text = std::string(data);
        Add(op);
        if (atName && op.text.empty()) {
            // An empty default text deletes the default value rather than keeping it empty.
            Add(MakeOperation(Kind::kDeleteValue, op.keyPath));
        }
    }

    // A comma-separated hex list; a trailing backslash continues it on the next line.
    std::vector<std::uint8_t> HexList(std::string_view first) {
        std::string list;
        std::string_view part = Trim(first);
        while (part.ends_with('\\')) {
            list += part.substr(0, part.size() - 1);
            if (next_ >= lines_.size()) {
                part = {};
                break;
            }
            part = Trim(lines_[next_++]);
        }
        list += part;
        for (char& c : list) {
            if (c == ',') {
                c = ' ';
            }
        }
        return HexToBytes(list);
    }

    void Add(const RegOperation& op) { sink_(op); }

    std::vector<std::string_view> lines_;
    const RegOperationSink& sink_;
    std::size_t next_ = 1;
    State state_ = State::kOutsideSection;
    std::string keyPath_;
};

}  // namespace

bool ReadRegFile(std::string_view text, const RegOperationSink& sink) {
    std::vector<std::string_view> lines = SplitLines(text);
    if (platform::text::AsciiUpper(lines.front()) != "REGEDIT4") {
        return false;
    }
    Reader(std::move(lines), sink).Run();
    return true;
}

std::optional<std::vector<RegOperation>> ReadRegFile(std::string_view text) {
    std::vector<RegOperation> operations;
    if (!ReadRegFile(text, [&](const RegOperation& op) { operations.push_back(op); })) {
        return std::nullopt;
    }
    return operations;
}

}  // namespace registry
