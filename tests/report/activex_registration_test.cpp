// Whether each ActiveX control is registered for the copy the report found: the verdict rules
// and their lines, and on the platform at hand whole unattended runs with the test control
// registered in the redirected HKEY_CLASSES_ROOT in each way: the block, the JSON, the exit code.
#include "report/activex_registration.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include <nlohmann/json.hpp>

#include "pathcheck/path_fixture.h"
#include "platform/kernel32.h"
#include "report/file_table.h"
#include "report/install_folder_checks.h"
#include "report/unattended_run.h"
#include "support/machine_isolation.h"
#include "support/test_control.h"
#include "support/test_data.h"

namespace {

namespace reg = platform::registry;
namespace rt = platform::runtime;
using nlohmann::json;
using report::EntryTarget;

report::RegistrationEntry Entry(EntryTarget target, std::string path = "C:\\A.OCX") {
    return {target == EntryTarget::kNoEntry ? std::nullopt : std::optional(path), path, target};
}

TEST(RegistrationVerdict, TheFirstThatAppliesAndItsLine) {
    const auto none = Entry(EntryTarget::kNoEntry);
    const auto here = Entry(EntryTarget::kThisCopy);
    const auto missing = [](std::string path) { return Entry(EntryTarget::kMissingFile, path); };
    const auto other = [](std::string path) { return Entry(EntryTarget::kOtherFile, path); };
    struct Case {
        report::RegistrationEntry typeLibrary;
        std::vector<report::RegistrationEntry> classes;
        const char* line;
    };
    const Case cases[] = {
        {here, {here, here}, "X.OCX: registered"},
        {here, {}, "X.OCX: registered"},
        {none, {none, none}, "X.OCX: not registered"},
        {here,
         {other("C:\\B.OCX"), missing("C:\\Old\\A.OCX")},
         "X.OCX: registered to a copy that is missing: C:\\Old\\A.OCX"},
        {missing("C:\\Old\\L.OCX"),
         {missing("C:\\Old\\A.OCX")},
         "X.OCX: registered to a copy that is missing: C:\\Old\\L.OCX"},
        {none,
         {other("C:\\B.OCX"), other("C:\\C.OCX")},
         "X.OCX: registered to another copy: C:\\B.OCX"},
        {here, {here, none}, "X.OCX: partly registered: 1 of 2 classes"},
        {none,
         {here, none},
         "X.OCX: partly registered: 1 of 2 classes, type library not registered"},
        {none, {here}, "X.OCX: partly registered: 1 of 1 class, type library not registered"},
    };
    for (const Case& c : cases) {
        report::ControlRegistration registration;
        registration.typeLibrary = c.typeLibrary;
        for (const auto& entry : c.classes) {
            registration.classes.push_back({"{id}", "Class", entry});
        }
        report::ChooseVerdict(registration);
        EXPECT_EQ(report::RegistrationLine("X.OCX", registration), c.line);
    }
}

// A default value to register: its type and its text, in which "{copy}" stands for the copy on
// the PATH, "{lower}" for it in small letters, "{short}" for its short path, "{other}" for
// another existing copy and "{missing}" for a copy that is not there. kRegNone: no entry.
struct Stored {
    std::uint32_t type = reg::kRegNone;
    std::string text;
};
Stored Sz(std::string text) {
    return {reg::kRegSz, std::move(text)};
}
Stored ExpandSz(std::string text) {
    return {reg::kRegExpandSz, std::move(text)};
}

// The test control on the PATH under a name of the list, the other files of the list there as
// plain DLLs, and (where that changes no real machine) the install folder: then the exit code
// turns on the registration alone.
class ActiveXRegistrationRun : public kelvra::test::PathFixture {
  protected:
    void SetUp() override {
        PathFixture::SetUp();
        Unregister();
        onPath_ = ScratchSubfolder("onpath");
        for (std::string_view name : report::kFileList) {
            if (name != "GDI32.dll") {
                PlacePlainDll(name);
            }
        }
        installFolderArranged_ = kelvra::test::kSimulated || kelvra::test::RunningUnderWine();
        if (installFolderArranged_) {
            EnsureFolder(std::string(report::kInstallFolder));
        }
        SetProcessPath(rt::Environ("PATH") + ";" + onPath_ + ";" +
                       std::string(report::kInstallFolder));
    }
    void TearDown() override {
        Unregister();
        PathFixture::TearDown();
    }

