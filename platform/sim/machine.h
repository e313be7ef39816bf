// The simulated Windows machine behind the platform layer of the native build. Tests set it
// up and inspect it through this interface; the platform functions read and change it.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/gui_objects.h"
#include "platform/handle.h"
#include "platform/kernel32.h"
#include "platform/registry.h"
#include "platform/runtime.h"
#include "platform/type_library.h"
#include "platform/window.h"
#include "platform/window_layout.h"

namespace platform::sim {

struct File {
    std::string path;  // as spelled when added
    std::string bytes;
    runtime::DateTime lastWrite{2006, 5, 17, 10, 30, 0};
    std::uint32_t attributes = 0;
    bool heldExclusively = false;  // open elsewhere without sharing: nobody else can open it
    // The type library that the simulated ReadTypeLibrary gives for this file (nullopt: it
    // cannot read one). The bytes say whether the file has a TYPELIB resource at all; tests
    // that put a real control's bytes here set this to what that control's library holds.
    std::optional<type_library::TypeLibraryInfo> typeLibrary;
};

struct RegistryNode {
    std::string name;  // as spelled when created
    // Subkeys by upper-cased name: enumeration runs in that (case-insensitive) order.
    std::map<std::string, std::shared_ptr<RegistryNode>> subkeys;
    std::vector<std::pair<std::string, registry::Value>> values;  // creation order
    bool readOnly = false;  // opening it for anything beyond reading is denied
    bool deleted = false;
};

struct LoadedModule {
    std::string path;
    int loadCount = 0;
    bool pinned = false;  // loaded by the process itself, never unloaded
};

// The simulated loader runs no code of the DLLs it loads: a DLL whose image holds one of
// these texts stands for one whose start-up code does what the text says (the test DLLs of
// tests/data carry the same texts, so that their bytes mean the same here as on Windows).
// Fails: returns FALSE, and the load fails with ERROR_DLL_INIT_FAILED; or, followed by
// "-WITH-" and a decimal code, the loader handles what it raised and the load fails with that
// code (an access violation gives 998).
inline constexpr std::string_view kStartUpFailsMarker = "KELVRA-START-UP-FAILS";
// Ends its process; the exit code follows in decimal digits.
inline constexpr std::string_view kStartUpExitsMarker = "KELVRA-START-UP-EXITS-";
// Raises an exception that nothing handles; its code follows in eight hex digits.
inline constexpr std::string_view kStartUpRaisesMarker = "KELVRA-START-UP-RAISES-";
// Never returns.
inline constexpr std::string_view kStartUpNeverReturnsMarker = "KELVRA-START-UP-NEVER-RETURNS";
// Sleeps for KELVRA_STARTUP_SLEEP_SECONDS of the environment (30 when it is not set; for good
// when it is "forever").
inline constexpr std::string_view kStartUpSleepsMarker = "KELVRA-START-UP-SLEEPS";
// Shows a message box and waits until it is answered.
inline constexpr std::string_view kStartUpShowsBoxMarker = "KELVRA-START-UP-SHOWS-A-BOX";
// Writes the id of the process that loads it, in decimal, to the file that
// KELVRA_LOADER_RECORD of the environment names.
inline constexpr std::string_view kStartUpRecordsProcessMarker = "KELVRA-START-UP-RECORDS-PROCESS";

// One recorded drawing operation of a RecordingSurface.
struct DrawOp {
    enum class Kind { kCls, kText, kLine };
    Kind kind = Kind::kCls;
    double x = 0;
    double y = 0;
    std::string text;  // kText
    double dx = 0;     // kLine
    double dy = 0;
    window::Color color = 0;
    std::string font;  // kText: face, size and weight
    friend bool operator==(const DrawOp&, const DrawOp&) = default;
};

class Machine {
  public:
    Machine();

