// The registry side of the benchmarks under Wine, one operation per process, so that the script
// can time each (and its peak memory) the same way as Wine's own registry tools. A program of
// its own that holds nothing but the registry component, as a program that uses it would:
//   kelvra_registry_bench generate SUBKEY     write the benchmark tree below HKCU\SUBKEY
//   kelvra_registry_bench delete SUBKEY       delete it
//   kelvra_registry_bench count SUBKEY        the number of keys and values below HKCU\SUBKEY
//   kelvra_registry_bench export PATH FILE [unicode]   ExportToReg (REGEDIT4, or the Unicode form)
//   kelvra_registry_bench import FILE         ImportFromReg (either form)
#include <cstdio>
#include <string>
#include <vector>

#include "bench/tree_generator.h"
#include "registry/registry_access.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 2 && args[0] == "generate") {
        std::printf("values %lld\n",
                    static_cast<long long>(kelvra::bench::GenerateTree(args[1], {}, 1)));
        return 0;
    }
    if (args.size() == 2 && args[0] == "count") {
        const auto [keys, values] = kelvra::bench::CountTree(args[1]);
        std::printf("keys %lld values %lld\n", static_cast<long long>(keys),
                    static_cast<long long>(values));
        return 0;
    }
    if (args.size() == 2 && args[0] == "delete") {
        kelvra::bench::DeleteTree(args[1]);
        return 0;
    }
    registry::clsRegistryAccess registry;
    if ((args.size() == 3 || (args.size() == 4 && args[3] == "unicode")) && args[0] == "export") {
        const auto form = args.size() == 4 ? registry::RegScriptForm::kUnicode
                                           : registry::RegScriptForm::kRegedit4;
        return registry.ExportToReg(args[1], args[2], true, {}, {}, form) == 1 ? 0 : 1;
    }
    if (args.size() == 2 && args[0] == "import") {
        return registry.ImportFromReg(args[1]) == 1 ? 0 : 1;
    }
    std::fprintf(stderr, "usage: kelvra_registry_bench generate|delete|count|export|import ...\n");
    return 2;
}
