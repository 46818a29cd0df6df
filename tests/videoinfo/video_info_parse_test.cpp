#include "videoinfo/video_info_parse.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace {

std::wstring U16(std::u16string_view units) { return std::wstring(units.begin(), units.end()); }

// An entry document in the feed's form, with the given title and duration
// element contents.
std::wstring Entry(const std::wstring& title, const std::wstring& durationSeconds) {
    return L"<?xml version='1.0' encoding='UTF-8'?>"
           L"<entry xmlns='http://www.w3.org/2005/Atom' xmlns:media='http://search.yahoo.com/mrss/'"
           L" xmlns:gd='http://schemas.google.com/g/2005' xmlns:yt='http://gdata.youtube.com/schemas/2007'>"
           L"<id>http://127.0.0.1:8480/feeds/api/videos/aB3-_x9Zk0Q</id>"
           L"<published>2009-05-01T10:00:00.000Z</published>"
           L"<title type='text'>" + title + L"</title>"
           L"<content type='text'>About it</content>"
           L"<media:group><media:title type='plain'>" + title + L"</media:title>"
           L"<yt:duration seconds='" + durationSeconds + L"'/></media:group></entry>";
}

TEST(ParseTitle, ReadsTheEntryTitle) {
    EXPECT_EQ(ParseTitle(Entry(L"Evening walk", L"213")), L"Evening walk");
    const std::wstring mixed = U16(u"\u591C\u306E\u6563\u6B69 Caf\u00E9 \xD834\xDD1E");
    EXPECT_EQ(ParseTitle(Entry(mixed, L"1")), mixed);
}

TEST(ParseTitle, DecodesOnlyAmpersandEntities) {
    EXPECT_EQ(ParseTitle(Entry(L"Tom &amp; Jerry &amp;&amp;", L"1")), L"Tom & Jerry &&");
    // One pass: the result of a replacement is not read again.
    EXPECT_EQ(ParseTitle(Entry(L"&amp;amp;", L"1")), L"&amp;");
    EXPECT_EQ(ParseTitle(Entry(L"&lt;3 &quot;x&quot; &#12354; &#x3042; &apos;", L"1")),
              L"&lt;3 &quot;x&quot; &#12354; &#x3042; &apos;");
    EXPECT_EQ(ParseTitle(Entry(L"&am", L"1")), L"&am");
}

TEST(ParseTitle, KeepsTextAsWritten) {
    EXPECT_EQ(ParseTitle(L"<title>  two  spaces \n</title>"), L"  two  spaces \n");
    EXPECT_EQ(ParseTitle(L"<title></title>"), L"");
}

TEST(ParseTitle, FirstTitleElementWins) {
    EXPECT_EQ(ParseTitle(L"<title>First</title><title>Second</title>"), L"First");
}

TEST(ParseTitle, ClosingTagBeforeOpeningTagGivesEmpty) {
    EXPECT_EQ(ParseTitle(L"</title><title>Late</title>"), L"");
    EXPECT_EQ(ParseTitle(L"x</title>y<title type='text'>"), L"");
    // The opening tag's ">" lies past the first "</title>".
    EXPECT_EQ(ParseTitle(L"<title</title>"), L"");
}

TEST(ParseTitle, MissingPartsGiveEmpty) {
    EXPECT_EQ(ParseTitle(L""), L"");
    EXPECT_EQ(ParseTitle(L"<entry><name>x</name></entry>"), L"");
    EXPECT_EQ(ParseTitle(L"<title"), L"");
    EXPECT_EQ(ParseTitle(L"<title type='text'"), L"");
    EXPECT_EQ(ParseTitle(L"<title>Never closed"), L"");
    EXPECT_EQ(ParseTitle(L"<TITLE>Upper case</TITLE>"), L"");
}

TEST(ParseDuration, ReadsSeconds) {
    EXPECT_EQ(ParseDuration(Entry(L"t", L"213")), 213);
    EXPECT_EQ(ParseDuration(Entry(L"t", L"4261")), 4261);
    EXPECT_EQ(ParseDuration(Entry(L"t", L"0")), 0);
}

TEST(ParseDuration, ScansLikeLongConversion) {
    EXPECT_EQ(ParseDuration(Entry(L"t", L" 42")), 42);
    EXPECT_EQ(ParseDuration(Entry(L"t", L"\t\n 7")), 7);
    EXPECT_EQ(ParseDuration(Entry(L"t", L"+9")), 9);
    EXPECT_EQ(ParseDuration(Entry(L"t", L"-5")), -5);
    EXPECT_EQ(ParseDuration(Entry(L"t", L"12abc")), 12);
    EXPECT_EQ(ParseDuration(Entry(L"t", L"007")), 7);
}

TEST(ParseDuration, NoNumberGivesZero) {
    EXPECT_EQ(ParseDuration(Entry(L"t", L"")), 0);
    EXPECT_EQ(ParseDuration(Entry(L"t", L"   ")), 0);
    EXPECT_EQ(ParseDuration(Entry(L"t", L"abc")), 0);
    EXPECT_EQ(ParseDuration(Entry(L"t", L"-")), 0);
    EXPECT_EQ(ParseDuration(Entry(L"t", L"- 5")), 0);
}

TEST(ParseDuration, OutOfRangeValuesSaturate) {
    EXPECT_EQ(ParseDuration(Entry(L"t", L"2147483647")), std::numeric_limits<int>::max());
    EXPECT_EQ(ParseDuration(Entry(L"t", L"2147483648")), std::numeric_limits<int>::max());
    EXPECT_EQ(ParseDuration(Entry(L"t", L"99999999999999999999999")), std::numeric_limits<int>::max());
    EXPECT_EQ(ParseDuration(Entry(L"t", L"-2147483648")), std::numeric_limits<int>::min());
    EXPECT_EQ(ParseDuration(Entry(L"t", L"-99999999999999999999999")), std::numeric_limits<int>::min());
}

TEST(ParseDuration, MissingMarkersGiveZero) {
    EXPECT_EQ(ParseDuration(L""), 0);
    EXPECT_EQ(ParseDuration(L"<entry><title>x</title></entry>"), 0);
    EXPECT_EQ(ParseDuration(L"<yt:duration/>"), 0);
    EXPECT_EQ(ParseDuration(L"<yt:duration seconds='213"), 0);
    EXPECT_EQ(ParseDuration(L"<yt:duration seconds=\"213\"/>"), 0);
}

TEST(ParseDuration, SearchesFromTheDurationElement) {
    EXPECT_EQ(ParseDuration(L"<x seconds='7'/><yt:duration seconds='30'/>"), 30);
    // The attribute is looked for anywhere after the element's start.
    EXPECT_EQ(ParseDuration(L"<yt:duration/><other seconds='12'/>"), 12);
    EXPECT_EQ(ParseDuration(L"<yt:duration seconds='1'/><yt:duration seconds='2'/>"), 1);
}

}  // namespace
