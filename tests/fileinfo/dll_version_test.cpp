// CDLLVersion and its probes against the platform at hand: where files are found, their
// version, size and date, and the type-library registration rules.
#include "fileinfo/dll_version.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "fileinfo/file_probes.h"
#include "fileinfo/version_text.h"
#include "platform/kernel32.h"
#include "platform/registry.h"
#include "platform/runtime.h"
#include "platform/text.h"
#include "report/file_table.h"
#include "support/scratch_folder.h"
#include "support/test_data.h"

namespace {

using kelvra::test::NativeArchFolder;
using kelvra::test::OtherArchFolder;
using kelvra::test::ScratchFolder;
using kelvra::test::TestDataBytes;
namespace reg = platform::registry;
namespace rt = platform::runtime;

std::string NativeDll(std::string_view name) {
    return std::string(NativeArchFolder()) + "/" + std::string(name);
}

struct Loaded {
    std::string module;
    std::string clsidVersion;
    long ierr = 0;
    // On the heap, so that the object keeps its locator when a result is moved.
    std::unique_ptr<fileinfo::FileLocator> locator = std::make_unique<fileinfo::FileLocator>();
    fileinfo::CDLLVersion version{*locator};
};

Loaded Load(std::string module, std::string clsid = "", std::string clsidVersion = "") {
    Loaded result;
    report::clsVersionLoadFileInfo(result.version, module, clsid, clsidVersion, result.ierr);
    result.module = module;
    result.clsidVersion = clsidVersion;
    return result;
}

// A folder of DLLs put on the process PATH for the test.
class PathFolder {
  public:
    explicit PathFolder(const ScratchFolder& scratch)
        : path_(scratch / "onpath"), previous_(rt::Environ("PATH")) {
        rt::CreateDirectory(path_);
        rt::SetEnviron("PATH", previous_ + ";" + path_);
    }
    PathFolder(const PathFolder&) = delete;
    PathFolder& operator=(const PathFolder&) = delete;
    ~PathFolder() { rt::SetEnviron("PATH", previous_); }

    [[nodiscard]] std::string PathOf(std::string_view name) const {
        return path_ + "\\" + std::string(name);
    }

    std::string Add(std::string_view testFile, std::string_view name) const {
        const std::string target = PathOf(name);
        EXPECT_TRUE(rt::WriteFileBytes(target, TestDataBytes(testFile)));
        return target;
    }

  private:
    std::string path_;
    std::string previous_;
};

// The test DLL with version 2.0.50727.42, and a date that the tests give their copies of it.
constexpr std::string_view kVer2Version = "2.0.50727.42";
constexpr rt::DateTime kKnownDate{2021, 6, 5, 14, 30, 10};

std::int64_t Ver2Size() {
    return static_cast<std::int64_t>(TestDataBytes(NativeDll("kelvra_ver2.dll")).size());
}

// A copy of that DLL in the scratch folder under a name of the test's, loaded by the test
// itself for as long as the object lives, so that a lookup by name finds the loaded copy.
class LoadedProbe {
  public:
    LoadedProbe(const ScratchFolder& scratch, std::string_view name) : path_(scratch / name) {
        EXPECT_TRUE(rt::WriteFileBytes(path_, TestDataBytes(NativeDll("kelvra_ver2.dll"))));
        EXPECT_TRUE(rt::SetFileDateTime(path_, kKnownDate));
        module_ = platform::kernel32::LoadLibrary(path_);
        EXPECT_TRUE(module_) << path_;
    }
    [[nodiscard]] const std::string& path() const { return path_; }

