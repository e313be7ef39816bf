// The reader of a reference: a JSON report that this program wrote with /json on a machine
// where the application works. A reference that cannot be used (unreadable, empty, too large,
// not JSON, cut off, not a report of this program, or from a newer schema than the program
// knows) gives one line that says which; inside a readable report, a file that is not on the
// list and a field of the wrong type become differences that say the reference holds what this
// program does not know. A field that the reference does not hold (an older schema) is not
// compared. The reader never throws.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "report/comparable_facts.h"

namespace report {

// A report is far smaller (under 1 MB even with hundreds of PATH folders and copies); a larger
// file is refused before it is parsed.
inline constexpr std::size_t kMaxReferenceBytes = 4 * 1024 * 1024;

// The program name that every report carries in `program.name`.
inline constexpr std::string_view kReportProgramName = "Kelvra_System_Files_Test";

// The `field` of a difference that says what the reference holds that this program does not
// know: `reference` then tells what it is (a member with its value, or a file not on the list).
inline constexpr std::string_view kNotUnderstoodField = "notUnderstood";

// The text with its control characters (a line break in a reference's path) shown as "?", so
// that it stays one line of the block, and at most `maxBytes` long (cut at a character's start).
std::string OneLineText(std::string_view text, std::size_t maxBytes = std::string_view::npos);

// Which reference and where it was made, for the block's first line and the JSON.
struct ReferenceIdentity {
    std::string path;         // as the caller gave it
    std::string machineName;  // "" when the reference does not say
    std::string generatedAt;  // as the reference says it, ISO 8601 UTC
    int schemaVersion = 0;
    friend bool operator==(const ReferenceIdentity&, const ReferenceIdentity&) = default;
};

struct Reference {
    ReferenceIdentity identity;
    ComparableFacts facts;  // the files it holds that are on the list, in list order
    // What it holds that this program does not know, in the order found; each is a difference.
    std::vector<Difference> notUnderstood;
};

enum class ReferenceProblem {
    kCannotRead,
    kEmpty,
    kTooLarge,
    kNotJson,
    kTruncated,
    kNotThisProgram,
    kNewerSchema,
};

struct ReferenceError {
    ReferenceProblem problem = ReferenceProblem::kCannotRead;
    std::string line;  // one line naming the file and what is wrong, without a line end
};

using ReferenceReading = std::variant<Reference, ReferenceError>;

// The reference in `text` (UTF-8, or UTF-16 with its byte order mark, as some Windows tools
// save it), read from `path`, for a program that knows schema versions up to
// `knownSchemaVersion`.
ReferenceReading ParseReference(std::string_view text, std::string_view path,
                                int knownSchemaVersion);

// The facts that a parsed report of schema version `schemaVersion` holds, and what in it this
// program does not know.
struct ReportFactsReading {
    ComparableFacts facts;
    std::vector<Difference> notUnderstood;
};
ReportFactsReading FactsOfReport(const nlohmann::json& report, int schemaVersion);

// --- Through the platform.

// Reads the file at `path` (never more than kMaxReferenceBytes and one byte of it) and parses it.
ReferenceReading ReadReferenceFile(std::string_view path, int knownSchemaVersion);

}  // namespace report
