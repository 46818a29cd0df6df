// The About box's line: the version's dots turn into dashes, the prefix keeps its own.
#include "app/about_text.h"

#include <gtest/gtest.h>

TEST(AboutText, VersionDotsBecomeDashesButThePrefixKeepsItsDot) {
    EXPECT_EQ(DashedVersion(L"Ver.:1.1.1.119"), L"Ver.:1-1-1-119");
    EXPECT_EQ(DashedVersion(L"Ver.:2"), L"Ver.:2");
    EXPECT_EQ(DashedVersion(L"Ver.:1.:2.3"), L"Ver.:1.:2-3");
    EXPECT_EQ(DashedVersion(L"..."), L"---");
    EXPECT_EQ(DashedVersion(L""), L"");
}

TEST(AboutText, AQuestionPairInTheVersionComesOutAsDotColon) {
    EXPECT_EQ(DashedVersion(L"Ver.:1??2.3"), L"Ver.:1.:2-3");
    EXPECT_EQ(DashedVersion(L"Ver.:???"), L"Ver.:.:?");
}

TEST(AboutText, TheLineIsNameVersionAndATrailingBlank) {
    EXPECT_EQ(AboutLabel(L"Ver.:1.0.0.1"), L"Clipdeck Ver.:1-0-0-1 ");
    // Without a version resource the version text is empty.
    EXPECT_EQ(AboutLabel(L""), L"Clipdeck  ");
}
