// The registry script reader on its own: which operation each line gives, where a hex list
// ends, and which lines are problems (with their numbers).
#include <gtest/gtest.h>

#include <random>

#include "registry/reg_file_reader.h"
#include "registry/reg_file_writer.h"
#include "registry/reg_script_input.h"

namespace registry {
namespace {

using Kind = RegOperation::Kind;

struct Read {
    std::vector<RegOperation> operations;
    std::vector<RegLineProblem> problems;
};

Read ReadLines(const std::vector<std::string>& lines) {
    std::string text = "REGEDIT4";
    for (const std::string& line : lines) {
        text += "\r\n" + line;
    }
    Read read;
    read.operations = ReadRegFile(text, &read.problems).value();
    return read;
}

std::vector<std::size_t> ProblemLines(const Read& read) {
    std::vector<std::size_t> lines;
    for (const RegLineProblem& problem : read.problems) {
        lines.push_back(problem.line);
    }
    return lines;
}

TEST(RegScriptReader, AHexListContinuesOnlyOnHexListLines) {
    const Read read = ReadLines({
        "[HKEY_CURRENT_USER\\A]",       // line 2
        "\"wrapped\"=hex:01,02,\\",     // 3
        "  03,04,\\",                   // 4
        "  05",                         // 5
        "\"dangling\"=hex:0a,\\",       // 6
        "[HKEY_CURRENT_USER\\B]",       // 7: ends the list and starts a section
        "\"inB\"=dword:00000001",       // 8
        "\"noComma\"=hex(2):41\\",      // 9
        "42,00",                        // 10
        "\"beforeComment\"=hex:0b,\\",  // 11
        "; a comment ends it",          // 12
        "\"last\"=hex:0c,\\",           // 13
    });
    ASSERT_TRUE(read.problems.empty()) << read.problems.front().text;
    ASSERT_EQ(read.operations.size(), 8u);
    EXPECT_EQ(read.operations[1].name, "wrapped");
    EXPECT_EQ(read.operations[1].line, 3u);
    EXPECT_EQ(read.operations[1].bytes, (std::vector<std::uint8_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(read.operations[2].bytes, (std::vector<std::uint8_t>{0x0A}));
    EXPECT_EQ(read.operations[3].kind, Kind::kOpenKey);
    EXPECT_EQ(read.operations[3].keyPath, "HKEY_CURRENT_USER\\B");
    EXPECT_EQ(read.operations[4].name, "inB");
    EXPECT_EQ(read.operations[5].bytes, (std::vector<std::uint8_t>{0x41, 0x42, 0}));
    EXPECT_EQ(read.operations[6].bytes, (std::vector<std::uint8_t>{0x0B}));
    EXPECT_EQ(read.operations[7].bytes, (std::vector<std::uint8_t>{0x0C}));
}

TEST(RegScriptReader, UnreadableLinesAreProblemsWithTheirNumbers) {
    const Read read = ReadLines({
        "\"before\"=\"the first section\"",  // 2: passed over, not a problem
        "[HKEY_CURRENT_USER\\A]",            // 3
        "\"long\"=dword:123456789",          // 4
        "\"junk\"=dword:1a zz",              // 5
        "\"badHex\"=hex:01,xy,02",           // 6
        "\"threeDigits\"=hex:012",           // 7
        "\"badType\"=hex(zz):01",            // 8
        "no equals sign",                    // 9
        "\"open=1",                          // 10
        "\"name\" \"=1",                     // 11
        "\"ok\"=dword:0000001A",             // 12
        "\"wrappedBad\"=hex:01,\\",          // 13
        "  zz",                              // 14: no hex list line: ends it, then a problem
        "[HKEY_CURRENT_USER\\unclosed",      // 15
        "\"lost\"=\"1\"",                    // 16: passed over after an unreadable key line
        "[-HKEY_CURRENT_USER\\gone]",        // 17
        "\"afterDeletion\"=\"1\"",           // 18: passed over
    });
    EXPECT_EQ(ProblemLines(read), (std::vector<std::size_t>{4, 5, 6, 7, 8, 9, 10, 11, 14, 15}));
    ASSERT_EQ(read.operations.size(), 4u);
    EXPECT_EQ(read.operations[1].name, "ok");
    EXPECT_EQ(read.operations[2].name, "wrappedBad");
    EXPECT_EQ(read.operations[2].bytes, (std::vector<std::uint8_t>{1}));
    EXPECT_EQ(read.operations[3].kind, Kind::kDeleteTree);
    EXPECT_EQ(read.problems[0].text, "\"long\"=dword:123456789");
}

TEST(RegScriptReader, ATextWithAKeyLineInsideItIsReadAsTheLinesItHolds) {
    // What a file whose text was written unescaped means: the reader follows the lines.
    const Read read = ReadLines({"[HKEY_CURRENT_USER\\A]", "\"t\"=\"first", "[-HKCU\\B]", "\""});
    ASSERT_EQ(read.operations.size(), 3u);
    EXPECT_EQ(read.operations[1].text, "\"first");
    EXPECT_EQ(read.operations[2].kind, Kind::kDeleteTree);
}

TEST(RegScriptReader, OnlyTheHeaderLineDecides) {
    std::vector<RegLineProblem> problems;
    EXPECT_FALSE(ReadRegFile("", &problems));
    EXPECT_FALSE(ReadRegFile(" REGEDIT4\r\n[HKCU\\A]", &problems));
    EXPECT_FALSE(ReadRegFile("REGEDIT4\n[HKCU\\A]\n", &problems));
    EXPECT_TRUE(ReadRegFile("regedit4", &problems));
    EXPECT_TRUE(problems.empty());
}

TEST(RegScriptReader, HexLists) {
    using Bytes = std::vector<std::uint8_t>;
    EXPECT_EQ(ParseHexList(""), Bytes{});
    EXPECT_EQ(ParseHexList("0a,FF, 1 ,00,"), (Bytes{0x0A, 0xFF, 0x01, 0x00}));
    EXPECT_EQ(ParseHexList(","), std::nullopt);
    EXPECT_EQ(ParseHexList("01,,02"), std::nullopt);
    EXPECT_EQ(ParseHexList("0 1"), std::nullopt);
    EXPECT_EQ(ParseHexList("100"), std::nullopt);
    EXPECT_EQ(ParseHexList("g1"), std::nullopt);
}

TEST(RegScriptReader, LinesCutFromPiecesOfAnySize) {
    std::string text;
    std::mt19937 random(7);
    for (int i = 0; i < 200; ++i) {
        text += std::string(static_cast<std::size_t>(random() % 40), 'x');
        text += (random() % 3 == 0) ? "\r" : (random() % 3 == 0) ? "\n" : "\r\n";
    }
    for (int round = 0; round < 20; ++round) {
        LineCutter cutter;
        std::string joined;
        for (std::size_t at = 0; at < text.size();) {
            const std::size_t size = std::min<std::size_t>(1 + random() % 9, text.size() - at);
            const std::string complete = cutter.Add(std::string_view(text).substr(at, size));
            EXPECT_TRUE(complete.empty() || complete.ends_with("\r\n"));
            EXPECT_EQ(cutter.Rest().find("\r\n"), std::string::npos);
            joined += complete;
            at += size;
        }
        EXPECT_EQ(joined + cutter.Rest(), text);
    }
}

// An operation as a line of the file would say it, unescaped ("@" for the default value).
std::string Describe(const RegOperation& op) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (const std::uint8_t byte : op.bytes) {
        hex += std::string(hex.empty() ? "" : ",") + kDigits[byte >> 4] + kDigits[byte & 0x0F];
    }
    const std::string name = (op.name.empty() ? "@" : op.name) + "=";
    switch (op.kind) {
        case Kind::kOpenKey:
            return "[" + op.keyPath + "]";
        case Kind::kDeleteTree:
            return "[-" + op.keyPath + "]";
        case Kind::kDeleteValue:
            return name + "-";
        case Kind::kSetString:
            return name + "\"" + op.text + "\"";
        case Kind::kSetDword:
            return name + "dword:" + std::to_string(op.dword);
        case Kind::kSetBinary:
            return name + "hex:" + hex;
        default:
            return name + (op.kind == Kind::kSetStored ? "stored(" : "ansi(") +
                   std::to_string(op.type) + "):" + hex;
    }
}

struct Outcome {
    std::vector<std::string> operations;  // described
    std::vector<std::size_t> problems;    // line numbers
    bool operator==(const Outcome&) const = default;
};

TEST(RegScriptReader, UnicodeLineForms) {
    struct Case {
        std::vector<std::string> lines;  // after the header (line 1) and a section (line 2)
        Outcome expected;
    };
    const std::vector<Case> cases = {
        {{"@=\"a \\\"b\\\" \\\\c\"", "\"q\\\"n\\\\=[x]\\r\\n\" = \"\" ; note"},
         {{"@=\"a \"b\" \\c\"", "q\"n\\=[x]\r\n=\"\""}, {}}},
        {{"@=\"\"", "\"d\"=-", "\"\xCE\xA9\xF0\x9F\x98\x80\"=dword:1a ;", "\"h\"=HEX:0,ff"},
         {{"@=\"\"", "d=-", "\xCE\xA9\xF0\x9F\x98\x80=dword:26", "h=hex:00,ff"}, {}}},
        {{"\"e\"=hex(2):41,00,\\", "  ; between", "", "  00,00", "\"n\"=hex(7fff0020):"},
         {{"e=stored(2):41,00,00,00", "n=stored(2147418144):"}, {}}},
        {{"\"open=\"1\"", "\"n\"=\"open", "\"n\"=\"a\\tb\"", "\"n\"=bare", "\"n\"=\"x\" y",
          "\"n\"=\"x\\\"", "\"n\"=\"x\\", "\"n\"=dword:123456789", "\"ok\"=\"1\""},
         {{"ok=\"1\""}, {3, 4, 5, 6, 7, 8, 9, 10}}},
        {{"\"cut\"=hex:01,\\", "[HKEY_CURRENT_USER\\B]", "\"end\"=hex:02,\\"},
         {{"[HKEY_CURRENT_USER\\B]"}, {3, 5}}},
    };
    for (const Case& c : cases) {
        std::string text = "Windows Registry Editor Version 5.00\r\n[HKEY_CURRENT_USER\\A]";
        for (const std::string& line : c.lines) {
            text += "\r\n" + line;
        }
        std::vector<RegLineProblem> problems;
        const auto operations = ReadRegFile(text, &problems, RegScriptForm::kUnicode).value();
        Outcome outcome;
        for (auto op = operations.begin() + 1; op != operations.end(); ++op) {
            outcome.operations.push_back(Describe(*op));
        }
        for (const RegLineProblem& problem : problems) {
            outcome.problems.push_back(problem.line);
        }
        EXPECT_EQ(outcome.operations, c.expected.operations) << c.lines.front();
        EXPECT_EQ(outcome.problems, c.expected.problems) << c.lines.front();
    }
}

// The bytes of a file of the Unicode form: the byte-order mark, then `text` as UTF-16LE.
std::string UnicodeFile(std::string_view text) {
    return "\xFF\xFE" + Utf16LeBytes(text);
}

TEST(RegScriptReader, DamagedUnicodeFilesKeepWhatPrecedesEachFault) {
    const std::string start = "Windows Registry Editor Version 5.00\r\n[HKEY_CURRENT_USER\\A]\r\n";
    const std::string lone = "\xFF\xFE" + Utf16LeBytes(start) + Utf16LeBytes("\"a\"=\"") +
                             std::string("\x00\xD8", 2) + Utf16LeBytes("\"\r\n\"b\"=\"2\"");
    struct Case {
        std::string bytes;
        bool refused;
        Outcome expected;
    };
    const std::vector<Case> cases = {
        {UnicodeFile(start + "\"a\"=\"1\"\r\n\"b\"=\"2\"") + "x",
         false,
         {{"[HKEY_CURRENT_USER\\A]", "a=\"1\""}, {4}}},
        {UnicodeFile(start) + "\n", false, {{"[HKEY_CURRENT_USER\\A]"}, {3}}},
        {lone, false, {{"[HKEY_CURRENT_USER\\A]", "b=\"2\""}, {3}}},
        {"\xFF\xFE" + Utf16LeBytes("[") + std::string("\x00\xDC", 2) +
             Utf16LeBytes("]\r\n\"b\"=\"2\""),
         true,
         {}},
        {UnicodeFile(start + "\"a\"=\"1\"\r\n[") + std::string("\x00\xDC", 2) +
             Utf16LeBytes("]\r\n\"b\"=\"2\""),
         false,
         {{"[HKEY_CURRENT_USER\\A]", "a=\"1\""}, {4}}},
        {UnicodeFile("REGEDIT4\r\n[HKEY_CURRENT_USER\\A]"), true, {}},
        {start, true, {}},
        {Utf16LeBytes(start), true, {}},
        {UnicodeFile(start + "\"h\"=hex:01,\\\r\n"), false, {{"[HKEY_CURRENT_USER\\A]"}, {3}}},
    };
    for (const Case& c : cases) {
        // Whole, and a byte at a time: the pieces must not matter.
        for (const std::size_t piece : {c.bytes.size(), std::size_t{1}}) {
            struct Collector final : RegScriptSink {
                Outcome outcome;
                void Operation(RegOperation&& op) override {
                    outcome.operations.push_back(Describe(op));
                }
                void Problem(RegLineProblem&& problem) override {
                    outcome.problems.push_back(problem.line);
                }
            } collector;
            RegScriptInput input(collector,
                                 [](std::string_view ansi) { return std::string(ansi); });
            bool read = true;
            for (std::size_t at = 0; read && at < c.bytes.size(); at += piece) {
                read = input.Add(std::string_view(c.bytes).substr(at, piece));
            }
            read = read && input.Finish();
            EXPECT_EQ(read, !c.refused) << c.bytes.size() << " bytes, pieces of " << piece;
            EXPECT_EQ(input.Refusal().empty(), read);
            EXPECT_EQ(collector.outcome, c.expected)
                << c.bytes.size() << " bytes, pieces of " << piece;
        }
    }
}

}  // namespace
}  // namespace registry
