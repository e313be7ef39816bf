// The run-time's services: sequential file output, binary file input, file length and date,
// directory search, current directory, the clock and the user's short date format, and the
// process environment.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform::runtime {

// A local date and time; all fields 0 is "no date".
struct DateTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;

    [[nodiscard]] bool IsZero() const { return year == 0 && month == 0 && day == 0; }
    friend bool operator==(const DateTime&, const DateTime&) = default;
};

// A text file open for output: each line is written in the ANSI code page and ended with
// CR LF. Closed when the object goes.
class OutputFile {
  public:
    // kCreateNew fails for a file that exists already, however recently it appeared.
    enum class Mode { kCreate, kCreateNew, kAppend };

    // Opens (creating, emptying or appending to) the file; nullptr when it cannot be opened.
    static std::unique_ptr<OutputFile> Open(std::string_view path, Mode mode);

    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    virtual ~OutputFile() = default;

    // Writes `text` and CR LF; false when the write failed.
    virtual bool PrintLine(std::string_view text) = 0;
    // Writes `text` as it stands (already ANSI bytes and line ends); false when it failed.
    virtual bool WriteRaw(std::string_view bytes) = 0;

  protected:
    OutputFile() = default;
};

// A file held open for reading without sharing: while the object lives, nobody else can open
// the file (what another program that holds it does to us).
class ExclusiveFile {
  public:
    // nullptr when the file cannot be opened so.
    static std::unique_ptr<ExclusiveFile> Open(std::string_view path);

    ExclusiveFile(const ExclusiveFile&) = delete;
    ExclusiveFile& operator=(const ExclusiveFile&) = delete;
    virtual ~ExclusiveFile() = default;

  protected:
    ExclusiveFile() = default;
};

// A file open for sequential binary reading, a piece at a time. Closed when the object goes.
class InputFile {
  public:
    // nullptr when the file cannot be opened for reading.
    static std::unique_ptr<InputFile> Open(std::string_view path);

    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    virtual ~InputFile() = default;

    // Reads the next bytes into `buffer`: their count, 0 at the end of the file, nullopt when
    // the read failed.
    virtual std::optional<std::size_t> Read(std::span<char> buffer) = 0;

  protected:
    InputFile() = default;
};

// The whole content of a file; nullopt when it cannot be read.
std::optional<std::string> ReadFileBytes(std::string_view path);
// Creates or replaces a file with these bytes; false on failure.
bool WriteFileBytes(std::string_view path, std::string_view bytes);
// Creates or replaces a file as a whole: the bytes go to a new file beside it, which then takes
// the file's place, so that a reader sees the old file or the new one, never part of one. On
// failure the file is as it was and nothing is left beside it.
bool ReplaceFileWhole(std::string_view path, std::string_view bytes);
// A name for a part file beside `path`, on its volume, that this process alone uses: the file
// `path` is written under it and then moved into place.
std::string PartFilePath(std::string_view path);
// Gives the file `from` the name `to` on the same volume, never replacing anything: false, with
// nothing changed, when a file or folder named `to` exists (however recently it appeared) or the
// file cannot be moved.
bool MoveFileNoReplace(std::string_view from, std::string_view to);
bool DeleteFile(std::string_view path);
bool CreateDirectory(std::string_view path);
bool RemoveDirectory(std::string_view path);

// The length of a file in bytes; nullopt when it cannot be read.
std::optional<std::int64_t> FileLen(std::string_view path);
// The last-write time of a file in local time; nullopt when it cannot be read.
std::optional<DateTime> FileDateTime(std::string_view path);
// Sets the last-write time of a file, given in local time; false on failure.
bool SetFileDateTime(std::string_view path, const DateTime& localTime);
// The name part of the first ordinary file (not hidden, system or a folder) that matches
// `pattern`, "" when there is none.
std::string Dir(std::string_view pattern);

std::string CurDir();
bool ChDir(std::string_view path);

DateTime Now();
// The current date and time in UTC.
DateTime NowUtc();
// A date in the user's short date format (date only).
std::string FormatShortDate(const DateTime& date);

// The arguments this program was started with, after its own name.
std::vector<std::string> ProgramArguments();
// Writes to the standard output or error that the parent process passed (a program with a
// window has them only when the parent redirected them); false when there is none or the
// write failed.
bool WriteStandardOutput(std::string_view bytes);
bool WriteStandardError(std::string_view bytes);
// From now on the system shows no error boxes of its own for this process (a drive without a
// medium, a file that cannot be opened): the calls fail instead. For runs that nobody watches.
void SuppressSystemErrorBoxes();

// The value of an environment variable of this process, read whole whatever its length;
// nullopt when it is not set (a variable set to "" is set).
std::optional<std::string> FindEnviron(std::string_view name);
// The value of an environment variable of this process, "" when it is not set.
std::string Environ(std::string_view name);
bool SetEnviron(std::string_view name, std::string_view value);
// Removes the variable from the environment of this process.
bool UnsetEnviron(std::string_view name);
// The text with its %NAME% references expanded by the platform's own rule, for texts up to
// 32,767 characters: a reference to a variable that is not set, "%%" and a "%" without a
// closing one stay as written; a value is inserted as it stands.
std::string ExpandEnviron(std::string_view text);

// One variable set (or replaced) in the environment a program is started with.
struct EnvironmentChange {
    std::string name;
    std::string value;
};
// Starts a program with the environment of this process changed by `changes`, values of any
// length, and waits for it to end. Its exit code; nullopt when it cannot be started (the
// simulated machine starts no programs).
std::optional<std::uint32_t> RunProgram(std::string_view commandLine,
                                        const std::vector<EnvironmentChange>& changes);

}  // namespace platform::runtime
