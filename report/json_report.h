// The report as one JSON document, for the unattended runs that collect it from many machines:
// what the window shows, row by row, and the reasons that the rows hide. Its form is published
// in schemas/report.schema.json; schemaVersion changes whenever a field changes meaning.
#pragma once

#include <optional>
#include <string>

#include "platform/kernel32.h"
#include "platform/runtime.h"
#include "report/report_facts.h"

namespace report {

inline constexpr int kJsonSchemaVersion = 6;

// Where and when the report was made.
struct RunContext {
    std::string programVersion;
    std::string machineName;
    std::string osName;  // as the title line words it
    platform::runtime::DateTime generatedUtc;
};

// The JSON document, indented by two blanks, UTF-8.
std::string JsonReport(const ReportFacts& facts, const RunContext& context);

// A date and time as ISO 8601 ("2026-12-08T09:15:00"), with "Z" appended when `utc`.
std::string IsoDateTime(const platform::runtime::DateTime& time, bool utc);

}  // namespace report
