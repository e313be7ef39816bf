// The test control (tests/data/activex_control.*): a DLL that carries a type library, as the
// ActiveX controls of the list do. Copies of it are put where a test wants them; on the
// simulated machine such a copy carries the control's type library as data
// (platform::sim::File::typeLibrary), which the real platform reads from the bytes.
#pragma once

#include <string>
#include <string_view>

#include "platform/type_library.h"

namespace kelvra::test {

// What the control's type library holds, as its IDL says (for this process's machine).
platform::type_library::TypeLibraryInfo TestControlLibrary();

// The environment variable naming the file that the control's start-up code creates.
inline constexpr std::string_view kControlMarkerVariable = "KELVRA_CONTROL_MARKER";

// Writes a copy of the control built for this process's machine at `path` (replacing a file
// there); false when it cannot.
bool PlaceTestControl(const std::string& path);

// The path as the platform's short (8.3) names spell it. The simulated machine first gets
// short names for the folders of the path whose names do not fit 8.3.
std::string ShortPathOf(const std::string& path);

}  // namespace kelvra::test
