#include "report/reference_reader.h"

#include <algorithm>
#include <array>
#include <limits>
#include <memory>
#include <optional>

#include <nlohmann/json.hpp>

#include "platform/runtime.h"
#include "platform/text.h"
#include "report/file_table.h"

namespace report {
namespace {

using Json = nlohmann::json;

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::size_t kLongestShownText = 80;

ReferenceError Refused(ReferenceProblem problem, std::string_view path, std::string_view what) {
    return {problem, "The reference " + OneLineText(path, 1024) + " " + std::string(what)};
}

ReferenceError TooLarge(std::string_view path) {
    return Refused(ReferenceProblem::kTooLarge, path,
                   "is too large for a report of this program (over " +
                       std::to_string(kMaxReferenceBytes / (1024 * 1024)) + " MB)");
}

// UTF-16 text with its byte order mark, as UTF-8; nullopt for text without one.
std::optional<std::string> FromUtf16(std::string_view bytes) {
    const bool little = bytes.starts_with("\xFF\xFE");
    if (!little && !bytes.starts_with("\xFE\xFF")) {
        return std::nullopt;
    }
    std::u16string units;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
        const auto first = static_cast<unsigned char>(bytes[i]);
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        units.push_back(
            static_cast<char16_t>(little ? first | (second << 8) : (first << 8) | second));
    }
    return platform::text::Utf16ToUtf8(units);
}

bool IsBlank(std::string_view text) {
    return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

// "line 3, column 7" for the byte at `offset` (0-based).
std::string PlaceOf(std::string_view text, std::size_t offset) {
    const std::string_view before = text.substr(0, std::min(offset, text.size()));
    const auto lineStart = before.find_last_of('\n');
    const auto line = std::count(before.begin(), before.end(), '\n') + 1;
    const auto column =
        before.size() - (lineStart == std::string_view::npos ? 0 : lineStart + 1) + 1;
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

// A value of the reference as the block shows it: scalars as JSON (a long text cut), arrays and
// objects by their kind, never walked (they may nest as deep as the file goes).
std::string Describe(const Json& value) {
    switch (value.type()) {
        case Json::value_t::array:
            return "an array of " + std::to_string(value.size()) + " items";
        case Json::value_t::object:
            return "an object";
        case Json::value_t::string: {
            const auto& text = value.get_ref<const std::string&>();
            const std::string shown = OneLineText(text, kLongestShownText);
            return Json(shown).dump(-1, ' ', false, Json::error_handler_t::replace);
        }
        default:
            return value.dump();
    }
}

const Json* Member(const Json& object, const std::string& key) {
    if (!object.is_object()) {
        return nullptr;
    }
    const auto found = object.find(key);
    return found == object.end() ? nullptr : &*found;
}

// The readers of a value: each gives nullopt (or nullptr) for a value it cannot read.

// A whole number, never negative, of at most `kMax`.
template <typename Number, std::uint64_t kMax = std::numeric_limits<Number>::max()>
std::optional<Number> UnsignedOf(const Json& value) {
    if (!value.is_number_unsigned() || value.get<std::uint64_t>() > kMax) {
        return std::nullopt;
    }
    return static_cast<Number>(value.get<std::uint64_t>());
}

std::optional<bool> BoolOf(const Json& value) {
    return value.is_boolean() ? std::optional<bool>(value.get<bool>()) : std::nullopt;
}

std::optional<std::string> TextOf(const Json& value) {
    return value.is_string() ? std::optional<std::string>(value.get<std::string>()) : std::nullopt;
}

constexpr std::array<std::string_view, 3> kMachines = {"x86", "x64", "unknown"};
constexpr std::array<std::string_view, 5> kVerdicts = {"registered", "notRegistered", "missingCopy",
                                                       "otherCopy", "partly"};
constexpr std::array<std::string_view, 5> kProbeOutcomes = {"exited", "exception", "timedOut",
                                                            "stopped", "notRun"};

// A text that is one of `kValues`.
template <const auto& kValues>
std::optional<std::string> TextAmong(const Json& value) {
    std::optional<std::string> text = TextOf(value);
    return text && std::ranges::find(kValues, *text) != kValues.end() ? text : std::nullopt;
}

const Json* ObjectOf(const Json& value) {
    return value.is_object() ? &value : nullptr;
}

// The member `key` of `object` as `read` reads it; nullopt when it is absent or unreadable.
template <typename Reader>
auto MemberAs(const Json& object, const std::string& key, Reader read) -> decltype(read(object)) {
    const Json* member = Member(object, key);
    return member != nullptr ? read(*member) : std::nullopt;
}

bool IsNull(const Json& object, const std::string& key) {
    const Json* member = Member(object, key);
    return member != nullptr && member->is_null();
}

// Reads the facts of a parsed report, noting what it cannot read.
class FactReader {
  public:
    explicit FactReader(int schemaVersion) : schemaVersion_(schemaVersion) {}

    ReportFactsReading Facts(const Json& report) {
        ReportFactsReading reading;
        ReadFiles(report, reading.facts);
        if (const Json* releases =
                ReadNullable(report, "runtimeReleases", "runtimeReleases", ObjectOf)) {
            reading.facts.runtimeReleasesAgree =
                Read(*releases, "agree", "runtimeReleases", BoolOf);
        }
        if (const Json* folder = ReadNullable(report, "installFolder", "installFolder", ObjectOf)) {
            reading.facts.installFolderExists = Read(*folder, "exists", "installFolder", BoolOf);
            reading.facts.installFolderOnPath = Read(*folder, "onPath", "path", BoolOf);
        }
        if (const Json* os = ReadNullable(report, "os", "os", ObjectOf)) {
            reading.facts.os = Os(*os);
        }
        if (const Json* known = ReadNullable(report, "knownFolders", "knownFolders", ObjectOf)) {
            for (const auto& [name, folder] : platform::known_folders::kNamedFolders) {
                reading.facts.knownFolders.*folder =
                    ReadNullable(*known, std::string(name), "knownFolders", TextOf);
            }
        }
        reading.notUnderstood = std::move(notUnderstood_);
        return reading;
    }

  private:
    void NotUnderstood(std::string_view subject, std::string what) {
        notUnderstood_.push_back(
            {std::string(subject), std::string(kNotUnderstoodField), "", std::move(what)});
    }
    void WrongValue(std::string_view subject, const std::string& key, const Json& value) {
        NotUnderstood(subject, "\"" + key + "\": " + Describe(value));
    }

    // The member `key` as `read` reads it; nullopt (nullptr) when it is absent, or when `read`
    // cannot read it (null included), which is noted.
    template <typename Reader>
    auto Read(const Json& object, const std::string& key, std::string_view subject, Reader read)
        -> decltype(read(object)) {
        const Json* member = Member(object, key);
        if (member == nullptr) {
            return {};
        }
        auto value = read(*member);
        if (!value) {
            WrongValue(subject, key, *member);
        }
        return value;
    }
    // A member that may be null, which stands for `ifNull`.
    template <typename Reader>
    auto ReadNullable(const Json& object, const std::string& key, std::string_view subject,
                      Reader read, decltype(read(object)) ifNull = {}) -> decltype(read(object)) {
        return IsNull(object, key) ? ifNull : Read(object, key, subject, read);
    }

    void ReadFiles(const Json& report, ComparableFacts& facts) {
        const Json* files = Member(report, "files");
        if (files == nullptr) {
            return;
        }
        if (!files->is_array()) {
            WrongValue("files", "files", *files);
            return;
        }
        std::vector<std::optional<FileFacts>> inListOrder(kFileList.size());
        for (const Json& file : *files) {
            const std::optional<std::string> spelled = MemberAs(file, "name", TextOf);
            if (!spelled) {
                NotUnderstood("files", "a file without a name: " + Describe(file));
                continue;
            }
            const auto onList =
                std::find_if(kFileList.begin(), kFileList.end(), [&](std::string_view listed) {
                    return platform::text::EqualsIgnoringCase(listed, *spelled);
                });
            if (onList == kFileList.end()) {
                NotUnderstood(OneLineText(*spelled, kLongestShownText),
                              "a file that is not on this program's list");
                continue;
            }
            auto& slot = inListOrder[static_cast<std::size_t>(onList - kFileList.begin())];
            if (slot) {
                NotUnderstood(*onList, "a second entry for this file");
                continue;
            }
            slot = ReadFile(file, std::string(*onList));
        }
        for (std::optional<FileFacts>& file : inListOrder) {
            if (file) {
                facts.files.push_back(std::move(*file));
            }
        }
    }

    FileFacts ReadFile(const Json& file, const std::string& name) {
        FileFacts facts;
        facts.name = name;
        facts.located = Read(file, "located", name, BoolOf);
        const Json* copies = Member(file, "copies");
        if (copies == nullptr) {
            CopyInUseFromRow(file, facts);
        } else if (copies->is_array()) {
            CopyInUse(*copies, facts);
        } else {
            WrongValue(name, "copies", *copies);
        }
        facts.loadFailure = LoadFailureOf(file, name);
        if (schemaVersion_ >= 4) {  // before, "registration" was the row's Reg_Info text
            facts.registration = Registration(file, name);
        }
        return facts;
    }

    // The copies entry marked in use.
    void CopyInUse(const Json& copies, FileFacts& facts) {
        facts.copiesOnSearchPath = static_cast<int>(copies.size());
        facts.pathInUse = "";
        bool found = false;
        for (const Json& copy : copies) {
            if (Member(copy, "inUse") == nullptr) {
                WrongValue(facts.name, "copies", copy);
                continue;
            }
            const std::optional<bool> inUse = Read(copy, "inUse", facts.name, BoolOf);
            if (inUse && *inUse && !found) {
                found = true;
                facts.pathInUse = Read(copy, "path", facts.name, TextOf);
                facts.version = ReadNullable(copy, "version", facts.name, TextOf, "");
                facts.size = ReadNullable(copy, "size", facts.name, UnsignedOf<std::int64_t>);
                facts.machine = Read(copy, "machine", facts.name, TextAmong<kMachines>);
            }
        }
    }

    // Reports made before the copies were listed: the row describes the copy in use, the one
    // located or the copy that cannot be loaded.
    void CopyInUseFromRow(const Json& file, FileFacts& facts) {
        const Json* copy = Member(file, "copy");
        const bool cannotBeLoaded = copy != nullptr && copy->is_object();
        if (!facts.located || (!*facts.located && !cannotBeLoaded)) {
            facts.pathInUse = facts.located ? std::optional<std::string>("") : std::nullopt;
            return;
        }
        facts.pathInUse = Read(*facts.located ? file : *copy, "path", facts.name, TextOf);
        facts.version = Read(file, "version", facts.name, TextOf);
        facts.size = ReadNullable(file, "size", facts.name, UnsignedOf<std::int64_t>);
        if (!*facts.located) {
            facts.machine = Read(*copy, "machine", facts.name, TextAmong<kMachines>);
        }
    }

    std::optional<LoadFailure> LoadFailureOf(const Json& file, const std::string& name) {
        const Json* load = ReadNullable(file, "load", name, ObjectOf);
        if (load == nullptr) {
            return IsNull(file, "load") ? std::optional<LoadFailure>(LoadFailure{}) : std::nullopt;
        }
        if (const Json* probe = ReadNullable(*load, "probe", name, ObjectOf)) {
            const std::optional<std::string> outcome =
                Read(*probe, "outcome", name, TextAmong<kProbeOutcomes>);
            if (outcome && *outcome != "stopped" && *outcome != "notRun") {
                // The probe that loads the file gave no answer.
                return LoadFailure{LoadFailureKind::kStartUpCode};
            }
            return std::nullopt;  // stopped or not run: the run said nothing of the file
        }
        if (HasBrokenLink(file, name)) {
            return LoadFailure{LoadFailureKind::kBrokenLink};
        }
        const std::optional<std::uint32_t> code =
            ReadNullable(*load, "errorCode", name, UnsignedOf<std::uint32_t>);
        return code ? std::optional<LoadFailure>(LoadFailure{LoadFailureKind::kSystemError, *code})
                    : std::nullopt;
    }

    // A broken link of the load (a note of a delay-load import does not stop the load).
    bool HasBrokenLink(const Json& file, const std::string& name) {
        const Json* link = ReadNullable(file, "brokenLink", name, ObjectOf);
        const bool linked =
            link != nullptr && !MemberAs(*link, "delayLoad", BoolOf).value_or(false);
        const Json* copy = ReadNullable(file, "copy", name, ObjectOf);
        const std::optional<std::string> missing =
            copy != nullptr ? ReadNullable(*copy, "missingImport", name, TextOf) : std::nullopt;
        return linked || (missing && !missing->empty());
    }

    std::optional<std::string> Registration(const Json& file, const std::string& name) {
        const Json* registration = ReadNullable(file, "registration", name, ObjectOf);
        if (registration == nullptr) {
            return IsNull(file, "registration") ? std::optional<std::string>("") : std::nullopt;
        }
        return Read(*registration, "verdict", name, TextAmong<kVerdicts>);
    }

    std::optional<OsVersionNumbers> Os(const Json& os) {
        std::array<std::optional<std::uint32_t>, 4> numbers;
        const std::array<std::string, 4> keys = {"major", "minor", "build", "platformId"};
        for (std::size_t i = 0; i < keys.size(); ++i) {
            // null: the machine could not tell
            numbers[i] = ReadNullable(os, keys[i], "os", UnsignedOf<std::uint32_t>);
        }
        if (std::any_of(numbers.begin(), numbers.end(), [](const auto& n) { return !n; })) {
            return std::nullopt;
        }
        return OsVersionNumbers{*numbers[0], *numbers[1], *numbers[2], *numbers[3]};
    }

    int schemaVersion_;
    std::vector<Difference> notUnderstood_;
};

// Why a text is no JSON document, the parser having stopped at byte `stoppedAt` (1-based; past
// the end when the text ended first).
ReferenceError NotJson(std::string_view text, std::string_view path, std::size_t stoppedAt) {
    if (stoppedAt > text.size()) {
        return Refused(ReferenceProblem::kTruncated, path,
                       "is cut off: its JSON ends before the document does");
    }
    return Refused(ReferenceProblem::kNotJson, path,
                   "is not JSON (" + PlaceOf(text, stoppedAt == 0 ? 0 : stoppedAt - 1) + ")");
}

ReferenceReading ParseDocument(std::string_view text, std::string_view path,
                               int knownSchemaVersion) {
    Json document;
    try {
        document = Json::parse(text.begin(), text.end());
    } catch (const Json::parse_error& error) {
        return NotJson(text, path, error.byte);
    } catch (const Json::exception&) {  // a number beyond any range
        return Refused(ReferenceProblem::kNotJson, path, "is not JSON");
    }
    const Json* program = Member(document, "program");
    const std::optional<std::string> name =
        program != nullptr ? MemberAs(*program, "name", TextOf) : std::nullopt;
    // 0: no schema version that any report has.
    const int schemaVersion =
        MemberAs(document, "schemaVersion", UnsignedOf<int, 1'000'000>).value_or(0);
    if (name != kReportProgramName || schemaVersion == 0) {
        return Refused(ReferenceProblem::kNotThisProgram, path,
                       "is not a report of " + std::string(kReportProgramName));
    }
    if (schemaVersion > knownSchemaVersion) {
        return Refused(ReferenceProblem::kNewerSchema, path,
                       "is a report of a newer version of this program (schema version " +
                           std::to_string(schemaVersion) + "; this one reads up to " +
                           std::to_string(knownSchemaVersion) + ")");
    }
    ReferenceIdentity identity{
        .path = std::string(path),
        .machineName = OneLineText(MemberAs(document, "machineName", TextOf).value_or(""), 256),
        .generatedAt = OneLineText(MemberAs(document, "generatedAt", TextOf).value_or(""), 64),
        .schemaVersion = schemaVersion,
    };
    ReportFactsReading reading = FactsOfReport(document, schemaVersion);
    return Reference{std::move(identity), std::move(reading.facts),
                     std::move(reading.notUnderstood)};
}

}  // namespace

std::string OneLineText(std::string_view text, std::size_t maxBytes) {
    std::string line(text.substr(0, maxBytes));
    if (text.size() > maxBytes) {
        while (!line.empty() && (static_cast<unsigned char>(line.back()) & 0xC0) == 0x80) {
            line.pop_back();
        }
        if (!line.empty() && static_cast<unsigned char>(line.back()) >= 0xC0) {
            line.pop_back();
        }
        line += "...";
    }
    std::replace_if(
        line.begin(), line.end(),
        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == '\x7F'; }, '?');
    return line;
}

ReportFactsReading FactsOfReport(const Json& report, int schemaVersion) {
    return FactReader(schemaVersion).Facts(report);
}

ReferenceReading ParseReference(std::string_view text, std::string_view path,
                                int knownSchemaVersion) {
    if (text.size() > kMaxReferenceBytes) {
        return TooLarge(path);
    }
    const std::optional<std::string> utf16 = FromUtf16(text);
    std::string_view utf8 = utf16 ? std::string_view(*utf16) : text;
    if (utf8.starts_with(kUtf8Bom)) {
        utf8.remove_prefix(kUtf8Bom.size());
    }
    if (IsBlank(utf8)) {
        return Refused(ReferenceProblem::kEmpty, path, "is empty");
    }
    return ParseDocument(utf8, path, knownSchemaVersion);
}

ReferenceReading ReadReferenceFile(std::string_view path, int knownSchemaVersion) {
    const std::optional<std::int64_t> length = platform::runtime::FileLen(path);
    if (length && *length > static_cast<std::int64_t>(kMaxReferenceBytes)) {
        return TooLarge(path);  // refused before a byte is read
    }
    const std::unique_ptr<platform::runtime::InputFile> file =
        platform::runtime::InputFile::Open(path);
    if (!file) {
        return Refused(ReferenceProblem::kCannotRead, path, "cannot be read");
    }
    std::string bytes;
    std::vector<char> buffer(64 * 1024);
    while (bytes.size() <= kMaxReferenceBytes) {
        const std::optional<std::size_t> count = file->Read(buffer);
        if (!count) {
            return Refused(ReferenceProblem::kCannotRead, path, "cannot be read");
        }
        if (*count == 0) {
            break;
        }
        bytes.append(buffer.data(), *count);
    }
    return ParseReference(bytes, path, knownSchemaVersion);
}

}  // namespace report
