#include "common/xml_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "utf16_text.h"

using clipdeck::test::U16;

namespace common {
namespace {

const std::wstring kFffd = U16(u"\uFFFD");

// Decodes from a heap block of exactly the text's size, so that the
// sanitizers catch any read past the end.
std::wstring DecodeExact(std::wstring_view text) {
    const auto block = std::make_unique<wchar_t[]>(text.size());
    std::copy(text.begin(), text.end(), block.get());
    return DecodeCharacterReferences(std::wstring_view(block.get(), text.size()));
}

TEST(EscapeXml, EscapesTheFiveMarkupCharactersOnly) {
    EXPECT_EQ(EscapeXml(L"a&b<c>\"d'e"), L"a&amp;b&lt;c&gt;&quot;d&apos;e");
    EXPECT_EQ(EscapeXml("a&b<c>\"d'e"), "a&amp;b&lt;c&gt;&quot;d&apos;e");
    EXPECT_EQ(EscapeXml(L"&amp;"), L"&amp;amp;");
    EXPECT_EQ(EscapeXml(L"plain-ID_123"), L"plain-ID_123");
    EXPECT_EQ(EscapeXml(U16(u"\u65E5 \xD834\xDD1E")), U16(u"\u65E5 \xD834\xDD1E"));
    EXPECT_EQ(EscapeXml("\xE6\x9D\xB1 \xF0\x9D\x84\x9E"), "\xE6\x9D\xB1 \xF0\x9D\x84\x9E");
    EXPECT_EQ(EscapeXml(std::string("\0<", 2)), std::string("\0&lt;", 5));
}

TEST(DecodeCharacterReferences, DecodesPredefinedAndNumericReferences) {
    EXPECT_EQ(DecodeCharacterReferences(L"&amp;&lt;&gt;&quot;&apos;"), L"&<>\"'");
    EXPECT_EQ(DecodeCharacterReferences(L"x&lt;y&gt;z"), L"x<y>z");
    EXPECT_EQ(DecodeCharacterReferences(L"&#65;&#x42;&#x6a;&#x6A;&#0000000067;"), L"ABjjC");
    EXPECT_EQ(DecodeCharacterReferences(L"&#12354;&#x3042;&#xE9;"), U16(u"\u3042\u3042\u00E9"));
    EXPECT_EQ(DecodeCharacterReferences(L"&#x1D11E;&#1114111;"), U16(u"\xD834\xDD1E\xDBFF\xDFFF"));
}

TEST(DecodeCharacterReferences, ReadsOnceWithoutDecodingItsOwnResult) {
    EXPECT_EQ(DecodeCharacterReferences(L"&amp;lt;"), L"&lt;");
    EXPECT_EQ(DecodeCharacterReferences(L"&amp;amp;"), L"&amp;");
    EXPECT_EQ(DecodeCharacterReferences(L"&#38;#65;"), L"&#65;");
    EXPECT_EQ(DecodeCharacterReferences(L"Entities: &amp;amp; vs &amp; and x&lt;y&gt;z"),
              L"Entities: &amp; vs & and x<y>z");
}

TEST(DecodeCharacterReferences, ReferenceNamingNoCharacterBecomesOneReplacement) {
    for (const wchar_t* text : {L"&#xD800;", L"&#xDFFF;", L"&#55296;", L"&#x110000;", L"&#1114112;",
                                L"&#99999999999999999999999;", L"&#xFFFFFFFFFFFF;", L"&#0;", L"&#x0;"}) {
        EXPECT_EQ(DecodeCharacterReferences(text), kFffd) << text;
    }
}

TEST(DecodeCharacterReferences, LeavesEverythingElseAsWritten) {
    for (const wchar_t* text : {L"&", L"a & b", L"&&", L"&am", L"&amp", L"&AMP;", L"&nbsp;", L"&copy;", L"&#;",
                                L"&#x;", L"&#X41;", L"&#12a;", L"&#-1;", L"& amp;", L"&#x 41;", L"&#65",
                                L"&ampx;", L"&;"}) {
        EXPECT_EQ(DecodeCharacterReferences(text), text) << text;
    }
    EXPECT_EQ(DecodeCharacterReferences(L"&&amp;&"), L"&&&");
    EXPECT_EQ(DecodeCharacterReferences(U16(u"\u65E5&\xD834\xDD1E")), U16(u"\u65E5&\xD834\xDD1E"));
}

TEST(DecodeCharacterReferences, ReadsNothingPastTheText) {
    for (const wchar_t* text : {L"&", L"&#", L"&#x", L"&#12", L"&#x4", L"&am", L"&quo", L"&apos"}) {
        EXPECT_EQ(DecodeExact(text), text) << text;
    }
}

TEST(ReadCharacterReference, GivesLengthValueAndValidity) {
    const auto lt = ReadCharacterReference(L"&lt;rest");
    ASSERT_TRUE(lt);
    EXPECT_EQ(lt->length, 4u);
    EXPECT_EQ(lt->codePoint, U'<');
    EXPECT_TRUE(lt->valid);

    const auto astral = ReadCharacterReference(L"&#x1F600;;");
    ASSERT_TRUE(astral);
    EXPECT_EQ(astral->length, 9u);
    EXPECT_EQ(astral->codePoint, U'\U0001F600');
    EXPECT_TRUE(astral->valid);

    const auto surrogate = ReadCharacterReference(L"&#xDC00;");
    ASSERT_TRUE(surrogate);
    EXPECT_EQ(surrogate->length, 8u);
    EXPECT_FALSE(surrogate->valid);

    EXPECT_FALSE(ReadCharacterReference(L""));
    EXPECT_FALSE(ReadCharacterReference(L"lt;"));
    EXPECT_FALSE(ReadCharacterReference(L"&bogus;"));
}

}  // namespace
}  // namespace common
