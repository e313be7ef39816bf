// The probe as a process of its own: this program started again with kProbeArgument, its
// standard input and output two pipes. The report writes one request line and waits for the
// answer line while it watches the process: its end, its windows and the time limit.
#include "platform/library_probe.h"

#include "platform/win32/windows_api.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/library_probe_protocol.h"
#include "platform/library_probe_server.h"
#include "platform/win32/file_handle.h"
#include "platform/win32/wide.h"

namespace platform::library_probe {
namespace {

using std::chrono::steady_clock;
using win32::UniqueKernelHandle;

// An exit code that is an error status (its two highest bits set) is an exception code.
constexpr DWORD kErrorSeverity = 0xC0000000u;
// How often, at most, the probe's windows are looked for while a request is under way, and
// how long a request runs before they are looked for at all.
constexpr auto kWindowCheckInterval = std::chrono::milliseconds(100);
constexpr auto kFirstWindowCheck = std::chrono::milliseconds(200);
// How many new probes a request tries before it counts as one that could not be run.
constexpr int kStartAttempts = 3;

// Probes start one at a time: a child started meanwhile would inherit this one's pipe ends,
// and a pipe stays open while any process holds its write end.
std::mutex g_startMutex;

std::wstring ProgramPath() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD size = static_cast<DWORD>(buffer.size());
        const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), size);
        if (length == 0) {
            return L"";
        }
        if (length < size) {
            return std::wstring(buffer.data(), length);
        }
        buffer.resize(buffer.size() * 2);
    }
}

struct WindowSearch {
    DWORD processId = 0;
    bool found = false;
};

BOOL CALLBACK NoteVisibleWindow(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<WindowSearch*>(parameter);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId && ::IsWindowVisible(window)) {
        search->found = true;
        return FALSE;
    }
    return TRUE;
}

// The probe's own answer channel, for the unhandled-exception filter.
HANDLE g_answerChannel = nullptr;

// Writes "<word> TAB <code in decimal>" as a line to the answer channel; no allocation here,
// as the heap or the stack may be what failed.
void WriteCodeLine(std::string_view word, DWORD code) {
    char line[40];
    std::size_t length = 0;
    for (const char c : word) {
        line[length++] = c;
    }
    line[length++] = '\t';
    char digits[12];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + code % 10);
        code /= 10;
    } while (code != 0);
    while (count > 0) {
        line[length++] = digits[--count];
    }
    line[length++] = '\n';
    DWORD written = 0;
    ::WriteFile(g_answerChannel, line, static_cast<DWORD>(length), &written, nullptr);
}

