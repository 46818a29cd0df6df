#include "player/protocol.h"

#include <gtest/gtest.h>

using namespace protocol;

namespace {

std::wstring q(const std::wstring& name) {
    return L"<invoke name=\"" + name + L"\" returntype=\"xml\"></invoke>";
}

}  // namespace

TEST(RequestTexts, EventRegistrationsByteForByte) {
    EXPECT_EQ(addStateListener(),
              L"<invoke name=\"addEventListener\" returntype=\"xml\"><arguments><string>onStateChange</string>"
              L"<string>onStateChangeHandler</string></arguments></invoke>");
    EXPECT_EQ(addQualityListener(),
              L"<invoke name=\"addEventListener\" returntype=\"xml\"><arguments><string>onPlaybackQualityChange"
              L"</string><string>onPlaybackQualityChangeHandler</string></arguments></invoke>");
    EXPECT_EQ(addErrorListener(),
              L"<invoke name=\"addEventListener\" returntype=\"xml\"><arguments><string>onError</string>"
              L"<string>onErrorHandler</string></arguments></invoke>");
}

TEST(RequestTexts, LoadVideoByIdFromStartAndFromASecond) {
    const std::wstring fromStart =
        L"<invoke name=\"loadVideoById\" returntype=\"xml\"><arguments><string>dQw4w9WgXcQ</string>"
        L"<number>0</number><string>default</string></arguments></invoke>";
    EXPECT_EQ(loadVideoById(L"dQw4w9WgXcQ"), fromStart);
    EXPECT_EQ(loadVideoById(L"dQw4w9WgXcQ", 0), fromStart);
    EXPECT_EQ(loadVideoById(L"dQw4w9WgXcQ", 90),
              L"<invoke name=\"loadVideoById\" returntype=\"xml\"><arguments><string>dQw4w9WgXcQ</string>"
              L"<number>90</number><string>default</string></arguments></invoke>");
    EXPECT_EQ(loadVideoById(L"x", -5).find(L"<number>-5</number>") != std::wstring::npos, true);
}

TEST(RequestTexts, CommandsWithoutReplyTypeHaveOnlyTheName) {
    EXPECT_EQ(playVideo(), L"<invoke name=\"playVideo\"></invoke>");
    EXPECT_EQ(pauseVideo(), L"<invoke name=\"pauseVideo\"></invoke>");
    EXPECT_EQ(stopVideo(), L"<invoke name=\"stopVideo\"></invoke>");
    EXPECT_EQ(mute(), L"<invoke name=\"mute\"></invoke>");
    EXPECT_EQ(unMute(), L"<invoke name=\"unMute\"></invoke>");
}

TEST(RequestTexts, QueriesNameTheReplyTypeWithoutArguments) {
    EXPECT_EQ(isMuted(), q(L"isMuted"));
    EXPECT_EQ(getVolume(), q(L"getVolume"));
    EXPECT_EQ(getVideoBytesLoaded(), q(L"getVideoBytesLoaded"));
    EXPECT_EQ(getVideoBytesTotal(), q(L"getVideoBytesTotal"));
    EXPECT_EQ(getVideoStartBytes(), q(L"getVideoStartBytes"));
    EXPECT_EQ(getCurrentTime(), q(L"getCurrentTime"));
    EXPECT_EQ(getDuration(), q(L"getDuration"));
    EXPECT_EQ(getVideoUrl(), q(L"getVideoUrl"));
    EXPECT_EQ(getPlaybackQuality(), q(L"getPlaybackQuality"));
    EXPECT_EQ(getAvailableQualityLevels(), q(L"getAvailableQualityLevels"));
}

TEST(RequestTexts, SeekWritesIntegerZeroOrThreeDecimals) {
    EXPECT_EQ(seekToStart(),
              L"<invoke name=\"seekTo\" returntype=\"xml\"><arguments><number>0</number><true/></arguments></invoke>");
    EXPECT_EQ(seekTo(75.5),
              L"<invoke name=\"seekTo\" returntype=\"xml\"><arguments><number>75.500</number><true/></arguments>"
              L"</invoke>");
    EXPECT_EQ(seekTo(30), L"<invoke name=\"seekTo\" returntype=\"xml\"><arguments><number>30.000</number><true/>"
                          L"</arguments></invoke>");
    EXPECT_NE(seekTo(12.3456).find(L"<number>12.346</number>"), std::wstring::npos);
}

TEST(RequestTexts, VolumeAndQuality) {
    EXPECT_EQ(setVolume(75),
              L"<invoke name=\"setVolume\" returntype=\"xml\"><arguments><number>75</number></arguments></invoke>");
    EXPECT_EQ(setPlaybackQuality(L"hd720"),
              L"<invoke name=\"setPlaybackQuality\" returntype=\"xml\"><arguments><string>hd720</string>"
              L"</arguments></invoke>");
}

