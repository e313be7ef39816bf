// Reads REGEDIT4 registry script text into the operations it asks for, in file order, a line at
// a time. Pure: the caller applies the operations to the registry.
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
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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
    explicit RegScriptReader(RegScriptSink& sink) : sink_(sink) {}

    // Reads the next line. The first line read is the header: false (and nothing handed to the
    // sink, now or later) when it is not "REGEDIT4".
    bool Line(std::string_view line);
    // Ends the script: hands over a hex list still waiting for its continuation.
    void Finish();

  private:
    enum class State {
        kHeader,          // before the first line
        kRefused,         // the header was wrong: every line is ignored
        kOutsideSection,  // before the first section, after [-key] or an unreadable key line
        kInSection,
        kInHexList,  // a hex list whose last line ended with "\"
    };

    void Content(std::string_view line);
    void KeyLine(std::string_view line);
    void ValueLine(std::string_view line);
    void Data(std::string name, bool atName, std::string_view data);
    void StringData(RegOperation op, bool atName, std::string_view data);
    void StartHexList(RegOperation op, std::string_view list);
    void ContinueHexList(std::string_view list);
    void EndHexList();
    void Problem(std::string reason);

    RegScriptSink& sink_;
    State state_ = State::kHeader;
    std::size_t number_ = 0;        // of the line being read
    std::string_view current_;      // the line being read
    RegOperation pending_;          // kInHexList: the value waiting for its list's end
    std::string pendingList_;       // its list so far, continuation backslashes removed
    std::string pendingFirstLine_;  // its first line, for a problem report
};

// Hands the operations and problems of a whole script to `sink`; false (and nothing handed
// over) when its first line is not the header.
bool ReadRegFile(std::string_view text, RegScriptSink& sink);

// The operations of a script, or nullopt when its first line is not the header; the problems
// go to `problems` when given.
std::optional<std::vector<RegOperation>> ReadRegFile(std::string_view text,
                                                     std::vector<RegLineProblem>* problems = {});

// The bytes of a comma-separated hex list ("0a,FF, 1" and blanks anywhere; a comma may end it);
// nullopt when an item is not one or two hex digits.
std::optional<std::vector<std::uint8_t>> ParseHexList(std::string_view list);

// Cuts text into lines at CR LF as it arrives in pieces: Add() returns the text of the complete
// lines so far, each with its CR LF; Rest() is the unfinished last line.
class LineCutter {
  public:
    std::string Add(std::string_view piece);
    [[nodiscard]] const std::string& Rest() const { return rest_; }

  private:
    std::string rest_;
};

}  // namespace registry
