// The simulated probe process: the requests are answered by the same code as in the Win32
// probe, on the simulated machine switched to the probe's own process (its module table, its
// last-error code, its id) for the time of a request. What a DLL's start-up code does to its
// process, the texts of machine.h say; the probe then ends, or is ended, as on Windows. No
// time passes: a request that would outlast the limit ends at once with kTimedOut.
#include "platform/library_probe.h"

#include <charconv>
#include <map>
#include <optional>

#include "platform/library_probe_protocol.h"
#include "platform/library_probe_server.h"
#include "platform/sim/library_search.h"
#include "platform/sim/machine.h"

namespace platform::library_probe {
namespace {

// What the start-up code of the DLL that a load maps does.
struct StartUp {
    enum class Kind { kReturns, kExits, kRaises, kNeverReturns, kSleeps, kShowsBox };
    Kind kind = Kind::kReturns;
    std::uint32_t code = 0;  // kExits: exit code; kRaises: exception code
    int seconds = 0;         // kSleeps
};

std::uint32_t NumberAfter(const std::string& bytes, std::string_view marker, int base) {
    const auto at = bytes.find(marker) + marker.size();
    std::uint32_t value = 0;
    std::from_chars(bytes.data() + at, bytes.data() + bytes.size(), value, base);
    return value;
}

StartUp SleepOf(const sim::Machine& m) {
    const auto setting = m.GetEnv("KELVRA_STARTUP_SLEEP_SECONDS");
    if (!setting) {
        return {StartUp::Kind::kSleeps, 0, 30};
    }
    if (setting->starts_with('f')) {
        return {StartUp::Kind::kNeverReturns};
    }
    int seconds = 0;
    std::from_chars(setting->data(), setting->data() + setting->size(), seconds);
    return {StartUp::Kind::kSleeps, 0, seconds};
}

StartUp StartUpOf(sim::Machine& m, const std::string& bytes) {
    const auto holds = [&](std::string_view marker) {
        return bytes.find(marker) != std::string::npos;
    };
    if (holds(sim::kStartUpExitsMarker)) {
        return {StartUp::Kind::kExits, NumberAfter(bytes, sim::kStartUpExitsMarker, 10)};
    }
    if (holds(sim::kStartUpRaisesMarker)) {
        return {StartUp::Kind::kRaises, NumberAfter(bytes, sim::kStartUpRaisesMarker, 16)};
    }
    if (holds(sim::kStartUpNeverReturnsMarker)) {
        return {StartUp::Kind::kNeverReturns};
    }
    if (holds(sim::kStartUpSleepsMarker)) {
        return SleepOf(m);
    }
    if (holds(sim::kStartUpShowsBoxMarker)) {
        return {StartUp::Kind::kShowsBox};
    }
    return {};
}

}  // namespace

struct Probe::Process {
    std::uint32_t id = 0;
    std::map<std::string, sim::LoadedModule> modules;
    std::map<kernel32::RawModule, std::string> moduleHandles;
    std::uint32_t lastError = 0;

    // A new process has the modules that the program loads at its start, nothing else.
    static std::unique_ptr<Process> Start(sim::Machine& m) {
        auto started = std::make_unique<Process>();
        started->id = m.nextProcessId++;
        for (const auto& [handle, name] : m.moduleHandles) {
            const auto module = m.modules.find(name);
            if (module != m.modules.end() && module->second.pinned) {
                started->modules.emplace(name, module->second);
                started->moduleHandles.emplace(handle, name);
            }
        }
        CountProbeStarted();
        return started;
    }

    // Runs `work` with the machine switched to this process.
    template <typename Work>
    auto Inside(sim::Machine& m, Work&& work) {
        struct Switch {
            sim::Machine& m;
            Process& p;
            void Swap() {
                std::swap(m.modules, p.modules);
                std::swap(m.moduleHandles, p.moduleHandles);
                std::swap(m.lastError, p.lastError);
                std::swap(m.currentProcessId, p.id);
            }
            Switch(sim::Machine& machine, Process& process) : m(machine), p(process) { Swap(); }
            Switch(const Switch&) = delete;
            Switch& operator=(const Switch&) = delete;
            ~Switch() { Swap(); }
        } inside(m, *this);
        return work();
    }
};

Probe::Probe(Options options) : options_(std::move(options)) {}

Probe::Probe(Probe&&) noexcept = default;
Probe& Probe::operator=(Probe&&) noexcept = default;
Probe::~Probe() = default;

Ending Probe::Exchange(const std::string& request, std::string& answer) {
    if (options_.stop.stop_requested()) {
        process_.reset();
        return Ending{Ending::Kind::kStopped};
    }
    auto& m = sim::machine();
    if (!process_) {
        process_ = Process::Start(m);
    }
    const auto parsed = protocol::ParseRequest(request);
    StartUp startUp;
    if (parsed && parsed->kind == protocol::Request::Kind::kLoad) {
        startUp = process_->Inside(m, [&] {
            const auto found = sim::SearchLibrary(m, sim::WithDefaultExtension(parsed->name));
            const sim::File* file = found.path ? m.FindFile(*found.path) : nullptr;
            return file != nullptr && sim::MapsAnew(m, file->path) ? StartUpOf(m, file->bytes)
                                                                   : StartUp{};
        });
    }
    const Ending timedOut{Ending::Kind::kTimedOut, 0, 0, options_.limitSeconds};
    switch (startUp.kind) {
        case StartUp::Kind::kExits:
            process_.reset();
            return Ending{Ending::Kind::kExited, startUp.code, 0, 0};
        case StartUp::Kind::kRaises:
            process_.reset();
            return Ending{Ending::Kind::kException, 0, startUp.code, 0};
        case StartUp::Kind::kNeverReturns:
            process_.reset();
            return timedOut;
        case StartUp::Kind::kSleeps:
            if (startUp.seconds >= options_.limitSeconds) {
                process_.reset();
                return timedOut;
            }
            break;
        case StartUp::Kind::kShowsBox:
            m.probeWindows.emplace_back("A DLL's start-up code shows this box.");
            if (!options_.waitWhileProbeShowsWindow) {
                process_.reset();  // nobody answers it
                return timedOut;
            }
            break;
        case StartUp::Kind::kReturns:
            break;
    }
    // A box shows for as long as its start-up code runs, which the load's start-up hook stands
    // for; then it is answered.
    const bool showsBox = startUp.kind == StartUp::Kind::kShowsBox && options_.windowShown;
    if (showsBox) {
        options_.windowShown(true);
    }
    answer = process_->Inside(m, [&] { return AnswerRequest(request); });
    if (showsBox) {
        options_.windowShown(false);
    }
    return Ending{};
}

int Serve() {
    return 2;  // the simulated machine starts no programs
}

}  // namespace platform::library_probe
