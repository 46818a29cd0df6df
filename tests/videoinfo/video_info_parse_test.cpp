#include "videoinfo/video_info_parse.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "utf16_text.h"

namespace {

using clipdeck::test::U16;

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

TEST(ParseTitle, DecodesCharacterReferencesOnce) {
    // The local service's entry for cdMarkup001.
    EXPECT_EQ(ParseTitle(Entry(L"Entities: &amp;amp; vs &amp; and x&lt;y&gt;z", L"61")),
              L"Entities: &amp; vs & and x<y>z");
    EXPECT_EQ(ParseTitle(Entry(L"It&apos;s a &quot;Quoted&quot; Title", L"1")), L"It's a \"Quoted\" Title");
    EXPECT_EQ(ParseTitle(Entry(L"&#12354;&#x3042; Caf&#xE9; &#x1D11E; &#xD800;", L"1")),
              U16(u"\u3042\u3042 Caf\u00E9 \xD834\xDD1E \uFFFD"));
    EXPECT_EQ(ParseTitle(Entry(L"&nbsp;&am &", L"1")), L"&nbsp;&am &");
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

TEST(ParseDuration, ScansTheAttributeLikeLongConversion) {
    EXPECT_EQ(ParseDuration(Entry(L"t", L" +42s")), 42);
    EXPECT_EQ(ParseDuration(Entry(L"t", L"-5")), -5);
    EXPECT_EQ(ParseDuration(Entry(L"t", L"abc")), 0);
    EXPECT_EQ(ParseDuration(Entry(L"t", L"99999999999999999999999")), std::numeric_limits<int>::max());
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

TEST(DecodeReplyBody, DecodesUtf8AndDropsOnlyALeadingByteOrderMark) {
    EXPECT_EQ(DecodeReplyBody("\xEF\xBB\xBF<entry/>"), L"<entry/>");
    EXPECT_EQ(DecodeReplyBody("<a>\xEF\xBB\xBF</a>"), U16(u"<a>\uFEFF</a>"));
    EXPECT_EQ(DecodeReplyBody("<t>\xE6\x97\xA5\xF0\x9D\x84\x9E\xFF</t>"), U16(u"<t>\u65E5\xD834\xDD1E\uFFFD</t>"));
    EXPECT_TRUE(DecodeReplyBody("").empty());
}

}  // namespace
