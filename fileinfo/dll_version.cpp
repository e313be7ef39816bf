#include "fileinfo/dll_version.h"

#include <stdexcept>

#include "fileinfo/dll_probes.h"
#include "fileinfo/file_probes.h"
#include "fileinfo/os_version.h"
#include "platform/dll_search.h"
#include "platform/kernel32.h"
#include "platform/registry.h"
#include "platform/root_keys.h"
#include "platform/runtime.h"
#include "platform/text.h"

namespace fileinfo {
namespace {

std::string ClassesRootText() {
    return platform::root_keys::DecimalText(platform::registry::kClassesRoot);
}

// What the registry says of a type library's registration.
struct Registration {
    bool notRegistered = false;
    bool incomplete = false;
    std::string path;  // the Win32 path registered, "" when none
};

Registration LookUpTypeLibrary(const std::string& clsid, std::string& version) {
    Registration result;
    const std::string typeLib = "TypeLib\\" + clsid;
    const std::string found = FindRegSubKey(ClassesRootText(), typeLib, version);
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
    const std::string language = FindRegSubKey(ClassesRootText(), versionKey, "0");
    if (language.empty()) {
        result.incomplete = true;
        return result;
    }
    result.path = ReadRegValue(platform::registry::kClassesRoot,
                               versionKey + "\\" + language + "\\Win32", "");
    return result;
}

constexpr std::uint32_t kErrorModuleNotFound = 126;

// The copy of a file that the library search could not load, and what the probes say of it.
LoadDiagnosis Diagnose(std::string_view name, std::uint32_t loadError) {
    LoadDiagnosis diagnosis;
    diagnosis.loadFailed = true;
    diagnosis.loadError = loadError;
    diagnosis.loadErrorText = GetErrorText(loadError);
    if (const auto copy = platform::FindDllOnSearchPath(name)) {
        diagnosis.copyPath = *copy;
        diagnosis.copyMachine = get_dll_machine_type(*copy);
        diagnosis.copyCanBeLoaded = CanDllBeLoaded(*copy);
        diagnosis.missingImport = FirstMissingImport(*copy);
    }
    return diagnosis;
}

std::string FileNameOf(std::string_view path) {
    const auto cut = path.find_last_of("\\/");
    return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

}  // namespace

std::string CantLoadText(const LoadDiagnosis& diagnosis) {
    std::string reason;
    if (diagnosis.loadError == kErrorModuleNotFound && !diagnosis.missingImport.empty()) {
        reason = "it needs " + diagnosis.missingImport + ", which cannot be found";
    } else if (!diagnosis.loadErrorText.empty()) {
        reason = diagnosis.loadErrorText;
        // System texts name the file as an insert ("%1 is not a valid Win32 application.").
        if (const auto insert = reason.find("%1"); insert != std::string::npos) {
            reason.replace(insert, 2, FileNameOf(diagnosis.copyPath));
        }
    } else {
        reason = "error " + std::to_string(diagnosis.loadError);
    }
    return "Can't load " + diagnosis.copyPath + ": " + reason;
}

std::string CDLLVersion::GetOSVersion() const {
    return OsNameFor(platform::kernel32::GetVersionEx());
}

}  // namespace fileinfo

namespace fileinfo {

void CDLLVersion::LoadFileInfo(std::string& sModule, std::string& sCLSID, std::string& sCLSIDVer) {
    m_Diagnosis = {};
    m_Located = false;
    if (platform::text::TrimSpaces(sModule).empty()) {
        m_FilePathName.clear();
        m_FileVersion.clear();
        m_FileRegistrationInfo.clear();
        m_FileSize = 0;
        m_FileDate = {};
        return;
    }

    Registration registration;
    if (!sCLSID.empty()) {
        registration = LookUpTypeLibrary(sCLSID, sCLSIDVer);
    }

    std::string path(1024, ' ');
    std::uint32_t lastError = 0;
    std::uint32_t loadError = 0;
    if (LocateFile(sModule, path, lastError, &loadError)) {
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
    } else if (path == kUnableToLocate && loadError != 0) {
        m_Diagnosis = Diagnose(sModule, loadError);
        if (m_Diagnosis.copyPath.empty()) {
            m_FileRegistrationInfo = "";
            m_FilePathName = std::string(kUnableToLocate) + " " + sModule;
        } else {
            // The file is there but cannot be loaded: the row describes that copy.
            m_FileRegistrationInfo = "n/a";
            m_FilePathName = CantLoadText(m_Diagnosis);
            path = m_Diagnosis.copyPath;
        }
    } else if (path == kUnableToLocate) {
        m_FileRegistrationInfo = "";
        m_FilePathName = std::string(kUnableToLocate) + " " + sModule;
    } else if (!sCLSID.empty()) {
        m_FileRegistrationInfo = "impossible";
    } else {
        m_FileRegistrationInfo = "n/a";
    }

    m_FileVersion = platform::text::TrimSpaces(GetFileVersionString(path));

    m_FileSize = 0;
    m_FileDate = {};
    if (path != kUnableToLocate) {
        const auto size = platform::runtime::FileLen(path);
        const auto date = platform::runtime::FileDateTime(path);
        if (size && date) {
            m_FileSize = *size;
            m_FileDate = *date;
        }
    }
}

}  // namespace fileinfo
