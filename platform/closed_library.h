// The application's own closed library "Kelvra_Intel_Win32.dll".
#pragma once

#include <stdexcept>
#include <string>

namespace platform::closed_library {

// The library, or its function, cannot be found or called.
class Unavailable : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// FINDFILEINPATH(name, name length, path buffer, path buffer length), standard call. Both
// texts go to the library as writable ANSI buffers and come back as it left them. The
// thread's last-error code afterwards is what the library left. Throws Unavailable.
void FindFileInPath(std::string& name, std::string& pathBuffer);

}  // namespace platform::closed_library
