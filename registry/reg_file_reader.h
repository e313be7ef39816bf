// Reads registry script text into the operations it asks for, in file order, a line at a time.
// Pure: the caller decodes the file into UTF-8 lines and applies the operations to the
// registry. Both forms (RegScriptForm) share the rules below; the Unicode form differs where
// the registry editors that write it read it otherwise (after the REGEDIT4 rules).
//
// Lines end at CR LF (a CR or an LF alone is part of its line). The first line, in any letter
// case but otherwise exact, must be "REGEDIT4". After it, each line with blanks (spaces and
// tabs) removed at both ends is one of:
//   [key]            starts a section: its key is created, and the value lines below write
//                    into it
//   [-key]           deletes that key with everything below it
//   ; text           a comment
//   (empty)          nothing
//   "name"=data      a value line inside a section ("@" instead of "name" is the default value);
//                    "=" may have blanks around it, and the data is everything after it:
//                      "-"            deletes the value
//                      hex:01,02      a binary value: one or two hex digits per byte, commas
//                                     between; a line ending in "\" continues the list on the
//                                     next line, as long as that line holds nothing but hex
//                                     digits, commas and blanks (and maybe a final "\")
//                      hex(N):01,02   a value of type N (one to eight hex digits)
//                      dword:1A       a DWORD value (one to eight hex digits, nothing else)
//                      "text"         a string value, without the enclosing quotes
//                      anything else  a string value holding the data as it stands
//                    "@" with the empty text deletes the default value instead.
// Value lines before the first section, after a key deletion and after an unreadable section
// line are passed over. Every other line that is none of the above is a problem: the reader
// reports it with its number and goes on with the next line.
//
// The Unicode form: the first line is "Windows Registry Editor Version 5.00" (in any letter
// case), and
//   - a quoted name or text takes \\ for a backslash and \" for a quote (and \r and \n for
//     CR and LF, which Wine's regedit writes); any other backslash, or a missing closing quote,
//     makes the line a problem;
//   - string data is a quoted text and nothing else: @="" is the empty default text;
//   - hex(N) gives the bytes as the registry stores them (UTF-16LE for the string types);
//   - a value's data may be followed by blanks and a "; comment";
//   - a hex list waits for its continuation past blank and comment lines; a list that gets
//     none (another line comes, or the file ends) is a problem and is not written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "registry/registry_access.h"

namespace registry {

struct RegOperation {
    enum class Kind {
        kOpenKey,      // keyPath: the section's key; the value operations after it go there
        kDeleteTree,   // keyPath
        kDeleteValue,  // name
        kSetString,    // name, text
        kSetDword,     // name, dword
        kSetBinary,    // name, bytes
        kSetTyped,     // name, type, bytes as in the file (ANSI text for string types)
        kSetStored,    // name, type, bytes as the registry stores them
    };
    Kind kind = Kind::kSetString;
    std::size_t line = 0;  // the line it comes from, counted from 1 (the header)
    std::string keyPath;   // kOpenKey and kDeleteTree
    std::string name;      // "" is the key's default value
    std::string text;
    std::int32_t dword = 0;
    std::vector<std::uint8_t> bytes;
    std::uint32_t type = 0;

    friend bool operator==(const RegOperation&, const RegOperation&) = default;
};

// A line the reader could not read.
struct RegLineProblem {
    std::size_t line = 0;
    std::string text;  // the line as it stands
    std::string reason;

    friend bool operator==(const RegLineProblem&, const RegLineProblem&) = default;
};

// Receives what the reader finds, in file order.
class RegScriptSink {
  public:
    virtual void Operation(RegOperation&& op) = 0;
    virtual void Problem(RegLineProblem&& problem) = 0;

  protected:
    ~RegScriptSink() = default;
};

// The reader itself: fed one line after another (without their CR LF), the header first.
class RegScriptReader {
  public:
    explicit RegScriptReader(RegScriptSink& sink, RegScriptForm form = RegScriptForm::kRegedit4)
        : sink_(sink), form_(form) {}

