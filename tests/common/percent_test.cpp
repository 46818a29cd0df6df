#include "common/percent.h"

#include <gtest/gtest.h>

#include <string>

#include "utf16_text.h"

using clipdeck::test::U16;

namespace common {
namespace {

TEST(PercentEncode, KeepsUnreservedAndEncodesEveryOtherByte) {
    EXPECT_EQ(PercentEncode("AZaz09-._~"), "AZaz09-._~");
    EXPECT_EQ(PercentEncode("a b"), "a%20b");
    EXPECT_EQ(PercentEncode("&=+,/?%#"), "%26%3D%2B%2C%2F%3F%25%23");
    EXPECT_EQ(PercentEncode("\xE6\x9D\xB1"), "%E6%9D%B1");
    EXPECT_EQ(PercentEncode(std::string("\0\x7F\xFF", 3)), "%00%7F%FF");
    EXPECT_EQ(PercentEncode(""), "");
}

TEST(PercentEncode, VisibleKeepsPrintableAsciiButTheBlank) {
    EXPECT_EQ(PercentEncode("/a?b=c&d%20~!", PercentKeep::Visible), "/a?b=c&d%20~!");
    EXPECT_EQ(PercentEncode(std::string(" \x21\x7E\x7F\x1F\x80\xFF\0", 8), PercentKeep::Visible),
              "%20!~%7F%1F%80%FF%00");
}

TEST(PercentEncode, EncodesTextAsItsUtf8Bytes) {
    EXPECT_EQ(PercentEncode(L"aB3-_x9Zk0Q"), L"aB3-_x9Zk0Q");
    EXPECT_EQ(PercentEncode(L"../x/y?v=1#t"), L"..%2Fx%2Fy%3Fv%3D1%23t");
    EXPECT_EQ(PercentEncode(L"x\r\nHost: evil"), L"x%0D%0AHost%3A%20evil");
    EXPECT_EQ(PercentEncode(std::wstring(L"a\0b", 3)), L"a%00b");
    EXPECT_EQ(PercentEncode(U16(u"\u00E9\u65E5x")), L"%C3%A9%E6%97%A5x");
    EXPECT_EQ(PercentEncode(U16(u"\xD834\xDD1E")), L"%F0%9D%84%9E");
    EXPECT_EQ(PercentEncode(U16(u"\xD834")), L"%EF%BF%BD");
    EXPECT_EQ(PercentEncode(std::wstring()), L"");
}

TEST(PercentDecode, DecodesEscapesAndLeavesBrokenOnesAlone) {
    EXPECT_EQ(PercentDecode("a%20b%2fc%2F", false), "a b/c/");
    EXPECT_EQ(PercentDecode("%E6%9d%B1", false), "\xE6\x9D\xB1");
    EXPECT_EQ(PercentDecode("100%", false), "100%");
    EXPECT_EQ(PercentDecode("%2", false), "%2");
    EXPECT_EQ(PercentDecode("%zz%4", false), "%zz%4");
    EXPECT_EQ(PercentDecode("%%41", false), "%A");
    EXPECT_EQ(PercentDecode("%00", false), std::string(1, '\0'));
    EXPECT_EQ(PercentDecode("a+b", false), "a+b");
    EXPECT_EQ(PercentDecode("a+b%2B", true), "a b+");
}

TEST(PercentDecode, UndoesPercentEncodeForAnyBytes) {
    std::string all;
    for (int c = 0; c < 256; ++c) all += static_cast<char>(c);
    EXPECT_EQ(PercentDecode(PercentEncode(all), false), all);
    EXPECT_EQ(PercentDecode(PercentEncode(all), true), all);
}

}  // namespace
}  // namespace common