  private:
    std::string path_;
    platform::kernel32::Module module_;
};

TEST(LoadFileInfo, ABlankNameGivesTheEmptyRow) {
    ScratchFolder scratch;
    const Loaded loaded = Load("   ");
    EXPECT_EQ(loaded.ierr, 0);
    EXPECT_EQ(loaded.version.FilePathName(), "");
    EXPECT_EQ(loaded.version.FileRegistrationInfo(), "");
    EXPECT_EQ(loaded.version.FileVersion(), "");
    EXPECT_EQ(loaded.version.FileSize(), 0);
    EXPECT_TRUE(loaded.version.FileDate().IsZero());
}

TEST(LoadFileInfo, ANameFoundNowhereIsUnableToLocate) {
    ScratchFolder scratch;
    const Loaded loaded = Load("KelvraNowhere.ocx");
    EXPECT_EQ(loaded.ierr, 0);
    EXPECT_EQ(loaded.version.FilePathName(), "Unable to locate KelvraNowhere.ocx");
    EXPECT_EQ(loaded.version.FileRegistrationInfo(), "");
    EXPECT_EQ(loaded.version.FileVersion(), "");
    EXPECT_EQ(loaded.version.FileSize(), 0);
    EXPECT_TRUE(loaded.version.FileDate().IsZero());
}

TEST(LoadFileInfo, ADllAlreadyLoadedIsDescribedByItsLoadedCopy) {
    ScratchFolder scratch;
    const LoadedProbe probe(scratch, "KelvraLoadedProbe.dll");
    const Loaded loaded = Load("KelvraLoadedProbe.dll");
    EXPECT_EQ(loaded.ierr, 0);
    EXPECT_TRUE(platform::text::EqualsIgnoringCase(loaded.version.FilePathName(), probe.path()))
        << loaded.version.FilePathName();
    EXPECT_EQ(loaded.version.FileRegistrationInfo(), "n/a");
    EXPECT_EQ(loaded.version.FileVersion(), kVer2Version);
    EXPECT_EQ(loaded.version.FileSize(), Ver2Size());
    EXPECT_EQ(loaded.version.FileDate(), kKnownDate);
}

TEST(LoadFileInfo, GDI32IsTheCopyThisWindowedProcessHasLoaded) {
    ScratchFolder scratch;
    const Loaded loaded = Load("GDI32.dll");
    EXPECT_EQ(loaded.ierr, 0);
    const std::string& path = loaded.version.FilePathName();
    EXPECT_TRUE(path.size() > 20 && platform::text::EqualsIgnoringCase(
                                        path.substr(path.size() - 19), "\\system32\\GDI32.dll"))
        << path;
    EXPECT_EQ(loaded.version.FileRegistrationInfo(), "n/a");
    EXPECT_FALSE(loaded.version.FileDate().IsZero());
    if (!kelvra::test::kSimulated) {  // the simulated machine's copy is a stub
        EXPECT_EQ(std::count(loaded.version.FileVersion().begin(),
                             loaded.version.FileVersion().end(), '.'),
                  3)
            << loaded.version.FileVersion();
        EXPECT_GT(loaded.version.FileSize(), 4096);
    }
}

TEST(LoadFileInfo, ADllFoundThroughThePath) {
    ScratchFolder scratch;
    PathFolder folder(scratch);
    const std::string path = folder.Add(NativeDll("kelvra_ver2.dll"), "KelvraPathProbe.dll");
    ASSERT_TRUE(rt::SetFileDateTime(path, kKnownDate));
    const Loaded loaded = Load("KelvraPathProbe.dll");
    EXPECT_EQ(loaded.ierr, 0);
    EXPECT_TRUE(platform::text::EqualsIgnoringCase(loaded.version.FilePathName(), path))
        << loaded.version.FilePathName();
    EXPECT_EQ(loaded.version.FileRegistrationInfo(), "n/a");
    EXPECT_EQ(loaded.version.FileVersion(), kVer2Version);
    EXPECT_EQ(loaded.version.FileSize(), Ver2Size());
    EXPECT_EQ(loaded.version.FileDate(), kKnownDate);
    // The probe loaded it only to locate it.
    EXPECT_EQ(platform::kernel32::GetModuleHandle("KelvraPathProbe.dll"), 0u);
}

// A copy that lies in a folder of the library search but cannot be loaded: the row names the
// copy and the reason, with its date, size and version, and the diagnosis keeps the details.
class CopyThatCannotBeLoaded : public ::testing::Test {
  protected:
    // Puts `bytes` on the PATH as `name`, dated kKnownDate, and loads the file's information.
    Loaded Place(std::string_view name, const std::string& bytes) {
        path_ = folder_.PathOf(name);
        EXPECT_TRUE(rt::WriteFileBytes(path_, bytes));
        EXPECT_TRUE(rt::SetFileDateTime(path_, kKnownDate));
        return Load(std::string(name));
    }

