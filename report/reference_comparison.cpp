#include "report/reference_comparison.h"

#include <algorithm>
#include <array>

#include <nlohmann/json.hpp>

#include "pathcheck/path_text.h"
#include "platform/text.h"
#include "report/report_blocks.h"

namespace report {
namespace {

using platform::known_folders::KnownFolders;

std::string YesNo(bool value) {
    return value ? "yes" : "no";
}

std::string VersionText(const std::string& version) {
    return version.empty() ? "no version" : version;
}

std::string SizeText(std::int64_t size) {
    return size == 1 ? "1 byte" : std::to_string(size) + " bytes";
}

std::string MachineWords(const std::string& machine) {
    return machine == "unknown" ? "neither x86 nor x64" : machine;
}

std::string CopiesText(int count) {
    return count == 1 ? "1 copy" : std::to_string(count) + " copies";
}

std::string OsText(const OsVersionNumbers& os) {
    return std::to_string(os.major) + "." + std::to_string(os.minor) + " build " +
           std::to_string(os.build) + ", platform " + std::to_string(os.platformId);
}

std::string RegistrationText(const std::string& verdict) {
    using Words = std::pair<std::string_view, std::string_view>;
    static constexpr std::array<Words, 6> kWords = {{
        {"", "no type library"},
        {"registered", "registered"},
        {"notRegistered", "not registered"},
        {"missingCopy", "registered to a copy that is missing"},
        {"otherCopy", "registered to another copy"},
        {"partly", "partly registered"},
    }};
    const auto words = std::ranges::find(kWords, std::string_view(verdict), &Words::first);
    return words == kWords.end() ? verdict : std::string(words->second);
}

// Why it cannot be loaded, in a few words; "" when it can.
std::string ReasonWords(const LoadFailure& failure) {
    switch (failure.kind) {
        case LoadFailureKind::kStartUpCode:
            return "its start-up code";
        case LoadFailureKind::kBrokenLink:
            return "a broken link";
        case LoadFailureKind::kSystemError:
            return "error code " + std::to_string(failure.errorCode);
        case LoadFailureKind::kNone:
            break;
    }
    return "";
}

std::string LoadFailureText(const LoadFailure& failure) {
    const std::string reason = ReasonWords(failure);
    return reason.empty() ? "no load failure" : "cannot be loaded: " + reason;
}

// The one value of a file located on one side only: the copy in use, or "not located" with the
// copy that cannot be loaded and why.
std::string LocatedText(const FileFacts& file) {
    const std::string path = file.pathInUse.value_or("");
    if (*file.located) {
        return path.empty() ? "located" : path;
    }
    if (path.empty()) {
        return "not located";
    }
    const std::string reason = file.loadFailure ? ReasonWords(*file.loadFailure) : "";
    return "not located (" + path + " cannot be loaded" + (reason.empty() ? "" : ": " + reason) +
           ")";
}

// A folder's key: normalised, upper-cased and, below a known folder that both machines name,
// that folder's role and the place below it ("<windows>\SYSTEM32\").
std::string PlaceKey(std::string_view folder, const KnownFolders& own, const KnownFolders& other) {
    const std::string key = pathcheck::FolderKey(folder);
    std::string_view bestRole;
    std::size_t bestLength = 0;
    for (const auto& [role, member] : platform::known_folders::kNamedFolders) {
        const std::string mine = (own.*member).value_or("");
        if (mine.empty() || (other.*member).value_or("").empty()) {
            continue;
        }
        const std::string root = pathcheck::FolderKey(mine);
        if (key.starts_with(root) && root.size() > bestLength) {
            bestRole = role;
            bestLength = root.size();
        }
    }
    return bestRole.empty() ? key : "<" + std::string(bestRole) + ">\\" + key.substr(bestLength);
}

// The subject's field as a difference when both sides know it and it differs.
template <typename T, typename Show>
void IfDiffers(const std::optional<T>& here, const std::optional<T>& there,
               std::string_view subject, std::string_view field, Show show,
               std::vector<Difference>& out) {
    if (here && there && !(*here == *there)) {
        out.push_back({std::string(subject), std::string(field), show(*here), show(*there)});
    }
}

// The differences of a file's copy in use: whether there is one, then its name, folder,
// version, size and machine.
void CompareCopyInUse(const FileFacts& here, const FileFacts& there,
                      const KnownFolders& hereFolders, const KnownFolders& thereFolders,
                      std::vector<Difference>& out) {
    if (!here.pathInUse || !there.pathInUse) {
        return;
    }
    const std::string& herePath = *here.pathInUse;
    const std::string& therePath = *there.pathInUse;
    if (herePath.empty() || therePath.empty()) {
        if (herePath.empty() != therePath.empty()) {
            out.push_back({here.name, "copyInUse", herePath.empty() ? "no copy" : herePath,
                           therePath.empty() ? "no copy" : therePath});
        }
        return;
    }
    const std::string_view hereName = platform::text::FileNameOf(herePath);
    const std::string_view thereName = platform::text::FileNameOf(therePath);
    if (!platform::text::EqualsIgnoringCase(hereName, thereName)) {
        out.push_back({here.name, "fileName", std::string(hereName), std::string(thereName)});
    }
    const std::string_view hereFolder = platform::text::FolderOf(herePath);
    const std::string_view thereFolder = platform::text::FolderOf(therePath);
    if (PlaceKey(hereFolder, hereFolders, thereFolders) !=
        PlaceKey(thereFolder, thereFolders, hereFolders)) {
        out.push_back({here.name, "folder", std::string(hereFolder), std::string(thereFolder)});
    }
    IfDiffers(here.version, there.version, here.name, "version", VersionText, out);
    IfDiffers(here.size, there.size, here.name, "size", SizeText, out);
    IfDiffers(here.machine, there.machine, here.name, "machine", MachineWords, out);
}

// A file's differences; a file located on one side only has the one that says so.
void CompareFile(const FileFacts& here, const FileFacts& there, const KnownFolders& hereFolders,
                 const KnownFolders& thereFolders, std::vector<Difference>& out) {
    if (here.located && there.located && *here.located != *there.located) {
        out.push_back({here.name, "located", LocatedText(here), LocatedText(there)});
        return;
    }
    CompareCopyInUse(here, there, hereFolders, thereFolders, out);
    IfDiffers(here.loadFailure, there.loadFailure, here.name, "loadFailure", LoadFailureText, out);
    IfDiffers(here.registration, there.registration, here.name, "registration", RegistrationText,
              out);
    IfDiffers(here.copiesOnSearchPath, there.copiesOnSearchPath, here.name, "copies", CopiesText,
              out);
}

// The subjects after the files, in the block's order.
constexpr std::array<std::string_view, 5> kLaterSubjects = {
    "installFolder", "path", "runtimeReleases", "os", "knownFolders"};

// Where a subject's differences go: its file's place in the list, then files not on it (and
// the reference's files as a whole), then the later subjects in order.
std::size_t Rank(std::string_view subject, const std::vector<FileFacts>& files) {
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (platform::text::EqualsIgnoringCase(files[i].name, subject)) {
            return i;
        }
    }
    const auto later = std::find(kLaterSubjects.begin(), kLaterSubjects.end(), subject);
    if (later == kLaterSubjects.end()) {
        return files.size();
    }
    return files.size() + 1 + static_cast<std::size_t>(later - kLaterSubjects.begin());
}

// How a field's line reads: "<label or subject>: <lead><here><trail> here, <reference> in the
// reference". An empty `subject` stands for a file.
struct LineForm {
    std::string_view subject;
    std::string_view field;
    std::string_view label;
    std::string_view lead;
    std::string_view trail;
};

constexpr std::array<LineForm, 10> kLineForms = {{
    {"installFolder", "exists", "Install folder exists", "", ""},
    {"path", "installFolder", "Install folder on the PATH", "", ""},
    {"runtimeReleases", "agree", "Run-time files in use from one release", "", ""},
    {"os", "version", "Windows version", "", ""},
    {"", "fileName", "", "copy in use named ", ""},
    {"", "folder", "", "in use from ", ""},
    {"", "version", "", "version ", ""},
    {"", "size", "", "size ", ""},
    {"", "machine", "", "built for ", ""},
    {"", "copies", "", "", " on the search path"},
}};

// The form of the subject's own field, or else of a file's: the table lists the subjects' own
// forms first.
LineForm FormOf(const Difference& difference) {
    const auto form = std::find_if(kLineForms.begin(), kLineForms.end(), [&](const LineForm& f) {
        return f.field == difference.field &&
               (f.subject.empty() || f.subject == difference.subject);
    });
    return form == kLineForms.end() ? LineForm{} : *form;
}

// "2026-12-08T08:15:00Z" as "2026-12-08 08:15:00 UTC"; other texts as they are.
std::string WhenText(const std::string& generatedAt) {
    if (generatedAt.size() != 20 || generatedAt[10] != 'T' || generatedAt.back() != 'Z') {
        return generatedAt;
    }
    return generatedAt.substr(0, 10) + " " + generatedAt.substr(11, 8) + " UTC";
}

// The block's first line, naming the reference: its file, the machine it was made on and when.
std::string ReferenceLine(const ReferenceIdentity& identity) {
    std::string line = "Compared with " + identity.path + ", made on " +
                       (identity.machineName.empty() ? "an unnamed machine" : identity.machineName);
    if (!identity.generatedAt.empty()) {
        line += " at " + WhenText(identity.generatedAt);
    }
    return OneLineText(line);
}

}  // namespace