// Tells the report of every error exception as it is raised: when one ends the probe in a way
// that no handler sees (a stack overflow can), the report still knows which it was.
LONG WINAPI NoteRaisedException(EXCEPTION_POINTERS* exception) {
    const DWORD code = exception->ExceptionRecord->ExceptionCode;
    if ((code & kErrorSeverity) == kErrorSeverity) {
        WriteCodeLine(protocol::kRaisedNote, code);
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

// Tells the report which exception ends the probe, then lets it end with that code.
LONG WINAPI ReportUnhandledException(EXCEPTION_POINTERS* exception) {
    WriteCodeLine(protocol::kExceptionAnswer, exception->ExceptionRecord->ExceptionCode);
    return EXCEPTION_EXECUTE_HANDLER;
}

// Wine commits a thread's whole stack and keeps a single guard page at its bottom, so it raises
// a stack overflow with at most that page of stack left: too little, often, to raise it at all
// (Wine then ends the thread, and with the main thread the probe, with exit code 0 and no
// exception told of), depending on where in that page the overflowing code happens to be. A
// guard page set where Windows keeps its own, above the guaranteed stack, makes Wine grow the
// stack page by page as Windows does and raise the overflow with the guarantee left for the
// handlers. On Windows that page is not committed yet, and nothing is changed.
void GuardTheStackAsWindowsDoes(ULONG guaranteeBytes) {
    MEMORY_BASIC_INFORMATION stack{};
    SYSTEM_INFO system{};
    ::GetSystemInfo(&system);
    if (::VirtualQuery(&stack, &stack, sizeof stack) == 0) {
        return;
    }
    char* const guard =
        static_cast<char*>(stack.AllocationBase) + 2 * system.dwPageSize + guaranteeBytes;
    MEMORY_BASIC_INFORMATION page{};
    if (guard < reinterpret_cast<char*>(&page) - 16 * system.dwPageSize &&
        ::VirtualQuery(guard, &page, sizeof page) != 0 && page.State == MEM_COMMIT &&
        (page.Protect & PAGE_GUARD) == 0) {
        DWORD previous = 0;
        ::VirtualProtect(guard, system.dwPageSize, PAGE_READWRITE | PAGE_GUARD, &previous);
    }
}

bool IsPipe(HANDLE handle) {
    return handle != nullptr && handle != INVALID_HANDLE_VALUE &&
           ::GetFileType(handle) == FILE_TYPE_PIPE;
}

// A private copy of a standard handle; the standard slot is emptied, so that no DLL's code
// reads the requests or writes into the answers.
HANDLE TakeStandardHandle(DWORD which) {
    HANDLE copy = nullptr;
    if (!::DuplicateHandle(::GetCurrentProcess(), ::GetStdHandle(which), ::GetCurrentProcess(),
                           &copy, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
        return nullptr;
    }
    ::SetStdHandle(which, nullptr);
    return copy;
}

}  // namespace

struct Probe::Process {
    UniqueKernelHandle job;  // ends the probe when this process ends, however it ends
    UniqueKernelHandle process;
    UniqueKernelHandle toProbe;    // the write end of the probe's standard input
    UniqueKernelHandle fromProbe;  // this end of the named pipe of its standard output
    UniqueKernelHandle readDone;   // set when the read under way has completed
    UniqueKernelHandle stopped;    // set when the owner asks for no more work
    DWORD id = 0;
    OVERLAPPED read{};
    bool reading = false;  // a read of `buffer` is under way
    bool closed = false;   // the probe's end of the answers is closed: it has ended
    char buffer[4096] = {};
    std::string received;  // bytes after the last whole line

    static std::unique_ptr<Process> Start();
    Process() = default;
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    ~Process();

    [[nodiscard]] bool Send(std::string_view line) const {
        return win32::WriteAll(toProbe.get(), line);
    }
    // Starts a read of the answers unless one is under way or they are closed.
    void StartRead();
    // Takes in the read that has completed.
    void FinishRead();
    // Takes in everything the probe wrote before it ended.
    void Drain();
    std::optional<std::string> TakeLine();
    [[nodiscard]] bool HasEnded(DWORD waitMilliseconds) const {
        return ::WaitForSingleObject(process.get(), waitMilliseconds) == WAIT_OBJECT_0;
    }
    // How it ended, from its exit code and the last error exception it told of.
    [[nodiscard]] Ending EndingOfExit(std::optional<std::uint32_t> lastRaised) const;
    [[nodiscard]] bool ShowsWindow() const;
    void Terminate() const;
};

namespace {

std::atomic<unsigned> g_pipeNumber{0};

// A new named pipe for the probe's answers: this process reads its server end with
// overlapped reads, which wake the wait as soon as an answer arrives; the probe writes to
// the client end, which it inherits as its standard output.
bool CreateAnswerPipe(UniqueKernelHandle& server, UniqueKernelHandle& client) {
    const std::wstring name = L"\\\\.\\pipe\\kelvra-library-probe-" +
                              std::to_wstring(::GetCurrentProcessId()) + L"-" +
                              std::to_wstring(++g_pipeNumber);
    server.reset(::CreateNamedPipeW(
        name.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
        PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, 0, 4096, 0,
        nullptr));
    if (server.get() == INVALID_HANDLE_VALUE) {
        (void)server.release();
        return false;
    }
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    const HANDLE opened = ::CreateFileW(name.c_str(), GENERIC_WRITE, 0, &inheritable, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        return false;
    }
    client.reset(opened);
    return true;
}

// A job that ends its processes when its last handle closes: when this process ends.
UniqueKernelHandle KillOnCloseJob() {
    UniqueKernelHandle job{::CreateJobObjectW(nullptr, nullptr)};
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (job && !::SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits,
                                          sizeof(limits))) {
        job.reset();
    }
    return job;
}

}  // namespace

std::unique_ptr<Probe::Process> Probe::Process::Start() {
    const std::lock_guard lock(g_startMutex);
    auto started = std::make_unique<Process>();
    started->readDone.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    started->stopped.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    started->read.hEvent = started->readDone.get();
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE inputRead = nullptr;
    HANDLE inputWrite = nullptr;
    UniqueKernelHandle childOutput;
    if (!started->readDone || !started->stopped ||
        !::CreatePipe(&inputRead, &inputWrite, &inheritable, 0)) {
        return nullptr;
    }
    const UniqueKernelHandle childInput{inputRead};
    started->toProbe.reset(inputWrite);
    if (!CreateAnswerPipe(started->fromProbe, childOutput)) {
        return nullptr;
    }
    ::SetHandleInformation(started->toProbe.get(), HANDLE_FLAG_INHERIT, 0);

    const std::wstring program = ProgramPath();
    std::wstring commandLine = L"\"" + program + L"\" " + win32::Widen(kProbeArgument);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES | STARTF_FORCEOFFFEEDBACK;
    startup.hStdInput = childInput.get();
    startup.hStdOutput = childOutput.get();
    startup.hStdError = nullptr;
    PROCESS_INFORMATION info{};
    if (program.empty() ||
        !::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                          CREATE_NO_WINDOW | CREATE_SUSPENDED, nullptr, nullptr, &startup, &info)) {
        return nullptr;
    }
    const UniqueKernelHandle thread{info.hThread};
    started->process.reset(info.hProcess);
    started->id = info.dwProcessId;
    // Without a job (a job of ours that forbids one inside it), the probe still works; it
    // just outlives a report that is killed while a file's start-up code hangs.
    started->job = KillOnCloseJob();
    if (started->job) {
        ::AssignProcessToJobObject(started->job.get(), started->process.get());
    }
    ::ResumeThread(thread.get());
    CountProbeStarted();
    return started;
}