    // The row's path text: "Can't load ", the copy's path, ": " and a reason of the system's
    // (no insert left in it).
    void ExpectCantLoadRow(const Loaded& loaded, std::int64_t size) const {
        EXPECT_EQ(loaded.ierr, 0);
        const std::string& text = loaded.version.FilePathName();
        const std::string head = "Can't load " + path_ + ": ";
        ASSERT_TRUE(platform::text::EqualsIgnoringCase(text.substr(0, head.size()), head)) << text;
        EXPECT_GT(text.size(), head.size() + 3) << text;
        EXPECT_EQ(text.find("%1"), std::string::npos) << text;
        EXPECT_EQ(loaded.version.FileRegistrationInfo(), "n/a");
        EXPECT_EQ(loaded.version.FileSize(), size);
        EXPECT_EQ(loaded.version.FileDate(), kKnownDate);
        const fileinfo::LoadDiagnosis& diagnosis = loaded.version.Diagnosis();
        EXPECT_TRUE(diagnosis.loadFailed);
        EXPECT_NE(diagnosis.loadError, 0u) << text;
        EXPECT_TRUE(platform::text::EqualsIgnoringCase(diagnosis.copyPath, path_))
            << diagnosis.copyPath;
    }

    static fileinfo::MachineKind MachineOf(std::string_view archFolder) {
        return archFolder == "x86" ? fileinfo::MachineKind::kX86 : fileinfo::MachineKind::kX64;
    }

