#include "platform/known_folders.h"

#include "platform/sim/machine.h"

namespace platform::known_folders {

KnownFolders ReadKnownFolders() {
    const sim::Machine& m = sim::machine();
    return {m.windowsFolder, m.programFilesFolder, m.programFilesX86Folder, m.userProfileFolder};
}

}  // namespace platform::known_folders