    // --- File system: case-insensitive paths; relative ones are taken from the current
    // folder. Adding a file adds its folders.
    void AddFile(std::string_view path, std::string_view bytes, runtime::DateTime lastWrite = {},
                 std::uint32_t attributes = 0);
    void AddFolder(std::string_view path);
    void SetReadOnlyFolder(std::string_view path, bool readOnly);
    [[nodiscard]] File* FindFile(std::string_view path);
    [[nodiscard]] const std::map<std::string, File>& files() const { return files_; }
    [[nodiscard]] bool FolderExists(std::string_view path) const;
    bool RemoveFile(std::string_view path);
    bool RemoveFolder(std::string_view path);
    [[nodiscard]] bool FolderIsReadOnly(std::string_view path) const;
    // The canonical key of a path: absolute, upper-cased, "\" separated, no trailing "\"
    // (except after a drive).
    [[nodiscard]] std::string Canonical(std::string_view path) const;
    // The full path as spelled by the caller, made absolute.
    [[nodiscard]] std::string Absolute(std::string_view path) const;
    // Short (8.3) names, only where a test adds them: `shortName` names the existing file or
    // folder `path` too, in its folder. Every path function takes it from then on.
    void AddShortName(std::string_view path, std::string_view shortName);
    // The absolute path with each short name replaced by the long name it stands for, or the
    // other way round (names without a short one stay as spelled).
    [[nodiscard]] std::string LongForm(std::string_view path) const;
    [[nodiscard]] std::string ShortForm(std::string_view path) const;

    std::string currentDirectory = "C:\\Users\\Tester";
    std::string programFolder = "C:\\Program Files\\Kelvra";
    std::string systemFolder = "C:\\WINDOWS\\system32";
    std::string windowsFolder = "C:\\WINDOWS";
    // The known folders that platform/known_folders.h names (nullopt: the system names none).
    // The machine is a 32-bit Windows by default, with one program files folder.
    std::optional<std::string> programFilesFolder = "C:\\Program Files";
    std::optional<std::string> programFilesX86Folder;
    std::optional<std::string> userProfileFolder = "C:\\Users\\Tester";
    // Bytes the disk can still take, nullopt for any number: a write that does not fit writes
    // what fits and fails, as on a full disk.
    std::optional<std::size_t> freeDiskBytes;

    // --- Environment (names compare without regard to case).
    std::map<std::string, std::pair<std::string, std::string>>
        environment;  // upper -> (name, value)
    void SetEnv(std::string_view name, std::string_view value);
    void UnsetEnv(std::string_view name);
    [[nodiscard]] std::optional<std::string> GetEnv(std::string_view name) const;

    // --- Registry: the predefined roots and the handles opened on them.
    std::map<std::uint32_t, std::shared_ptr<RegistryNode>> registryRoots;
    std::map<registry::RawKey, std::shared_ptr<RegistryNode>> openKeys;
    // Roots that this process made stand for other keys.
    std::map<std::uint32_t, std::shared_ptr<RegistryNode>> rootOverrides;
    registry::RawKey nextKeyHandle = 0x1000;
    // Creates the key (and missing levels) below a root; for setting up tests.
    std::shared_ptr<RegistryNode> RegistryKey(std::uint32_t root, std::string_view path);

    // --- Processes and modules.
    std::uint16_t processMachine = 0x014C;        // the shipped program is a 32-bit process
    std::map<std::string, LoadedModule> modules;  // by upper-cased base name
    std::map<kernel32::RawModule, std::string> moduleHandles;  // handle -> upper base name
    kernel32::RawModule nextModuleHandle = 0x10000000;
    std::uint32_t lastError = 0;
    std::optional<kernel32::OsVersionInfo> osVersion = kernel32::OsVersionInfo{5, 1, 2600, 2};
    std::map<std::uint32_t, std::string> messageTexts;  // code -> text with CR LF
    // Loads (or references) a module already in the table or a file found by path.
    kernel32::RawModule AddLoadedModule(std::string_view path);

    // The process the simulated code runs in: the program's own, or a probe process that it
    // started (platform/library_probe.h), which has ids from nextProcessId on.
    std::uint32_t currentProcessId = 1000;
    std::uint32_t nextProcessId = 2000;
    // The texts of the boxes that DLLs' start-up code showed in probe processes.
    std::vector<std::string> probeWindows;