std::vector<Difference> Compare(const ComparableFacts& here, const Reference& reference) {
    const ComparableFacts& there = reference.facts;
    std::vector<Difference> differences;
    for (const FileFacts& file : here.files) {
        const auto match = std::find_if(there.files.begin(), there.files.end(), [&](const auto& f) {
            return platform::text::EqualsIgnoringCase(f.name, file.name);
        });
        if (match != there.files.end()) {
            CompareFile(file, *match, here.knownFolders, there.knownFolders, differences);
        }
    }
    IfDiffers(here.installFolderExists, there.installFolderExists, "installFolder", "exists", YesNo,
              differences);
    IfDiffers(here.installFolderOnPath, there.installFolderOnPath, "path", "installFolder", YesNo,
              differences);
    IfDiffers(here.runtimeReleasesAgree, there.runtimeReleasesAgree, "runtimeReleases", "agree",
              YesNo, differences);
    IfDiffers(here.os, there.os, "os", "version", OsText, differences);
    differences.insert(differences.end(), reference.notUnderstood.begin(),
                       reference.notUnderstood.end());
    std::ranges::stable_sort(differences, {}, [&](const Difference& difference) {
        return Rank(difference.subject, here.files);
    });
    return differences;
}

std::string DifferenceLine(const Difference& difference) {
    if (difference.field == kNotUnderstoodField) {
        return OneLineText(
            difference.subject +
            ": the reference holds what this program does not know: " + difference.reference);
    }
    const LineForm form = FormOf(difference);
    const std::string label = form.label.empty() ? difference.subject : std::string(form.label);
    return OneLineText(label + ": " + std::string(form.lead) + difference.here +
                       std::string(form.trail) + " here, " + difference.reference +
                       " in the reference");
}