    // The keys as regsvr32 writes them in this process's view: version and locale in hex.
    static std::string Key(char which) {
        const std::string id = "{6F1D2C3B-4A59-4E87-B0C6-3D2E1F0A9B";
        if (which == 'L') {
            return "TypeLib\\" + id + "01}\\2.a\\409\\" +
                   (platform::kernel32::ProcessMachine() == 0x8664 ? "win64" : "win32");
        }
        return "CLSID\\" + id + "1" + which + "}\\InprocServer32";
    }
    static void Unregister() {
        const auto root = reg::PredefinedKey(reg::kClassesRoot);
        reg::DeleteTree(root, "TypeLib\\{6F1D2C3B-4A59-4E87-B0C6-3D2E1F0A9B01}");
        for (const char which : {'1', '2', '3'}) {
            reg::DeleteTree(root, Key(which).substr(0, Key(which).find("\\Inproc")));
        }
    }

    void PlacePlainDll(std::string_view name) const {
        rt::DeleteFile(onPath_ + std::string(name));
        EXPECT_TRUE(rt::WriteFileBytes(
            onPath_ + std::string(name),
            kelvra::test::TestDataBytes(std::string(kelvra::test::NativeArchFolder()) +
                                        "/kelvra_ver2.dll")));
    }

    [[nodiscard]] std::string Filled(std::string text, std::string_view name) const {
        const std::string copy = onPath_ + std::string(name);
        std::string lower = copy;
        std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) {
            return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        });
        const std::pair<std::string, std::string> fields[] = {
            {"{copy}", copy},
            {"{lower}", lower},
            {"{short}", kelvra::test::ShortPathOf(copy)},
            {"{other}", scratch_ / "other\\" + std::string(name)},
            {"{missing}", scratch_ / "Old\\" + std::string(name)}};
        for (const auto& [field, value] : fields) {
            for (auto at = text.find(field); at != std::string::npos; at = text.find(field)) {
                text.replace(at, field.size(), value);
            }
        }
        return text;
    }

    void Register(char which, const Stored& stored, std::string_view name) const {
        reg::Key key;
        if (stored.type != reg::kRegNone) {
            ASSERT_EQ(reg::CreateKey(reg::PredefinedKey(reg::kClassesRoot), Key(which), key), 0);
            ASSERT_EQ(
                reg::SetValue(key.get(), "", stored.type,
                              platform::text::EncodeRegistryString(Filled(stored.text, name))),
                0);
        }
    }

    // The exit code, the report text and the JSON of an unattended run.
    std::tuple<int, std::string, json> RunUnattended() {
        const std::string text = scratch_ / "report.txt";
        const std::string document = scratch_ / "report.json";
        const int exitCode = report::RunWithoutWindow(
            report::ParseCommandLine({"/report", text, "/json", document}));
        return {exitCode, rt::ReadFileBytes(text).value_or(""),
                json::parse(rt::ReadFileBytes(document).value_or("null"))};
    }

    // The end of the text when the block holds these lines: the PATH block's last line (a
    // folder, ending in "\"), an empty line, the heading, an empty line, the lines, an empty
    // line (as the PATH block ends), and the text's own last line end.
    static std::string BlockEnd(const std::string& lines) {
        return "\\\r\n\r\nActiveX registration\r\n\r\n" + lines + "\r\n\r\n\r\n";
    }

    std::string onPath_;  // with a trailing "\"
    bool installFolderArranged_ = false;
};

