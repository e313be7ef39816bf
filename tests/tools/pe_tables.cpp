// Prints the import, delay-load import and export tables of PE files as the reader reads them,
// one line per entry, for tests/tools/check_pe_tables.py to hold against what objdump -p (and,
// for the delay-load table, llvm-readobj) print for the same files:
//   import <dll> <function or #ordinal>        delay <dll> <function or #ordinal>
//   export <ordinal> <name or -> [<forwarder>]  exportname <name> <ordinal>
// or "unreadable <table>". With --write-samples FOLDER it first writes the test images of the
// builder (tests/support/pe_builder.h), for both machines, into FOLDER.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/pe_image.h"
#include "support/pe_builder.h"

namespace {

namespace pe = platform::pe;
using kelvra::test::PeDllLayout;

std::string FunctionText(const pe::FunctionRef& function) {
    return function.ordinal ? "#" + std::to_string(*function.ordinal) : function.name;
}

void PrintImports(const std::optional<std::vector<pe::ImportedDll>>& dlls, const char* kind) {
    if (!dlls) {
        std::cout << "unreadable " << kind << "\n";
        return;
    }
    for (const pe::ImportedDll& dll : *dlls) {
        for (const pe::FunctionRef& function : dll.functions) {
            std::cout << kind << " " << dll.name << " " << FunctionText(function) << "\n";
        }
    }
}

void PrintExports(const std::optional<pe::ExportTable>& table) {
    if (!table) {
        std::cout << "unreadable export\n";
        return;
    }
    for (const pe::Export& entry : table->exports) {
        std::cout << "export " << entry.ordinal << " " << (entry.name.empty() ? "-" : entry.name)
                  << (entry.forwarder ? " " + *entry.forwarder : "") << "\n";
    }
    for (const pe::ExportName& name : table->names) {
        std::cout << "exportname " << name.name << " " << name.ordinal << "\n";
    }
}

// Images with every kind of entry the builder makes.
std::vector<std::pair<std::string, PeDllLayout>> Samples(std::uint16_t machine) {
    const PeDllLayout imports = PeDllLayout()
                                    .ForMachine(machine)
                                    .Import("kelvra_exports.dll", {"Alpha", "#77", "Gamma@12"})
                                    .Import("KERNEL32.dll", {"GetTickCount"})
                                    .DelayLoadImport("kelvra_late.dll", {"Late", "#300"});
    PeDllLayout exports = PeDllLayout()
                              .ForMachine(machine)
                              .Export("Zeta")
                              .Export("", 9)
                              .Export("Alpha", 12)
                              .Export("Forwarded", {}, "kelvra_gone.KelvraGone")
                              .Export("ByOrdinal", {}, "kelvra_gone.#3")
                              .Version(1, 2, 3, 4);
    exports.name = "kelvra_built_exports.dll";
    exports.ordinalBase = 5;
    return {{"imports", imports}, {"exports", exports}};
}

bool WriteSamples(const std::string& folder) {
    for (const auto& [arch, machine] :
         {std::pair<std::string, std::uint16_t>{"x86", 0x014C}, {"x64", 0x8664}}) {
        for (const auto& [name, dll] : Samples(machine)) {
            std::ofstream out(folder + "/built_" + name + "_" + arch + ".dll", std::ios::binary);
            out << kelvra::test::BuildPeImage(dll);
            if (!out) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    int first = 1;
    if (argc >= 3 && std::string(argv[1]) == "--write-samples") {
        if (!WriteSamples(argv[2])) {
            std::cerr << "cannot write the samples into " << argv[2] << "\n";
            return 2;
        }
        first = 3;
    }
    for (int i = first; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        const std::string text{std::istreambuf_iterator<char>(in),
                               std::istreambuf_iterator<char>()};
        const std::span<const std::uint8_t> bytes(
            reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
        std::cout << "file " << argv[i] << "\n";
        PrintImports(pe::ReadImports(bytes), "import");
        PrintImports(pe::ReadDelayLoadImports(bytes), "delay");
        PrintExports(pe::ReadExports(bytes));
    }
    return 0;
}
