// clsRegistryAccess: a general-purpose registry component. It addresses keys by one path text
// (a root key name in its long or short form, then the subkey path, as in HKLM\SOFTWARE\Classes;
// see registry/key_path.h), works on keys and on string, DWORD and binary values, converts
// binary data to and from hex text, and exports a key tree to, or imports it from, registry
// script files in either of the two forms that registry editors read (RegScriptForm).
//
// Texts are UTF-8. No operation
// throws for a platform failure: writes and deletes return a non-zero value on success and 0
// on failure, tests return false, reads return the caller's default, and enumerations return
// -1 when the key cannot be opened. No key handle stays open between calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/registry.h"

namespace registry {

// The two forms of a registry script file.
//   kRegedit4  "REGEDIT4": text in the ANSI code page, names and texts unescaped between quotes.
//              What the code page or the unescaped form cannot carry is left out of an export.
//   kUnicode   "Windows Registry Editor Version 5.00", as the registry editors of Windows 2000
//              and later (and Wine's) write by default: UTF-16LE after a byte-order mark, names
//              and texts between quotes with \\ and \" escapes, every hex(N) list with its
//              bytes as stored. It carries every value and every key whose name holds no line
//              break.
enum class RegScriptForm { kRegedit4, kUnicode };

// Non-zero (the value of the key handle the operation used, already closed) on success.
using HandleValue = std::uintptr_t;
// An enumerated value: text for string and binary (hex text) values, a number for DWORD
// values, nothing for other types.
using EnumeratedValue = std::variant<std::monostate, std::string, std::int32_t>;
// Told the path of each key as an export reaches it.
using ExportProgress = std::function<void(std::string_view keyPath)>;

// Something an export could not write so that an import gives it back exactly.
struct ExportLeftOut {
    std::string keyPath;    // the key, its root in the long form
    bool wholeKey = false;  // the key with its values and subkeys; otherwise one of its values
    std::string valueName;  // when not wholeKey ("" is the default value)
    std::string reason;

    friend bool operator==(const ExportLeftOut&, const ExportLeftOut&) = default;
};
// Told each thing an export leaves out, on the calling thread.
using ExportLeftOutReport = std::function<void(const ExportLeftOut&)>;

// A line of a registry script that an import could not read or apply.
struct ImportProblem {
    std::size_t lineNumber = 0;  // counted from 1, the header's line
    std::string line;            // the line (for a value or key the registry refused, what the
                                 // file asked: its key line and the value's name)
    std::string reason;

    friend bool operator==(const ImportProblem&, const ImportProblem&) = default;
};
// Told each problem of an import as it occurs, on the calling thread, in file order.
using ImportProblemReport = std::function<void(const ImportProblem&)>;

class clsRegistryAccess {
  public:
    // Let/Get. Should key will be created if no exists (when writting data to registry)
    void CreateKeyIfDoesntExists(bool offon) noexcept { createKeyIfMissing_ = offon; }
    [[nodiscard]] bool CreateKeyIfDoesntExists() const noexcept { return createKeyIfMissing_; }

    // Creates key in registry (with every missing level; an existing key is opened).
    HandleValue CreateKey(std::string_view sPath) const;
    // Deletes key from registry (only a key without subkeys); 0 when it still exists. A root key
    // and the root of a hive (every key directly below HKEY_USERS or HKEY_LOCAL_MACHINE) are
    // never deleted: 0 before anything is tried.
    HandleValue KillKey(std::string_view sPath) const;
    // Checks if some key exists (and can be read).
    [[nodiscard]] bool KeyExists(std::string_view sPath) const;
    // Enumerates subkeys of some key: their number, -1 when the key cannot be opened. `Key`
    // is emptied first and then holds the names in the platform's order.
    long EnumKeys(std::string_view sPath, std::vector<std::string>& Key) const;
    // Checks for subkeys in some key.
    [[nodiscard]] bool HaveSubkey(std::string_view sPath) const;

