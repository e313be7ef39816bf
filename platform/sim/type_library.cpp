// The simulated type libraries: a simulated file carries its type library as data
// (sim::File::typeLibrary).
#include "platform/type_library.h"

#include "platform/sim/machine.h"

namespace platform::type_library {

Reading ReadTypeLibrary(std::string_view path) {
    Reading reading;
    const sim::File* file = sim::machine().FindFile(path);
    if (file == nullptr || file->heldExclusively || !file->typeLibrary) {
        // What the platform says then: TYPE_E_CANTLOADLIBRARY.
        reading.reason = "the type library cannot be read (0x80029C4A)";
    } else {
        reading.library = file->typeLibrary;
    }
    return reading;
}

}  // namespace platform::type_library
