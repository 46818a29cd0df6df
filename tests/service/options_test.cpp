#include <gtest/gtest.h>

#include "options.h"

namespace clipdeck::service {
namespace {

OptionsParse Parse(std::vector<std::string> args) { return ParseOptions(args, "/default.tsv"); }

TEST(Options, DefaultsWithoutArguments) {
    OptionsParse p = Parse({});
    ASSERT_TRUE(p.error.empty());
    EXPECT_FALSE(p.showHelp);
    EXPECT_EQ(p.options.bind, "127.0.0.1");
    EXPECT_EQ(p.options.port, 8480);
    EXPECT_EQ(p.options.catalogue, "/default.tsv");
    EXPECT_EQ(p.options.latencyMs, 0);
    EXPECT_EQ(p.options.forcedStatus, 0);
    EXPECT_TRUE(p.options.portFile.empty());
}

TEST(Options, ReadsEveryOptionInBothForms) {
    for (bool joined : {false, true}) {
        std::vector<std::pair<std::string, std::string>> given = {
            {"--port", "0"}, {"--bind", "::1"}, {"--catalogue", "/tmp/c.tsv"},
            {"--latency-ms", "250"}, {"--status", "503"}, {"--port-file", "/tmp/p"}};
        std::vector<std::string> args;
        for (auto& [name, value] : given) {
            if (joined) {
                args.push_back(name + "=" + value);
            } else {
                args.push_back(name);
                args.push_back(value);
            }
        }
        OptionsParse p = Parse(args);
        ASSERT_TRUE(p.error.empty()) << p.error;
        EXPECT_EQ(p.options.port, 0);
        EXPECT_EQ(p.options.bind, "::1");
        EXPECT_EQ(p.options.catalogue, "/tmp/c.tsv");
        EXPECT_EQ(p.options.latencyMs, 250);
        EXPECT_EQ(p.options.forcedStatus, 503);
        EXPECT_EQ(p.options.portFile, "/tmp/p");
    }
}

TEST(Options, AcceptsTheEdgesOfEachRange) {
    EXPECT_EQ(Parse({"--port", "65535"}).options.port, 65535);
    EXPECT_EQ(Parse({"--latency-ms", "600000"}).options.latencyMs, 600000);
    EXPECT_EQ(Parse({"--status", "200"}).options.forcedStatus, 200);
    EXPECT_EQ(Parse({"--status", "599"}).options.forcedStatus, 599);
}

TEST(Options, RejectsBadCommandLines) {
    const std::vector<std::vector<std::string>> bad = {
        {"--nope"},
        {"8480"},
        {"--port"},
        {"--port", "65536"},
        {"--port", "-1"},
        {"--port", "80a"},
        {"--port="},
        {"--port", "99999999999999999999"},
        {"--latency-ms", "600001"},
        {"--status", "199"},
        {"--status", "600"},
        {"--catalogue="},
        {"--bind", ""},
        {"--port-file="},
        {"--port", "1", "--latency-ms"},
        {"--help=yes"},
    };
    for (const auto& args : bad) {
        OptionsParse p = Parse(args);
        std::string joined;
        for (const auto& a : args) joined += a + " ";
        EXPECT_FALSE(p.error.empty()) << "accepted: " << joined;
        EXPECT_FALSE(p.showHelp) << joined;
    }
}

TEST(Options, ErrorNamesTheOptionAndTheValue) {
    OptionsParse p = Parse({"--latency-ms", "soon"});
    EXPECT_NE(p.error.find("--latency-ms"), std::string::npos) << p.error;
    EXPECT_NE(p.error.find("'soon'"), std::string::npos) << p.error;
}

TEST(Options, HelpIsAskedFor) {
    EXPECT_TRUE(Parse({"--help"}).showHelp);
    EXPECT_TRUE(Parse({"-h"}).showHelp);
    EXPECT_TRUE(Parse({"--port", "1", "--help", "--bogus"}).showHelp);
}

TEST(Address, BracketsIpv6Hosts) {
    EXPECT_EQ(FormatAddress("127.0.0.1", 8480), "127.0.0.1:8480");
    EXPECT_EQ(FormatAddress("::1", 80), "[::1]:80");
    EXPECT_EQ(FormatAddress("localhost", 0), "localhost:0");
}

TEST(LogLine, NamesMethodTargetStatusBytesAndTime) {
    EXPECT_EQ(FormatLogLine("GET", "/get_video_info?video_id=cdPlain0001", 200, 292, 3),
              "GET /get_video_info?video_id=cdPlain0001 200 292 bytes 3 ms");
}

TEST(LogLine, HostileTargetsStayOnOneLine) {
    std::string line = FormatLogLine("GET", "/a\r\nGET /forged 200\x01 \xE6", 404, 9, 0);
    EXPECT_EQ(line, "GET /a%0D%0AGET%20/forged%20200%01%20%E6 404 9 bytes 0 ms");
    EXPECT_EQ(FormatLogLine("", "", 400, 0, 0), "- - 400 0 bytes 0 ms");
}

}  // namespace
}  // namespace clipdeck::service
