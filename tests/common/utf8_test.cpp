#include "common/utf8.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "utf16_text.h"

using namespace std::string_literals;
using namespace std::string_view_literals;
using clipdeck::test::U16;

namespace common {
namespace {

const std::wstring kFffd = U16(u"\uFFFD");

// Decodes from a heap block of exactly the data's size, so that the
// sanitizers catch any read past the end.
std::wstring DecodeExact(const std::string& bytes) {
    const auto block = std::make_unique<char[]>(bytes.size());
    std::copy(bytes.begin(), bytes.end(), block.get());
    return Utf8ToUtf16(std::string_view(block.get(), bytes.size()));
}

TEST(Utf8ToUtf16, DecodesEachSequenceLength) {
    EXPECT_EQ(Utf8ToUtf16("Hello, world"), L"Hello, world");
    EXPECT_EQ(Utf8ToUtf16("Caf\xC3\xA9"), U16(u"Caf\u00E9"));
    EXPECT_EQ(Utf8ToUtf16("\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E"), U16(u"\u65E5\u672C\u8A9E"));
    EXPECT_EQ(Utf8ToUtf16("\xF0\x9D\x84\x9E"), U16(u"\xD834\xDD1E"));
    EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x8E\xB5!"), U16(u"\xD83C\xDFB5!"));
}

TEST(Utf8ToUtf16, DecodesRangeBoundaries) {
    EXPECT_EQ(Utf8ToUtf16("\x7F"), U16(u"\u007F"));
    EXPECT_EQ(Utf8ToUtf16("\xC2\x80"), U16(u"\u0080"));
    EXPECT_EQ(Utf8ToUtf16("\xDF\xBF"), U16(u"\u07FF"));
    EXPECT_EQ(Utf8ToUtf16("\xE0\xA0\x80"), U16(u"\u0800"));
    EXPECT_EQ(Utf8ToUtf16("\xED\x9F\xBF"), U16(u"\uD7FF"));
    EXPECT_EQ(Utf8ToUtf16("\xEE\x80\x80"), U16(u"\uE000"));
    EXPECT_EQ(Utf8ToUtf16("\xEF\xBF\xBF"), U16(u"\uFFFF"));
    EXPECT_EQ(Utf8ToUtf16("\xF0\x90\x80\x80"), U16(u"\xD800\xDC00"));
    EXPECT_EQ(Utf8ToUtf16("\xF4\x8F\xBF\xBF"), U16(u"\xDBFF\xDFFF"));
}

TEST(Utf8ToUtf16, ReplacesInvalidBytes) {
    EXPECT_EQ(Utf8ToUtf16("a\x80z"), U16(u"a\uFFFDz"));
    EXPECT_EQ(Utf8ToUtf16("\xBF\xBF"), U16(u"\uFFFD\uFFFD"));
    EXPECT_EQ(Utf8ToUtf16("\xFF\xFE"), U16(u"\uFFFD\uFFFD"));
    EXPECT_EQ(Utf8ToUtf16("\xF5\x80\x80\x80"), U16(u"\uFFFD\uFFFD\uFFFD\uFFFD"));
    // A lead byte followed by a non-continuation: the replacement covers the
    // lead only, and the next character survives.
    EXPECT_EQ(Utf8ToUtf16("\xC3(x"), U16(u"\uFFFD(x"));
    EXPECT_EQ(Utf8ToUtf16("\xE6\x97" "A"), U16(u"\uFFFDA"));
    EXPECT_EQ(Utf8ToUtf16("\xF0\x9D\x84\xE6\x97\xA5"), U16(u"\uFFFD\u65E5"));
}

TEST(Utf8ToUtf16, ReplacesOverlongFormsAndSurrogates) {
    EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), U16(u"\uFFFD\uFFFD"));
    EXPECT_EQ(Utf8ToUtf16("\xC1\xBF"), U16(u"\uFFFD\uFFFD"));
    EXPECT_EQ(Utf8ToUtf16("\xE0\x80\xAF"), U16(u"\uFFFD\uFFFD\uFFFD"));
    EXPECT_EQ(Utf8ToUtf16("\xF0\x80\x80\xAF"), U16(u"\uFFFD\uFFFD\uFFFD\uFFFD"));
    EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), U16(u"\uFFFD\uFFFD\uFFFD"));
    EXPECT_EQ(Utf8ToUtf16("\xED\xBF\xBF"), U16(u"\uFFFD\uFFFD\uFFFD"));
    EXPECT_EQ(Utf8ToUtf16("\xF4\x90\x80\x80"), U16(u"\uFFFD\uFFFD\uFFFD\uFFFD"));
}

