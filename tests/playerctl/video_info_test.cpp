#include "playerctl/video_info.h"

#include <gtest/gtest.h>

#include "common/utf8.h"

namespace playerctl {
namespace {

TEST(VideoInfoParsing, ReadsAPlayableVideo) {
    VideoInfo info = ParseVideoInfo(
        "status=ok&video_id=abcDEF12345&title=%E6%97%A5%E6%9C%AC+%26+more%F0%9F%98%80"
        "&length_seconds=213&fmt_list=hd720%2Clarge,medium,small"
        "&bytes_hd720=40000000&bytes_large=20000000&bytes_medium=10000000&bytes_small=4000000"
        "&color=3366cc\r\n");
    ASSERT_TRUE(info.ok);
    EXPECT_EQ(info.videoId, L"abcDEF12345");
    std::wstring title = L"\x65e5\x672c & more";
    common::AppendUtf16(title, U'\U0001F600');
    EXPECT_EQ(info.title, title);
    EXPECT_EQ(info.lengthSeconds, 213);
    EXPECT_EQ(info.levels, (std::vector<Quality>{Quality::Hd720, Quality::Large, Quality::Medium,
                                                 Quality::Small}));
    EXPECT_EQ(info.BytesOf(Quality::Large), 20000000);
    EXPECT_EQ(info.BytesOf(Quality::Highres), 0);
    EXPECT_EQ(info.color, 0x3366CCu);
}

TEST(VideoInfoParsing, KeepsOnlyKnownLevelsWithASizeHighestFirst) {
    VideoInfo info = ParseVideoInfo(
        "status=ok&length_seconds=10&fmt_list=small,Large,hd1080,tiny,medium,small"
        "&bytes_small=100&bytes_medium=200&bytes_Large=5&bytes_hd1080=0&color=zzzzzz");
    ASSERT_TRUE(info.ok);
    EXPECT_EQ(info.levels, (std::vector<Quality>{Quality::Medium, Quality::Small}));
    EXPECT_EQ(info.color, VideoInfo{}.color);
}

TEST(VideoInfoParsing, FailuresCarryTheirCode) {
    VideoInfo forbidden =
        ParseVideoInfo("status=fail&errorcode=150&reason=Embedding+disabled+by+request");
    EXPECT_FALSE(forbidden.ok);
    EXPECT_EQ(forbidden.errorCode, 150);
    EXPECT_EQ(forbidden.reason, L"Embedding disabled by request");

    EXPECT_EQ(ParseVideoInfo("status=fail&errorcode=100").errorCode, 100);
    EXPECT_EQ(ParseVideoInfo("status=fail").errorCode, 100);
    EXPECT_EQ(ParseVideoInfo("status=fail&errorcode=abc").errorCode, 100);
}

TEST(VideoInfoParsing, AnythingUnplayableIsAnUnknownVideo) {
    const char* bodies[] = {
        "",
        "<html>not found</html>",
        "status=ok&fmt_list=small&bytes_small=100",                    // no length
        "status=ok&length_seconds=0&fmt_list=small&bytes_small=100",
        "status=ok&length_seconds=-5&fmt_list=small&bytes_small=100",
        "status=ok&length_seconds=10&fmt_list=small",                  // no size
        "status=ok&length_seconds=10&fmt_list=&bytes_small=100",       // no level
        "status=ok&length_seconds=1x&fmt_list=small&bytes_small=100",
        "status=maybe&length_seconds=10&fmt_list=small&bytes_small=100",
        "status=ok&length_seconds=360001&fmt_list=small&bytes_small=100",      // over 100 hours
        "status=ok&length_seconds=10&fmt_list=small&bytes_small=10000000001",  // over 10 GB
        "status=ok&length_seconds=10&fmt_list=small&bytes_small=99999999999999999999",
    };
    for (const char* body : bodies) {
        VideoInfo info = ParseVideoInfo(body);
        EXPECT_FALSE(info.ok) << body;
        EXPECT_EQ(info.errorCode, 100) << body;
    }
    EXPECT_EQ(FailedVideoInfo(100).errorCode, 100);
    EXPECT_FALSE(FailedVideoInfo(100).ok);
}

TEST(FormValues, ArePercentDecodedWithPlusAsBlankThenReadAsUtf8) {
    EXPECT_EQ(DecodeFormValue("a+b%20c%2Bd"), L"a b c+d");
    EXPECT_EQ(DecodeFormValue("100%"), L"100%");
    EXPECT_EQ(DecodeFormValue("%zz"), L"%zz");
    EXPECT_EQ(DecodeFormValue("%C3%A9t%C3%A9"), L"\x00e9t\x00e9");
    EXPECT_EQ(DecodeFormValue("a%FFb%E6%97"), L"a\xfffd" L"b\xfffd");
    EXPECT_EQ(DecodeFormValue("a%00b"), std::wstring(L"a\0b", 3));
}

TEST(MovieAnswer, NeedsTheFirstLine) {
    EXPECT_TRUE(IsPlayerMovie("CLIPDECK-PLAYER 1"));
    EXPECT_TRUE(IsPlayerMovie("CLIPDECK-PLAYER 1\nrest"));
    EXPECT_TRUE(IsPlayerMovie("CLIPDECK-PLAYER 1\r\nrest"));
    EXPECT_FALSE(IsPlayerMovie("CLIPDECK-PLAYER 12\n"));
    EXPECT_FALSE(IsPlayerMovie("CLIPDECK-PLAYER 2\n"));
    EXPECT_FALSE(IsPlayerMovie(" CLIPDECK-PLAYER 1\n"));
    EXPECT_FALSE(IsPlayerMovie("<html>"));
    EXPECT_FALSE(IsPlayerMovie(""));
}

TEST(MovieAddress, SplitsHostPortAndPath) {
    auto url = ParseHttpUrl(L"http://127.0.0.1:8765/apiplayer?enablejsapi=1&version=3");
    ASSERT_TRUE(url);
    EXPECT_EQ(url->host, L"127.0.0.1");
    EXPECT_EQ(url->port, 8765);
    EXPECT_EQ(url->pathAndQuery, L"/apiplayer?enablejsapi=1&version=3");

    auto plain = ParseHttpUrl(L"HTTP://localhost");
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->host, L"localhost");
    EXPECT_EQ(plain->port, 80);
    EXPECT_EQ(plain->pathAndQuery, L"/");

    auto query = ParseHttpUrl(L"http://h?x=1#frag");
    ASSERT_TRUE(query);
    EXPECT_EQ(query->pathAndQuery, L"/?x=1");

    for (const wchar_t* bad : {L"", L"https://h/", L"ftp://h/", L"http://", L"http://:80/",
                               L"http://h:0/", L"http://h:65536/", L"http://h:8a/",
                               L"http://u@h/", L"http://h h/", L"h/apiplayer"}) {
        EXPECT_FALSE(ParseHttpUrl(bad)) << std::wstring(bad).size();
    }
}

}  // namespace
}  // namespace playerctl
