// The library page, the terminal table and the matching of file names,
// from snapshots made here.

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "common/utf8.h"
#include "library_page.h"
#include "request.h"

namespace clipdeck::service {
namespace {

constexpr char kJapanese[] = "\xE5\xA4\x8F\xE7\xA5\xAD\xE3\x82\x8A";  // 夏祭り
constexpr char kHostile[] = "<b>&\"'x.mp4";

Video Make(std::string id, std::string title, std::vector<std::string> files = {}, int seconds = 75) {
    Video video;
    video.id = std::move(id);
    video.title = std::move(title);
    video.seconds = seconds;
    Quality quality = Quality::Hd720;
    for (std::string& file : files) {
        video.levels.push_back(quality);
        video.media.push_back({quality, file, 1000, "video/mp4"});
        quality = Quality::Medium;
        video.folder = 0;
    }
    if (video.levels.empty()) video.levels = {Quality::Large, Quality::Small};
    return video;
}

LibrarySnapshot Library() {
    LibrarySnapshot library;
    Video secret = Make("cdPrivate01", "Secret");
    secret.isPrivate = true;
    Video noEmbed = Make("cdNoEmbed01", "Not here");
    noEmbed.noEmbed = true;
    Video vp9 = Make("vp9Profile1", "Colourful", {"colour444.webm"});
    vp9.note = "VP9 profile 1 does not decode here";
    for (Video video : {Make("cdPlain0001", "Salt & <Pepper>"), secret, noEmbed,
                        Make("jpFestival1", std::string(kJapanese) + " 2024", {std::string(kJapanese) + ".mp4"}),
                        Make("hostileName", "It's \"<i>\"", {kHostile}),
                        Make("clipLevels1", "Clip", {"clip_720.mp4", "clip_360.mp4"}), vp9,
                        Make("clipWebm001", "Clip", {"clip.webm"})}) {
        library.catalogue.Add(std::move(video));
    }
    library.folders = {{"/videos", "/videos", 5, 0, {}}};
    library.skipped = {{"/videos/<broken>.mp4", "not a media file libavformat can open"}};
    library.scanned = true;
    return library;
}

TEST(LibraryPage, ListsEveryServedVideoWithItsLinkAndEscapesEveryName) {
    const std::string page = RenderLibraryPage(Library());
    EXPECT_TRUE(common::IsValidUtf8(page));
    EXPECT_EQ(page.rfind("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">", 0), 0u);
    // One row per video but the private one, each linking to its watch page.
    std::size_t rows = 0;
    for (std::size_t at = page.find("<tr id=\"v-"); at != std::string::npos; at = page.find("<tr id=\"v-", at + 1))
        ++rows;
    EXPECT_EQ(rows, 7u);
    EXPECT_EQ(page.find("cdPrivate01"), std::string::npos);
    EXPECT_NE(page.find("<tr id=\"v-jpFestival1\"><td class=\"title\"><a href=\"/watch?v=jpFestival1\">" +
                        std::string(kJapanese) + " 2024</a></td><td class=\"length\">1:15</td>"
                        "<td class=\"levels\">hd720</td><td class=\"id\"><code>jpFestival1</code></td>"
                        "<td class=\"file\"><span>" + kJapanese + ".mp4</span></td>"
                        "<td class=\"play\"><a href=\"clipdeck:jpFestival1\">Play in Clipdeck</a></td></tr>"),
              std::string::npos)
        << page;
    // Names and titles are text, never markup.
    EXPECT_NE(page.find(">It&apos;s &quot;&lt;i&gt;&quot;</a>"), std::string::npos);
    EXPECT_NE(page.find("<td class=\"file\"><span>&lt;b&gt;&amp;&quot;&apos;x.mp4</span></td>"), std::string::npos);
    // Each row plays in the program through its link.
    std::size_t links = 0;
    for (std::size_t at = page.find("<a href=\"clipdeck:"); at != std::string::npos;
         at = page.find("<a href=\"clipdeck:", at + 1))
        ++links;
    EXPECT_EQ(links, rows);
    EXPECT_NE(page.find(">Salt &amp; &lt;Pepper&gt;</a>"), std::string::npos);
    EXPECT_NE(page.find("<code>/videos/&lt;broken&gt;.mp4</code>: not a media file"), std::string::npos);
    for (const char* raw : {"<b>", "<i>", "<Pepper>", "<broken>"}) EXPECT_EQ(page.find(raw), std::string::npos) << raw;
    // Why a listed video may not play.
    EXPECT_NE(page.find("Colourful</a><br><span class=\"note\">VP9 profile 1 does not decode here</span>"),
              std::string::npos);
    EXPECT_NE(page.find("Not here</a><br><span class=\"note\">"), std::string::npos);
    EXPECT_NE(page.find("<td class=\"file\"><span>clip_720.mp4</span>, <span>clip_360.mp4</span></td>"), std::string::npos);
    EXPECT_EQ(page.find("id=\"scanning\""), std::string::npos);

    LibrarySnapshot reading = Library();
    reading.scanned = false;
    reading.folders[0].waiting = 12;
    EXPECT_NE(RenderLibraryPage(reading).find("(12 files to go)"), std::string::npos);
}

TEST(LibraryPage, IsTheAnswerToSlashAndTheWatchPageLinksBack) {
    const LibrarySnapshot library = Library();
    Reply page = HandleRequest(library, "GET", "/", 0);
    EXPECT_EQ(page.status, 200);
    EXPECT_EQ(page.contentType, "text/html; charset=UTF-8");
    EXPECT_EQ(page.body, RenderLibraryPage(library));
    // Through the browser's proxy too.
    EXPECT_EQ(HandleRequest(library, "GET", "http://www.youtube.com/", 0).body, page.body);
    Reply watch = HandleRequest(library, "GET", "/watch?v=hostileName", 0);
    EXPECT_NE(watch.body.find("<a href='/'>All videos</a>"), std::string::npos);
    EXPECT_NE(watch.body.find("<code>&lt;b&gt;&amp;&quot;&apos;x.mp4</code>"), std::string::npos);
    Reply table = HandleRequest(library, "GET", "/library.txt?wait=5", 0);
    EXPECT_EQ(table.contentType, "text/plain; charset=UTF-8");
    EXPECT_EQ(table.body, RenderLibraryTable(library));
    EXPECT_EQ(ParseRoute("/library.txt?wait=5").waitSeconds, 5);
    EXPECT_EQ(ParseRoute("/library.txt?wait=999").waitSeconds, 30);
    EXPECT_EQ(ParseRoute("/library.txt?wait=x").waitSeconds, 0);
}

TEST(LibraryTable, AlignsColumnsByDisplayWidth) {
    const std::string table = RenderLibraryTable(Library());
    std::istringstream lines(table);
    std::vector<std::string> rows;
    for (std::string line; std::getline(lines, line) && !line.empty();) rows.push_back(line);
    ASSERT_EQ(rows.size(), 8u) << table;
    EXPECT_EQ(rows[0].rfind("ID           LENGTH  LEVELS        TITLE", 0), 0u) << rows[0];
    // The files begin in one column, whatever script the titles are in.
    std::size_t fileColumn = 0;
    for (const std::string& row : rows) {
        for (const char* file : {".mp4", ".webm", "FILE"}) {
            const std::size_t at = row.find(file);
            if (at == std::string::npos) continue;
            const std::size_t start = row.rfind("  ", at) + 2;
            const std::size_t column = DisplayWidth(row.substr(0, start));
            if (fileColumn == 0) fileColumn = column;
            EXPECT_EQ(column, fileColumn) << row;
            break;
        }
    }
    EXPECT_GT(fileColumn, 0u);
    EXPECT_NE(table.find("\n7 videos: 2 from the catalogue, 5 from folders\n  /videos: 5 videos\n"), std::string::npos) << table;
    EXPECT_NE(table.find("  vp9Profile1 colour444.webm: VP9 profile 1 does not decode here\n"), std::string::npos);
    EXPECT_NE(table.find("  /videos/<broken>.mp4: not a media file"), std::string::npos);
}

TEST(DisplayWidth, CountsWideCharactersTwiceAndMarksNotAtAll) {
    EXPECT_EQ(DisplayWidth("Clip"), 4u);
    EXPECT_EQ(DisplayWidth(kJapanese), 6u);
    EXPECT_EQ(DisplayWidth("\xEF\xBE\x83\xEF\xBD\xBD\xEF\xBE\x84"), 3u);    // ﾃｽﾄ, half-width
    EXPECT_EQ(DisplayWidth("\xEC\x84\x9C\xEC\x9A\xB8"), 4u);               // 서울
    EXPECT_EQ(DisplayWidth("e\xCC\x81"), 1u);                              // e + combining acute
    EXPECT_EQ(DisplayWidth("\xF0\x9F\x8E\xB5"), 2u);                       // 🎵
    EXPECT_EQ(DisplayWidth("\xF0\x9F\x8C\xA7\xEF\xB8\x8F"), 2u);           // 🌧️ with its selector
    EXPECT_EQ(DisplayWidth("\xF0\x9D\x84\x9E"), 1u);                       // 𝄞
    EXPECT_EQ(DisplayWidth("\xF0\xA0\x80\x8B"), 2u);                       // 𠀋, beyond the basic plane
    EXPECT_EQ(DisplayWidth("\xFF"), 1u);                                   // shown as U+FFFD

    EXPECT_EQ(CutToWidth("Clip", 4), "Clip");
    EXPECT_EQ(CutToWidth("Clipdeck", 5), "Clip\xE2\x80\xA6");
    // A wide character that does not fit whole is left out.
    EXPECT_EQ(CutToWidth(std::string("ab") + kJapanese, 5), "ab\xE5\xA4\x8F\xE2\x80\xA6");
    EXPECT_EQ(DisplayWidth(CutToWidth(std::string("a") + kJapanese, 5)), 4u);
}

TEST(FindByName, TakesAnIdAWholeNameOrThePartOfOneThatNamesOneVideo) {
    const LibrarySnapshot library = Library();
    const auto found = [&](std::string_view text) {
        const NameMatch match = FindVideoByName(library.catalogue, text);
        return match.video != nullptr ? match.video->id : match.several.empty() ? "-" : "several";
    };
    EXPECT_EQ(found("clipLevels1"), "clipLevels1");  // an ID
    EXPECT_EQ(found("cdPlain0001"), "cdPlain0001");
    EXPECT_EQ(found("cdPrivate01"), "-");
    EXPECT_EQ(found(kJapanese), "jpFestival1");       // part of a file name
    EXPECT_EQ(found("\xE5\xA4\x8F"), "jpFestival1");
    EXPECT_EQ(found("COLOUR"), "vp9Profile1");        // letters without case
    EXPECT_EQ(found("clip_360"), "clipLevels1");      // one level's file names the video
    EXPECT_EQ(found("clip_720.MP4"), "clipLevels1");
    EXPECT_EQ(found("clip"), "several");              // clip.webm and clip_*.mp4, both whole
    EXPECT_EQ(found("clip.mp4"), "clipLevels1");      // the name without its level
    EXPECT_EQ(found("clip.webm"), "clipWebm001");     // whole, though part of no other
    EXPECT_EQ(found(kHostile), "hostileName");
    EXPECT_EQ(found(".mp4"), "several");
    EXPECT_EQ(found("Salt"), "-");                    // titles are not file names
    EXPECT_EQ(found(""), "-");

    Reply one = HandleRequest(library, "GET", "/find?name=%E5%A4%8F", 0);
    EXPECT_EQ(one.status, 200);
    EXPECT_EQ(one.body, "jpFestival1\n");
    Reply several = HandleRequest(library, "GET", "/find?name=clip", 0);
    EXPECT_EQ(several.status, 409);
    EXPECT_NE(several.body.find("  clipLevels1  clip_720.mp4  clip_360.mp4\n"), std::string::npos) << several.body;
    EXPECT_NE(several.body.find("  clipWebm001  clip.webm\n"), std::string::npos) << several.body;
    EXPECT_EQ(HandleRequest(library, "GET", "/find?name=nothing", 0).status, 404);
    EXPECT_EQ(HandleRequest(library, "GET", "/find", 0).status, 400);
}

}  // namespace
}  // namespace clipdeck::service
