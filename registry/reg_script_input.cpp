#include "registry/reg_script_input.h"

#include <utility>

#include "platform/text.h"

namespace registry {
namespace {

constexpr std::string_view kByteOrderMark = "\xFF\xFE";
// A first line longer than this without its CR LF is no header.
constexpr std::size_t kLongestHeader = 64;
constexpr std::string_view kUnicodeHeader = "Windows Registry Editor Version 5.00";
// How the Unicode header starts when it is UTF-16LE without its byte-order mark.
constexpr std::string_view kBareUtf16Header{"W\0i\0n\0d\0o\0w\0s\0 \0", 16};

bool IsHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLowSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

bool HoldsUnpairedSurrogate(std::u16string_view units) {
    for (std::size_t i = 0; i < units.size(); ++i) {
        if (IsHighSurrogate(units[i]) && i + 1 < units.size() && IsLowSurrogate(units[i + 1])) {
            ++i;
        } else if (IsHighSurrogate(units[i]) || IsLowSurrogate(units[i])) {
            return true;
        }
    }
    return false;
}

// Calls `line` for every line of a block of complete lines, each without its CR LF; false as
// soon as one call is.
template <typename Char, typename Handler>
bool EachLine(std::basic_string_view<Char> lines, Handler line) {
    static constexpr Char kLineEnd[] = {Char('\r'), Char('\n')};
    const std::basic_string_view<Char> lineEnd(kLineEnd, 2);
    while (!lines.empty()) {
        const auto end = lines.find(lineEnd);
        if (!line(lines.substr(0, end))) {
            return false;
        }
        lines.remove_prefix(end + lineEnd.size());  // every line of the block ends with CR LF
    }
    return true;
}

}  // namespace

RegScriptInput::RegScriptInput(RegScriptSink& sink, AnsiDecoder fromAnsi)
    : sink_(sink), fromAnsi_(std::move(fromAnsi)) {}

bool RegScriptInput::Add(std::string_view bytes) {
    if (stage_ == Stage::kStart) {
        start_ += bytes;
        if (start_.size() < kByteOrderMark.size()) {
            return true;
        }
        Begin();
        const std::string first = std::exchange(start_, {});
        return stage_ == Stage::kUnicode ? AddUnicode(std::string_view(first).substr(2))
                                         : AddAnsi(first);
    }
    switch (stage_) {
        case Stage::kAnsi:
            return AddAnsi(bytes);
        case Stage::kUnicode:
            return AddUnicode(bytes);
        default:
            return false;
    }
}

bool RegScriptInput::Finish() {
    if (stage_ == Stage::kStart) {  // fewer bytes than a byte-order mark
        Begin();
        const std::string first = std::exchange(start_, {});
        if (!AddAnsi(first)) {
            return false;
        }
    }
    if (stage_ == Stage::kAnsi) {
        // The last line, without CR LF (a file of one line is its header alone).
        if (!AnsiLine(fromAnsi_(ansiLines_.Rest()))) {
            return false;
        }
    } else if (stage_ == Stage::kUnicode) {
        if (!UnicodeLine(unicodeLines_.Rest(),
                         oddByte_ ? "the file ends in the middle of a character (an odd number "
                                    "of bytes)"
                                  : nullptr)) {
            return false;
        }
    } else {
        return false;
    }
    reader_->Finish();
    return true;
}

void RegScriptInput::Begin() {
    const bool unicode = start_.starts_with(kByteOrderMark);
    stage_ = unicode ? Stage::kUnicode : Stage::kAnsi;
    reader_.emplace(sink_, unicode ? RegScriptForm::kUnicode : RegScriptForm::kRegedit4);
    if (!unicode && start_.size() >= 2 && kBareUtf16Header.starts_with(start_.substr(0, 16))) {
        // Refused at once: UTF-16 read as ANSI would cut no line.
        Refuse("UTF-16 text without its byte-order mark (FF FE) before the header \"" +
               std::string(kUnicodeHeader) + "\"");
    }
}

bool RegScriptInput::AddAnsi(std::string_view bytes) {
    const std::string lines = ansiLines_.Add(bytes);
    if (!EachLine<char>(fromAnsi_(lines),
                        [this](std::string_view line) { return AnsiLine(line); })) {
        return false;
    }
    headerRead_ = headerRead_ || !lines.empty();
    return HeaderPending(ansiLines_.Rest().size());
}

bool RegScriptInput::AddUnicode(std::string_view bytes) {
    std::u16string units;
    units.reserve(bytes.size() / 2 + 1);
    std::size_t at = 0;
    if (oddByte_ && !bytes.empty()) {
        units.push_back(
            static_cast<char16_t>(*oddByte_ | (static_cast<unsigned char>(bytes[0]) << 8)));
        oddByte_.reset();
        at = 1;
    }
    for (; at + 1 < bytes.size(); at += 2) {
        units.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[at]) |
                                              (static_cast<unsigned char>(bytes[at + 1]) << 8)));
    }
    if (at < bytes.size()) {
        oddByte_ = static_cast<unsigned char>(bytes[at]);
    }
    const std::u16string lines = unicodeLines_.Add(units);
    if (!EachLine<char16_t>(lines,
                            [this](std::u16string_view line) { return UnicodeLine(line); })) {
        return false;
    }
    headerRead_ = headerRead_ || !lines.empty();
    return HeaderPending(unicodeLines_.Rest().size());
}

bool RegScriptInput::AnsiLine(std::string_view line) {
    if (stage_ == Stage::kRefused) {
        return false;
    }
    if (reader_->Line(line)) {
        return true;
    }
    return Refuse(platform::text::EqualsIgnoringCase(line, kUnicodeHeader)
                      ? "the header \"" + std::string(kUnicodeHeader) +
                            "\" without its byte-order mark (FF FE) and UTF-16 text"
                      : std::string("not a registry script: its first line is not REGEDIT4, nor "
                                    "a byte-order mark and \"") +
                            std::string(kUnicodeHeader) + "\"");
}

bool RegScriptInput::UnicodeLine(std::u16string_view line, const char* fault) {
    if (stage_ == Stage::kRefused) {
        return false;
    }
    const std::string text = platform::text::Utf16ToUtf8(line);
    if (fault == nullptr && HoldsUnpairedSurrogate(line)) {
        fault = "an unpaired surrogate: UTF-16 that is no text";
    }
    if (fault == nullptr ? reader_->Line(text) : reader_->UnreadableLine(text, fault)) {
        return true;
    }
    return Refuse("a byte-order mark without the header \"" + std::string(kUnicodeHeader) + "\"");
}

// False (the file refused) when the first line is too long for a header and still not ended.
bool RegScriptInput::HeaderPending(std::size_t restLength) {
    if (headerRead_ || restLength <= kLongestHeader) {
        return stage_ != Stage::kRefused;
    }
    return stage_ == Stage::kUnicode
               ? UnicodeLine(unicodeLines_.Rest().substr(0, kLongestHeader + 1))
               : AnsiLine(fromAnsi_(ansiLines_.Rest().substr(0, kLongestHeader + 1)));
}

bool RegScriptInput::Refuse(std::string reason) {
    if (stage_ != Stage::kRefused) {
        stage_ = Stage::kRefused;
        refusal_ = std::move(reason);
    }
    return false;
}

}  // namespace registry
