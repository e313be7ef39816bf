// CDLLVersion: what the report knows about one file (where it lies, its date, size, version
// and type-library registration) and the name of the running Windows version.
#pragma once

#include <cstdint>
#include <string>

#include "platform/runtime.h"

namespace fileinfo {

class CDLLVersion {
  public:
    [[nodiscard]] const std::string& FilePathName() const { return m_FilePathName; }
    [[nodiscard]] const platform::runtime::DateTime& FileDate() const { return m_FileDate; }
    [[nodiscard]] std::int64_t FileSize() const { return m_FileSize; }
    [[nodiscard]] const std::string& FileVersion() const { return m_FileVersion; }
    [[nodiscard]] const std::string& FileRegistrationInfo() const { return m_FileRegistrationInfo; }

    // The running Windows version's name, from the system's version record.
    [[nodiscard]] std::string GetOSVersion() const;

    // Fills all five properties for the file `sModule` (a bare name or a path). With a type
    // library identifier `sCLSID` ("{...}") the registration of version `sCLSIDVer` is looked
    // up too, and `sCLSIDVer` comes back as the version registered. `sModule` comes back as
    // the closed library left it. Throws when the closed library cannot be called, or when a
    // version is wanted that does not read as a number.
    void LoadFileInfo(std::string& sModule, std::string& sCLSID, std::string& sCLSIDVer);

  private:
    platform::runtime::DateTime m_FileDate;
    std::int64_t m_FileSize = 0;
    std::string m_FileVersion;
    std::string m_FilePathName;
    std::string m_FileRegistrationInfo;
};

}  // namespace fileinfo
