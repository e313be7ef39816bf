// The platform's library search, run in a probe process: the same program started again for
// this alone (with kProbeArgument), so that it has the same bitness, program folder, current
// folder, environment, manifest and system DLLs, and the search gives the answer the report
// would get itself. A DLL's start-up code, and the closed library's, run there and never in
// the report's own process: whatever that code does, the report goes on.
//
// One probe serves the requests of its owner one after another. A probe that ended, or that
// was ended because it did not answer in time, is replaced by a new one at the next request.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stop_token>
#include <string>
#include <string_view>

namespace platform::library_probe {

// The argument that makes the program a probe; it takes no other argument.
inline constexpr std::string_view kProbeArgument = "/library-probe";

// How long a request (a file's start-up code) may take unless the owner sets another limit.
inline constexpr int kDefaultLimitSeconds = 10;

// Why a request has no answer of the probe's.
struct Ending {
    enum class Kind {
        kAnswered,   // it has one
        kExited,     // the probe ended during the request (the exit code)
        kException,  // the probe ended with an unhandled exception (its code)
        kTimedOut,   // no answer within the limit: the probe (and any window of it) was ended
        kStopped,    // the owner asked for no more work: the probe was ended
        kBroken,     // no probe could be started, or its answer could not be read
    };
    Kind kind = Kind::kAnswered;
    std::uint32_t exitCode = 0;       // kExited
    std::uint32_t exceptionCode = 0;  // kException
    int limitSeconds = 0;             // kTimedOut
    friend bool operator==(const Ending&, const Ending&) = default;
};

// LoadLibrary of a name through the library search, then FreeLibrary.
struct LoadAnswer {
    bool loaded = false;
    // Loaded: the last-error code right after the load. Otherwise the load's error code.
    std::uint32_t lastError = 0;
    // Loaded: the full path of the module of that name (GetModuleHandle, GetModuleFileName).
    std::string modulePath;
    Ending ending;  // not kAnswered: none of the above is known
    friend bool operator==(const LoadAnswer&, const LoadAnswer&) = default;
};

// The closed library's FINDFILEINPATH (platform/closed_library.h), called in the probe.
struct FindAnswer {
    bool available = true;           // false: the library or its function cannot be called
    std::string unavailableMessage;  // why not
    std::string name;                // the name as the library left it
    std::string pathBuffer;          // the path buffer as the library left it
    std::uint32_t lastError = 0;     // the last-error code the library left
    Ending ending;                   // not kAnswered: none of the above is known
    friend bool operator==(const FindAnswer&, const FindAnswer&) = default;
};

struct Options {
    // How long a request may take, in seconds.
    int limitSeconds = kDefaultLimitSeconds;
    // Window runs: while the probe shows a window of its own (a DLL's start-up box that a
    // person may be reading), the limit does not run out.
    bool waitWhileProbeShowsWindow = false;
    // Told, on the requesting thread, when the probe starts (true) and stops (false) showing
    // a window of its own during a request.
    std::function<void(bool shown)> windowShown;
    // Once stop is requested, a request under way ends its probe and every later request
    // ends at once, both with kStopped.
    std::stop_token stop;
};

class Probe {
  public:
    explicit Probe(Options options = {});
    Probe(const Probe&) = delete;
    Probe& operator=(const Probe&) = delete;
    Probe(Probe&&) noexcept;
    Probe& operator=(Probe&&) noexcept;
    ~Probe();  // ends the probe process

    LoadAnswer LoadLibrary(std::string_view name);
    FindAnswer FindFileInPath(std::string_view name, std::string_view pathBuffer);

  private:
    struct Process;  // the probe process as the platform runs it
    // Sends one request line and waits for the answer line, within the options' rules.
    Ending Exchange(const std::string& request, std::string& answer);

    Options options_;
    std::unique_ptr<Process> process_;
};

// The probe's own side: answers the requests that arrive on the standard input, one line
// each, on the standard output, until the input ends. Returns the exit code: 0, or 2 when
// the program was not started as a probe (no pipes as its standard handles).
int Serve();

// How many probe processes this process has started (for the tests and the benchmark).
int ProbesStarted();

}  // namespace platform::library_probe
