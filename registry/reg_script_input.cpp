#include "registry/reg_script_input.h"

#include <algorithm>
#include <bit>
#include <cstring>
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

bool IsAscii(std::string_view bytes) {
    return std::all_of(bytes.begin(), bytes.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
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

// Puts the UTF-8 of a line of UTF-16 units in `text` (U+FFFD for an unpaired surrogate); false
// when it holds one. ASCII, the usual line, goes unit by unit.
bool DecodeLine(std::u16string_view units, std::string& text) {
    text.resize(units.size());
    for (std::size_t i = 0; i < units.size(); ++i) {
        if (units[i] >= 0x80) {
            text = platform::text::Utf16ToUtf8(units);
            return !HoldsUnpairedSurrogate(units);
        }
        text[i] = static_cast<char>(units[i]);
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
        return stage_ == Stage::kUnicode
                   ? AddUnicode(std::string_view(first).substr(kByteOrderMark.size()))
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
        if (!AnsiLine(ansiLines_.Rest())) {
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
    if (!ansiLines_.Cut(bytes, [this](std::string_view line) { return AnsiLine(line); })) {
        return false;
    }
    return HeaderPending(ansiLines_.Rest().size());
}

bool RegScriptInput::AddUnicode(std::string_view bytes) {
    units_.clear();
    if (oddByte_ && !bytes.empty()) {
        units_.push_back(
            static_cast<char16_t>(*oddByte_ | (static_cast<unsigned char>(bytes[0]) << 8)));
        oddByte_.reset();
        bytes.remove_prefix(1);
    }
    const std::size_t first = units_.size();
    units_.resize(first + bytes.size() / 2);
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(units_.data() + first, bytes.data(), (units_.size() - first) * 2);
    } else {
        for (std::size_t i = first; i < units_.size(); ++i) {
            const std::size_t at = (i - first) * 2;
            units_[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[at]) |
                                              (static_cast<unsigned char>(bytes[at + 1]) << 8));
        }
    }
    if (bytes.size() % 2 != 0) {
        oddByte_ = static_cast<unsigned char>(bytes.back());
    }
    if (!unicodeLines_.Cut(units_,
                           [this](std::u16string_view line) { return UnicodeLine(line); })) {
        return false;
    }
    return HeaderPending(unicodeLines_.Rest().size());
}

bool RegScriptInput::AnsiLine(std::string_view line) {
    if (stage_ == Stage::kRefused) {
        return false;
    }
    headerRead_ = true;
    std::string converted;
    if (!IsAscii(line)) {  // ASCII is the same text in every ANSI code page and in UTF-8
        converted = fromAnsi_(line);
        line = converted;
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
    headerRead_ = true;
    if (!DecodeLine(line, text_) && fault == nullptr) {
        fault = "an unpaired surrogate: UTF-16 that is no text";
    }
    if (fault == nullptr ? reader_->Line(text_) : reader_->UnreadableLine(text_, fault)) {
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
               : AnsiLine(std::string_view(ansiLines_.Rest()).substr(0, kLongestHeader + 1));
}

bool RegScriptInput::Refuse(std::string reason) {
    if (stage_ != Stage::kRefused) {
        stage_ = Stage::kRefused;
        refusal_ = std::move(reason);
    }
    return false;
}

}  // namespace registry