Probe::Process::~Process() {
    // An idle probe has nothing to finish: it is ended without waiting for the DLLs that are
    // still loaded in it to be told (their code could keep it for good).
    if (process) {
        ::TerminateProcess(process.get(), 0);
    }
    if (reading) {  // the buffer and the OVERLAPPED must outlive the read
        ::CancelIoEx(fromProbe.get(), &read);
        DWORD ignored = 0;
        ::GetOverlappedResult(fromProbe.get(), &read, &ignored, TRUE);
    }
}

void Probe::Process::StartRead() {
    if (reading || closed) {
        return;
    }
    ::ResetEvent(readDone.get());
    read.Offset = 0;
    read.OffsetHigh = 0;
    if (::ReadFile(fromProbe.get(), buffer, sizeof(buffer), nullptr, &read) ||
        ::GetLastError() == ERROR_IO_PENDING) {
        reading = true;  // completed or not, the event tells
        return;
    }
    closed = true;
}

void Probe::Process::FinishRead() {
    DWORD count = 0;
    reading = false;
    if (::GetOverlappedResult(fromProbe.get(), &read, &count, FALSE)) {
        received.append(buffer, count);
    } else if (::GetLastError() != ERROR_MORE_DATA) {
        closed = true;
    } else {
        received.append(buffer, count);
    }
}

void Probe::Process::Drain() {
    while (!closed) {
        StartRead();
        if (reading && ::WaitForSingleObject(readDone.get(), 1000) != WAIT_OBJECT_0) {
            return;
        }
        if (reading) {
            FinishRead();
        }
    }
}

std::optional<std::string> Probe::Process::TakeLine() {
    const auto end = received.find('\n');
    if (end == std::string::npos) {
        return std::nullopt;
    }
    std::string line = received.substr(0, end);
    received.erase(0, end + 1);
    return line;
}

Ending Probe::Process::EndingOfExit(std::optional<std::uint32_t> lastRaised) const {
    DWORD code = 0;
    if (!::GetExitCodeProcess(process.get(), &code)) {
        return Ending{Ending::Kind::kBroken};
    }
    if ((code & kErrorSeverity) == kErrorSeverity) {
        return Ending{Ending::Kind::kException, 0, code, 0};
    }
    // Wine ends a process whose main thread overflows its stack with exit code 0.
    if (code == 0 && lastRaised) {
        return Ending{Ending::Kind::kException, 0, *lastRaised, 0};
    }
    return Ending{Ending::Kind::kExited, code, 0, 0};
}

