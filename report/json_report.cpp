#include "report/json_report.h"

#include <cstdio>
#include <functional>
#include <optional>

#include <nlohmann/json.hpp>

#include "pathcheck/path_notes.h"
#include "pathcheck/path_report.h"
#include "report/reference_comparison.h"

namespace report {
namespace {

using Json = nlohmann::ordered_json;

Json DateOrNull(const platform::runtime::DateTime& date) {
    return date.IsZero() ? Json(nullptr) : Json(IsoDateTime(date, false));
}

Json TextOrNull(const std::string& text) {
    return text.empty() ? Json(nullptr) : Json(text);
}

// The value, or what `show` makes of it; null when there is none.
template <typename T, typename Show = std::identity>
Json OrNull(const std::optional<T>& value, Show show = {}) {
    return value ? Json(std::invoke(show, *value)) : Json(nullptr);
}

// An array of what `toJson` makes of each item.
template <typename Items, typename ToJson>
Json ArrayOf(const Items& items, ToJson toJson) {
    Json list = Json::array();
    for (const auto& item : items) {
        list.push_back(toJson(item));
    }
    return list;
}

// How the probe that loads files ended without an answer; null when it answered.
Json ProbeJson(const platform::library_probe::Ending& ending) {
    using Kind = platform::library_probe::Ending::Kind;
    switch (ending.kind) {
        case Kind::kAnswered:
            return nullptr;
        case Kind::kExited:
            return Json{{"outcome", "exited"}, {"exitCode", ending.exitCode}};
        case Kind::kException:
            return Json{{"outcome", "exception"}, {"exceptionCode", ending.exceptionCode}};
        case Kind::kTimedOut:
            return Json{{"outcome", "timedOut"}, {"limitSeconds", ending.limitSeconds}};
        case Kind::kStopped:
            return Json{{"outcome", "stopped"}};
        case Kind::kBroken:
            break;
    }
    return Json{{"outcome", "notRun"}};
}

Json LoadJson(const fileinfo::LoadDiagnosis& diagnosis) {
    if (!diagnosis.loadFailed) {
        return nullptr;
    }
    const bool answered = diagnosis.probe.kind == platform::library_probe::Ending::Kind::kAnswered;
    return Json{{"errorCode", answered ? Json(diagnosis.loadError) : Json(nullptr)},
                {"errorText", TextOrNull(diagnosis.loadErrorText)},
                {"probe", ProbeJson(diagnosis.probe)}};
}

Json CopyJson(const fileinfo::LoadDiagnosis& diagnosis) {
    if (diagnosis.copyPath.empty()) {
        return nullptr;
    }
    return Json{{"path", diagnosis.copyPath},
                {"machine", fileinfo::MachineText(diagnosis.copyMachine)},
                {"canBeLoaded", diagnosis.copyCanBeLoaded},
                {"missingImport", TextOrNull(diagnosis.missingImport)}};
}

std::string FunctionText(const platform::pe::FunctionRef& function) {
    return function.ordinal ? "#" + std::to_string(*function.ordinal) : function.name;
}

std::string_view BrokenLinkKindName(fileinfo::BrokenLinkKind kind) {
    switch (kind) {
        case fileinfo::BrokenLinkKind::kMissingExport:
            return "missingExport";
        case fileinfo::BrokenLinkKind::kOtherMachine:
            return "otherMachine";
        case fileinfo::BrokenLinkKind::kMissingDll:
            break;
    }
    return "missingDll";
}

// The first broken link of the load, or else the first note of a delay-load import; null for
// neither.
Json BrokenLinkJson(const fileinfo::ImportWalk& walk) {
    const fileinfo::BrokenLink* link = walk.brokenLink ? &*walk.brokenLink : nullptr;
    if (link == nullptr && !walk.delayLoadNotes.empty()) {
        link = &walk.delayLoadNotes.front();
    }
    if (link == nullptr) {
        return nullptr;
    }
    const auto forwardedTo = [](const fileinfo::ForwardedTo& target) {
        return Json{{"dll", target.dll}, {"function", FunctionText(target.function)}};
    };
    return Json{{"kind", BrokenLinkKindName(link->kind)},
                {"chain", link->chain},
                {"copy", TextOrNull(link->copyPath)},
                {"function", OrNull(link->function, FunctionText)},
                {"forwardedTo", OrNull(link->forwardedTo, forwardedTo)},
                {"delayLoad", link->delayLoad}};
}

Json SearchPathCopyJson(const FileCopy& copy) {
    return Json{{"path", copy.path},
                {"version", TextOrNull(copy.versionText)},
                {"machine", fileinfo::MachineText(copy.machine)},
                {"size", OrNull(copy.size)},
                {"date", OrNull(copy.date, DateOrNull)},
                {"inUse", copy.inUse}};
}

Json RuntimeReleasesJson(const std::vector<RuntimeFileInUse>& files) {
    const auto fileJson = [](const RuntimeFileInUse& file) {
        return Json{{"name", file.name},
                    {"path", OrNull(file.copy, &FileCopy::path)},
                    {"version", file.copy ? TextOrNull(file.copy->versionText) : Json(nullptr)}};
    };
    return Json{{"agree", ShareOneRelease(files)}, {"files", ArrayOf(files, fileJson)}};
}

Json RegistrationJson(const std::optional<ControlRegistration>& registration) {
    if (!registration) {
        return nullptr;
    }
    const auto classJson = [](const ClassRegistration& coclass) {
        return Json{{"id", coclass.id},
                    {"name", coclass.name},
                    {"registeredPath", OrNull(coclass.entry.registeredPath)}};
    };
    return Json{{"verdict", VerdictName(registration->verdict)},
                {"typeLibrary",
                 {{"id", registration->libraryId},
                  {"version", std::to_string(registration->majorVersion) + "." +
                                  std::to_string(registration->minorVersion)},
                  {"locale", registration->locale},
                  {"registeredPath", OrNull(registration->typeLibrary.registeredPath)}}},
                {"classes", ArrayOf(registration->classes, classJson)}};
}

Json FileJson(const FileRowRecord& row) {
    return Json{{"name", row.name},
                {"loadInfoFailed", row.loadInfoFailed},
                {"located", row.located},
                {"path", row.path},
                {"regInfo", row.regInfo},
                {"date", DateOrNull(row.date)},
                {"size", row.size},
                {"version", row.version},
                {"load", LoadJson(row.diagnosis)},
                {"copy", CopyJson(row.diagnosis)},
                {"brokenLink", BrokenLinkJson(row.imports)},
                {"registration", RegistrationJson(row.registration)},
                {"copies", ArrayOf(row.copies, SearchPathCopyJson)},
                {"notes", row.notes}};
}

Json PathFolderJson(const pathcheck::PathFolderTable& table, std::size_t k) {
    const auto at = [k](const auto& values, auto fallback) {
        return k < values.size() ? values[k] : fallback;
    };
    const long repeats = at(table.PathDuplicate, 0L);
    const pathcheck::EntryNotes notes = at(table.PathNotes, pathcheck::EntryNotes{});
    return Json{{"number", k},
                {"source", at(table.PathIsSystem, false) ? "system" : "user"},
                {"folder", at(table.PathFolder, std::string())},
                {"fullName", at(table.PathFullName, std::string())},
                {"exists", static_cast<bool>(at(table.PathExists, false))},
                {"duplicateOf", repeats > 0 ? Json(repeats) : Json(nullptr)},
                {"notes", pathcheck::EntryNoteTexts(notes)}};
}

Json PathJson(const pathcheck::PathFolderTable& table) {
    Json folders = Json::array();
    for (long k = 1; k <= table.numPathFolders; ++k) {
        folders.push_back(PathFolderJson(table, static_cast<std::size_t>(k)));
    }
    return Json{{"systemValueType", pathcheck::RegistryTypeName(table.systemPath.type)},
                {"systemValueNote", TextOrNull(pathcheck::SystemPathNoteText(table.systemPath))},
                {"folders", std::move(folders)}};
}

Json OsJson(const ReportFacts& facts, const RunContext& context) {
    using Info = platform::kernel32::OsVersionInfo;
    return Json{{"name", context.osName},
                {"major", OrNull(facts.osVersion, &Info::majorVersion)},
                {"minor", OrNull(facts.osVersion, &Info::minorVersion)},
                {"build", OrNull(facts.osVersion, &Info::buildNumber)},
                {"platformId", OrNull(facts.osVersion, &Info::platformId)}};
}

Json KnownFoldersJson(const platform::known_folders::KnownFolders& folders) {
    Json json = Json::object();
    for (const auto& [name, folder] : platform::known_folders::kNamedFolders) {
        json[std::string(name)] = OrNull(folders.*folder);
    }
    return json;
}

Json ComparisonJsonOf(const ComparisonRecord& comparison) {
    return ComparisonJson(comparison.reference, comparison.differences);
}

}  // namespace

std::string IsoDateTime(const platform::runtime::DateTime& time, bool utc) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%s", time.year, time.month,
                  time.day, time.hour, time.minute, time.second, utc ? "Z" : "");
    return text;
}

std::string JsonReport(const ReportFacts& facts, const RunContext& context) {
    const Json document{
        {"schemaVersion", kJsonSchemaVersion},
        {"program", {{"name", "Kelvra_System_Files_Test"}, {"version", context.programVersion}}},
        {"machineName", context.machineName},
        {"generatedAt", IsoDateTime(context.generatedUtc, true)},
        {"os", OsJson(facts, context)},
        {"everythingInPlace", EverythingInPlace(facts)},
        {"files", ArrayOf(facts.files, FileJson)},
        {"runtimeReleases", RuntimeReleasesJson(facts.runtimeFiles)},
        {"installFolder",
         {{"path", facts.installFolder.path},
          {"exists", facts.installFolder.exists},
          {"onPath", InstallFolderIsOnPath(facts)},
          {"pathFolders", PathFoldersNamingTheApplication(facts)}}},
        {"path", PathJson(facts.pathTable)},
        {"knownFolders", KnownFoldersJson(facts.knownFolders)},
        {"messages", facts.messages},
        {"failedPasses", facts.failedPasses},
        {"comparison", OrNull(facts.comparison, ComparisonJsonOf)}};
    // Texts that are not valid UTF-8 (none should be) are replaced rather than thrown on.
    return document.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace report