    ScratchFolder scratch_;
    PathFolder folder_{scratch_};
    std::string path_;
};

TEST_F(CopyThatCannotBeLoaded, FilesThatAreNoImage) {
    const std::string dll = TestDataBytes(NativeDll("kelvra_ver2.dll"));
    // The truncated copy keeps its headers, so its machine can still be read.
    const struct {
        std::string name;
        std::string bytes;
        fileinfo::MachineKind machine;
    } copies[] = {{"KelvraEmpty.ocx", "", fileinfo::MachineKind::kUnknown},
                  {"KelvraText.ocx", "This is not a program.\r\n", fileinfo::MachineKind::kUnknown},
                  {"KelvraTruncated.ocx", dll.substr(0, 300), MachineOf(NativeArchFolder())}};
    for (const auto& copy : copies) {
        SCOPED_TRACE(copy.name);
        const Loaded loaded = Place(copy.name, copy.bytes);
        ExpectCantLoadRow(loaded, static_cast<std::int64_t>(copy.bytes.size()));
        EXPECT_EQ(loaded.version.FileVersion(), "");
        EXPECT_EQ(loaded.version.Diagnosis().copyMachine, copy.machine);
        EXPECT_FALSE(loaded.version.Diagnosis().copyCanBeLoaded);
    }
}

TEST_F(CopyThatCannotBeLoaded, ACopyOfTheOtherMachine) {
    const std::string bytes = TestDataBytes(std::string(OtherArchFolder()) + "/kelvra_ver6.dll");
    const Loaded loaded = Place("KelvraOtherArch.dll", bytes);
    ExpectCantLoadRow(loaded, static_cast<std::int64_t>(bytes.size()));
    EXPECT_EQ(loaded.version.FileVersion(), "6.0.8169.0");
    const fileinfo::LoadDiagnosis& diagnosis = loaded.version.Diagnosis();
    EXPECT_EQ(diagnosis.loadError, 193u)  // not a valid image for this process
        << loaded.version.FilePathName();
    EXPECT_EQ(diagnosis.copyMachine, MachineOf(OtherArchFolder()));
    EXPECT_FALSE(diagnosis.copyCanBeLoaded);
    EXPECT_EQ(diagnosis.missingImport, "");
}

TEST_F(CopyThatCannotBeLoaded, ACopyWhoseDependencyIsMissingNamesIt) {
    const std::string bytes = TestDataBytes(NativeDll("kelvra_badimport.dll"));
    const Loaded loaded = Place("KelvraNeedsMore.dll", bytes);
    ExpectCantLoadRow(loaded, static_cast<std::int64_t>(bytes.size()));
    const fileinfo::LoadDiagnosis& diagnosis = loaded.version.Diagnosis();
    EXPECT_EQ(diagnosis.loadError, 126u);
    EXPECT_EQ(diagnosis.missingImport, "kelvra_missing_dependency.dll");
    EXPECT_EQ(diagnosis.copyMachine, MachineOf(NativeArchFolder()));
    EXPECT_FALSE(diagnosis.copyCanBeLoaded);
    EXPECT_TRUE(loaded.version.FilePathName().ends_with(
        ": it needs kelvra_missing_dependency.dll, which cannot be found"))
        << loaded.version.FilePathName();
}

TEST_F(CopyThatCannotBeLoaded, ACopyWhoseStartUpCodeFails) {
    const std::string bytes = TestDataBytes(NativeDll("kelvra_initfails.dll"));
    const Loaded loaded = Place("KelvraStartUpFails.dll", bytes);
    ExpectCantLoadRow(loaded, static_cast<std::int64_t>(bytes.size()));
    const fileinfo::LoadDiagnosis& diagnosis = loaded.version.Diagnosis();
    EXPECT_EQ(diagnosis.loadError, 1114u);  // the initialisation routine failed
    // Its bytes are fine: only running it tells.
    EXPECT_TRUE(diagnosis.copyCanBeLoaded);
    EXPECT_EQ(diagnosis.missingImport, "");
}

TEST_F(CopyThatCannotBeLoaded, ACopyHeldOpenByAnotherProgram) {
    const std::string bytes = TestDataBytes(NativeDll("kelvra_ver2.dll"));
    path_ = folder_.PathOf("KelvraInUse.ocx");
    ASSERT_TRUE(rt::WriteFileBytes(path_, bytes));
    ASSERT_TRUE(rt::SetFileDateTime(path_, kKnownDate));
    const auto held = rt::ExclusiveFile::Open(path_);
    ASSERT_TRUE(held);
    const Loaded loaded = Load("KelvraInUse.ocx");
    ExpectCantLoadRow(loaded, static_cast<std::int64_t>(bytes.size()));
    EXPECT_EQ(loaded.version.Diagnosis().loadError, 32u);  // a sharing violation
}

// Start-up code that would take the report with it runs in the probe process, which ends
// or is ended; the row names the copy and what its start-up code did.
TEST_F(CopyThatCannotBeLoaded, WhateverItsStartUpCodeDoesTheReportGoesOn) {
    using Kind = platform::library_probe::Ending::Kind;
    constexpr int kLimit = 2;
    constexpr std::uint32_t kErrorStackOverflow = 1001;
    rt::SetEnviron("KELVRA_STARTUP_SLEEP_SECONDS", "1");  // within the limit
    const struct {
        std::string dll;
        std::string reason;  // "" for a file that loads
        Kind ending;
    } cases[] = {
        {"kelvra_startup_exits.dll", "its start-up code ended the program (exit code 7)",
         Kind::kExited},
        {"kelvra_startup_terminates.dll", "its start-up code ended the program (exit code 9)",
         Kind::kExited},
        {"kelvra_startup_overflows.dll", "its start-up code raised exception 0xC00000FD",
         Kind::kException},
        {"kelvra_startup_hangs.dll", "its start-up code did not finish within 2 s",
         Kind::kTimedOut},
        // The loader itself handles the access violation: an ordinary failed load.
        {"kelvra_startup_null.dll", fileinfo::GetErrorText(998), Kind::kAnswered},
        {"kelvra_startup_sleep.dll", "", Kind::kAnswered},
        {"kelvra_startup_box.dll", "", Kind::kAnswered},  // answered: a window run's rule
        {"kelvra_ver2.dll", "", Kind::kAnswered},         // a new probe took over after the others
    };
    platform::library_probe::Options options;
    options.limitSeconds = kLimit;
    options.waitWhileProbeShowsWindow = true;
    fileinfo::FileLocator locator(options);
    fileinfo::CDLLVersion version(locator);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dll);
        const std::string name = "KelvraStartUp" + std::to_string(&c - cases) + ".dll";
        path_ = folder_.Add(NativeDll(c.dll), name);
        std::string module = name;
        std::string none;
        std::string noVersion;
        version.LoadFileInfo(module, none, noVersion);
        const std::string& row = version.FilePathName();
        if (c.reason.empty()) {
            EXPECT_TRUE(platform::text::EqualsIgnoringCase(row, path_)) << row;
            continue;
        }
        // Wine's 32-bit loader handles a stack overflow in start-up code itself, as it does an
        // access violation; its 64-bit one lets it end the process.
        const bool loaderHandledOverflow =
            c.ending == Kind::kException && version.Diagnosis().loadError == kErrorStackOverflow;
        const std::string reason =
            loaderHandledOverflow ? fileinfo::GetErrorText(kErrorStackOverflow) : c.reason;
        EXPECT_TRUE(platform::text::EqualsIgnoringCase(row, "Can't load " + path_ + ": " + reason))
            << row;
        EXPECT_EQ(version.FileRegistrationInfo(), "n/a");
        EXPECT_GT(version.FileSize(), 0);
        EXPECT_EQ(version.Diagnosis().probe.kind,
                  loaderHandledOverflow ? Kind::kAnswered : c.ending);
    }
    rt::UnsetEnviron("KELVRA_STARTUP_SLEEP_SECONDS");
}

