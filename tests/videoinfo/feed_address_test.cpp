#include "videoinfo/feed_address.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring U16(std::u16string_view units) { return std::wstring(units.begin(), units.end()); }

TEST(EncodeVideoIdForUrl, LeavesWellFormedIdsUnchanged) {
    EXPECT_EQ(EncodeVideoIdForUrl(L"aB3-_x9Zk0Q"), L"aB3-_x9Zk0Q");
    EXPECT_EQ(EncodeVideoIdForUrl(L"AZaz09-._~"), L"AZaz09-._~");
    EXPECT_EQ(EncodeVideoIdForUrl(L""), L"");
}

TEST(EncodeVideoIdForUrl, EncodesCharactersThatWouldChangeTheRequest) {
    EXPECT_EQ(EncodeVideoIdForUrl(L"a&b"), L"a%26b");
    EXPECT_EQ(EncodeVideoIdForUrl(L"../x/y"), L"..%2Fx%2Fy");
    EXPECT_EQ(EncodeVideoIdForUrl(L"a?v=1#t"), L"a%3Fv%3D1%23t");
    EXPECT_EQ(EncodeVideoIdForUrl(L"a b"), L"a%20b");
    EXPECT_EQ(EncodeVideoIdForUrl(L"100%"), L"100%25");
    EXPECT_EQ(EncodeVideoIdForUrl(L"x\r\nHost: evil"), L"x%0D%0AHost%3A%20evil");
    EXPECT_EQ(EncodeVideoIdForUrl(std::wstring(L"a\0b", 3)), L"a%00b");
}

TEST(EncodeVideoIdForUrl, EncodesNonAsciiAsUtf8Bytes) {
    EXPECT_EQ(EncodeVideoIdForUrl(U16(u"\u00E9")), L"%C3%A9");
    EXPECT_EQ(EncodeVideoIdForUrl(U16(u"\u65E5x")), L"%E6%97%A5x");
    EXPECT_EQ(EncodeVideoIdForUrl(U16(u"\xD834\xDD1E")), L"%F0%9D%84%9E");
    EXPECT_EQ(EncodeVideoIdForUrl(U16(u"\xD834")), L"%EF%BF%BD");
}

TEST(FeedUrl, JoinsHostPathAndEncodedId) {
    const FeedHost local{L"127.0.0.1", 8480};
    EXPECT_EQ(FeedUrl(local, L"aB3-_x9Zk0Q"), L"http://127.0.0.1:8480/feeds/api/videos/aB3-_x9Zk0Q");
    EXPECT_EQ(FeedUrl(local, L"a&b"), L"http://127.0.0.1:8480/feeds/api/videos/a%26b");
    EXPECT_EQ(FeedUrl(local, L""), L"http://127.0.0.1:8480/feeds/api/videos/");
    EXPECT_EQ(FeedUrl(FeedHost{L"feeds.example", 80}, L"x"), L"http://feeds.example/feeds/api/videos/x");
    EXPECT_EQ(FeedPath(L"a/b"), L"/feeds/api/videos/a%2Fb");
}

TEST(ParseHostPort, AcceptsNamesAddressesAndPorts) {
    EXPECT_EQ(ParseHostPort(L"127.0.0.1:8480"), (FeedHost{L"127.0.0.1", 8480}));
    EXPECT_EQ(ParseHostPort(L"localhost"), (FeedHost{L"localhost", 80}));
    EXPECT_EQ(ParseHostPort(L"feed-host_1.example.org:1"), (FeedHost{L"feed-host_1.example.org", 1}));
    EXPECT_EQ(ParseHostPort(L"h:65535"), (FeedHost{L"h", 65535}));
    EXPECT_EQ(ParseHostPort(L"  h:00080 \t"), (FeedHost{L"h", 80}));
}

TEST(ParseHostPort, RejectsGarbage) {
    for (const wchar_t* text : {L"", L"   ", L":8480", L"host:", L"host:0", L"host:65536", L"host:123456",
                                L"host:80x", L"host:-1", L"host:+80", L"host:80:81", L"ho st", L"http://host",
                                L"host/path", L"a..b", L".a", L"a.", L"[::1]:8480", L"user@host"}) {
        EXPECT_FALSE(ParseHostPort(text).has_value()) << "accepted: " << std::wstring(text);
    }
    EXPECT_FALSE(ParseHostPort(U16(u"h\u00F4st")).has_value());
    EXPECT_FALSE(ParseHostPort(std::wstring(L"a\0b", 3)).has_value());
    EXPECT_FALSE(ParseHostPort(std::wstring(254, L'a')).has_value());
    EXPECT_TRUE(ParseHostPort(std::wstring(253, L'a')).has_value());
}

TEST(FeedHostFromSetting, FallsBackToTheLocalServiceAddress) {
    const FeedHost fallback{L"127.0.0.1", 8480};
    EXPECT_EQ(FeedHostFromSetting(L""), fallback);
    EXPECT_EQ(FeedHostFromSetting(L"not a host"), fallback);
    EXPECT_EQ(FeedHostFromSetting(L"host:99999"), fallback);
    EXPECT_EQ(FeedHostFromSetting(L"10.0.0.5:9000"), (FeedHost{L"10.0.0.5", 9000}));
}

}  // namespace
