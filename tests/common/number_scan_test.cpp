#include "common/number_scan.h"

#include <gtest/gtest.h>

#include <limits>

namespace common {
namespace {

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

TEST(ScanLong, ReadsLikeLongConversion) {
    EXPECT_EQ(ScanLong(L"213"), 213);
    EXPECT_EQ(ScanLong(L"0"), 0);
    EXPECT_EQ(ScanLong(L"007"), 7);
    EXPECT_EQ(ScanLong(L" 42"), 42);
    EXPECT_EQ(ScanLong(L"\t\n\v\f\r 7"), 7);
    EXPECT_EQ(ScanLong(L"+9"), 9);
    EXPECT_EQ(ScanLong(L"-5"), -5);
    EXPECT_EQ(ScanLong(L"12abc"), 12);
    EXPECT_EQ(ScanLong(L"12.75"), 12);
    EXPECT_EQ(ScanLong(L" -17x"), -17);
}

TEST(ScanLong, NoDigitGivesZero) {
    for (const wchar_t* text : {L"", L"   ", L"abc", L"-", L"+", L"- 5", L"+-5", L"x12"}) {
        EXPECT_EQ(ScanLong(text), 0) << text;
    }
    EXPECT_EQ(ScanLong(std::wstring_view(L"\0" L"5", 2)), 0);
}

TEST(ScanLong, OutOfRangeValuesSaturate) {
    EXPECT_EQ(ScanLong(L"2147483647"), kMax);
    EXPECT_EQ(ScanLong(L"2147483648"), kMax);
    EXPECT_EQ(ScanLong(L"4294967296"), kMax);
    EXPECT_EQ(ScanLong(L"99999999999999999999999"), kMax);
    EXPECT_EQ(ScanLong(L"-2147483648"), kMin);
    EXPECT_EQ(ScanLong(L"-2147483649"), kMin);
    EXPECT_EQ(ScanLong(L"-99999999999999999999999"), kMin);
}

TEST(ParseRgbHex, TakesExactlySixHexDigitsOfEitherCase) {
    EXPECT_EQ(ParseRgbHex("3366cC"), 0x3366CCu);
    EXPECT_EQ(ParseRgbHex("000000"), 0u);
    EXPECT_EQ(ParseRgbHex("FFFFFF"), 0xFFFFFFu);
    for (const char* text : {"", "12345", "1234567", "12345g", "+12345", " 12345", "0x1234", "zzzzzz"}) {
        EXPECT_FALSE(ParseRgbHex(text)) << text;
    }
    EXPECT_FALSE(ParseRgbHex(std::string_view("12\0" "456", 6)));
    EXPECT_FALSE(ParseRgbHex("\xEF\xBC\x91" "234"));  // a full-width digit is not a hex digit
}

}  // namespace
}  // namespace common
