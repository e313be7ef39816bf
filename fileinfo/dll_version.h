// CDLLVersion: what the report knows about one file (where it lies, its date, size, version
// and type-library registration) and the name of the running Windows version.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "fileinfo/file_locator.h"
#include "fileinfo/file_record.h"
#include "platform/library_probe.h"
#include "platform/runtime.h"

namespace fileinfo {

// Why a file that the library search could not load is not in use: what the load failed
// with, and the copy of the file that lies in a folder of the search, as the DLL probes see
// it. All empty (and false) when the file was located or nothing was loaded.
struct LoadDiagnosis {
    bool loadFailed = false;      // the library search tried to load the file and failed
    std::uint32_t loadError = 0;  // the code it failed with, taken right after the load (0
                                  // when the probe that loads files gave none: see `probe`)
    std::string loadErrorText;    // the system's text for that code, "" when it has none
    std::string copyPath;         // the copy in a folder of the search, "" when there is none
    MachineKind copyMachine = MachineKind::kUnknown;
    bool copyCanBeLoaded = false;
    std::string missingImport;              // the first DLL it imports that cannot be found, or ""
    platform::library_probe::Ending probe;  // how the probe ended when it gave no answer
    // Why the copy cannot load, to the last link, when the walk of its imports finds one: a
    // DLL found nowhere, a function a copy does not export, a DLL of the other machine only.
    std::optional<BrokenLink> brokenLink;
    // The table that ended that walk because it cannot be read, when one did.
    std::optional<UnreadableTable> unreadableTable;
    friend bool operator==(const LoadDiagnosis&, const LoadDiagnosis&) = default;
};

// The path text of a row for a copy that cannot be loaded: "Can't load ", its full path (or,
// without one, the name), ": " and the reason: what its start-up code did to the probe, the
// broken link that the walk of its imports found, a table of a DLL it needs that cannot be
// read, the missing DLL it imports directly, or the system's text for the load's error code.
std::string CantLoadText(const LoadDiagnosis& diagnosis, std::string_view name = {});

// What a probe's end says of the start-up code of the file it was loading, e.g. "its start-up
// code ended the program (exit code 7)".
std::string ProbeEndingText(const platform::library_probe::Ending& ending);

class CDLLVersion {
  public:
    // Without a locator it can only name the Windows version: LoadFileInfo throws.
    CDLLVersion() = default;
    // Finds files through the run's locator, which must outlive it.
    explicit CDLLVersion(FileLocator& locator) : m_Locator(&locator) {}

    [[nodiscard]] const std::string& FilePathName() const { return m_FilePathName; }
    [[nodiscard]] const platform::runtime::DateTime& FileDate() const { return m_FileDate; }
    [[nodiscard]] std::int64_t FileSize() const { return m_FileSize; }
    [[nodiscard]] const std::string& FileVersion() const { return m_FileVersion; }
    [[nodiscard]] const std::string& FileRegistrationInfo() const { return m_FileRegistrationInfo; }
    // Whether the library search found the last file (the row names where it lies).
    [[nodiscard]] bool Located() const { return m_Located; }
    // The file that the last row describes, whose record holds its date, size and version: the
    // file located, or the copy that cannot be loaded; "" when there is none.
    [[nodiscard]] const std::string& DescribedFilePath() const { return m_DescribedFilePath; }
    // Why the last file could not be loaded, when it could not.
    [[nodiscard]] const LoadDiagnosis& Diagnosis() const { return m_Diagnosis; }

    // The running Windows version's name, from the system's version record.
    [[nodiscard]] std::string GetOSVersion() const;

    // Fills all five properties for the file `sModule` (a bare name or a path). With a type
    // library identifier `sCLSID` ("{...}") the registration of version `sCLSIDVer` is looked
    // up too, and `sCLSIDVer` comes back as the version registered. `sModule` comes back as
    // the closed library left it. A file that the library search cannot load although a copy
    // lies in one of its folders is described by that copy: its path with the reason it
    // cannot be loaded, "n/a", and the copy's date, size and version. Throws when the closed
    // library cannot be called, or when a version is wanted that does not read as a number.
    void LoadFileInfo(std::string& sModule, std::string& sCLSID, std::string& sCLSIDVer);

  private:
    platform::runtime::DateTime m_FileDate;
    std::int64_t m_FileSize = 0;
    std::string m_FileVersion;
    std::string m_FilePathName;
    std::string m_FileRegistrationInfo;
    LoadDiagnosis m_Diagnosis;
    bool m_Located = false;
    std::string m_DescribedFilePath;
    FileLocator* m_Locator = nullptr;
};

}  // namespace fileinfo
