// The import against the plain reference that applies the lines one by one: generated
// scripts that write, overwrite and delete a few keys under many spellings, with unreadable
// lines among them, must leave the same registry and give the same result.
#include <gtest/gtest.h>

#include <random>

#include "platform/sim/machine.h"
#include "reference_import.h"
#include "registry/registry_access.h"

namespace registry {
namespace {

class ScriptGenerator {
  public:
    explicit ScriptGenerator(std::uint32_t seed) : random_(seed) {}

    std::string Script(int lines) {
        std::string text = "REGEDIT4\r\n";
        for (int i = 0; i < lines; ++i) {
            text += Line() + "\r\n";
        }
        return text;
    }

  private:
    int Pick(int high) { return std::uniform_int_distribution<int>(0, high)(random_); }

    template <typename T, std::size_t N>
    const T& OneOf(const T (&items)[N]) {
        return items[static_cast<std::size_t>(Pick(static_cast<int>(N) - 1))];
    }

    // A few keys, each under several spellings of its path.
    std::string KeyPath() {
        static const char* const kRoots[] = {"HKEY_CURRENT_USER",   "HKCU", "hkcu",
                                             "\\HKEY_CURRENT_USER", "HKCR", "HKEY_NOWHERE"};
        static const char* const kKeys[] = {"A", "a", "A\\B", "a\\b\\", "\\A\\b", "C", "c\\D"};
        std::string path = std::string(OneOf(kRoots)) + "\\Software\\" + OneOf(kKeys);
        return Pick(15) == 0 ? std::string(OneOf(kRoots)) : path;
    }

    std::string Name() {
        static const char* const kNames[] = {"\"v\"", "\"V\"", "\"w\"", "@", "\"\"", "\"x y\""};
        return OneOf(kNames);
    }

    std::string Line() {
        switch (Pick(14)) {
            case 0:
            case 1:
            case 2:
                return "[" + KeyPath() + "]";
            case 3:
                return "[-" + KeyPath() + "]";
            case 4:
                return Name() + "=-";
            case 5:
                return Name() + "=dword:" + std::to_string(Pick(99999));
            case 6:
                return Name() + "=hex:0" + std::to_string(Pick(9)) + ",ff" + (Pick(3) ? "" : ",\\");
            case 7:
                return "  " + std::to_string(Pick(9)) + "a,0b" + (Pick(1) ? "" : ",\\");
            case 8:
                return Name() + "=hex(2):41,00,42,00";
            case 9: {
                static const char* const kOther[] = {
                    "", "; comment", "junk", "\"open=1", "[HKCU\\Software\\A", "\"v\"=dword:zz"};
                return OneOf(kOther);
            }
            default:
                return Name() + "=\"" + std::to_string(Pick(999)) + "\"";
        }
    }

    std::mt19937 random_;
};

struct Outcome {
    long result = -1;
    reference::Picture registry;
};

template <typename Apply>
Outcome RunOn(const std::string& script, Apply apply) {
    platform::sim::Reset();
    auto& machine = platform::sim::machine();
    machine.RegistryKey(platform::registry::kCurrentUser, "Software\\A\\B\\Old")
        ->values.push_back({"kept", {platform::registry::kRegDword, {1, 0, 0, 0}}});
    machine.RegistryKey(platform::registry::kCurrentUser, "Software\\Other");
    machine.AddFile("C:\\script.reg", script);
    Outcome outcome;
    outcome.result = apply();
    outcome.registry = reference::WholeRegistry();
    return outcome;
}

TEST(RegistryImportReference, GeneratedScriptsLeaveWhatApplyingTheLinesInOrderLeaves) {
    int complete = 0;
    for (std::uint32_t seed = 1; seed <= 300; ++seed) {
        const std::string script = ScriptGenerator(seed).Script(10 + static_cast<int>(seed % 400));
        const Outcome imported =
            RunOn(script, [] { return clsRegistryAccess().ImportFromReg("C:\\script.reg"); });
        const Outcome expected = RunOn(script, [&] { return reference::Import(script); });
        ASSERT_EQ(imported.result, expected.result) << "seed " << seed;
        ASSERT_TRUE(imported.registry == expected.registry) << "seed " << seed;
        complete += static_cast<int>(imported.result);
    }
    platform::sim::Reset();
    EXPECT_GT(complete, 0);  // both results occur
}

}  // namespace
}  // namespace registry
