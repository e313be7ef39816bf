// Registry scripts of any bytes, in both forms: the reader, the file read in pieces, then the
// import applied to the simulated registry through the registry class. The bytes are read as
// a file of their own (REGEDIT4, or the Unicode form when they start with its byte-order mark)
// and as the UTF-16LE lines of a Unicode file after its header. Read whole and read a few
// bytes at a time, a file must give the same operations and problems.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "platform/kernel32.h"
#include "platform/sim/machine.h"
#include "registry/reg_file_reader.h"
#include "registry/reg_file_writer.h"
#include "registry/reg_script_input.h"
#include "registry/registry_access.h"

namespace {

struct Reading {
    bool read = false;
    std::vector<registry::RegOperation> operations;
    std::vector<registry::RegLineProblem> problems;
    bool operator==(const Reading&) const = default;
};

Reading ReadInPieces(std::string_view file, std::size_t piece) {
    struct Collector final : registry::RegScriptSink {
        Reading* reading = nullptr;
        void Operation(registry::RegOperation&& op) override {
            reading->operations.push_back(std::move(op));
        }
        void Problem(registry::RegLineProblem&& problem) override {
            reading->problems.push_back(std::move(problem));
        }
    } collector;
    Reading reading;
    collector.reading = &reading;
    registry::RegScriptInput input(collector, platform::kernel32::AnsiToUtf8);
    bool read = true;
    for (std::size_t at = 0; read && at < file.size(); at += piece) {
        read = input.Add(file.substr(at, piece));
    }
    reading.read = read && input.Finish();
    return reading;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto text = kelvra::fuzz::AsText(data, size);
    (void)registry::ReadRegFile(text);
    (void)registry::ReadRegFile(text, nullptr, registry::RegScriptForm::kUnicode);

    const std::string unicode = "\xFF\xFE" +
                                registry::Utf16LeBytes("Windows Registry Editor Version 5.00\r\n") +
                                std::string(text);
    for (const std::string_view file : {text, std::string_view(unicode)}) {
        if (ReadInPieces(file, file.size() + 1) != ReadInPieces(file, 1 + size % 7)) {
            std::abort();  // where the pieces of the file end must not matter
        }
        platform::sim::Reset();
        platform::sim::machine().AddFile("C:\\fuzz.reg", file);
        registry::clsRegistryAccess registry;
        (void)registry.ImportFromReg("C:\\fuzz.reg");
    }
    return 0;
}
