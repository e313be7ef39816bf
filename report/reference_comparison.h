// What differs between this machine and a reference machine, as the block "Differences from
// the reference" and the JSON's `comparison` show it. Values in, values out: no platform.
//
// A difference's `field` is one of these. Of a file: "located" (the value is the path of the
// copy in use, or "not located"), "copyInUse" (a copy on one side, none on the other),
// "fileName", "folder", "version", "size", "machine" (of the copy in use), "loadFailure",
// "registration", "copies" (the number on the search path). Of "installFolder": "exists"; of
// "path": "installFolder" (whether the install folder is on the PATH); of "runtimeReleases":
// "agree"; of "os": "version". Of any subject: kNotUnderstoodField (reference_reader.h).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "report/comparable_facts.h"
#include "report/reference_reader.h"

namespace report {

inline constexpr std::string_view kComparisonHeading = "Differences from the reference";
inline constexpr std::string_view kNoDifferencesLine = "No differences.";

// What differs, files in the order of `here.files`, then files the reference holds that are
// not on the list, then the install folder, the PATH, the run-time releases, the OS and what
// else the reference holds that this program does not know. A fact that either side does not
// know is not compared. When a file is located on one side only, its one difference says so
// (with the copy in use), and the facts of its copies are not listed one by one. Folders are
// compared without regard to letter case and, below a known folder that both machines name, by
// their place below it.
std::vector<Difference> Compare(const ComparableFacts& here, const Reference& reference);

// The block's line for one difference, e.g.
// "libmmd.dll: version 2023.1.0.0 here, 2021.7.1.0 in the reference".
std::string DifferenceLine(const Difference& difference);

// The block's lines below its heading: the reference line, then one line per difference or
// kNoDifferencesLine.
std::vector<std::string> ComparisonLines(const ReferenceIdentity& identity,
                                         const std::vector<Difference>& differences);

// The JSON's `comparison`: `reference` (path, machineName, generatedAt, schemaVersion) and
// `differences` (subject, field, here, reference; `here` null for what the reference holds that
// this program does not know).
nlohmann::ordered_json ComparisonJson(const ReferenceIdentity& identity,
                                      const std::vector<Difference>& differences);

}  // namespace report
