#include <gtest/gtest.h>

#include <string>

#include "common/utf8.h"
#include "common/xml_text.h"
#include "render.h"

namespace clipdeck::service {
namespace {

Video MakeVideo(std::string title, int seconds = 213) {
    Video v;
    v.id = "cdTest_-001";
    v.seconds = seconds;
    v.colour = 0x0A0B0C;
    v.levels = {Quality::Hd720, Quality::Large, Quality::Small};
    v.published = "2008-03-14";
    v.author = "Tom & Jerry";
    v.title = std::move(title);
    return v;
}

// Reads the title the way the program does: the text between the first
// "<title" element's '>' and the first "</title>", with its character
// references decoded once.
std::string ReadTitleLikeTheProgram(const std::string& doc) {
    std::size_t a = doc.find("<title");
    if (a == std::string::npos) return {};
    std::size_t b = doc.find('>', a);
    std::size_t c = doc.find("</title>");
    if (b == std::string::npos || c == std::string::npos || c < b + 1) return {};
    const std::wstring raw = common::Utf8ToUtf16(doc.substr(b + 1, c - b - 1));
    return common::Utf16ToUtf8(common::DecodeCharacterReferences(raw));
}

std::size_t PositionOf(const std::string& doc, const std::string& part) {
    std::size_t at = doc.find(part);
    EXPECT_NE(at, std::string::npos) << "missing " << part;
    return at;
}

TEST(Entry, IsAnAtomEntryWithTheFeedsNamespaces) {
    std::string doc = RenderEntry(MakeVideo("T"));
    EXPECT_EQ(doc.rfind("<?xml version='1.0' encoding='UTF-8'?><entry ", 0), 0u);
    EXPECT_NE(doc.find(" xmlns='http://www.w3.org/2005/Atom'"), std::string::npos);
    EXPECT_NE(doc.find(" xmlns:media='http://search.yahoo.com/mrss/'"), std::string::npos);
    EXPECT_NE(doc.find(" xmlns:gd='http://schemas.google.com/g/2005'"), std::string::npos);
    EXPECT_NE(doc.find(" xmlns:yt='http://gdata.youtube.com/schemas/2007'"), std::string::npos);
    EXPECT_EQ(doc.find('"'), std::string::npos) << "attributes are single-quoted";
    EXPECT_NE(doc.find("</entry>"), std::string::npos);
}

TEST(Entry, ElementsComeInTheFeedsOrder) {
    std::string doc = RenderEntry(MakeVideo("T"));
    const char* order[] = {"<id>", "<published>", "<category ", "<title type='text'>T</title>",
                           "<content", "<link rel='alternate' type='text/html' "
                           "href='http://www.youtube.com/watch?v=cdTest_-001'/>",
                           "<author>", "<media:group>", "<media:title type='plain'>T</media:title>",
                           "<yt:duration seconds='213'/>", "</media:group>", "</entry>"};
    std::size_t last = 0;
    for (const char* part : order) {
        std::size_t at = PositionOf(doc, part);
        EXPECT_GT(at, last) << part << " is out of order";
        last = at;
    }
    EXPECT_NE(doc.find("<published>2008-03-14T00:00:00.000Z</published>"), std::string::npos);
}

TEST(Entry, TheFirstTitleElementIsTheVideoTitle) {
    std::string doc = RenderEntry(MakeVideo("Morning Walk"));
    EXPECT_EQ(doc.find("<title"), doc.find("<title type='text'>Morning Walk</title>"));
    EXPECT_EQ(ReadTitleLikeTheProgram(doc), "Morning Walk");
}

TEST(Entry, EscapesAmpersandsAndAngleBracketsInTitleAndAuthor) {
    std::string doc = RenderEntry(MakeVideo("a & b <c> d"));
    EXPECT_NE(doc.find("<title type='text'>a &amp; b &lt;c&gt; d</title>"), std::string::npos);
    EXPECT_NE(doc.find("<media:title type='plain'>a &amp; b &lt;c&gt; d</media:title>"),
              std::string::npos);
    EXPECT_NE(doc.find("<name>Tom &amp; Jerry</name>"), std::string::npos);
    EXPECT_EQ(doc.find(" & "), std::string::npos) << "a bare ampersand is left";
    EXPECT_EQ(doc.find("<c>"), std::string::npos);
}

TEST(Entry, TitlesReadBackUnchanged) {
    for (std::string title : {"Salt & Pepper & More", "AT&amp;T written out", "&", "&&amp;&",
                              "Entities: &amp; vs & and x<y>z", "It's a \"Quoted\" Title &#65;",
                              "\xE6\x9D\xB1\xE4\xBA\xAC & \xF0\x9D\x84\x9E"}) {
        EXPECT_EQ(ReadTitleLikeTheProgram(RenderEntry(MakeVideo(title))), title);
    }
}

TEST(Entry, DurationElementCarriesTheLengthInSeconds) {
    for (int seconds : {1, 8, 59, 3725, 359999}) {
        std::string doc = RenderEntry(MakeVideo("T", seconds));
        EXPECT_NE(doc.find("<yt:duration seconds='" + std::to_string(seconds) + "'/>"),
                  std::string::npos);
        EXPECT_EQ(doc.find("<yt:duration"), doc.rfind("<yt:duration"));
    }
}

TEST(Entry, NoEmbedMarkFollowsTheMediaGroupOnlyWhenEmbeddingIsForbidden) {
    Video v = MakeVideo("T");
    EXPECT_EQ(RenderEntry(v).find("noembed"), std::string::npos);
    v.noEmbed = true;
    std::string doc = RenderEntry(v);
    std::size_t mark = doc.find("<yt:noembed/>");
    ASSERT_NE(mark, std::string::npos);
    EXPECT_GT(mark, doc.find("</media:group>"));
    EXPECT_LT(mark, doc.find("</entry>"));
}

TEST(Query, SplitsAndDecodesPairs) {
    FormFields f = ParseQuery("video_id=cd%50lain0001&a+b=c+d&flag&=v&&x=1=2&x=3");
    FormFields expected = {{"video_id", "cdPlain0001"}, {"a b", "c d"}, {"flag", ""},
                           {"", "v"}, {"x", "1=2"}, {"x", "3"}};
    EXPECT_EQ(f, expected);
    EXPECT_TRUE(ParseQuery("").empty());
    EXPECT_TRUE(ParseQuery("&&").empty());
}

TEST(FormEncode, JoinsPairsAndSurvivesSeparatorsInValues) {
    FormFields fields = {{"title", "Salt & Pepper = 2+2, ok?"}, {"empty", ""}, {"n", "12"}};
    std::string body = FormEncode(fields);
    EXPECT_EQ(body, "title=Salt%20%26%20Pepper%20%3D%202%2B2%2C%20ok%3F&empty=&n=12");
    EXPECT_EQ(ParseQuery(body), fields);
    EXPECT_EQ(FormEncode({}), "");
}

std::string Field(const FormFields& fields, const std::string& key) {
    for (const auto& [k, v] : fields)
        if (k == key) return v;
    ADD_FAILURE() << "no field " << key;
    return {};
}

TEST(VideoInfo, PlayableVideoListsWhatThePlayerNeedsInOrder) {
    Video v = MakeVideo("A & B \xE6\x9D\xB1");
    FormFields f = VideoInfoFields(&v);
    std::vector<std::string> keys;
    for (const auto& [k, value] : f) keys.push_back(k);
    EXPECT_EQ(keys, (std::vector<std::string>{"status", "video_id", "title", "length_seconds",
                                              "fmt_list", "bytes_hd720", "bytes_large",
                                              "bytes_small", "color"}));
    EXPECT_EQ(Field(f, "status"), "ok");
    EXPECT_EQ(Field(f, "video_id"), "cdTest_-001");
    EXPECT_EQ(Field(f, "title"), "A & B \xE6\x9D\xB1");
    EXPECT_EQ(Field(f, "length_seconds"), "213");
    EXPECT_EQ(Field(f, "fmt_list"), "hd720,large,small");
    // 16384 + 140000 bytes/s (large) x 213 s
    EXPECT_EQ(Field(f, "bytes_large"), "29836384");
    EXPECT_EQ(Field(f, "color"), "0A0B0C");

    std::string body = FormEncode(f);
    EXPECT_EQ(body.rfind("status=ok&video_id=cdTest_-001&title=A%20%26%20B%20%E6%9D%B1&"
                         "length_seconds=213&fmt_list=hd720%2Clarge%2Csmall&bytes_hd720=",
                         0),
              0u)
        << body;
    EXPECT_EQ(body.substr(body.size() - 13), "&color=0A0B0C");
}

TEST(VideoInfo, UnknownAndPrivateVideosFailWith100) {
    Video priv = MakeVideo("T");
    priv.isPrivate = true;
    Video both = priv;
    both.noEmbed = true;
    const Video* cases[] = {nullptr, &priv, &both};
    for (const Video* v : cases) {
        FormFields f = VideoInfoFields(v);
        ASSERT_GE(f.size(), 3u);
        EXPECT_EQ(f[0], (std::pair<std::string, std::string>{"status", "fail"}));
        EXPECT_EQ(f[1], (std::pair<std::string, std::string>{"errorcode", "100"}));
        EXPECT_EQ(f[2].first, "reason");
        EXPECT_FALSE(f[2].second.empty());
    }
    // A private video gives away nothing about itself.
    EXPECT_EQ(FormEncode(VideoInfoFields(&priv)).find("title"), std::string::npos);
}

TEST(VideoInfo, VideoThatForbidsEmbeddingFailsWith150) {
    Video v = MakeVideo("T");
    v.noEmbed = true;
    FormFields f = VideoInfoFields(&v);
    ASSERT_EQ(f.size(), 3u);
    EXPECT_EQ(Field(f, "status"), "fail");
    EXPECT_EQ(Field(f, "errorcode"), "150");
    EXPECT_FALSE(Field(f, "reason").empty());
}

TEST(VideoBytes, GrowWithLevelAndWithLength) {
    const Quality all[] = {Quality::Small, Quality::Medium, Quality::Large,
                           Quality::Hd720, Quality::Hd1080, Quality::Highres};
    Video shortVideo = MakeVideo("T", 8);
    Video longVideo = MakeVideo("T", 7384);
    for (std::size_t i = 0; i < std::size(all); ++i) {
        EXPECT_LT(VideoBytes(shortVideo, all[i]), VideoBytes(longVideo, all[i]));
        if (i > 0) {
            EXPECT_LT(VideoBytes(longVideo, all[i - 1]), VideoBytes(longVideo, all[i]));
        }
    }
    // Plausible: a few hundred kbit/s at small, megabits at the top.
    EXPECT_GT(VideoBytes(longVideo, Quality::Small) * 8 / 7384, 200'000u);
    EXPECT_LT(VideoBytes(longVideo, Quality::Highres) * 8 / 7384, 40'000'000u);
}

TEST(FormatLength, WritesMinutesAndHours) {
    EXPECT_EQ(FormatLength(8), "0:08");
    EXPECT_EQ(FormatLength(60), "1:00");
    EXPECT_EQ(FormatLength(3599), "59:59");
    EXPECT_EQ(FormatLength(3725), "1:02:05");
    EXPECT_EQ(FormatLength(359999), "99:59:59");
}

TEST(WatchPage, EscapesTheTitleForHtml) {
    std::string page = RenderWatchPage(MakeVideo("It's \"<b>\" & more"));
    EXPECT_NE(page.find("<meta charset='utf-8'>"), std::string::npos);
    EXPECT_NE(page.find("<h1>It&apos;s &quot;&lt;b&gt;&quot; &amp; more</h1>"), std::string::npos);
    EXPECT_EQ(page.find("<b>"), std::string::npos);
    EXPECT_NE(page.find("3:33"), std::string::npos);
}

TEST(PlayerMovie, StartsWithTheMagicLine) {
    EXPECT_EQ(PlayerMovie().rfind("CLIPDECK-PLAYER 1\n", 0), 0u);
}

}  // namespace
}  // namespace clipdeck::service
