// The lines between the report and its probe: every text comes back as it went, whatever
// bytes it holds, and a line of any other form is no answer.
#include "platform/library_probe_protocol.h"

#include <gtest/gtest.h>

namespace {

namespace protocol = platform::library_probe::protocol;
using platform::library_probe::Ending;
using platform::library_probe::FindAnswer;
using platform::library_probe::LoadAnswer;

std::string EveryByte() {
    std::string bytes;
    for (int b = 0; b < 256; ++b) {
        bytes += static_cast<char>(b);
    }
    return bytes;
}

TEST(ProbeProtocol, TextsComeBackAsTheyWent) {
    const std::vector<std::string> texts = {"",
                                            "libmmd.dll",
                                            "C:\\Program Files\\a\tb\r\nc",
                                            "%41%%",
                                            std::string(1024, ' '),
                                            EveryByte(),
                                            "C:\\Caf\xC3\xA9\\\xE4\xB8\xAD.dll"};
    for (const std::string& text : texts) {
        const std::string escaped = protocol::Escape(text);
        EXPECT_EQ(escaped.find_first_of(std::string("\t\r\n\0", 4)), std::string::npos);
        for (const auto kind : {protocol::Request::Kind::kLoad, protocol::Request::Kind::kFind}) {
            const protocol::Request request{kind, text, text + "x"};
            const auto parsed = protocol::ParseRequest(protocol::FormatRequest(request));
            ASSERT_TRUE(parsed);
            EXPECT_EQ(parsed->name, text);
            EXPECT_EQ(parsed->pathBuffer, kind == protocol::Request::Kind::kFind ? text + "x" : "");
        }
        const LoadAnswer loaded{true, 183, text, {}};
        EXPECT_EQ(protocol::ParseLoadAnswer(protocol::FormatLoadAnswer(loaded)), loaded);
        const FindAnswer found{true, "", text, text, 2, {}};
        EXPECT_EQ(protocol::ParseFindAnswer(protocol::FormatFindAnswer(found)), found);
        const FindAnswer unavailable{false, text, "", "", 0, {}};
        EXPECT_EQ(protocol::ParseFindAnswer(protocol::FormatFindAnswer(unavailable)), unavailable);
    }
    const LoadAnswer failed{false, 4294967295u, "", {}};
    EXPECT_EQ(protocol::ParseLoadAnswer(protocol::FormatLoadAnswer(failed)), failed);
    const auto exception = protocol::ParseLoadAnswer(protocol::FormatExceptionAnswer(0xC00000FD));
    ASSERT_TRUE(exception);
    EXPECT_EQ(exception->ending, (Ending{Ending::Kind::kException, 0, 0xC00000FD, 0}));
    EXPECT_EQ(protocol::ParseRaisedNote(protocol::FormatRaisedNote(0xC0000005)), 0xC0000005);
}

TEST(ProbeProtocol, LinesOfAnyOtherFormAreNoAnswer) {
    for (const std::string line :
         {"", "loaded", "loaded\t1", "loaded\tx\tC:\\a", "loaded\t1\tC:\\a\textra", "failed\t",
          "failed\t-1", "failed\t99999999999", "found\t0\ta", "unavailable", "exception\t",
          "loaded\t1\t%4", "loaded\t1\t%zz", "loaded\t1\ta\rb", "LOADED\t1\ta", "raised\t5"}) {
        EXPECT_FALSE(protocol::ParseLoadAnswer(line)) << line;
        EXPECT_FALSE(protocol::ParseFindAnswer(line)) << line;
    }
    for (const std::string line : {"", "load", "load\ta\tb", "find\ta", "fetch\ta", "load\t%"}) {
        EXPECT_FALSE(protocol::ParseRequest(line)) << line;
    }
}

}  // namespace
