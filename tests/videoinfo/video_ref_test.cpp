#include "videoinfo/video_ref.h"

#include <gtest/gtest.h>

TEST(ParseVideoRef, ElevenCharactersWithoutHttpAreTakenAsTheyAre) {
    EXPECT_EQ(ParseVideoRef(L"dQw4w9WgXcQ"), L"dQw4w9WgXcQ");
    EXPECT_EQ(ParseVideoRef(L"a b&c<d>e?f"), L"a b&c<d>e?f");
    EXPECT_EQ(ParseVideoRef(L"dQw4w9WgXc"), L"");
    EXPECT_EQ(ParseVideoRef(L"dQw4w9WgXcQQ"), L"");
    EXPECT_EQ(ParseVideoRef(L""), L"");
}

TEST(ParseVideoRef, WatchUrlsGiveTheElevenCharactersAfterTheFirstVEquals) {
    EXPECT_EQ(ParseVideoRef(L"http://www.youtube.com/watch?v=dQw4w9WgXcQ&feature=related"), L"dQw4w9WgXcQ");
    EXPECT_EQ(ParseVideoRef(L"see http://www.youtube.com/watch?v=dQw4w9WgXcQ"), L"dQw4w9WgXcQ");
    // "nav=" holds the first "v=".
    EXPECT_EQ(ParseVideoRef(L"http://www.youtube.com/watch?feature=player&nav=1&v=dQw4w9WgXcQ"), L"1&v=dQw4w9W");
    EXPECT_EQ(ParseVideoRef(L"http://www.youtube.com/watch?v=abc"), L"abc");
    EXPECT_EQ(ParseVideoRef(L"http://www.youtube.com/watch?v="), L"");
    EXPECT_EQ(ParseVideoRef(L"http://www.youtube.com/"), L"");
}

TEST(ParseVideoRef, SecureUrlsAreJudgedByLengthOnly) {
    EXPECT_EQ(ParseVideoRef(L"https://www.youtube.com/watch?v=dQw4w9WgXcQ"), L"");
    EXPECT_EQ(ParseVideoRef(L"https://v=1"), L"https://v=1");
    EXPECT_EQ(ParseVideoRef(L"HTTP://www.youtube.com/watch?v=dQw4w9WgXcQ"), L"");
}

TEST(VideoIdFromUrl, TakesUpToElevenCharactersAfterVEquals) {
    EXPECT_EQ(VideoIdFromUrl(L"http://www.youtube.com/watch?v=dQw4w9WgXcQ"), L"dQw4w9WgXcQ");
    EXPECT_EQ(VideoIdFromUrl(L"http://www.youtube.com/watch?v=short"), L"short");
    EXPECT_EQ(VideoIdFromUrl(L""), L"");
}