TEST(Utf8ToUtf16, TruncatedTailBecomesOneReplacementWithoutReadingPastTheData) {
    EXPECT_EQ(DecodeExact("ab\xC3"), U16(u"ab\uFFFD"));
    EXPECT_EQ(DecodeExact("ab\xE6"), U16(u"ab\uFFFD"));
    EXPECT_EQ(DecodeExact("ab\xE6\x97"), U16(u"ab\uFFFD"));
    EXPECT_EQ(DecodeExact("\xF0\x9D\x84"), kFffd);
    EXPECT_EQ(DecodeExact("\xF4"), kFffd);
}

TEST(Utf8ToUtf16, KeepsZeroBytesAsData) {
    EXPECT_EQ(Utf8ToUtf16("a\0b"s), std::wstring(L"a\0b", 3));
    EXPECT_EQ(Utf8ToUtf16("\xC3\xA9\0\xE6\x97\xA5"s), U16(u"\u00E9\0\u65E5"sv));
}

TEST(Utf8ToUtf16, EmptyInputGivesEmptyText) {
    EXPECT_TRUE(Utf8ToUtf16("").empty());
    EXPECT_TRUE(Utf8ToUtf16(std::string_view()).empty());
}

TEST(Utf16ToUtf8, EncodesPairsAndReplacesUnpairedSurrogates) {
    EXPECT_EQ(Utf16ToUtf8(U16(u"a\u00E9\u65E5\xD834\xDD1E")), "a\xC3\xA9\xE6\x97\xA5\xF0\x9D\x84\x9E");
    EXPECT_EQ(Utf16ToUtf8(U16(u"\xD834x")), "\xEF\xBF\xBDx");
    EXPECT_EQ(Utf16ToUtf8(U16(u"x\xDD1E")), "x\xEF\xBF\xBD");
    EXPECT_EQ(Utf16ToUtf8(U16(u"\xDD1E\xD834")), "\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(Utf16ToUtf8(U16(u"\xD834")), "\xEF\xBF\xBD");
    EXPECT_EQ(Utf16ToUtf8(std::wstring(L"a\0b", 3)), "a\0b"s);
}

TEST(Utf16ToUtf8, RoundTripsThroughTheDecoder) {
    std::wstring text = U16(u"\u65E5\u672C Caf\u00E9 \xD83C\xDFB5 & \uFFFF ");
    AppendUtf16(text, U'\U0010FFFF');
    AppendUtf16(text, U'\u00E9');
    EXPECT_EQ(text.substr(text.size() - 3), U16(u"\xDBFF\xDFFF\u00E9"));
    EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(text)), text);
}

TEST(IsValidUtf8, AcceptsExactlyWhatDecodesWithoutReplacement) {
    for (const char* good : {"", "plain", "\xC3\xA9", "\xE6\x9D\xB1", "\xF0\x9D\x84\x9E", "\xF4\x8F\xBF\xBF"}) {
        EXPECT_TRUE(IsValidUtf8(good)) << good;
    }
    EXPECT_TRUE(IsValidUtf8("a\0b"s));
    for (const char* bad : {"\xC0\x80", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE6\x9D",
                            "\xE6\x41\xB1", "\x80", "\xFF", "ok\xF0\x9D\x84"}) {
        EXPECT_FALSE(IsValidUtf8(bad)) << testing::PrintToString(std::string(bad));
    }
}

}  // namespace
}  // namespace common
