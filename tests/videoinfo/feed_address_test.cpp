#include "videoinfo/feed_address.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(FeedUrl, JoinsHostPathAndEncodedId) {
    const FeedHost local{L"127.0.0.1", 8480};
    EXPECT_EQ(FeedUrl(local, L"aB3-_x9Zk0Q"), L"http://127.0.0.1:8480/feeds/api/videos/aB3-_x9Zk0Q");
    EXPECT_EQ(FeedUrl(local, L"a&b"), L"http://127.0.0.1:8480/feeds/api/videos/a%26b");
    EXPECT_EQ(FeedUrl(local, L""), L"http://127.0.0.1:8480/feeds/api/videos/");
    EXPECT_EQ(FeedUrl(FeedHost{L"feeds.example", 80}, L"x"), L"http://feeds.example/feeds/api/videos/x");
    EXPECT_EQ(FeedPath(L"a/b"), L"/feeds/api/videos/a%2Fb");
    EXPECT_EQ(FeedPath(L"../x?v=1 HTTP/1.1\r\nHost: evil"),
              L"/feeds/api/videos/..%2Fx%3Fv%3D1%20HTTP%2F1.1%0D%0AHost%3A%20evil");
}

TEST(FeedHostFromSetting, ReadsHostAndPortIgnoringSurroundingBlanks) {
    EXPECT_EQ(FeedHostFromSetting(L"10.0.0.5:9000"), (FeedHost{L"10.0.0.5", 9000}));
    EXPECT_EQ(FeedHostFromSetting(L"localhost"), (FeedHost{L"localhost", 80}));
    EXPECT_EQ(FeedHostFromSetting(L"  h:00080 \t"), (FeedHost{L"h", 80}));
    EXPECT_EQ(FeedHostFromSetting(L"\r\nfeeds.example\n"), (FeedHost{L"feeds.example", 80}));
}

TEST(FeedHostFromSetting, FallsBackToTheLocalServiceAddress) {
    const FeedHost fallback{L"127.0.0.1", 8480};
    EXPECT_EQ(FeedHostFromSetting(L""), fallback);
    EXPECT_EQ(FeedHostFromSetting(L"   "), fallback);
    EXPECT_EQ(FeedHostFromSetting(L"not a host"), fallback);
    EXPECT_EQ(FeedHostFromSetting(L"host:99999"), fallback);
    EXPECT_EQ(FeedHostFromSetting(L"h :80"), fallback);
}

}  // namespace
