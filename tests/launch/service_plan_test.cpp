// The service's start: which hosts need it, its port, its command line.
#include "launch/service_plan.h"

#include <gtest/gtest.h>

using namespace launch;

TEST(ServiceHosts, TheServiceStartsOnlyWhenNeitherVariablesNorSettingsNameAHost) {
    EXPECT_TRUE(ChooseHosts({}, {}).startService);
    EXPECT_TRUE(ChooseHosts({L" ", L"\t"}, {L"", L"  "}).startService);

    // A variable wins over the settings file and leaves nothing to set.
    HostChoice variables = ChooseHosts({L"feed:1", L"player:2"}, {L"ini:3", L"ini:4"});
    EXPECT_FALSE(variables.startService);
    EXPECT_EQ(variables.fromSettings.feed, L"");
    EXPECT_EQ(variables.fromSettings.player, L"");

    HostChoice settings = ChooseHosts({}, {L"ini:3", L"ini:4"});
    EXPECT_FALSE(settings.startService);
    EXPECT_EQ(settings.fromSettings.feed, L"ini:3");
    EXPECT_EQ(settings.fromSettings.player, L"ini:4");

    // One host named anywhere: no service; the other keeps its default.
    HostChoice mixed = ChooseHosts({L"feed:1", L""}, {L"", L"ini:4"});
    EXPECT_FALSE(mixed.startService);
    EXPECT_EQ(mixed.fromSettings.feed, L"");
    EXPECT_EQ(mixed.fromSettings.player, L"ini:4");
    EXPECT_FALSE(ChooseHosts({L"", L"player:2"}, {}).startService);
}

TEST(ServicePort, ATakenUsualPortFallsBackOnceToAnyFreePort) {
    EXPECT_EQ(PortAfterFailedStart(kServicePort, kServiceCannotListen), 0);
    EXPECT_EQ(PortAfterFailedStart(0, kServiceCannotListen), std::nullopt);
    // A bad option, catalogue or folder fails on any port.
    EXPECT_EQ(PortAfterFailedStart(kServicePort, 2), std::nullopt);
    EXPECT_EQ(kServicePort, 8480);
}

TEST(ServicePort, ThePortFileHoldsOneNumberWhenComplete) {
    EXPECT_EQ(ParsePortFile("8480"), 8480);
    EXPECT_EQ(ParsePortFile("49152\n"), 49152);
    EXPECT_EQ(ParsePortFile(" 1\r\n"), 1);
    EXPECT_EQ(ParsePortFile("65535"), 65535);
    EXPECT_EQ(ParsePortFile(""), std::nullopt);  // not written yet
    EXPECT_EQ(ParsePortFile("\n"), std::nullopt);
    EXPECT_EQ(ParsePortFile("0"), std::nullopt);
    EXPECT_EQ(ParsePortFile("65536"), std::nullopt);
    EXPECT_EQ(ParsePortFile("123456"), std::nullopt);
    EXPECT_EQ(ParsePortFile("84 80"), std::nullopt);
    EXPECT_EQ(ParsePortFile("-1"), std::nullopt);
}

TEST(ServiceAddress, HostsAndTheLibraryPage) {
    EXPECT_EQ(ServiceHost(8480), L"127.0.0.1:8480");
    EXPECT_EQ(LibraryUrl({L"127.0.0.1", 49152}), L"http://127.0.0.1:49152/");
    EXPECT_EQ(LibraryUrl({L"videos.example", 80}), L"http://videos.example/");
}

TEST(ServiceCommandLine, QuotesOnlyWhatNeedsIt) {
    EXPECT_EQ(QuoteArgument(L"plain"), L"plain");
    EXPECT_EQ(QuoteArgument(L"C:\\no\\blanks"), L"C:\\no\\blanks");
    EXPECT_EQ(QuoteArgument(L""), L"\"\"");
    EXPECT_EQ(QuoteArgument(L"two words"), L"\"two words\"");
    // Backslashes count only before a quote: doubled there, and before the
    // closing quote.
    EXPECT_EQ(QuoteArgument(L"C:\\My Videos\\"), L"\"C:\\My Videos\\\\\"");
    EXPECT_EQ(QuoteArgument(L"a \\\"b"), L"\"a \\\\\\\"b\"");
    EXPECT_EQ(QuoteArgument(L"say \"hi\""), L"\"say \\\"hi\\\"\"");
    EXPECT_EQ(QuoteArgument(L"ビデオ 1"), L"\"ビデオ 1\"");
}

TEST(ServiceCommandLine, NamesThePortItsFileTheCatalogueAndEveryFolderInOrder) {
    ServiceStart start;
    start.program = L"C:\\Program Files\\Clipdeck\\clipdeck-service.exe";
    start.port = 8480;
    start.portFile = L"C:\\Temp\\clipdeck-service-12.port";
    start.catalogue = L"C:\\Program Files\\Clipdeck\\catalogue.tsv";
    start.mediaFolders = {L"C:\\Users\\ゆき\\Videos", L"C:\\Program Files\\Clipdeck\\demo"};
    EXPECT_EQ(ServiceCommandLine(start),
              L"\"C:\\Program Files\\Clipdeck\\clipdeck-service.exe\" --port 8480"
              L" --port-file C:\\Temp\\clipdeck-service-12.port"
              L" --catalogue \"C:\\Program Files\\Clipdeck\\catalogue.tsv\""
              L" --media-dir C:\\Users\\ゆき\\Videos --media-dir \"C:\\Program Files\\Clipdeck\\demo\"");

    // Any free port, no catalogue of its own, no folders.
    ServiceStart bare;
    bare.program = L"D:\\cd\\clipdeck-service.exe";
    bare.port = 0;
    bare.portFile = L"D:\\t\\p";
    EXPECT_EQ(ServiceCommandLine(bare), L"D:\\cd\\clipdeck-service.exe --port 0 --port-file D:\\t\\p");
}
