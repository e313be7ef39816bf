// Reading the command line: the window without arguments, the unattended outputs with either
// spelling and any letter case, and a one-line reason for everything else.
#include "report/command_line.h"

#include <gtest/gtest.h>

namespace {

using report::CommandLine;
using report::ParseCommandLine;
using Mode = CommandLine::Mode;

TEST(CommandLine, NoArgumentsOpenTheWindow) {
    EXPECT_EQ(ParseCommandLine({}).mode, Mode::kWindow);
}

TEST(CommandLine, OutputsInEitherSpellingAndAnyCase) {
    const CommandLine a = ParseCommandLine({"/report", "C:\\out\\report.txt"});
    EXPECT_EQ(a.mode, Mode::kUnattended);
    EXPECT_EQ(a.reportFile, "C:\\out\\report.txt");
    EXPECT_EQ(a.jsonFile, std::nullopt);

    const CommandLine b = ParseCommandLine({"-JSON", "-", "/RePoRt", "r.txt"});
    EXPECT_EQ(b.mode, Mode::kUnattended);
    EXPECT_EQ(b.jsonFile, "-");
    EXPECT_EQ(b.reportFile, "r.txt");

    // A file name may itself begin like an option.
    EXPECT_EQ(ParseCommandLine({"/json", "-weird.json"}).jsonFile, "-weird.json");

    EXPECT_EQ(a.timeoutSeconds, 10);
    const CommandLine c = ParseCommandLine({"/TIMEOUT", "600", "/json", "-"});
    EXPECT_EQ(c.mode, Mode::kUnattended);
    EXPECT_EQ(c.timeoutSeconds, 600);
    EXPECT_EQ(ParseCommandLine({"-timeout", "1"}).mode, Mode::kWindow) << "the window's limit";
    EXPECT_EQ(ParseCommandLine({"/library-probe"}).mode, Mode::kLibraryProbe);

    // A comparison in a window run, or with the outputs.
    const CommandLine d = ParseCommandLine({"-COMPARE", "good.json"});
    EXPECT_EQ(d.mode, Mode::kWindow);
    EXPECT_EQ(d.referenceFile, "good.json");
    EXPECT_EQ(ParseCommandLine({"/json", "-", "/compare", "good.json"}).mode, Mode::kUnattended);
}

TEST(CommandLine, UsageWhereverItIsAsked) {
    for (const auto& arguments :
         std::vector<std::vector<std::string>>{{"/?"}, {"-?"}, {"/report", "x", "/?"}, {"/HELP"}}) {
        EXPECT_EQ(ParseCommandLine(arguments).mode, Mode::kUsage);
    }
    EXPECT_NE(report::UsageText().find("/json FILE"), std::string::npos);
}

TEST(CommandLine, MistakesGiveAOneLineReason) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"/report"}, "/report needs a file name, or - for the standard output"},
        {{"/json", ""}, "/json needs a file name, or - for the standard output"},
        {{"/xml", "a"}, "unknown option /xml (see /?)"},
        {{"report.txt"}, "unexpected argument \"report.txt\" (see /?)"},
        {{"/report", "a", "/REPORT", "b"}, "/REPORT is given twice"},
        {{"/report", "-", "/json", "-"}, "/report and /json cannot write to the same place"},
        {{"/"}, "unexpected argument \"/\" (see /?)"},
        {{"/timeout"}, "/timeout needs a number of seconds from 1 to 600"},
        {{"/timeout", "0"}, "/timeout needs a number of seconds from 1 to 600"},
        {{"/timeout", "601", "/json", "-"}, "/timeout needs a number of seconds from 1 to 600"},
        {{"/Timeout", " 5"}, "/Timeout needs a number of seconds from 1 to 600"},
        {{"/timeout", "5s"}, "/timeout needs a number of seconds from 1 to 600"},
        {{"/timeout", "5", "/timeout", "6"}, "/timeout is given twice"},
        {{"/library-probe", "x"}, "/library-probe is the program's own; it is not for use by hand"},
        {{"/json", "-", "/library-probe"},
         "/library-probe is the program's own; it is not for use by hand"},
        {{"-LIBRARY-PROBE"}, "-LIBRARY-PROBE is the program's own; it is not for use by hand"},
        {{"/compare"}, "/compare needs the file name of a JSON report of this program"},
        {{"/compare", "a", "/compare", "b"}, "/compare is given twice"},
        {{"/compare", "r.json", "/json", "R.JSON"},
         "/compare reads the file that /report or /json would write"},
    };
    for (const auto& [arguments, reason] : cases) {
        const CommandLine command = ParseCommandLine(arguments);
        EXPECT_EQ(command.mode, Mode::kError) << reason;
        EXPECT_EQ(command.error, reason);
        EXPECT_EQ(command.error.find_first_of("\r\n"), std::string::npos);
    }
}

TEST(CommandLine, ReportTextGetsCrLfLineEnds) {
    EXPECT_EQ(report::WithCrLf("title\t File\r\rrow\r"), "title\t File\r\n\r\nrow\r\n\r\n");
    EXPECT_EQ(report::WithCrLf(""), "\r\n");
}

}  // namespace