    // Writes data of string type ("@" or "" names the default value).
    HandleValue WriteString(std::string_view sPath, std::string_view sName,
                            std::string_view sValue) const;
    // Reads data of string type.
    [[nodiscard]] std::string ReadString(std::string_view sPath, std::string_view sName,
                                         std::string_view sDefault = "") const;
    // Writes data of dword type.
    HandleValue WriteDWORD(std::string_view sPath, std::string_view sName,
                           std::int32_t lValue) const;
    // Reads data of dword type (any value of at most four bytes, as the ANSI functions see
    // it).
    [[nodiscard]] std::int32_t ReadDWORD(std::string_view sPath, std::string_view sName,
                                         std::int32_t lDefault = -1) const;
    // Writes data of binary type, given as hex text.
    HandleValue WriteBinary(std::string_view sPath, std::string_view sName,
                            std::string_view sValue) const;
    // Reads data of binary type, as hex text ("0A FF 00").
    [[nodiscard]] std::string ReadBinary(std::string_view sPath, std::string_view sName,
                                         std::string_view sDefault = "") const;
    // Deletes value from registry; non-zero when the key could be opened and the value is
    // gone (whether or not it existed).
    HandleValue KillValue(std::string_view sPath, std::string_view sName) const;
    // Checks if some value exists in registry
    [[nodiscard]] bool ValueExists(std::string_view sPath, std::string_view sName) const;
    // Enumerates all values from specified key (only those of type `OnlyType` unless it is
    // -1): their number, -1 when the key cannot be opened (the vectors are then untouched).
    long EnumValues(std::string_view sPath, std::vector<std::string>& sName,
                    std::vector<EnumeratedValue>& sValue, long OnlyType = -1) const;

    // Exports contents of some key (and it's subkeys) to .reg file in the form `Form`: 1 when
    // everything was written, 0 otherwise. The file is created new: an existing file is never
    // overwritten, nor one that appears while the export runs. It is written beside its place
    // first and moved there when complete, so an export that cannot write its file to the end
    // leaves none. The file holds only what an import gives back exactly; everything else (a
    // value or subkey whose name or text the form cannot carry, a subkey that cannot be read)
    // is left out, told to `LeftOut`, and makes the result 0. A key that cannot be opened
    // gives a file without sections and 0.
    long ExportToReg(std::string_view sPath, std::string_view sRegFile, bool IncludeSubkeys = true,
                     const ExportProgress& Output = {}, const ExportLeftOutReport& LeftOut = {},
                     RegScriptForm Form = RegScriptForm::kRegedit4) const;
    // Imports .reg file into registry, applying its lines as reading them one by one would. The
    // file's first bytes tell its form: a UTF-16LE byte-order mark the Unicode form, anything
    // else REGEDIT4. 1 when every line was read and applied; 0 when the file is missing or does
    // not begin with its form's header (nothing applied), and 0 when any line could not be read
    // or applied (the import goes on past it; each is told to `Problems`). Every section
    // creates its key.
    // A key deletion that names a root as a whole or the root of a hive (every key directly
    // below HKEY_USERS or HKEY_LOCAL_MACHINE, which the registry cannot delete and a tree
    // deletion would only empty) is refused before anything is deleted, and told to `Problems`.
    // Sets CreateKeyIfDoesntExists.
    long ImportFromReg(std::string_view sRegFile, const ImportProblemReport& Problems = {});

    // Converts hex (string) into it's binary value...
    static std::vector<std::uint8_t> StrToBin(std::string_view sBin);
    // Converts binary data into string... (" 0A FF 00": a space before every byte)
    static std::string BinToStr(std::span<const std::uint8_t> sStr);
    // Checks if given binary data is in valid hex format (used for writting binary)
    static bool isBinValid(std::string_view sBin);

  private:
    struct NamedValue {
        std::string name;
        platform::registry::Value value;
    };

    // Opens the key of a path text; an empty Key and a non-zero code on failure.
    static long OpenKey(std::string_view sPath, std::uint32_t access, platform::registry::Key& key);
    // Every value of a key, in the platform's order; -1 when the key cannot be opened.
    static long ReadAllValues(std::string_view sPath, std::vector<NamedValue>& values);

    HandleValue WriteValue(std::string_view sPath, std::string_view sName, std::uint32_t type,
                           std::span<const std::uint8_t> data) const;

    bool createKeyIfMissing_ = true;
};

}  // namespace registry
