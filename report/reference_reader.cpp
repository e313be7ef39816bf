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

// The text on one line and at most `maxBytes` long (cut at a character's start).
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

std::optional<std::uint64_t> UnsignedOf(const Json& value, std::uint64_t max) {
    if (!value.is_number_unsigned() || value.get<std::uint64_t>() > max) {
        return std::nullopt;
    }
    return value.get<std::uint64_t>();
}

bool IsNull(const Json& object, const std::string& key) {
    const Json* member = Member(object, key);
    return member != nullptr && member->is_null();
}

const std::string* TextOf(const Json& value) {
    return value.is_string() ? &value.get_ref<const std::string&>() : nullptr;
}

bool IsOneOf(const std::string& text, std::initializer_list<std::string_view> values) {
    return std::find(values.begin(), values.end(), text) != values.end();
}

// Reads the facts of a parsed report, noting what it cannot read.
class FactReader {
  public:
    explicit FactReader(int schemaVersion) : schemaVersion_(schemaVersion) {}

    ReportFactsReading Read(const Json& report) {
        ReportFactsReading reading;
        ReadFiles(report, reading.facts);
        if (const Json* releases = Container(report, "runtimeReleases", "runtimeReleases")) {
            reading.facts.runtimeReleasesAgree = Bool(*releases, "agree", "runtimeReleases");
        }
        if (const Json* folder = Container(report, "installFolder", "installFolder")) {
            reading.facts.installFolderExists = Bool(*folder, "exists", "installFolder");
            reading.facts.installFolderOnPath = Bool(*folder, "onPath", "path");
        }
        if (const Json* os = Container(report, "os", "os")) {
            reading.facts.os = Os(*os);
        }
        if (const Json* known = Container(report, "knownFolders", "knownFolders")) {
            ReadKnownFolders(*known, reading.facts.knownFolders);
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

    // The member when it is an object; nullptr when it is absent, null or of another type
    // (which is noted).
    const Json* Container(const Json& object, const std::string& key, std::string_view subject) {
        const Json* member = Member(object, key);
        if (member == nullptr || member->is_object()) {
            return member;
        }
        if (!member->is_null()) {
            WrongValue(subject, key, *member);
        }
        return nullptr;
    }

    std::optional<bool> Bool(const Json& object, const std::string& key, std::string_view subject) {
        const Json* member = Member(object, key);
        if (member == nullptr) {
            return std::nullopt;
        }
        if (!member->is_boolean()) {
            WrongValue(subject, key, *member);
            return std::nullopt;
        }
        return member->get<bool>();
    }

    // A text member: its value; nullopt when it is absent or of another type (noted), null
    // included.
    std::optional<std::string> Text(const Json& object, const std::string& key,
                                    std::string_view subject) {
        const Json* member = Member(object, key);
        if (member == nullptr) {
            return std::nullopt;
        }
        if (const std::string* text = TextOf(*member)) {
            return *text;
        }
        WrongValue(subject, key, *member);
        return std::nullopt;
    }
    // A text member that may be null, which stands for `ifNull`.
    std::optional<std::string> NullableText(const Json& object, const std::string& key,
                                            std::string_view subject,
                                            std::optional<std::string> ifNull) {
        return IsNull(object, key) ? ifNull : Text(object, key, subject);
    }

    std::optional<std::int64_t> Size(const Json& object, std::string_view subject) {
        const Json* member = Member(object, "size");
        if (member == nullptr || member->is_null()) {
            return std::nullopt;
        }
        if (const auto size = UnsignedOf(*member, std::numeric_limits<std::int64_t>::max())) {
            return static_cast<std::int64_t>(*size);
        }
        WrongValue(subject, "size", *member);
        return std::nullopt;
    }

    std::optional<std::string> Machine(const Json& object, std::string_view subject) {
        std::optional<std::string> machine = Text(object, "machine", subject);
        if (machine && !IsOneOf(*machine, {"x86", "x64", "unknown"})) {
            WrongValue(subject, "machine", *Member(object, "machine"));
            return std::nullopt;
        }
        return machine;
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
            const Json* name = Member(file, "name");
            if (name == nullptr || !name->is_string()) {
                NotUnderstood("files", "a file without a name: " + Describe(file));
                continue;
            }
            const std::string& spelled = name->get_ref<const std::string&>();
            const auto onList =
                std::find_if(kFileList.begin(), kFileList.end(), [&](std::string_view listed) {
                    return platform::text::EqualsIgnoringCase(listed, spelled);
                });
            if (onList == kFileList.end()) {
                NotUnderstood(OneLineText(spelled, kLongestShownText),
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
        facts.located = Bool(file, "located", name);
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
            const std::optional<bool> inUse = Bool(copy, "inUse", facts.name);
            if (inUse && *inUse && !found) {
                found = true;
                facts.pathInUse = Text(copy, "path", facts.name);
                facts.version = NullableText(copy, "version", facts.name, "");
                facts.size = Size(copy, facts.name);
                facts.machine = Machine(copy, facts.name);
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
        facts.pathInUse = Text(*facts.located ? file : *copy, "path", facts.name);
        facts.version = Text(file, "version", facts.name);
        facts.size = Size(file, facts.name);
        if (!*facts.located) {
            facts.machine = Machine(*copy, facts.name);
        }
    }

    std::optional<LoadFailure> LoadFailureOf(const Json& file, const std::string& name) {
        const Json* load = Container(file, "load", name);
        if (load == nullptr) {
            return IsNull(file, "load") ? std::optional<LoadFailure>(LoadFailure{}) : std::nullopt;
        }
        if (const Json* probe = Container(*load, "probe", name)) {
            // The probe that loads the file gave no answer.
            const std::optional<std::string> outcome = Text(*probe, "outcome", name);
            if (outcome && IsOneOf(*outcome, {"exited", "exception", "timedOut"})) {
                return LoadFailure{LoadFailureKind::kStartUpCode};
            }
            if (outcome && !IsOneOf(*outcome, {"stopped", "notRun"})) {
                WrongValue(name, "outcome", *Member(*probe, "outcome"));
            }
            return std::nullopt;  // stopped or not run: the run said nothing of the file
        }
        if (HasBrokenLink(file, name)) {
            return LoadFailure{LoadFailureKind::kBrokenLink};
        }
        const Json* code = Member(*load, "errorCode");
        if (code == nullptr || code->is_null()) {
            return std::nullopt;
        }
        if (const auto value = UnsignedOf(*code, std::numeric_limits<std::uint32_t>::max())) {
            return LoadFailure{LoadFailureKind::kSystemError, static_cast<std::uint32_t>(*value)};
        }
        WrongValue(name, "errorCode", *code);
        return std::nullopt;
    }

    // A broken link of the load (a note of a delay-load import does not stop the load).
    bool HasBrokenLink(const Json& file, const std::string& name) {
        const Json* link = Container(file, "brokenLink", name);
        const Json* delayLoad = link != nullptr ? Member(*link, "delayLoad") : nullptr;
        const bool linked = link != nullptr && !(delayLoad != nullptr && delayLoad->is_boolean() &&
                                                 delayLoad->get<bool>());
        const Json* copy = Container(file, "copy", name);
        const std::optional<std::string> missing =
            copy != nullptr ? NullableText(*copy, "missingImport", name, std::nullopt)
                            : std::nullopt;
        return linked || (missing && !missing->empty());
    }

    std::optional<std::string> Registration(const Json& file, const std::string& name) {
        const Json* registration = Container(file, "registration", name);
        if (registration == nullptr) {
            return IsNull(file, "registration") ? std::optional<std::string>("") : std::nullopt;
        }
        std::optional<std::string> verdict = Text(*registration, "verdict", name);
        if (verdict && !IsOneOf(*verdict, {"registered", "notRegistered", "missingCopy",
                                           "otherCopy", "partly"})) {
            WrongValue(name, "verdict", *Member(*registration, "verdict"));
            return std::nullopt;
        }
        return verdict;
    }

    std::optional<OsVersionNumbers> Os(const Json& os) {
        std::array<std::optional<std::uint32_t>, 4> numbers;
        const std::array<std::string, 4> keys = {"major", "minor", "build", "platformId"};
        for (std::size_t i = 0; i < keys.size(); ++i) {
            const Json* member = Member(os, keys[i]);
            if (member == nullptr || member->is_null()) {
                continue;  // the machine could not tell
            }
            if (const auto value = UnsignedOf(*member, std::numeric_limits<std::uint32_t>::max())) {
                numbers[i] = static_cast<std::uint32_t>(*value);
            } else {
                WrongValue("os", keys[i], *member);
            }
        }
        if (std::any_of(numbers.begin(), numbers.end(), [](const auto& n) { return !n; })) {
            return std::nullopt;
        }
        return OsVersionNumbers{*numbers[0], *numbers[1], *numbers[2], *numbers[3]};
    }

    void ReadKnownFolders(const Json& known, platform::known_folders::KnownFolders& folders) {
        folders.windows = NullableText(known, "windows", "knownFolders", std::nullopt);
        folders.programFiles = NullableText(known, "programFiles", "knownFolders", std::nullopt);
        folders.programFilesX86 =
            NullableText(known, "programFilesX86", "knownFolders", std::nullopt);
        folders.userProfile = NullableText(known, "userProfile", "knownFolders", std::nullopt);
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
    const Json* name = program != nullptr ? Member(*program, "name") : nullptr;
    const Json* schema = Member(document, "schemaVersion");
    // 0: no schema version that any report has.
    const std::uint64_t version =
        schema != nullptr ? UnsignedOf(*schema, 1'000'000).value_or(0) : 0;
    const std::string* nameText = name != nullptr ? TextOf(*name) : nullptr;
    if (nameText == nullptr || *nameText != kReportProgramName || version == 0) {
        return Refused(ReferenceProblem::kNotThisProgram, path,
                       "is not a report of " + std::string(kReportProgramName));
    }
    const int schemaVersion = static_cast<int>(version);
    if (schemaVersion > knownSchemaVersion) {
        return Refused(ReferenceProblem::kNewerSchema, path,
                       "is a report of a newer version of this program (schema version " +
                           std::to_string(schemaVersion) + "; this one reads up to " +
                           std::to_string(knownSchemaVersion) + ")");
    }
    Reference reference;
    reference.identity.path = std::string(path);
    reference.identity.schemaVersion = schemaVersion;
    const Json* machine = Member(document, "machineName");
    reference.identity.machineName = machine != nullptr && machine->is_string()
                                         ? OneLineText(machine->get<std::string>(), 256)
                                         : "";
    const Json* when = Member(document, "generatedAt");
    reference.identity.generatedAt =
        when != nullptr && when->is_string() ? OneLineText(when->get<std::string>(), 64) : "";
    ReportFactsReading reading = FactsOfReport(document, schemaVersion);
    reference.facts = std::move(reading.facts);
    reference.notUnderstood = std::move(reading.notUnderstood);
    return reference;
}

}  // namespace

ReportFactsReading FactsOfReport(const Json& report, int schemaVersion) {
    return FactReader(schemaVersion).Read(report);
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
