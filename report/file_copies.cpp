#include "report/file_copies.h"

#include <algorithm>
#include <tuple>

#include "platform/text.h"

namespace report {

FileVersionNumber VersionNumberOf(std::uint32_t fileVersionMS, std::uint32_t fileVersionLS) {
    return {static_cast<std::uint16_t>(fileVersionMS >> 16),
            static_cast<std::uint16_t>(fileVersionMS & 0xFFFFu),
            static_cast<std::uint16_t>(fileVersionLS >> 16),
            static_cast<std::uint16_t>(fileVersionLS & 0xFFFFu)};
}

std::vector<std::string> CopyNotes(const std::vector<FileCopy>& copies,
                                   fileinfo::MachineKind programMachine) {
    std::vector<std::string> notes;
    const auto inUse =
        std::find_if(copies.begin(), copies.end(), [](const FileCopy& copy) { return copy.inUse; });
    if (inUse == copies.end()) {
        return notes;
    }
    const FileCopy* newest = nullptr;
    for (auto later = inUse + 1; later != copies.end(); ++later) {
        if (later->machine == inUse->machine && later->version && inUse->version &&
            *later->version > (newest != nullptr ? *newest->version : *inUse->version)) {
            newest = &*later;
        }
    }
    if (newest != nullptr) {
        notes.push_back("An older copy comes first: " + newest->path + " further along is " +
                        newest->versionText);
    }
    if (inUse->machine != fileinfo::MachineKind::kUnknown && inUse->machine != programMachine) {
        const auto own = std::find_if(inUse + 1, copies.end(), [&](const FileCopy& copy) {
            return copy.machine == programMachine;
        });
        if (own != copies.end()) {
            notes.push_back("The copy in use is built for " +
                            fileinfo::MachineText(inUse->machine) + ": " + own->path +
                            " further along is built for " + fileinfo::MachineText(programMachine) +
                            ", as this program is");
        }
    }
    return notes;
}

bool ShareOneRelease(const std::vector<RuntimeFileInUse>& files) {
    const FileVersionNumber* first = nullptr;
    for (const RuntimeFileInUse& file : files) {
        if (!file.copy || !file.copy->version) {
            continue;
        }
        const FileVersionNumber& version = *file.copy->version;
        if (first == nullptr) {
            first = &version;
        } else if (std::tie(first->major, first->minor, first->build) !=
                   std::tie(version.major, version.minor, version.build)) {
            return false;  // one release shares the major, minor and build numbers
        }
    }
    return true;
}

std::string RuntimeReleaseNote(const std::vector<RuntimeFileInUse>& files) {
    if (ShareOneRelease(files)) {
        return "";
    }
    std::string note = "The compiler run-time files in use come from different releases:";
    const char* separator = " ";
    for (const RuntimeFileInUse& file : files) {
        if (file.copy && file.copy->version) {
            note += separator + file.name + " " + file.copy->versionText + " in " +
                    std::string(platform::text::FolderOf(file.copy->path));
            separator = ", ";
        }
    }
    return note;
}

}  // namespace report