TEST_F(ActiveXRegistrationRun, TheFiveVerdictsInTheBlockTheJsonAndTheExitCode) {
    SetVariable("KELVRA_CONTROLS_17", onPath_.substr(0, onPath_.size() - 1));
    ASSERT_TRUE(rt::CreateDirectory(scratch_ / "other"));
    const Stored none;
    struct Case {
        const char* name;  // the file of the list that is the control; "" for none
        Stored typeLibrary, firstClass, secondClass;
        const char* line;     // "" for no block
        const char* verdict;  // "" for a JSON registration of null
    };
    const Case cases[] = {
        {"MSCOMCTL.OCX", Sz("{copy}"), Sz("{copy}"), Sz("{copy}"), "MSCOMCTL.OCX: registered",
         "registered"},
        {"MSCOMCTL.OCX", Sz("{short}"), Sz("{short}"), Sz("{short}"), "MSCOMCTL.OCX: registered",
         "registered"},
        {"MSCOMCTL.OCX", ExpandSz("%KELVRA_CONTROLS_17%\\MSCOMCTL.OCX"),
         ExpandSz("\"%KELVRA_CONTROLS_17%\\MSCOMCTL.OCX\""), Sz("{copy}"),
         "MSCOMCTL.OCX: registered", "registered"},
        {"MSCOMCTL.OCX", Sz("{lower}\\1"), Sz("\"{lower}\""), Sz(" \"{copy}\" "),
         "MSCOMCTL.OCX: registered", "registered"},
        {"TABCTL32.OCX", none, none, none, "TABCTL32.OCX: not registered", "notRegistered"},
        {"RICHTX32.OCX", Sz("{copy}"), Sz("{other}"), Sz("{missing}"),
         "RICHTX32.OCX: registered to a copy that is missing: {missing}", "missingCopy"},
        {"MSCOMCT2.OCX", Sz("{other}"), Sz("{copy}"), Sz("{copy}"),
         "MSCOMCT2.OCX: registered to another copy: {other}", "otherCopy"},
        {"SPIN32.OCX", Sz("{copy}"), Sz("{copy}"), none,
         "SPIN32.OCX: partly registered: 1 of 2 classes", "partly"},
        {"SPIN32.OCX", none, Sz("{copy}"), Sz("{copy}"),
         "SPIN32.OCX: partly registered: 2 of 2 classes, type library not registered", "partly"},
        {"", Sz("{copy}"), Sz("{copy}"), Sz("{copy}"), "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.line) + "; type library " + c.typeLibrary.text + ", classes " +
                     c.firstClass.text + " and " + c.secondClass.text);
        const std::string name = c.name[0] != '\0' ? c.name : "SPIN32.OCX";
        if (c.name[0] != '\0') {
            ASSERT_TRUE(kelvra::test::PlaceTestControl(onPath_ + name));
            ASSERT_TRUE(kelvra::test::PlaceTestControl(scratch_ / "other\\" + name));
            ASSERT_NE(Filled("{short}", name), Filled("{copy}", name)) << "no short name to test";
        }
        Register('L', c.typeLibrary, name);
        Register('1', c.firstClass, name);
        Register('2', c.secondClass, name);

        const auto [exitCode, text, doc] = RunUnattended();
        const bool registered = c.verdict == std::string("registered") || c.verdict[0] == '\0';
        EXPECT_EQ(exitCode, registered && installFolderArranged_ ? 0 : 1);
        EXPECT_TRUE(c.line[0] == '\0' ? text.find("ActiveX") == std::string::npos
                                      : text.ends_with(BlockEnd(Filled(c.line, name))))
            << text.substr(text.size() - std::min<std::size_t>(text.size(), 300));
        for (const json& file : doc["files"]) {
            EXPECT_EQ(file["located"], true) << file["name"] << ": the rows are as they were";
            EXPECT_EQ(file["regInfo"], "n/a") << file["name"];
            const bool control = file["name"] == c.name;
            EXPECT_EQ(file["registration"].is_null() ? json("") : file["registration"]["verdict"],
                      control ? c.verdict : "")
                << file["name"];
            if (control) {
                const json path = c.typeLibrary.type == reg::kRegNone
                                      ? json(nullptr)
                                      : json(Filled(c.typeLibrary.text, name));
                EXPECT_EQ(file["registration"]["typeLibrary"]["registeredPath"], path);
                EXPECT_EQ(file["registration"]["classes"].size(), 2u) << "the two creatable ones";
            }
        }
        Unregister();
        PlacePlainDll(name);
    }
}

TEST_F(ActiveXRegistrationRun, OneLinePerControlInTheOrderOfTheFileTable) {
    ASSERT_TRUE(kelvra::test::PlaceTestControl(onPath_ + "SPIN32.OCX"));
    ASSERT_TRUE(kelvra::test::PlaceTestControl(onPath_ + "TABCTL32.OCX"));
    for (const char which : {'L', '1', '2'}) {
        Register(which, Sz("{copy}"), "SPIN32.OCX");
    }
    const auto [exitCode, text, doc] = RunUnattended();
    EXPECT_TRUE(text.ends_with(BlockEnd("TABCTL32.OCX: registered to another copy: " + onPath_ +
                                        "SPIN32.OCX\r\nSPIN32.OCX: registered")))
        << text.substr(text.size() - std::min<std::size_t>(text.size(), 300));
    EXPECT_EQ(exitCode, 1);
}

}  // namespace