// The probe, not the report's own process, is where a file's start-up code runs.
TEST_F(CopyThatCannotBeLoaded, NoStartUpCodeRunsInTheReportsOwnProcess) {
    const std::string record = scratch_ / "loader.txt";
    rt::SetEnviron("KELVRA_LOADER_RECORD", record);
    path_ = folder_.Add(NativeDll("kelvra_startup_records.dll"), "KelvraRecordsLoader.dll");
    const Loaded loaded = Load("KelvraRecordsLoader.dll");
    rt::UnsetEnviron("KELVRA_LOADER_RECORD");
    EXPECT_TRUE(platform::text::EqualsIgnoringCase(loaded.version.FilePathName(), path_));
    const auto loader = rt::ReadFileBytes(record);
    ASSERT_TRUE(loader) << "the DLL's start-up code ran nowhere";
    EXPECT_FALSE(loader->empty());
    EXPECT_NE(*loader, std::to_string(platform::kernel32::CurrentProcessId()));
}

TEST(LoadFileInfo, AFileFoundNowhereKeepsItsRowAndTellsTheLoadError) {
    ScratchFolder scratch;
    const Loaded loaded = Load("KelvraNowhere.dll");
    EXPECT_EQ(loaded.version.FilePathName(), "Unable to locate KelvraNowhere.dll");
    EXPECT_EQ(loaded.version.FileRegistrationInfo(), "");
    EXPECT_TRUE(loaded.version.Diagnosis().loadFailed);
    EXPECT_EQ(loaded.version.Diagnosis().loadError, 126u);
    EXPECT_EQ(loaded.version.Diagnosis().copyPath, "");
}

TEST(LoadFileInfo, AnExeIsSearchedInTheCurrentFolderOnly) {
    ScratchFolder scratch;
    ASSERT_TRUE(
        rt::WriteFileBytes(scratch / "setup.Exe", TestDataBytes(NativeDll("kelvra_ver6.dll"))));
    const Loaded loaded = Load("setup.Exe");
    EXPECT_EQ(loaded.version.FilePathName(), scratch / "setup.Exe");
    EXPECT_EQ(loaded.version.FileRegistrationInfo(), "n/a");
    EXPECT_EQ(loaded.version.FileVersion(), "6.0.8169.0");

    // Found by its full path too, and nowhere else when it is not there.
    EXPECT_EQ(Load(scratch / "setup.Exe").version.FilePathName(), scratch / "setup.Exe");
    EXPECT_EQ(Load(scratch / "absent.exe").version.FilePathName(),
              "Unable to locate " + (scratch / "absent.exe"));
    EXPECT_EQ(Load("kelvra_tests.exe").version.FilePathName(), "Unable to locate kelvra_tests.exe");
}

TEST(FileProbes, VersionTextOfFiles) {
    ScratchFolder scratch;
    const std::string ver2 = scratch / "ver2.dll";
    const std::string nover = scratch / "nover.dll";
    ASSERT_TRUE(rt::WriteFileBytes(ver2, TestDataBytes(NativeDll("kelvra_ver2.dll"))));
    ASSERT_TRUE(rt::WriteFileBytes(nover, TestDataBytes(NativeDll("kelvra_nover.dll"))));
    EXPECT_EQ(fileinfo::GetFileVersionString(ver2), "2.0.50727.42");
    EXPECT_EQ(fileinfo::GetFileVersionString(nover), "");
    EXPECT_EQ(fileinfo::GetFileVersionString("Unable to locate"), "");
    EXPECT_EQ(fileinfo::FormatFileVersion(0x00020000, 0xC6270000), "2.0.50727.0");
    EXPECT_EQ(fileinfo::FormatFileVersion(0xFFFFFFFF, 0x00010002), "65535.65535.1.2");
}

TEST(FileProbes, ErrorTextsWithoutTheirLineEnd) {
    const auto message = platform::kernel32::FormatSystemMessage(2);
    ASSERT_TRUE(message.has_value());
    const std::string text = fileinfo::GetErrorText(2);
    EXPECT_FALSE(text.empty());
    EXPECT_EQ(text + message->substr(text.size()), *message);
    EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos);
    EXPECT_EQ(fileinfo::GetErrorText(0x2000FFFF), "");
}