bool Probe::Process::ShowsWindow() const {
    WindowSearch search{id, false};
    ::EnumWindows(NoteVisibleWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void Probe::Process::Terminate() const {
    // Its windows go with it.
    ::TerminateProcess(process.get(), 1);
    ::WaitForSingleObject(process.get(), 5000);
}

Probe::Probe(Options options) : options_(std::move(options)) {}

Probe::Probe(Probe&&) noexcept = default;
Probe& Probe::operator=(Probe&&) noexcept = default;
Probe::~Probe() = default;

Ending Probe::Exchange(const std::string& request, std::string& answer) {
    if (options_.stop.stop_requested()) {
        process_.reset();
        return Ending{Ending::Kind::kStopped};
    }
    const std::string line = request + "\n";
    if (!process_ || !process_->Send(line)) {
        // None yet, or the last one ended after its answer: a new one takes over. A probe that
        // could not be started, or that ended before it took the request, has loaded nothing:
        // the system failed it (Wine, now and then, when it starts many processes), and the
        // next one is asked.
        process_.reset();
        for (int attempt = 0; attempt < kStartAttempts && !process_; ++attempt) {
            process_ = Process::Start();
            if (process_ && !process_->Send(line)) {
                process_.reset();
            }
        }
        if (!process_) {
            return Ending{Ending::Kind::kBroken};
        }
    }
    const std::stop_callback wake(options_.stop,
                                  [event = process_->stopped.get()] { ::SetEvent(event); });

    const auto limit = std::chrono::duration_cast<steady_clock::duration>(
        std::chrono::seconds(options_.limitSeconds));
    const auto started = steady_clock::now();
    auto last = started;
    auto nextWindowCheck = started + kFirstWindowCheck;
    steady_clock::duration counted{};  // time waited while no window of the probe's showed
    bool windowShown = false;
    std::optional<std::uint32_t> lastRaised;
    const auto tellWindow = [&](bool shown) {
        if (shown != windowShown) {
            windowShown = shown;
            if (options_.windowShown) {
                options_.windowShown(shown);
            }
        }
    };
    const auto endWith = [&](Ending ending) {
        tellWindow(false);
        process_.reset();
        return ending;
    };
    for (;;) {
        process_->StartRead();
        if (auto received = process_->TakeLine()) {
            if (const auto raised = protocol::ParseRaisedNote(*received)) {
                lastRaised = raised;
                continue;
            }
            tellWindow(false);
            answer = std::move(*received);
            return Ending{};
        }
        const bool counting = !(options_.waitWhileProbeShowsWindow && windowShown);
        const auto untilLimit = counting ? limit - counted : steady_clock::duration::max();
        const auto untilCheck = nextWindowCheck - last;
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(
            std::max(steady_clock::duration::zero(), std::min(untilLimit, untilCheck)));
        const HANDLE events[] = {process_->readDone.get(), process_->process.get(),
                                 process_->stopped.get()};
        const DWORD woken =
            process_->closed
                ? WAIT_OBJECT_0 + 1
                : ::WaitForMultipleObjects(3, events, FALSE, static_cast<DWORD>(wait.count()));
        const auto now = steady_clock::now();
        if (counting) {
            counted += now - last;
        }
        last = now;
        if (woken == WAIT_OBJECT_0) {
            process_->FinishRead();
            continue;
        }
        if (woken == WAIT_OBJECT_0 + 1) {
            // Whatever it wrote before it ended (an unhandled exception's line) still counts.
            if (!process_->HasEnded(1000)) {
                process_->Terminate();  // it closed its answers but lives on
            }
            process_->Drain();
            while (auto received = process_->TakeLine()) {
                if (const auto raised = protocol::ParseRaisedNote(*received)) {
                    lastRaised = raised;
                } else {
                    answer = std::move(*received);
                    return endWith(Ending{});
                }
            }
            return endWith(process_->EndingOfExit(lastRaised));
        }
        if (woken == WAIT_OBJECT_0 + 2) {
            process_->Terminate();
            return endWith(Ending{Ending::Kind::kStopped});
        }
        if (now >= nextWindowCheck) {
            nextWindowCheck = now + kWindowCheckInterval;
            tellWindow(process_->ShowsWindow());
        }
        if (counted >= limit) {
            process_->Terminate();
            return endWith(Ending{Ending::Kind::kTimedOut, 0, 0, options_.limitSeconds});
        }
    }
}

int Serve() {
    if (!IsPipe(::GetStdHandle(STD_INPUT_HANDLE)) || !IsPipe(::GetStdHandle(STD_OUTPUT_HANDLE))) {
        return 2;
    }
    const UniqueKernelHandle requests{TakeStandardHandle(STD_INPUT_HANDLE)};
    const UniqueKernelHandle answers{TakeStandardHandle(STD_OUTPUT_HANDLE)};
    if (!requests || !answers) {
        return 2;
    }
    // Nobody answers boxes of the system's own here; a crash ends the probe at once and the
    // report learns its code.
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    g_answerChannel = answers.get();
    ULONG stackForTheFilter = 64 * 1024;
    ::SetThreadStackGuarantee(&stackForTheFilter);
    GuardTheStackAsWindowsDoes(stackForTheFilter);
    ::SetUnhandledExceptionFilter(ReportUnhandledException);
    ::AddVectoredExceptionHandler(1, NoteRaisedException);

    std::string pending;
    char buffer[4096];
    for (;;) {
        for (auto end = pending.find('\n'); end != std::string::npos; end = pending.find('\n')) {
            const std::string reply =
                AnswerRequest(std::string_view(pending).substr(0, end)) + "\n";
            pending.erase(0, end + 1);
            if (!win32::WriteAll(answers.get(), reply)) {
                return 0;
            }
        }
        DWORD read = 0;
        if (!::ReadFile(requests.get(), buffer, sizeof(buffer), &read, nullptr) || read == 0) {
            return 0;  // the report has closed its end
        }
        pending.append(buffer, read);
    }
}

}  // namespace platform::library_probe