    // Reads the next line. The first line read is the header: false (and nothing handed to the
    // sink, now or later) when it is not the header of the reader's form.
    bool Line(std::string_view line);
    // Takes the place of a line that could not be decoded into text (`text` is what could be):
    // a problem for `reason`. A key line among them ends the section, as an unreadable key line
    // does, and a hex list waiting for its continuation is not written.
    bool UnreadableLine(std::string_view text, std::string reason);
    // Ends the script: hands over a hex list still waiting for its continuation (REGEDIT4), or
    // reports it (Unicode).
    void Finish();

  private:
    enum class State {
        kHeader,          // before the first line
        kRefused,         // the header was wrong: every line is ignored
        kOutsideSection,  // before the first section, after [-key] or an unreadable key line
        kInSection,
        kInHexList,  // a hex list whose last line ended with "\"
    };

    [[nodiscard]] bool Unicode() const { return form_ == RegScriptForm::kUnicode; }
    bool Header(std::string_view line);
    bool HexListLine(std::string_view line);
    void Content(std::string_view line);
    void KeyLine(std::string_view line);
    void ValueLine(std::string_view line);
    void Data(std::string name, bool atName, std::string_view data);
    void StringData(RegOperation op, bool atName, std::string_view data);
    void QuotedStringData(RegOperation op, std::string_view data);
    void StartHexList(RegOperation op, std::string_view list);
    void ContinueHexList(std::string_view list);
    void EndHexList(std::string_view list);
    void DropHexList(std::string reason);
    std::string PendingFirstLine();
    void Problem(std::string reason);

    RegScriptSink& sink_;
    RegScriptForm form_;
    State state_ = State::kHeader;
    std::size_t number_ = 0;    // of the line being read
    std::string_view current_;  // the line being read
    RegOperation pending_;      // kInHexList: the value waiting for its list's end
    std::string pendingList_;   // its list so far, continuation backslashes removed
    // Its first line, for a problem report, once the list goes on past it (before that, the
    // line being read is the first).
    std::optional<std::string> pendingFirstLine_;
};

// Hands the operations and problems of a whole script (UTF-8 text) to `sink`; false (and
// nothing handed over) when its first line is not the header of its form.
bool ReadRegFile(std::string_view text, RegScriptSink& sink,
                 RegScriptForm form = RegScriptForm::kRegedit4);

// The operations of a script, or nullopt when its first line is not the header; the problems
// go to `problems` when given.
std::optional<std::vector<RegOperation>> ReadRegFile(std::string_view text,
                                                     std::vector<RegLineProblem>* problems = {},
                                                     RegScriptForm form = RegScriptForm::kRegedit4);

// The bytes of a comma-separated hex list ("0a,FF, 1" and blanks anywhere; a comma may end it);
// nullopt when an item is not one or two hex digits.
std::optional<std::vector<std::uint8_t>> ParseHexList(std::string_view list);

// Cuts text (bytes or UTF-16 units) into lines at CR LF as it arrives in pieces. Add() returns
// the text of the complete lines so far, each with its CR LF; Cut() hands each complete line,
// without its CR LF, to a function where it stands. Rest() is the unfinished last line.
template <typename Char>
class BasicLineCutter {
  public:
    using Text = std::basic_string<Char>;
    using View = std::basic_string_view<Char>;

    Text Add(View piece) {
        rest_ += piece;
        const auto end = rest_.rfind(LineEnd());
        if (end == Text::npos) {
            return {};
        }
        Text complete = rest_.substr(0, end + 2);
        rest_.erase(0, end + 2);
        return complete;
    }

    // False as soon as `line` returns false (the cutter is then of no further use).
    template <typename Handler>
    bool Cut(View piece, Handler line) {
        // A CR at the end of the rest may meet its LF at the start of the piece.
        const std::size_t searchFrom = rest_.empty() ? 0 : rest_.size() - 1;
        rest_ += piece;
        const View text = rest_;
        std::size_t start = 0;
        for (auto end = text.find(LineEnd(), searchFrom); end != View::npos;
             end = text.find(LineEnd(), start)) {
            if (!line(text.substr(start, end - start))) {
                return false;
            }
            start = end + 2;
        }
        rest_.erase(0, start);
        return true;
    }

    [[nodiscard]] const Text& Rest() const { return rest_; }

  private:
    static constexpr Char kLineEnd[2] = {Char('\r'), Char('\n')};
    static constexpr View LineEnd() { return View(kLineEnd, 2); }

    Text rest_;
};
using LineCutter = BasicLineCutter<char>;

}  // namespace registry
