#include "fileinfo/dll_version.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "fileinfo/dll_probes.h"
#include "fileinfo/file_probes.h"
#include "fileinfo/os_version.h"
#include "platform/dll_search.h"
#include "platform/kernel32.h"
#include "platform/registry.h"
#include "platform/root_keys.h"
#include "platform/text.h"

namespace fileinfo {
namespace {

// What the registry says of a type library's registration.
struct Registration {
    bool notRegistered = false;
    bool incomplete = false;
    std::string path;  // the Win32 path registered, "" when none
};

Registration LookUpTypeLibrary(const std::string& clsid, std::string& version) {
    Registration result;
    const std::string classesRoot =
        platform::root_keys::DecimalText(platform::registry::kClassesRoot);
    const std::string typeLib = "TypeLib\\" + clsid;
    const std::string found = FindRegSubKey(classesRoot, typeLib, version);
    if (found.empty()) {
        result.notRegistered = true;
        return result;
    }
    if (found != version) {
        float wanted = 0;
        float registered = 0;
        if (!ReadVersionNumber(version, wanted)) {
            throw std::invalid_argument("Type mismatch: the wanted version is no number");
        }
        if (!ReadVersionNumber(found, registered) || wanted != registered) {
            result.incomplete = true;
        }
        version = found;
    }
    const std::string versionKey = typeLib + "\\" + version;
    const std::string language = FindRegSubKey(classesRoot, versionKey, "0");
    if (language.empty()) {
        result.incomplete = true;
        return result;
    }
    result.path = ReadRegValue(platform::registry::kClassesRoot,
                               versionKey + "\\" + language + "\\Win32", "");
    return result;
}

constexpr std::uint32_t kErrorModuleNotFound = 126;

// The copy of a file that the library search could not load, and what the probes and the walk
// of its imports say of it.
LoadDiagnosis Diagnose(std::string_view name, const LoadAttempt& attempt, FileLocator& locator) {
    LoadDiagnosis diagnosis;
    diagnosis.loadFailed = true;
    diagnosis.loadError = attempt.error;
    diagnosis.probe = attempt.probe;
    if (attempt.probe.kind == platform::library_probe::Ending::Kind::kAnswered) {
        diagnosis.loadErrorText = GetErrorText(attempt.error);
    }
    if (const auto copy = platform::FindDllOnSearchPath(name)) {
        const FileRecord& record = locator.Records().Of(*copy);
        const ImportWalk& walk = locator.WalkOf(*copy);
        diagnosis.copyPath = *copy;
        diagnosis.copyMachine = MachineOf(record);
        diagnosis.brokenLink = walk.brokenLink;
        const auto table = std::ranges::find(walk.unreadable, false, &UnreadableTable::delayLoad);
        if (table != walk.unreadable.end()) {
            diagnosis.unreadableTable = *table;
        }
        diagnosis.copyCanBeLoaded = CanDllBeLoaded(record) && !walk.brokenLink;
        diagnosis.missingImport = FirstMissingImport(record);
    }
    return diagnosis;
}

}  // namespace

std::string ProbeEndingText(const platform::library_probe::Ending& ending) {
    using Kind = platform::library_probe::Ending::Kind;
    switch (ending.kind) {
        case Kind::kExited:
            return "its start-up code ended the program (exit code " +
                   std::to_string(ending.exitCode) + ")";
        case Kind::kException: {
            char code[16];
            std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(ending.exceptionCode));
            return std::string("its start-up code raised exception ") + code;
        }
        case Kind::kTimedOut:
            return "its start-up code did not finish within " +
                   std::to_string(ending.limitSeconds) + " s";
        case Kind::kStopped:
            return "the check was stopped before its start-up code finished";
        case Kind::kBroken:
            return "the library search could not be run in a probe process";
        case Kind::kAnswered:
            break;
    }
    return "";
}