std::vector<std::string> ComparisonLines(const ReferenceIdentity& identity,
                                         const std::vector<Difference>& differences) {
    std::vector<std::string> lines{ReferenceLine(identity)};
    for (const Difference& difference : differences) {
        lines.push_back(DifferenceLine(difference));
    }
    if (differences.empty()) {
        lines.emplace_back(kNoDifferencesLine);
    }
    return lines;
}

nlohmann::ordered_json ComparisonJson(const ReferenceIdentity& identity,
                                      const std::vector<Difference>& differences) {
    using Json = nlohmann::ordered_json;
    Json list = Json::array();
    for (const Difference& difference : differences) {
        const bool notUnderstood = difference.field == kNotUnderstoodField;
        list.push_back({{"subject", difference.subject},
                        {"field", difference.field},
                        {"here", notUnderstood ? Json(nullptr) : Json(difference.here)},
                        {"reference", difference.reference}});
    }
    return Json{{"reference",
                 {{"path", identity.path},
                  {"machineName", identity.machineName},
                  {"generatedAt", identity.generatedAt},
                  {"schemaVersion", identity.schemaVersion}}},
                {"differences", std::move(list)}};
}

void CollectComparison(ReportFacts& facts, const BlockInputs& inputs) {
    if (inputs.reference != nullptr) {
        facts.comparison = ComparisonRecord{inputs.reference->identity,
                                            Compare(ComparableFactsOf(facts), *inputs.reference)};
    }
}

std::string ComparisonBlockText(const ReportFacts& facts) {
    if (!facts.comparison) {
        return "";
    }
    std::string block = std::string(kComparisonHeading) + "\r\r";
    for (const std::string& line :
         ComparisonLines(facts.comparison->reference, facts.comparison->differences)) {
        block += line + '\r';
    }
    return block + '\r';
}

}  // namespace report
