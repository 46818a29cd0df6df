#include "player/quality.h"

#include <gtest/gtest.h>

TEST(QualityChoices, OnlyListedLevelsWithExactSpellingAreOffered) {
    std::vector<std::wstring> levels{L"large", L"medium", L"small"};
    EXPECT_TRUE(quality::IsOffered(0, levels));
    EXPECT_TRUE(quality::IsOffered(1, levels));
    EXPECT_TRUE(quality::IsOffered(2, levels));
    EXPECT_TRUE(quality::IsOffered(3, levels));
    EXPECT_FALSE(quality::IsOffered(4, levels));
    EXPECT_FALSE(quality::IsOffered(1, {L"Small", L"HD720"}));
    EXPECT_TRUE(quality::IsOffered(0, {}));
    EXPECT_FALSE(quality::IsOffered(4, {L"hd1080", L"highres"}));
    EXPECT_FALSE(quality::IsOffered(5, levels));
}

TEST(QualityChoices, EachButtonSendsItsLevelName) {
    const wchar_t* sent[quality::kChoiceCount] = {L"default", L"small", L"medium", L"large", L"hd720"};
    for (int i = 0; i < quality::kChoiceCount; ++i) EXPECT_EQ(quality::ChoiceName(i), sent[i]) << i;
    EXPECT_TRUE(quality::ChoiceName(-1).empty());
    EXPECT_TRUE(quality::ChoiceName(quality::kChoiceCount).empty());
}