    // Runs where a DLL's start-up code would: on the loading thread, inside LoadLibrary,
    // whenever it maps a module that was not loaded. Tests count loads or block one here.
    std::function<void(const std::string& path)> libraryStartup;

    // --- The closed library: present or not, and what its function does.
    bool closedLibraryPresent = true;
    std::function<void(std::string& name, std::string& pathBuffer)> findFileInPath;

    // --- Clock and locale.
    runtime::DateTime now{2026, 12, 8, 9, 15, 0};
    runtime::DateTime nowUtc{2026, 12, 8, 8, 15, 0};
    std::string shortDateFormat = "M/d/yyyy";

    // --- The program's start: its arguments and the standard handles its parent passed
    // (nullopt: none).
    std::vector<std::string> programArguments;
    std::optional<std::string> standardOutput;
    std::optional<std::string> standardError;
    bool systemErrorBoxesSuppressed = false;
    std::string computerName = "KELVRA-SIM";

    // --- Window run-time.
    std::optional<std::string> clipboard;
    bool clipboardFails = false;
    std::vector<std::string> messageBoxes;
    bool programEnded = false;
    // Every surface leaks its font: for showing that the leak checks catch a leak.
    bool surfacesLeakTheirFont = false;
    // The screen the window opens on: its work area and DPI, and what the window's frame
    // adds around the client area at that DPI.
    window::Rect workArea{0, 0, 1920, 1040};
    int dpi = window::kDefaultDpi;
    window::FrameInsets windowFrame{8, 31, 8, 8};

  private:
    struct ShortName {
        std::string longCanonical;  // the canonical path of what it names
        std::string longName;       // the last element of that path, as spelled
    };
    // `convert` gets each element's canonical path and its spelling; it returns the element's
    // spelling in the result and may change the canonical path that the next one extends.
    template <typename Convert>
    std::string EachElement(std::string_view path, Convert convert) const;

    std::map<std::string, File> files_;                 // by canonical path
    std::map<std::string, bool> folders_;               // canonical path -> read-only
    std::map<std::string, ShortName> shortNames_;       // canonical short path -> the long one
    std::map<std::string, std::string> shortSpelling_;  // canonical long path -> its short name
};

// The one simulated machine.
Machine& machine();
// Replaces it with a fresh default machine.
void Reset();

// A simulated GDI object (the surface's font), counted like the real ones.
struct SimGdiObjectTraits : gui::CountedGdi {
    using pointer = std::uintptr_t;
    static constexpr pointer invalid() noexcept { return 0; }
    static void close(pointer) noexcept { gui::CountGdiObject(-1); }
};
using SimGdiObject = UniqueHandle<SimGdiObjectTraits>;

// The surface of the simulated window: records every operation with its coordinates.
class RecordingSurface : public window::OffscreenSurface {
  public:
    explicit RecordingSurface(double widthTwips, int dpi = window::kDefaultDpi);

    void Cls() override;
    void Print(std::string_view text, bool endLine) override;
    [[nodiscard]] double CurrentX() const override { return x_; }
    void SetCurrentX(double x) override { x_ = x; }
    [[nodiscard]] double CurrentY() const override { return y_; }
    void SetCurrentY(double y) override { y_ = y; }
    [[nodiscard]] double Width() const override { return width_; }
    void Line(double x1, double y1, double dx, double dy, window::Color color) override;
    [[nodiscard]] double TwipsPerPixelY() const override { return 1440.0 / dpi_; }
    // The bottom of the lowest text line or line recorded since the last Cls.
    [[nodiscard]] double DrawnHeightTwips() const override;
    // The same operations on a surface of that DPI.
    [[nodiscard]] std::unique_ptr<window::OffscreenSurface> RedrawnAt(int dpi) const override;

    [[nodiscard]] const std::vector<DrawOp>& ops() const { return ops_; }
    // The texts drawn, in order.
    [[nodiscard]] std::vector<std::string> Texts() const;

    static constexpr double kLineHeight = 195.0;
    static double TextWidth(std::string_view text);

  private:
    double width_;
    int dpi_;
    double x_ = 0;
    double y_ = 0;
    std::vector<DrawOp> ops_;
    SimGdiObject font_;
};

}  // namespace platform::sim
