// The registry script reader on its own: which operation each line gives, where a hex list
// ends, and which lines are problems (with their numbers).
#include <gtest/gtest.h>

#include <random>

#include "registry/reg_file_reader.h"

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

}  // namespace
}  // namespace registry