TEST(RequestTexts, StringArgumentsCannotBreakOutOfTheirElement) {
    EXPECT_EQ(loadVideoById(L"a&b<c>\"d'e"),
              L"<invoke name=\"loadVideoById\" returntype=\"xml\"><arguments><string>a&amp;b&lt;c&gt;&quot;d&apos;e"
              L"</string><number>0</number><string>default</string></arguments></invoke>");
    std::wstring injected = setPlaybackQuality(L"</string></arguments></invoke><invoke name=\"stopVideo\">");
    EXPECT_EQ(injected.find(L"</string></arguments></invoke><invoke"), std::wstring::npos);
}

TEST(Answers, UndefinedAndLocation) {
    EXPECT_EQ(UndefinedAnswer(), L"<undefined/>");
    EXPECT_EQ(LocationAnswer(), L"<string >http://www.youtube.com/watch/</string>");
}

TEST(ReplyDecoding, Numbers) {
    EXPECT_EQ(GetReplyLong(L"<number>42</number>"), 42);
    EXPECT_DOUBLE_EQ(GetReplyDouble(L"<number>42</number>"), 42.0);
    EXPECT_EQ(GetReplyLong(L"<number>12.75</number>"), 12);
    EXPECT_DOUBLE_EQ(GetReplyDouble(L"<number>12.75</number>"), 12.75);
    EXPECT_EQ(GetReplyLong(L"<number> -17x</number>"), -17);
    EXPECT_DOUBLE_EQ(GetReplyDouble(L"<number>1.5e2</number>"), 150.0);
    EXPECT_EQ(GetReplyLong(L"<number>abc</number>"), 0);
    EXPECT_DOUBLE_EQ(GetReplyDouble(L"<number></number>"), 0.0);
}

TEST(ReplyDecoding, ClosingTagWithoutOpeningTakesFromIndexSeven) {
    EXPECT_EQ(GetReplyLong(L"0123456789</number>"), 789);
    EXPECT_DOUBLE_EQ(GetReplyDouble(L"0123456789</number>"), 789.0);
}

TEST(ReplyDecoding, OpeningTagWithoutClosingGivesNothing) {
    EXPECT_EQ(GetReplyLong(L"<number>55"), 0);
    EXPECT_EQ(GetReplyString(L"<string>abc"), L"");
}

TEST(ReplyDecoding, NeutralValuesForEmptyUndefinedAndNull) {
    for (const wchar_t* reply : {L"", L"<undefined/>", L"<null/>"}) {
        EXPECT_EQ(GetReplyLong(reply), 0) << reply;
        EXPECT_DOUBLE_EQ(GetReplyDouble(reply), 0.0) << reply;
        EXPECT_FALSE(GetReplyBool(reply)) << reply;
        EXPECT_EQ(GetReplyString(reply), L"") << reply;
        EXPECT_TRUE(GetReplyStringList(reply).empty()) << reply;
    }
}

TEST(ReplyDecoding, BooleansLookForTrueAnywhere) {
    EXPECT_TRUE(GetReplyBool(L"<true/>"));
    EXPECT_FALSE(GetReplyBool(L"<false/>"));
    EXPECT_FALSE(GetReplyBool(L"false"));
    EXPECT_FALSE(GetReplyBool(L"TRUE"));
}

TEST(ReplyDecoding, StringsAreTakenUnchanged) {
    EXPECT_EQ(GetReplyString(L"<string>medium</string>"), L"medium");
    EXPECT_EQ(GetReplyString(L"<string></string>"), L"");
    EXPECT_EQ(GetReplyString(L"<string>a&amp;b</string>"), L"a&amp;b");
    EXPECT_EQ(GetReplyString(L"<string>http://www.youtube.com/watch?v=abcdefghijk</string>"),
              L"http://www.youtube.com/watch?v=abcdefghijk");
}

TEST(ReplyDecoding, StringLists) {
    using List = std::vector<std::wstring>;
    EXPECT_EQ(GetReplyStringList(L"<array><property id=\"0\"><string>small</string></property>"
                                 L"<property id=\"1\"><string>medium</string></property>"
                                 L"<property id=\"2\"><string>large</string></property></array>"),
              (List{L"small", L"medium", L"large"}));
    EXPECT_EQ(GetReplyStringList(L"<array></array>"), List{});
    EXPECT_EQ(GetReplyStringList(L"<string>a</string><string>b"), List{L"a"});
    EXPECT_EQ(GetReplyStringList(L"<string></string><string>x</string><string>x</string>"),
              (List{L"", L"x", L"x"}));
    // A closing tag before the opening one adds nothing and moves on.
    EXPECT_EQ(GetReplyStringList(L"</string><string>z</string>"), List{L"z"});
}

TEST(ReplyDecoding, HugeByteCountsSaturateInsteadOfWrapping) {
    EXPECT_EQ(GetReplyLong(L"<number>4294967296</number>"), 2147483647L);
    EXPECT_EQ(GetReplyLong(L"<number>-99999999999999999999</number>"), -2147483647L - 1);
}
