// The panel's read-outs worked out from the player's answers.
#include "control/readouts.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(PanelTexts, StatusAndErrorTextsForEveryCode) {
    EXPECT_STREQ(StatusText(-1), L"Unload");
    EXPECT_STREQ(StatusText(0), L"End");
    EXPECT_STREQ(StatusText(1), L"Play");
    EXPECT_STREQ(StatusText(2), L"Pause");
    EXPECT_STREQ(StatusText(3), L"Buffering");
    EXPECT_STREQ(StatusText(5), L"Go Start");
    EXPECT_STREQ(StatusText(4), L"");
    EXPECT_EQ(ErrorText(100), L"100:指定の動画が見つかりません.");
    EXPECT_EQ(ErrorText(101), L"101:埋め込みプレーヤーでは再生できません.");
    EXPECT_EQ(ErrorText(150), L"150:埋め込みプレーヤーでは再生できません.");
    EXPECT_EQ(ErrorText(2), L"2:未定義のエラーです。");
    EXPECT_EQ(ErrorText(-7), L"-7:未定義のエラーです。");
}

TEST(PanelTexts, TimeTextTruncatesBothValuesToWholeSeconds) {
    EXPECT_EQ(TimeText(65.9, 213), L"1:05 / 3:33");
    EXPECT_EQ(TimeText(0, 0), L"0:00 / 0:00");
    EXPECT_EQ(TimeText(3725.99, 7200), L"62:05 / 120:00");
}

TEST(PanelTexts, AbsurdPlayerTimesGiveATextInsteadOfUndefinedConversions) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(TimeText(nan, 60), L"0:00 / 1:00");
    EXPECT_EQ(TimeText(1e300, 60).substr(0, 9), L"35791394:");
    EXPECT_FALSE(PositionPercent(10, nan).has_value());
    EXPECT_EQ(PositionPercent(1e300, 1), std::numeric_limits<int>::max());
}

TEST(PanelBars, LoadedPercentCountsTheStartBytesAsLoaded) {
    EXPECT_EQ(LoadedPercent(500, 500, 1500), 50);
    EXPECT_EQ(LoadedPercent(0, 0, 3), 0);
    EXPECT_EQ(LoadedPercent(2, 0, 3), 66);  // truncated, not rounded
    EXPECT_EQ(LoadedPercent(10, 0, 10), 100);
    EXPECT_FALSE(LoadedPercent(0, 0, 0).has_value());  // size unknown: leave the bar
    EXPECT_EQ(LoadedPercent(5, -10, 3), 0);            // nonsense counts: empty bar
    EXPECT_EQ(LoadedPercent(2147483647, 0, 2147483647), 100);
}

TEST(PanelBars, PositionPercentFollowsTheDuration) {
    EXPECT_EQ(PositionPercent(65.9, 213), 30);
    EXPECT_EQ(PositionPercent(10, -1), 0);
    EXPECT_FALSE(PositionPercent(10, 0).has_value());
}

TEST(EndOffset, CountsBackFromTheEndWhilePlayingOnly) {
    // 3-minute video with end offset 20: ended after 2:40.
    EXPECT_FALSE(EndOffsetReached(1, 160.0, 180.0, 20));
    EXPECT_TRUE(EndOffsetReached(1, 160.5, 180.0, 20));
    EXPECT_FALSE(EndOffsetReached(2, 170.0, 180.0, 20));  // paused
    EXPECT_FALSE(EndOffsetReached(1, 170.0, 180.0, 0));   // no offset in force
    EXPECT_FALSE(EndOffsetReached(1, 180.0, 180.0, 20));  // nothing left: the player ends it
    EXPECT_FALSE(EndOffsetReached(1, 0.0, 0.0, 20));      // duration not known yet
}
