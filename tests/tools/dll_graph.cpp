// Writes DLLs of the test builder (tests/support/pe_builder.h) that import each other, for the
// benchmarks of the walk of imports:
//   kelvra_dll_graph chain N FOLDER [--first NAME] [--machine x86|x64]
//     N DLLs, each importing a function of the next, the last one a DLL that lies nowhere;
//   kelvra_dll_graph graph N FOLDER [--first NAME] [--machine x86|x64]
//     N DLLs, each importing from three others of them, cycles included: every link holds.
// The first DLL is named NAME (a file of the report's list, say) and the others
// kw_chain_I.dll or kw_graph_I.dll. By default the DLLs are built for this program's machine
// (x86 for the native build, as the shipped program is).
#include <charconv>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "support/pe_builder.h"

namespace {

using kelvra::test::PeDllLayout;

#if defined(_WIN32)
constexpr std::uint16_t kProgramMachine = sizeof(void*) == 8 ? 0x8664 : 0x014C;
#else
constexpr std::uint16_t kProgramMachine = 0x014C;
#endif

struct Options {
    std::string shape;
    std::size_t count = 0;
    std::filesystem::path folder;
    std::string first;
    std::uint16_t machine = kProgramMachine;
};

std::string NameOf(const Options& options, std::size_t i) {
    if (i == 0 && !options.first.empty()) {
        return options.first;
    }
    return "kw_" + options.shape + "_" + std::to_string(i) + ".dll";
}

// The DLLs that DLL i imports from.
std::vector<std::string> Imports(const Options& options, std::size_t i) {
    if (options.shape == "chain") {
        return {i + 1 < options.count ? NameOf(options, i + 1) : "kw_chain_missing.dll"};
    }
    const std::size_t n = options.count;
    return {NameOf(options, (i + 1) % n), NameOf(options, (2 * i + 1) % n),
            NameOf(options, (7 * i + 3) % n)};
}

bool Write(const Options& options) {
    std::filesystem::create_directories(options.folder);
    for (std::size_t i = 0; i < options.count; ++i) {
        PeDllLayout layout =
            PeDllLayout().ForMachine(options.machine).Export("f").Version(1, 0, 0, 0);
        for (const std::string& dll : Imports(options, i)) {
            layout.Import(dll, {"f"});
        }
        std::ofstream out(options.folder / NameOf(options, i), std::ios::binary);
        out << kelvra::test::BuildPeImage(layout);
        if (!out) {
            std::cerr << "cannot write " << (options.folder / NameOf(options, i)).string() << "\n";
            return false;
        }
    }
    return true;
}

std::optional<Options> Parse(int argc, char** argv) {
    if (argc < 4) {
        return std::nullopt;
    }
    Options options;
    options.shape = argv[1];
    const std::string_view count = argv[2];
    std::from_chars(count.data(), count.data() + count.size(), options.count);
    options.folder = argv[3];
    for (int i = 4; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        const std::string value = argv[i + 1];
        if (option == "--first") {
            options.first = value;
        } else if (option == "--machine" && (value == "x86" || value == "x64")) {
            options.machine = value == "x64" ? 0x8664 : 0x014C;
        } else {
            return std::nullopt;
        }
    }
    if ((options.shape != "chain" && options.shape != "graph") || options.count == 0 ||
        argc % 2 != 0) {
        return std::nullopt;
    }
    return options;
}

}  // namespace

int main(int argc, char** argv) {
    const auto options = Parse(argc, argv);
    if (!options) {
        std::cerr << "usage: kelvra_dll_graph chain|graph N FOLDER [--first NAME] "
                     "[--machine x86|x64]\n";
        return 2;
    }
    return Write(*options) ? 0 : 1;
}
