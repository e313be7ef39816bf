// References of any bytes: the reader gives a reference or one line saying why not, never
// throws; a reference compared with its own facts differs only in what it holds that the
// program does not know; every line of the block stays one line. Any JSON document is also
// read as a report of each schema version, past the checks of its program and version.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <variant>

#include <nlohmann/json.hpp>

#include "fuzz/fuzz_input.h"
#include "report/file_table.h"
#include "report/reference_comparison.h"
#include "report/reference_reader.h"

namespace {

constexpr int kKnownSchemaVersion = 6;

void Require(bool holds) {
    if (!holds) {
        std::abort();
    }
}

bool IsOneLine(const std::string& line) {
    return line.find_first_of("\r\n", 0) == std::string::npos &&
           line.find('\0') == std::string::npos;
}

void CheckFacts(const report::ComparableFacts& facts) {
    Require(facts.files.size() <= report::kFileList.size());
    for (const report::FileFacts& file : facts.files) {
        Require(std::find(report::kFileList.begin(), report::kFileList.end(), file.name) !=
                report::kFileList.end());
    }
}

// A machine where every file of the list is located in a folder of its own, so that every
// fact the reference holds of a file differs from it.
report::ComparableFacts OtherMachine() {
    report::ComparableFacts facts{{},
                                  true,
                                  true,
                                  true,
                                  report::OsVersionNumbers{1, 2, 3, 4},
                                  {"C:\\W", "C:\\P", "C:\\X", "C:\\U"}};
    for (std::string_view name : report::kFileList) {
        facts.files.push_back({std::string(name), true, "C:\\Elsewhere\\x.dll", "9.9.9.9", 7, "x64",
                               report::LoadFailure{}, "partly", 9});
    }
    return facts;
}

void CheckLines(const report::Reference& reference,
                const std::vector<report::Difference>& differences) {
    for (const std::string& line : report::ComparisonLines(reference.identity, differences)) {
        Require(IsOneLine(line));
    }
    (void)report::ComparisonJson(reference.identity, differences).dump();
}

void CheckReference(const report::Reference& reference) {
    CheckFacts(reference.facts);
    const std::vector<report::Difference> differences = report::Compare(reference.facts, reference);
    Require(differences.size() == reference.notUnderstood.size());
    CheckLines(reference, differences);
    CheckLines(reference, report::Compare(OtherMachine(), reference));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto text = kelvra::fuzz::AsText(data, size);
    const report::ReferenceReading reading =
        report::ParseReference(text, "C:\\fuzz.json", kKnownSchemaVersion);
    if (const auto* error = std::get_if<report::ReferenceError>(&reading)) {
        Require(IsOneLine(error->line) && error->line.starts_with("The reference C:\\fuzz.json "));
    } else {
        CheckReference(std::get<report::Reference>(reading));
    }

    const auto document = nlohmann::json::parse(text.begin(), text.end(), nullptr, false);
    if (!document.is_discarded()) {
        for (int schemaVersion = 1; schemaVersion <= kKnownSchemaVersion; ++schemaVersion) {
            CheckFacts(report::FactsOfReport(document, schemaVersion).facts);
        }
    }
    return 0;
}
