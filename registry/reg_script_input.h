// Turns the bytes of a registry script file, as they are read piece by piece, into the lines
// of its reader (registry/reg_file_reader.h). The first bytes tell the form: a UTF-16LE
// byte-order mark (FF FE) starts the Unicode form, whose lines are UTF-16LE text; anything
// else is REGEDIT4 in the ANSI code page. Pure: the ANSI code page comes in as a function.
//
// A line of the Unicode form that is no UTF-16 text (an unpaired surrogate), and a file that
// ends in the middle of a character (an odd number of bytes after the byte-order mark, which
// spoils its last line), are problems in their place; the lines around them are read as usual.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "registry/reg_file_reader.h"
#include "registry/registry_access.h"

namespace registry {

// Text in the ANSI code page as UTF-8.
using AnsiDecoder = std::function<std::string(std::string_view ansi)>;

class RegScriptInput {
  public:
    RegScriptInput(RegScriptSink& sink, AnsiDecoder fromAnsi);

    // Reads the next piece of the file: false once the file is known to be no registry script
    // (nothing has been handed to the sink then; Refusal() says why).
    bool Add(std::string_view bytes);
    // Ends the file: reads its last line and ends its reader; false when it is no script.
    bool Finish();

    [[nodiscard]] const std::string& Refusal() const { return refusal_; }

  private:
    enum class Stage { kStart, kAnsi, kUnicode, kRefused };

    void Begin();
    bool AddAnsi(std::string_view bytes);
    bool AddUnicode(std::string_view bytes);
    bool AnsiLine(std::string_view line);
    bool UnicodeLine(std::u16string_view line, const char* fault = nullptr);
    bool HeaderPending(std::size_t restLength);
    bool Refuse(std::string reason);

    RegScriptSink& sink_;
    AnsiDecoder fromAnsi_;
    Stage stage_ = Stage::kStart;
    std::string start_;  // the first bytes, until they tell the form
    std::optional<RegScriptReader> reader_;
    LineCutter ansiLines_;
    BasicLineCutter<char16_t> unicodeLines_;
    std::optional<unsigned char> oddByte_;  // the first byte of a unit cut between two pieces
    std::u16string units_;                  // the units of the latest piece
    std::string text_;                      // the latest Unicode line, as UTF-8
    bool headerRead_ = false;               // a line has been handed to the reader
    std::string refusal_;
};

}  // namespace registry