std::string CantLoadText(const LoadDiagnosis& diagnosis, std::string_view name) {
    std::string reason;
    if (diagnosis.probe.kind != platform::library_probe::Ending::Kind::kAnswered) {
        reason = ProbeEndingText(diagnosis.probe);
    } else if (diagnosis.brokenLink) {
        reason = BrokenLinkText(*diagnosis.brokenLink);
    } else if (diagnosis.unreadableTable &&
               !platform::text::EqualsIgnoringCase(diagnosis.unreadableTable->path,
                                                   diagnosis.copyPath)) {
        // A DLL it needs is damaged: the system's text would name the file itself.
        reason = UnreadableTableText(*diagnosis.unreadableTable);
    } else if (diagnosis.loadError == kErrorModuleNotFound && !diagnosis.missingImport.empty()) {
        reason = "it needs " + diagnosis.missingImport + ", which cannot be found";
    } else if (!diagnosis.loadErrorText.empty()) {
        reason = diagnosis.loadErrorText;
        // System texts name the file as an insert ("%1 is not a valid Win32 application.").
        if (const auto insert = reason.find("%1"); insert != std::string::npos) {
            reason.replace(insert, 2, platform::text::FileNameOf(diagnosis.copyPath));
        }
    } else {
        reason = "error " + std::to_string(diagnosis.loadError);
    }
    const std::string file = diagnosis.copyPath.empty() ? std::string(name) : diagnosis.copyPath;
    return "Can't load " + file + ": " + reason;
}

std::string CDLLVersion::GetOSVersion() const {
    return OsNameFor(platform::kernel32::GetVersionEx());
}

void CDLLVersion::LoadFileInfo(std::string& sModule, std::string& sCLSID, std::string& sCLSIDVer) {
    if (m_Locator == nullptr) {
        throw std::logic_error("CDLLVersion needs a file locator to load a file's information");
    }
    m_Diagnosis = {};
    m_Located = false;
    m_DescribedFilePath.clear();
    if (platform::text::TrimSpaces(sModule).empty()) {
        *this = CDLLVersion(*m_Locator);  // the empty row
        return;
    }

    Registration registration;
    if (!sCLSID.empty()) {
        registration = LookUpTypeLibrary(sCLSID, sCLSIDVer);
    }

    std::string path(1024, ' ');
    std::uint32_t lastError = 0;
    LoadAttempt attempt;
    if (LocateFile(sModule, path, lastError, m_Locator->Probe(), &attempt)) {
        m_FilePathName = path;
        m_Located = !path.empty();
    } else if (lastError == 0) {
        m_FilePathName = sModule + " Not Found";
    } else if (lastError == 1157) {
        m_FilePathName = "Can't load " + sModule;
    } else {
        m_FilePathName = sModule + " " + GetErrorText(lastError);
    }

    if (!registration.path.empty()) {
        m_FileRegistrationInfo = registration.incomplete ? "Ver " + sCLSIDVer : "OK";
        m_FilePathName = registration.path;
    } else if (path.empty() && registration.notRegistered) {
        m_FileRegistrationInfo = "SubKey not found";
    } else if (path.empty() && registration.incomplete) {
        m_FileRegistrationInfo = "Not complete";
    } else if (path.empty()) {
        m_FileRegistrationInfo = "Not found";
    } else if (registration.notRegistered) {
        m_FileRegistrationInfo = "Not Registered";
    } else if (path == kUnableToLocate) {
        if (attempt.failed) {
            m_Diagnosis = Diagnose(sModule, attempt, *m_Locator);
        }
        const bool probeEnded =
            m_Diagnosis.probe.kind != platform::library_probe::Ending::Kind::kAnswered;
        if (m_Diagnosis.copyPath.empty() && !probeEnded) {
            m_FileRegistrationInfo = "";
            m_FilePathName = std::string(kUnableToLocate) + " " + sModule;
        } else {
            // The file is there but cannot be loaded: the row describes that copy. Without a
            // copy to name, something was mapped all the same, so it is not "nowhere".
            m_FileRegistrationInfo = "n/a";
            m_FilePathName = CantLoadText(m_Diagnosis, sModule);
            if (!m_Diagnosis.copyPath.empty()) {
                path = m_Diagnosis.copyPath;
            }
        }
    } else if (!sCLSID.empty()) {
        m_FileRegistrationInfo = "impossible";
    } else {
        m_FileRegistrationInfo = "n/a";
    }

    m_FileVersion.clear();
    m_FileSize = 0;
    m_FileDate = {};
    if (path != kUnableToLocate) {
        m_DescribedFilePath = path;
        const FileRecord& record = m_Locator->Records().Of(path);
        m_FileVersion = platform::text::TrimSpaces(record.versionText);
        if (record.size) {
            m_FileSize = *record.size;
            m_FileDate = *record.date;
        }
    }
}

}  // namespace fileinfo