TEST(FileProbes, VersionNumbersReadWithAPointWhateverTheLocale) {
    float number = 0;
    EXPECT_TRUE(fileinfo::ReadVersionNumber("1.0", number));
    EXPECT_EQ(number, 1.0f);
    EXPECT_TRUE(fileinfo::ReadVersionNumber("10.5", number));
    EXPECT_EQ(number, 10.5f);
    EXPECT_TRUE(fileinfo::ReadVersionNumber("409", number));
    EXPECT_FALSE(fileinfo::ReadVersionNumber("1,0", number));
    EXPECT_FALSE(fileinfo::ReadVersionNumber("FLAGS", number));
    EXPECT_FALSE(fileinfo::ReadVersionNumber("", number));
    EXPECT_FALSE(fileinfo::ReadVersionNumber("inf", number));
    EXPECT_FALSE(fileinfo::ReadVersionNumber("2.0a", number));
}

// Type-library registrations of the test's own, written through the classes root.
class TypeLibraries : public ::testing::Test {
  protected:
    static constexpr const char* kClsid = "{7C1E2A90-5B3D-4F61-9E2A-1D0C8B7A6F51}";

    void SetUp() override { Remove(); }
    void TearDown() override { Remove(); }

    // A located file: the test's own loaded DLL.
    static constexpr const char* kLocated = "KelvraTypeLibProbe.dll";
    ScratchFolder scratch_;
    LoadedProbe probe_{scratch_, kLocated};

    static std::uint32_t WritableRoot() { return reg::kClassesRoot; }
    static std::string WritablePath(std::string_view below) {
        return std::string("TypeLib\\") + kClsid + (below.empty() ? "" : "\\") + std::string(below);
    }
    static void Remove() { reg::DeleteTree(reg::PredefinedKey(WritableRoot()), WritablePath("")); }

    static void AddKey(std::string_view below) {
        reg::Key key;
        ASSERT_EQ(reg::CreateKey(reg::PredefinedKey(WritableRoot()), WritablePath(below), key), 0);
    }
    static void AddWin32Path(std::string_view version, std::string_view path) {
        reg::Key key;
        ASSERT_EQ(reg::CreateKey(reg::PredefinedKey(WritableRoot()),
                                 WritablePath(std::string(version) + "\\0\\Win32"), key),
                  0);
        const auto data = platform::text::EncodeRegistryString(path);
        ASSERT_EQ(reg::SetValue(key.get(), "", reg::kRegSz, data), 0);
    }
    static std::string TypeLibPath() { return std::string("TypeLib\\") + kClsid; }
};

TEST_F(TypeLibraries, FindRegSubKeyPrefersTheExactNameThenTheHighestNumber) {
    for (const char* name : {"1.0", "2.0", "10.0", "FLAGS"}) {
        AddKey(name);
    }
    EXPECT_EQ(fileinfo::FindRegSubKey("-2147483648", TypeLibPath(), "2.0"), "2.0");
    EXPECT_EQ(fileinfo::FindRegSubKey("-2147483648", TypeLibPath(), "3.0"), "10.0");
    EXPECT_EQ(fileinfo::FindRegSubKey("-2147483648", TypeLibPath(), "2"), "10.0");
    EXPECT_EQ(fileinfo::FindRegSubKey("-2147483648", TypeLibPath(), "FLAGS"), "FLAGS");
    EXPECT_EQ(fileinfo::FindRegSubKey("0", TypeLibPath(), "2.0"), "");
    EXPECT_EQ(fileinfo::FindRegSubKey("-2147483641", TypeLibPath(), "2.0"), "");
    EXPECT_EQ(fileinfo::FindRegSubKey("-2147483648", TypeLibPath() + "\\none", "2.0"), "");
}

TEST_F(TypeLibraries, RegisteredUnderAnotherVersion) {
    AddWin32Path("1.1", "C:\\Registered\\Other.dll");
    const Loaded loaded = Load(kLocated, kClsid, "1.0");
    EXPECT_EQ(loaded.ierr, 0);
    EXPECT_EQ(loaded.clsidVersion, "1.1");
    EXPECT_EQ(loaded.version.FileRegistrationInfo(), "Ver 1.1");
    EXPECT_EQ(loaded.version.FilePathName(), "C:\\Registered\\Other.dll");
    // The version, size and date still come from the file that was located.
    EXPECT_EQ(loaded.version.FileVersion(), kVer2Version);
    EXPECT_EQ(loaded.version.FileSize(), Ver2Size());
    EXPECT_EQ(loaded.version.FileDate(), kKnownDate);
}

