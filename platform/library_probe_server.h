// The probe's side of platform/library_probe.h, shared by the Win32 probe process and the
// simulated one: what a request line asks is done in the calling process.
#pragma once

#include <string>
#include <string_view>

namespace platform::library_probe {

// The answer line to one request line (platform/library_probe_protocol.h); a line that is no
// request is answered as a load that failed with ERROR_INVALID_PARAMETER.
std::string AnswerRequest(std::string_view line);

// Counts one probe process started.
void CountProbeStarted();

}  // namespace platform::library_probe
