#include "common/quality.h"

#include <gtest/gtest.h>

#include <string>

#include "utf16_text.h"

using clipdeck::test::U16;

namespace common {
namespace {

TEST(QualityNames, AreThePlayersLevelsLowestFirstInBothWidths) {
    const char* names[kQualityCount] = {"small", "medium", "large", "hd720", "hd1080", "highres"};
    for (int i = 0; i < kQualityCount; ++i) {
        const auto quality = static_cast<Quality>(i);
        const std::string name = names[i];
        EXPECT_EQ(QualityName(quality), name);
        EXPECT_EQ(QualityWideName(quality), std::wstring(name.begin(), name.end()));
        EXPECT_EQ(QualityFromName(name), quality);
        EXPECT_EQ(QualityFromName(std::wstring(name.begin(), name.end())), quality);
    }
    EXPECT_LT(Quality::Small, Quality::Highres);
}

TEST(QualityNames, OnlyTheExactSpellingIsKnown) {
    for (const char* text : {"", "Small", "HD720", "hd720 ", " large", "default", "auto", "hd"}) {
        EXPECT_FALSE(QualityFromName(std::string_view(text))) << text;
    }
    EXPECT_FALSE(QualityFromName(std::string_view("small\0", 6)));
    EXPECT_FALSE(QualityFromName(L"Medium"));
    // A unit whose low byte spells a letter is not that letter.
    EXPECT_FALSE(QualityFromName(U16(u"\u0173mall")));
}

}  // namespace
}  // namespace common