TEST_F(TypeLibraries, TheSameVersionWrittenOtherwiseIsOk) {
    AddWin32Path("1.00", "C:\\Registered\\Same.dll");
    const Loaded loaded = Load(kLocated, kClsid, "1.0");
    EXPECT_EQ(loaded.clsidVersion, "1.00");
    EXPECT_EQ(loaded.version.FileRegistrationInfo(), "OK");
    EXPECT_EQ(loaded.version.FilePathName(), "C:\\Registered\\Same.dll");
}

TEST_F(TypeLibraries, NoVersionSubkeyIsNotRegistered) {
    AddKey("");
    const Loaded loaded = Load(kLocated, kClsid, "1.0");
    EXPECT_EQ(loaded.version.FileRegistrationInfo(), "Not Registered");
    EXPECT_TRUE(platform::text::EqualsIgnoringCase(loaded.version.FilePathName(), probe_.path()))
        << loaded.version.FilePathName();
    EXPECT_EQ(Load(kLocated, "{00000000-0000-0000-0000-00000000DEAD}", "1.0")
                  .version.FileRegistrationInfo(),
              "Not Registered");
}

TEST_F(TypeLibraries, AWin32KeyWithoutPathIsImpossible) {
    AddKey("1.0\\0\\Win32");
    const Loaded loaded = Load(kLocated, kClsid, "1.0");
    EXPECT_EQ(loaded.version.FileRegistrationInfo(), "impossible");
}

TEST_F(TypeLibraries, NoLanguageSubkeyIsIncomplete) {
    AddKey("1.0\\FLAGS");
    EXPECT_EQ(Load(kLocated, kClsid, "1.0").version.FileRegistrationInfo(), "impossible");
    EXPECT_EQ(Load("KelvraNowhere.ocx", kClsid, "1.0").version.FileRegistrationInfo(), "");
}

TEST_F(TypeLibraries, AWantedVersionThatIsNoNumberFailsTheLoad) {
    AddKey("1.0\\0\\Win32");
    const Loaded loaded = Load(kLocated, kClsid, "");
    EXPECT_EQ(loaded.ierr, -1);
}

TEST_F(TypeLibraries, ReadRegValueReadsDwordsAndLongTexts) {
    AddKey("values");
    reg::Key key;
    ASSERT_EQ(reg::OpenKey(reg::PredefinedKey(WritableRoot()), WritablePath("values"),
                           reg::kKeyAllAccess, key),
              0);
    const std::uint8_t seven[4] = {7, 0, 0, 0};
    const std::uint8_t big[4] = {0xD2, 0x04, 0, 0};
    ASSERT_EQ(reg::SetValue(key.get(), "seven", reg::kRegDword, seven), 0);
    ASSERT_EQ(reg::SetValue(key.get(), "big", reg::kRegDword, big), 0);
    const std::string longPath = "C:\\" + std::string(300, 'p');
    ASSERT_EQ(
        reg::SetValue(key.get(), "", reg::kRegSz, platform::text::EncodeRegistryString(longPath)),
        0);
    ASSERT_EQ(reg::SetValue(key.get(), "expand", reg::kRegExpandSz,
                            platform::text::EncodeRegistryString("%SystemRoot%\\x")),
              0);
    const std::string path = TypeLibPath() + "\\values";
    EXPECT_EQ(fileinfo::ReadRegValue(reg::kClassesRoot, path, "seven"), "007");
    EXPECT_EQ(fileinfo::ReadRegValue(reg::kClassesRoot, path, "big"), "1234");
    EXPECT_EQ(fileinfo::ReadRegValue(reg::kClassesRoot, path, ""), longPath);
    EXPECT_EQ(fileinfo::ReadRegValue(reg::kClassesRoot, path, "expand"), "%SystemRoot%\\x");
    EXPECT_EQ(fileinfo::ReadRegValue(reg::kClassesRoot, path, "missing"), "");
    EXPECT_EQ(fileinfo::ReadRegValue(0x80000007u, path, ""), "");
}

}  // namespace
